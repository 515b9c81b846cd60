// Control-bar metrics, the controls' rectangles and the panes' placement: plain
// arithmetic on the screen font's size and the frame's client size.
#ifndef QVX_CONTROL_BAR_H
#define QVX_CONTROL_BAR_H

struct BarMetrics {
  int bar_height = 0;  // B
  int unit = 0;        // u
  int label_width = 0; // U
};

struct Rect {
  int x, y, width, height;
};

// Returns the metrics: on newer platforms (version number above 862) from the larger of
// the scroll-bar arrow width (limited to 36) and the text height, else from the text height
// and average character width.
BarMetrics compute_bar_metrics(bool newer_platform, int text_height, int average_char_width, int scroll_bar_size);

enum BarControl {
  kDensityBar,
  kDensityBarFrame,
  kZoomSpin,
  kInvertButton,
  kDensityLabel,
  kScaleFrame,
  kScaleLabel,
  kBarControlCount
};

// Returns the rectangle of one control-bar control in the frame's client coordinates.
Rect control_rect(BarControl control, const BarMetrics& metrics);

// Places the two panes for a window arrangement (IDM_CASCADE .. IDM_VIEWER) in a client area W x H.
void place_pane_rects(int arrangement, int client_width, int client_height, int bar_height, Rect& source,
                      Rect& result);

// Returns where the conversion draws its progress text on the frame.
void progress_text_position(const BarMetrics& metrics, int text_height, int& x, int& y);

#endif

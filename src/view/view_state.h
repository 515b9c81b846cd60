// Zoom and scroll state shared by both panes.
#ifndef QVX_VIEW_STATE_H
#define QVX_VIEW_STATE_H

struct ViewState {
  int zoom_level = 1;        // -7..8
  double zoom_factor = 1.0;  // 0.0: the picture is fitted to the pane
  int scroll_x = 0, scroll_y = 0;
  int max_x = 0, max_y = 0;
  int range_guard = 1;       // 2 while a scroll-range update runs
  int spin_direction = 0;
};

// Returns the scroll maximum for a picture extent at a zoom factor in a pane extent.
int scroll_maximum(int picture_extent, double zoom_factor, int pane_extent);

// Returns the change of a frame scroll bar's position for a scroll code.
int scroll_step(int code, int maximum, int minimum, int thumb, int current, double zoom_factor);

// Scroll codes as the platform numbers them.
enum ScrollCode {
  kLineUp = 0, kLineDown = 1, kPageUp = 2, kPageDown = 3, kThumbPosition = 4,
  kThumbTrack = 5, kTop = 6, kBottom = 7, kEndScroll = 8
};

#endif

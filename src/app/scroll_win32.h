// Scrolling and zoom of the two panes.
#ifndef QVX_SCROLL_WIN32_H
#define QVX_SCROLL_WIN32_H

#include <windows.h>

// Updates the frame's scroll ranges from the pane's client size and the picture.
void update_scroll_ranges(HWND pane);

// Repaints the source pane with erasing (in cascade only the strips the result pane leaves).
void repaint_source_pane();

// Handles a scroll message of the frame or of one of its scroll-bar controls.
void on_scroll(HWND frame, int bar, HWND control, int code, int position);

// Commands 4 and 5: one zoom step in or out (Ctrl jumps), then the focus goes to the frame.
void zoom_in(HWND frame);
void zoom_out(HWND frame);

// Sets the factor and label of the current zoom level, the scroll ranges and positions,
// and repaints both panes.
void apply_zoom(HWND frame);

#endif

// Scrolling and zoom of the two panes.
#ifndef QVX_SCROLL_WIN32_H
#define QVX_SCROLL_WIN32_H

#include <windows.h>

// Updates the frame's scroll ranges from the pane's client size and the picture.
void update_scroll_ranges(HWND pane);

// Repaints the source pane with erasing.
void repaint_source_pane();

// Handles a scroll message of the frame or of one of its scroll-bar controls.
void on_scroll(HWND frame, int bar, HWND control, int code, int position);

#endif

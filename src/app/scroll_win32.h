// Scrolling of the two panes, and the frame's scroll messages (the panes', the
// density slider's and the zoom spin's).
#ifndef QVX_SCROLL_WIN32_H
#define QVX_SCROLL_WIN32_H

#include <windows.h>

// Updates the frame's scroll ranges from the pane's client size and the picture.
void update_scroll_ranges(HWND pane);

// Repaints the source pane with erasing (in cascade only the strips the result pane leaves).
void repaint_source_pane();

// Handles a scroll message of the frame or of one of its scroll-bar controls.
void on_scroll(HWND frame, int bar, HWND control, int code, int position);

#endif

// Scrolling of the two panes.
#ifndef QVX_SCROLL_WIN32_H
#define QVX_SCROLL_WIN32_H

#include <windows.h>

#include "app/frame_state_win32.h"

// Updates the frame's scroll ranges from the pane's client size and the picture.
void update_scroll_ranges(FrameState& state, HWND pane);

// Repaints the source pane with erasing (in cascade only the strips the result pane leaves).
void repaint_source_pane(const FrameState& state);

// Scrolls both panes for a scroll code of the frame's bar (SB_HORZ or SB_VERT).
void scroll_panes(FrameState& state, int bar, int code, int thumb);

#endif

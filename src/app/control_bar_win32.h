// The control bar's windows and the panes' placement.
#ifndef QVX_CONTROL_BAR_WIN32_H
#define QVX_CONTROL_BAR_WIN32_H

#include <windows.h>

#include "app/frame_state_win32.h"

// Creates the control-bar controls with the current metrics.
void create_controls(FrameState& state);

// Makes the control-bar font (newer platforms), assigns it and re-lays out the controls.
void make_bar_font(FrameState& state);

// Moves every control to its place for the current metrics.
void lay_out_controls(const FrameState& state);

// Recomputes the bar height from the scroll-bar size; re-places everything when it changed.
void recompute_bar_metrics(FrameState& state);

// Places both panes for the current arrangement and updates the scroll ranges.
void place_panes(FrameState& state);

#endif

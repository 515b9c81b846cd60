// The density slider on the control bar: its position and its scroll messages.
#ifndef QVX_DENSITY_SLIDER_WIN32_H
#define QVX_DENSITY_SLIDER_WIN32_H

#include <windows.h>

#include "app/frame_state_win32.h"

// Returns the density slider's position: the threshold base.
int current_density(const FrameState& state);

// Moves the slider and its label for a scroll code; returns true at the end of a
// scroll, when the result is due again.
bool on_density_scroll(FrameState& state, HWND bar, int code, int thumb);

#endif

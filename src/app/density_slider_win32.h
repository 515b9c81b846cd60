// The density slider on the control bar: its position and its scroll messages.
#ifndef QVX_DENSITY_SLIDER_WIN32_H
#define QVX_DENSITY_SLIDER_WIN32_H

#include <windows.h>

// Returns the density slider's position: the threshold base.
int current_density();

// Moves the slider and its label for a scroll code; at the end of a scroll converts
// again (when conversion is not deferred) and repaints the result pane.
void on_density_scroll(HWND frame, HWND bar, int code, int thumb);

#endif

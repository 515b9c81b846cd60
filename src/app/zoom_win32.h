// Zooming the two panes: the zoom commands, the spin control and applying a level.
#ifndef QVX_ZOOM_WIN32_H
#define QVX_ZOOM_WIN32_H

#include <windows.h>

#include "app/frame_state_win32.h"

// Commands 4 and 5: one zoom step in or out (Ctrl jumps), then the focus goes to the frame.
void zoom_in(FrameState& state);
void zoom_out(FrameState& state);

// Sets the factor and label of the current zoom level, the scroll ranges and positions,
// and repaints both panes.
void apply_zoom(FrameState& state);

// The zoom spin's scroll codes: it zooms once per press-and-release, at the release.
void on_zoom_spin(FrameState& state, int code);

#endif

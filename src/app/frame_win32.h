// The frame window: its procedure, and what it hands to the panes and dialogs.
#ifndef QVX_FRAME_WIN32_H
#define QVX_FRAME_WIN32_H

#include <windows.h>

#include "app/frame_state_win32.h"
#include "dialogs/dialogs_win32.h"
#include "view/panes_win32.h"

// Returns what the panes take from the frame for one paint.
PaneConditions frame_conditions(FrameState& state);

// The panes' conditions source: the conditions of the frame that is the pane's parent.
PaneConditions pane_conditions(HWND pane);

// Returns what the Info and About dialogs show and change, for a dialog owned by the frame.
DialogInputs frame_dialog_inputs(FrameState& state);

// The frame's procedure; CreateWindow's creation parameter is the FrameState the frame
// keeps and works on (it must outlive the window).
LRESULT CALLBACK MAINWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

#endif

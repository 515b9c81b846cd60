// The frame window: its procedure, and what it hands to the panes and dialogs.
#ifndef QVX_FRAME_WIN32_H
#define QVX_FRAME_WIN32_H

#include <windows.h>

#include "app/frame_state_win32.h"
#include "dialogs/dialogs_win32.h"
#include "view/panes_win32.h"

// Returns what the panes take from the frame for one paint.
PaneConditions frame_conditions();

// Returns what the Info and About dialogs show and change, for a dialog owned by window.
DialogInputs frame_dialog_inputs(HWND window);

LRESULT CALLBACK MAINWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

#endif

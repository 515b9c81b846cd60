// The Info and About dialogs' procedures, opened from the frame's commands.
#ifndef QVX_DIALOGS_WIN32_H
#define QVX_DIALOGS_WIN32_H

#include <windows.h>

#include "image/store_win32.h"

// What a dialog needs from the frame, handed over as the dialog-creation parameter
// (DialogBoxParam's last argument) and kept for the dialog's lifetime.
struct DialogInputs {
  bool japanese = false;
  bool newer_platform = false;  // 3.95 and later: the 3-D look item is offered
  int* dialog3d = nullptr;      // the setting the 3-D look item shows and toggles
  HWND frame = nullptr;         // Info's headings are as tall as the frame's text
  PictureState* picture = nullptr;  // Info: the picture it describes
};

// The Info dialog (template "InfoBox"): the current picture's header and colour table.
INT_PTR CALLBACK BMPINFO(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The About dialog (template "ABOUT"): version, word size and the display's colours.
INT_PTR CALLBACK ABOUTBOX(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Keeps the inputs of a dialog at its creation; returns them (never null) later.
void keep_dialog_inputs(HWND dialog, LPARAM inputs);
const DialogInputs& dialog_inputs(HWND dialog);

// Adds the 3-D look item to the dialog's system menu and applies the dialog3d
// setting, on platform 3.95 and later only.
void add_3d_look_item(HWND dialog);

// Inverts the dialog3d setting and shows the change in the dialog and its menu.
void toggle_3d_look(HWND dialog);

#endif

// The Info and About dialogs' procedures, opened from the frame's commands.
#ifndef QVX_DIALOGS_WIN32_H
#define QVX_DIALOGS_WIN32_H

#include <windows.h>

// The Info dialog (template "InfoBox"): the current picture's header and colour table.
INT_PTR CALLBACK BMPINFO(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The About dialog (template "ABOUT"): version, word size and the display's colours.
INT_PTR CALLBACK ABOUTBOX(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Adds the 3-D look item to the dialog's system menu and applies the dialog3d
// setting, on platform 3.95 and later only.
void add_3d_look_item(HWND dialog);

// Inverts the dialog3d setting and shows the change in the dialog and its menu.
void toggle_3d_look(HWND dialog);

#endif

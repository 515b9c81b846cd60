#include <windows.h>

#include <string>

#include "base/guards_win32.h"
#include "dialogs/dialog_texts.h"
#include "dialogs/dialogs_win32.h"
#include "dialogs/info_format.h"
#include "res/resource_ids.h"

namespace {

// The colours of the device the dialog itself is shown on.
void show_display_line(HWND dialog) {
  std::string line;
  {
    const WindowDc dc(dialog);
    if (!dc.get()) return;
    const int depth = GetDeviceCaps(dc.get(), PLANES) * GetDeviceCaps(dc.get(), BITSPIXEL);
    line = format_display_line(dialog_inputs(dialog).japanese, depth, GetDeviceCaps(dc.get(), SIZEPALETTE));
  }
  char text[256];  // the program's scratch size
  lstrcpynA(text, line.c_str(), sizeof text);
  SetDlgItemTextA(dialog, IDC_ABOUT_DISPLAY, text);
}

void on_init_dialog(HWND dialog, LPARAM inputs) {
  keep_dialog_inputs(dialog, inputs);
  add_3d_look_item(dialog);
  SetWindowTextA(dialog, kAboutCaption);
  const bool japanese = dialog_inputs(dialog).japanese;
  SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, kVersionLine);
  SetDlgItemTextA(dialog, IDC_ABOUT_BUILD_TOOL, japanese ? kJaBuildToolLine : kEnBuildToolLine);
  // The same sources build for 32 and 64 bits; the line names the build that runs.
  const bool wide = sizeof(void*) == 8;
  const char* word_size = japanese ? (wide ? kJaWordSizeLine64 : kJaWordSizeLine)
                                   : (wide ? kEnWordSizeLine64 : kEnWordSizeLine);
  SetDlgItemTextA(dialog, IDC_ABOUT_WORD_SIZE, word_size);
  if (japanese) {
    SetDlgItemTextA(dialog, IDC_ABOUT_CREDIT, kJaCreditLine);
    SetDlgItemTextA(dialog, IDC_ABOUT_DISTRIBUTION, kJaDistributionLine);
  }
  show_display_line(dialog);
}

}  // namespace

INT_PTR CALLBACK ABOUTBOX(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: on_init_dialog(dialog, lparam); return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) EndDialog(dialog, 1);
      return TRUE;
    case WM_SYSCOMMAND:
      if (wparam == IDM_3D_LOOK) toggle_3d_look(dialog);
      return FALSE;
    default: return FALSE;
  }
}

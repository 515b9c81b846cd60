#include <windows.h>

#include "base/guards_win32.h"
#include "dialogs/dialogs_win32.h"
#include "dialogs/info_format.h"
#include "image/store_win32.h"
#include "res/resource_ids.h"

namespace {

// The dialog owns its bold heading font, kept as a property of the dialog window from
// its creation until it is destroyed.
constexpr const char* kHeadingFontProperty = "qvx_heading_font";

void delete_heading_font(HWND dialog) {
  const HANDLE font = RemovePropA(dialog, kHeadingFontProperty);
  if (font) DeleteObject(static_cast<HFONT>(font));
}

// A bold font as tall as the frame's own text.
void set_heading_font(HWND dialog) {
  TEXTMETRICA metrics = {};
  {
    const WindowDc dc(dialog_inputs(dialog).frame);
    if (dc.get()) GetTextMetricsA(dc.get(), &metrics);
  }
  LOGFONTA description = {};
  description.lfHeight = -metrics.tmHeight;
  description.lfWeight = FW_BOLD;
  delete_heading_font(dialog);
  const HFONT font = CreateFontIndirectA(&description);
  if (!font) return;
  if (!SetPropA(dialog, kHeadingFontProperty, font)) {
    DeleteObject(font);
    return;
  }
  SendDlgItemMessageA(dialog, IDC_INFO_HEADER_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  SendDlgItemMessageA(dialog, IDC_INFO_COLOUR_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void show_text(HWND control, const std::string& text) {
  char shown[256];  // the program's scratch size
  lstrcpynA(shown, text.c_str(), sizeof shown);
  SetWindowTextA(control, shown);
}

// Fills the value fields and colour cells from the store.
void show_picture(HWND dialog, PictureState& picture) {
  InfoTexts texts;
  {
    const StoreLock lock(picture);
    if (!lock.get()) return;
    texts = format_info(lock.get(), store_size(picture), picture.description.source_header_size,
                        picture.description.mask_byte_count);
  }
  if (!texts.filled) return;
  // The first control with id 1 is the value field; the OK button comes after it.
  for (int k = 0; k < kInfoValueCount; ++k) show_text(GetDlgItem(dialog, kInfoFirstValue + k), texts.values[k]);
  const HGDIOBJ cell_font = GetStockObject(OEM_FIXED_FONT);
  for (const InfoCell& cell : texts.cells) {
    HWND control = GetDlgItem(dialog, cell.id);
    if (cell.fixed_font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(cell_font), FALSE);
    show_text(control, cell.text);
  }
}

void on_init_dialog(HWND dialog, LPARAM inputs) {
  keep_dialog_inputs(dialog, inputs);
  add_3d_look_item(dialog);
  set_heading_font(dialog);
  PictureState* picture = dialog_inputs(dialog).picture;
  if (picture && picture->loaded) show_picture(dialog, *picture);
}

}  // namespace

INT_PTR CALLBACK BMPINFO(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: on_init_dialog(dialog, lparam); return TRUE;
    case WM_COMMAND:
      // The whole first parameter is compared: only a plain OK or Cancel ends the dialog.
      if (wparam != IDOK && wparam != IDCANCEL) return FALSE;
      EndDialog(dialog, 1);
      return TRUE;
    case WM_SYSCOMMAND:
      if (wparam == IDM_3D_LOOK) toggle_3d_look(dialog);
      return FALSE;
    case WM_DESTROY:
      // Deleted once the headings are gone, however the dialog ends.
      delete_heading_font(dialog);
      return FALSE;
    default: return FALSE;
  }
}

#include "app/frame_win32.h"
#include "dialogs/dialog_texts.h"
#include "dialogs/dialogs_win32.h"
#include "res/resource_ids.h"

namespace {

void apply_3d_style(HWND dialog, bool on) {
  const LONG style = GetWindowLongA(dialog, GWL_STYLE);
  SetWindowLongA(dialog, GWL_STYLE, on ? (style | DS_3DLOOK) : (style & ~static_cast<LONG>(DS_3DLOOK)));
}

void check_3d_item(HWND dialog, bool on) {
  CheckMenuItem(GetSystemMenu(dialog, FALSE), IDM_3D_LOOK, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace

void add_3d_look_item(HWND dialog) {
  if (!newer_platform()) return;
  const bool on = g_frame.settings.dialog3d != 0;
  apply_3d_style(dialog, on);
  // Each dialog gets its own copy of the system menu, so the item is added at every opening.
  HMENU menu = GetSystemMenu(dialog, FALSE);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, IDM_3D_LOOK, g_frame.japanese ? kJa3dLookItem : kEn3dLookItem);
  check_3d_item(dialog, on);
}

void toggle_3d_look(HWND dialog) {
  g_frame.settings.dialog3d = g_frame.settings.dialog3d != 0 ? 0 : 1;
  const bool on = g_frame.settings.dialog3d != 0;
  apply_3d_style(dialog, on);
  InvalidateRect(dialog, nullptr, TRUE);
  check_3d_item(dialog, on);
}

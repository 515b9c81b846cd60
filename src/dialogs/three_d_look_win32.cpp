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

// A dialog opened without inputs behaves as on an old platform with no setting.
const DialogInputs kNoInputs;

}  // namespace

void keep_dialog_inputs(HWND dialog, LPARAM inputs) { SetWindowLongPtrA(dialog, DWLP_USER, inputs); }

const DialogInputs& dialog_inputs(HWND dialog) {
  const auto* inputs = reinterpret_cast<const DialogInputs*>(GetWindowLongPtrA(dialog, DWLP_USER));
  return inputs ? *inputs : kNoInputs;
}

void add_3d_look_item(HWND dialog) {
  const DialogInputs& inputs = dialog_inputs(dialog);
  if (!inputs.newer_platform || !inputs.dialog3d) return;
  const bool on = *inputs.dialog3d != 0;
  apply_3d_style(dialog, on);
  // Each dialog gets its own copy of the system menu, so the item is added at every opening.
  HMENU menu = GetSystemMenu(dialog, FALSE);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, IDM_3D_LOOK, inputs.japanese ? kJa3dLookItem : kEn3dLookItem);
  check_3d_item(dialog, on);
}

void toggle_3d_look(HWND dialog) {
  int* setting = dialog_inputs(dialog).dialog3d;
  if (!setting) return;
  *setting = *setting != 0 ? 0 : 1;
  const bool on = *setting != 0;
  apply_3d_style(dialog, on);
  InvalidateRect(dialog, nullptr, TRUE);
  check_3d_item(dialog, on);
}

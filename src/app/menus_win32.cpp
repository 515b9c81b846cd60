#include "app/menus_win32.h"

#include "app/frame_state_win32.h"
#include "app/menus.h"

void build_menu(FrameState& state) {
  state.menu = GetMenu(state.frame);
  if (!state.japanese || !state.menu) return;
  // A modification that fails leaves that text English; the bytes go to the platform as stored.
  for (int position = 0; position < kMenuPopupCount; ++position) {
    HMENU popup = GetSubMenu(state.menu, position);
    ModifyMenuA(state.menu, static_cast<UINT>(position), MF_BYPOSITION | MF_POPUP | MF_STRING,
                reinterpret_cast<UINT_PTR>(popup), kJapaneseMenuTitles[position]);
  }
  for (const MenuItemData& item : kJapaneseMenuItems) {
    const UINT enabled = item.grayed ? MF_GRAYED : MF_ENABLED;
    ModifyMenuA(state.menu, static_cast<UINT>(item.id), MF_BYCOMMAND | MF_STRING | enabled,
                static_cast<UINT_PTR>(item.id), item.text);
  }
  DrawMenuBar(state.frame);
}

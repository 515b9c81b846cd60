// The Japanese texts that replace the English resource menu at frame creation.
#ifndef QVX_MENUS_H
#define QVX_MENUS_H

struct MenuItemData {
  const char* text;  // null for a separator
  int id;
  bool grayed;
};

constexpr int kMenuPopupCount = 4;

// The Japanese titles, by position.
extern const char* const kJapaneseMenuTitles[kMenuPopupCount];

// The Japanese item texts in the order they replace the English ones; Info (103)
// is not among them and stays English and grayed.
constexpr int kJapaneseMenuItemCount = 15;
extern const MenuItemData kJapaneseMenuItems[kJapaneseMenuItemCount];

#endif

#include "app/menus.h"

#include "app/app_texts.h"
#include "res/resource_ids.h"

namespace {

// "Accelarator", "Horizont" and the two tabs of Copy are the menu's own texts.
const MenuItemData kFileItems[] = {
    {"&Open...\tCtrl+O", IDM_OPEN, false},   {"Save &As...\tCtrl+S", IDM_SAVE_AS, true},
    {"&Paste\tCtrl+V", IDM_PASTE, false},    {"&Copy\t\tCtrl+C", IDM_COPY, true},
    {nullptr, 0, false},                     {"&Info...", IDM_INFO, true},
    {nullptr, 0, false},                     {"e&xit\tAlt+F4", IDM_EXIT, false},
};
const MenuItemData kOptionItems[] = {
    {"&Letter", IDM_LETTER, false},       {"photo(&Hard)", IDM_PHOTO_HARD, false},
    {"photo(&Soft)", IDM_PHOTO_SOFT, false}, {nullptr, 0, false},
    {"&Accelarator", IDM_FAST, false},
};
const MenuItemData kWindowItems[] = {
    {"&Cascade\tShift+F5", IDM_CASCADE, false},
    {"&Horizont\tShift+F4", IDM_HORIZONTAL, false},
    {"&Tile", IDM_TILE, false},
    {"&Viewer mode\tCtrl+F4", IDM_VIEWER, false},
};
const MenuItemData kHelpItems[] = {
    {"&Help...\tF1", IDM_HELP, false},
    {"&About...", IDM_ABOUT, false},
};

template <int N>
constexpr int count_of(const MenuItemData (&)[N]) {
  return N;
}

}  // namespace

const MenuPopupData kEnglishMenu[kMenuPopupCount] = {
    {"&File", kFileItems, count_of(kFileItems)},
    {"&Option", kOptionItems, count_of(kOptionItems)},
    {"&Window", kWindowItems, count_of(kWindowItems)},
    {"&Help", kHelpItems, count_of(kHelpItems)},
};

const char* const kJapaneseMenuTitles[kMenuPopupCount] = {kJaMenuFile, kJaMenuOption, kJaMenuWindow, kJaMenuHelp};

const MenuItemData kJapaneseMenuItems[kJapaneseMenuItemCount] = {
    {kJaMenuOpen, IDM_OPEN, false},          {kJaMenuSaveAs, IDM_SAVE_AS, true},
    {kJaMenuPaste, IDM_PASTE, false},        {kJaMenuCopy, IDM_COPY, true},
    {kJaMenuExit, IDM_EXIT, false},          {kJaMenuLetter, IDM_LETTER, false},
    {kJaMenuPhotoHard, IDM_PHOTO_HARD, false}, {kJaMenuPhotoSoft, IDM_PHOTO_SOFT, false},
    {kJaMenuFast, IDM_FAST, false},          {kJaMenuCascade, IDM_CASCADE, false},
    {kJaMenuHorizontal, IDM_HORIZONTAL, false}, {kJaMenuTile, IDM_TILE, false},
    {kJaMenuViewer, IDM_VIEWER, false},      {kJaMenuHelpItem, IDM_HELP, false},
    {kJaMenuAbout, IDM_ABOUT, false},
};

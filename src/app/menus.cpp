#include "app/menus.h"

#include "app/app_texts.h"
#include "res/resource_ids.h"

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

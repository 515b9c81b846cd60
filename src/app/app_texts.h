// Texts of the frame: the Japanese ones as Shift-JIS bytes.
#ifndef QVX_APP_TEXTS_H
#define QVX_APP_TEXTS_H

extern const char kJaUnknownCommand[];
extern const char kDensityBarText[];
extern const char kZoomSpinText[];
extern const char kJaInvertText[];
extern const char kEnInvertText[];
extern const char kJaScaleOne[];
extern const char kEnScaleOne[];

// Scale-label formats: "%d" takes the zoom level, or 2 - level below scale 1.
extern const char kJaScaleFormat[];
extern const char kEnScaleFormat[];
extern const char kJaScaleFractionFormat[];
extern const char kEnScaleFractionFormat[];
extern const char kJaScaleFit[];
extern const char kEnScaleFit[];

// The open and save dialogs' filters: description and pattern pairs, ending with an empty pair.
extern const char kJaFileFilter[];
extern const char kEnFileFilter[];
extern const unsigned kJaFileFilterSize;
extern const unsigned kEnFileFilterSize;

// Japanese menu texts. Most carry two mnemonics: 0x1E before the Latin letter and
// 0x1F before the half-width katakana; the platform's menu interprets them.
extern const char kJaMenuFile[];
extern const char kJaMenuOption[];
extern const char kJaMenuWindow[];
extern const char kJaMenuHelp[];
extern const char kJaMenuOpen[];
extern const char kJaMenuSaveAs[];
extern const char kJaMenuPaste[];
extern const char kJaMenuCopy[];
extern const char kJaMenuExit[];
extern const char kJaMenuLetter[];
extern const char kJaMenuPhotoHard[];
extern const char kJaMenuPhotoSoft[];
extern const char kJaMenuFast[];
extern const char kJaMenuCascade[];
extern const char kJaMenuHorizontal[];
extern const char kJaMenuTile[];
extern const char kJaMenuViewer[];
extern const char kJaMenuHelpItem[];
extern const char kJaMenuAbout[];

#endif

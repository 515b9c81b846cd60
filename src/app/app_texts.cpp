#include "app/app_texts.h"

const char kJaUnknownCommand[] =
    "\x82\xB1\x82\xCC\x83R\x83}\x83\x93\x83h\x82\xCD\x8E\xC0\x8Ds\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81" "B";
// The two scroll bars' window texts are never shown and are the same in both languages.
const char kDensityBarText[] = "\x94Z\x93x\x92\xB2\x90\xDF\x83X\x83N\x83\x8D\x81[\x83\x8B\x83o\x81[";
const char kZoomSpinText[] = "\x8Ag\x91\xE5\x8Fk\x8F\xAC\x83{\x83^\x83\x93";
const char kJaInvertText[] = "\x94\xBD\x93]";
const char kEnInvertText[] = "Rev";
const char kJaScaleOne[] = "\xBD\xB9\xB0\xD9 1";
const char kEnScaleOne[] = "scale 1";

const char kJaScaleFormat[] = "\xBD\xB9\xB0\xD9 %d";
const char kEnScaleFormat[] = "scale %d";
const char kJaScaleFractionFormat[] = "\xBD\xB9\xB0\xD9" "1/%d";
const char kEnScaleFractionFormat[] = "scale1/%d";
const char kJaScaleFit[] = "\xBD\xB9\xB0\xD9 0";
const char kEnScaleFit[] = "scale 0";

const char kJaFileFilter[] =
    "\xCB\xDE\xAF\xC4\xCF\xAF\xCC\xDF(*.BMP;*.DIB;*.RLE)\0*.BMP;*.DIB;*.RLE\0\x91S\x83t\x83@\x83" "C\x83\x8B(*.*)\0*.*\0";
const char kEnFileFilter[] = "bitmap(*.BMP;*.DIB;*.RLE)\0*.BMP;*.DIB;*.RLE\0all files(*.*)\0*.*\0";
const unsigned kJaFileFilterSize = sizeof kJaFileFilter;
const unsigned kEnFileFilterSize = sizeof kEnFileFilter;

const char kJaMenuFile[] = "\x83t\x83@\x83" "C\x83\x8B(\x1E" "F\x1F\xCC)";
const char kJaMenuOption[] = "\x83I\x83v\x83V\x83\x87\x83\x93(\x1EO\x1F\xB5)";
const char kJaMenuWindow[] = "\x83" "E\x83" "B\x83\x93\x83h\x83" "E(\x1EW\x1F\xB3)";
const char kJaMenuHelp[] = "\x83w\x83\x8B\x83v(\x1EH\x1F\xCD)";
const char kJaMenuOpen[] = "\x8AJ\x82\xAD(\x1EO\x1F\xCB)...\tCtrl+O";
const char kJaMenuSaveAs[] = "\x95\xDB\x91\xB6(\x1E" "A\x1F\xC5)...\tCtrl+S";
const char kJaMenuPaste[] = "\x93\\\x82\xE8\x95t\x82\xAF(\x1EP\x1F\xCA)\tCtrl+V";
const char kJaMenuCopy[] = "\x83R\x83s\x81[(\x1E" "C\x1F\xBA)\tCtrl+C";
const char kJaMenuExit[] = "\x8FI\x97\xB9(\x1EX\x1F\xBC)\tAlt+F4";
const char kJaMenuLetter[] = "\x95\xB6\x8E\x9A(\x1EM\x1F\xD3)";
const char kJaMenuPhotoHard[] = "\x8E\xCA\x90^(\x8D" "d)(\x1EH\x1F\xBA)";
const char kJaMenuPhotoSoft[] = "\x8E\xCA\x90^(\x93\xEE)(\x1ES\x1F\xC5)";
const char kJaMenuFast[] = "\x8D\x82\x91\xAC\x83\x82\x81[\x83h(\x1E" "A\x1F\xB1)";
const char kJaMenuCascade[] = "\x8F" "d\x82\xCB\x82\xC4\x95\\\x8E\xA6(&C)\tShift+F5";
const char kJaMenuHorizontal[] = "\x8F\xE3\x89\xBA\x82\xC9\x95\xC0\x82\xD7\x82\xE9(&H)\tShift+F4";
const char kJaMenuTile[] = "\x8D\xB6\x89" "E\x82\xC9\x95\xC0\x82\xD7\x82\xE9(&T)";
const char kJaMenuViewer[] = "&Viewer\x83\x82\x81[\x83h\tCtrl+F4";
const char kJaMenuHelpItem[] = "\x83w\x83\x8B\x83v\x82\xCC\x95\\\x8E\xA6(\x1EH\x1F\xCD)...\tF1";
const char kJaMenuAbout[] = "\x83o\x81[\x83W\x83\x87\x83\x93\x8F\xEE\x95\xF1(\x1E" "A\x1F\xBC)...";

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

const char kJaFileFilter[] =
    "\xCB\xDE\xAF\xC4\xCF\xAF\xCC\xDF(*.BMP;*.DIB;*.RLE)\0*.BMP;*.DIB;*.RLE\0\x91S\x83t\x83@\x83" "C\x83\x8B(*.*)\0*.*\0";
const char kEnFileFilter[] = "bitmap(*.BMP;*.DIB;*.RLE)\0*.BMP;*.DIB;*.RLE\0all files(*.*)\0*.*\0";
const unsigned kJaFileFilterSize = sizeof kJaFileFilter;
const unsigned kEnFileFilterSize = sizeof kEnFileFilter;

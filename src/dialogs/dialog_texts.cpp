#include "dialogs/dialog_texts.h"

const char kJa3dLookItem[] = "\x82\x52\x82\x63\x95\x5C\x8E\xA6(\x1ET\x1F\xBB)";
const char kEn3dLookItem[] = "&Three dimention";

const char kAboutCaption[] = "About QUILLVEX";
const char kVersionLine[] = "QUILLVEX  Version 0.09";
const char kJaWordSizeLine[] = "32 bit \x94\xC5";
const char kEnWordSizeLine[] = "32 bits";
const char kJaWordSizeLine64[] = "64 bit \x94\xC5";
const char kEnWordSizeLine64[] = "64 bits";
const char kJaBuildToolLine[] = "GCC \xBA\xDD\xCA\xDF\xB2\xD9";
const char kEnBuildToolLine[] = "GCC build";
// The English credit and distribution lines are the template's own.
const char kJaCreditLine[] = "Quillvex \xC1\xB0\xD1";
const char kJaDistributionLine[] = "";

const char kJaDisplayFormat[] = "\x89\xE6\x96\xCA\xD3\xB0\xC4\xDE:%ld\x90" "F";
const char kEnDisplayFormat[] = "display mode %ld colors";
const char kJaWithPalette[] = " \xCA\xDF\xDA\xAF\xC4\x97" "L";
const char kEnWithPalette[] = " Palette";
const char kJaWithoutPalette[] = " \xCA\xDF\xDA\xAF\xC4\x96\xB3";
const char kEnWithoutPalette[] = " No palette";

const char kRedLabel[] = "red";
const char kGreenLabel[] = "green";
const char kBlueLabel[] = "blue";

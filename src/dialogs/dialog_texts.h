// Texts of the Info and About dialogs: the Japanese ones as Shift-JIS bytes.
#ifndef QVX_DIALOG_TEXTS_H
#define QVX_DIALOG_TEXTS_H

// The 3-D look item of both dialogs' system menus; the Japanese text carries the
// two-mnemonic marks 0x1E and 0x1F around "T".
extern const char kJa3dLookItem[];
extern const char kEn3dLookItem[];

extern const char kAboutCaption[];
extern const char kVersionLine[];
// The word-size line of the 32-bit build and of the 64-bit build.
extern const char kJaWordSizeLine[];
extern const char kEnWordSizeLine[];
extern const char kJaWordSizeLine64[];
extern const char kEnWordSizeLine64[];
extern const char kJaBuildToolLine[];
extern const char kEnBuildToolLine[];
extern const char kJaCreditLine[];
extern const char kJaDistributionLine[];

// Display line formats (one "%ld" for the number of colours) and the palette
// words appended at a depth of 8 bits.
extern const char kJaDisplayFormat[];
extern const char kEnDisplayFormat[];
extern const char kJaWithPalette[];
extern const char kEnWithPalette[];
extern const char kJaWithoutPalette[];
extern const char kEnWithoutPalette[];

// Labels the Info dialog puts beside the three masks of a bit-fields picture.
extern const char kRedLabel[];
extern const char kGreenLabel[];
extern const char kBlueLabel[];

#endif

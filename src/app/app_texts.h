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



// The open and save dialogs' filters: description and pattern pairs, ending with an empty pair.
extern const char kJaFileFilter[];
extern const char kEnFileFilter[];
extern const unsigned kJaFileFilterSize;
extern const unsigned kEnFileFilterSize;
#endif

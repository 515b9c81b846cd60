// Texts of the panes: the Japanese ones as Shift-JIS bytes.
#ifndef QVX_VIEW_TEXTS_H
#define QVX_VIEW_TEXTS_H

// The notice drawn instead of a picture too large to display.
extern const char kJaTooLargeNotice[];

#endif

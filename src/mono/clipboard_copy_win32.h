// Putting the result on the clipboard as a monochrome device bitmap.
#ifndef QVX_CLIPBOARD_COPY_WIN32_H
#define QVX_CLIPBOARD_COPY_WIN32_H

#include <windows.h>

// Returns the outcome of closing the clipboard (0 when nothing was placed).
BOOL copy_result(HWND frame);

#endif

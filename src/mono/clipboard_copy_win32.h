// Putting the result on the clipboard as a monochrome device bitmap.
#ifndef QVX_CLIPBOARD_COPY_WIN32_H
#define QVX_CLIPBOARD_COPY_WIN32_H

#include <windows.h>

#include "image/store_win32.h"

// Brings the result up to date before it is copied; false when it can't be.
using ResultRefresh = bool (*)(HWND frame);

// Puts the picture's result on the clipboard, after `refresh` (which may be null) has brought
// it up to date. Returns false when nothing was placed or the clipboard could not
// be closed again.
bool put_result_on_clipboard(const PictureState& picture, HWND frame, ResultRefresh refresh);

#endif

// Taking a picture from the clipboard.
#ifndef QVX_CLIPBOARD_PASTE_WIN32_H
#define QVX_CLIPBOARD_PASTE_WIN32_H

#include <windows.h>

#include "image/picture.h"

struct PastedPicture {
  HGLOBAL block = nullptr;  // a global movable block holding the packed picture
  PictureDescription description;
};

// Returns true with a new store block when the clipboard gave a picture.
bool paste_from_clipboard(HWND frame, PastedPicture& pasted);

#endif

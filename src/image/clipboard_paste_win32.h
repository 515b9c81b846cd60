// Taking a picture from the clipboard.
#ifndef QVX_CLIPBOARD_PASTE_WIN32_H
#define QVX_CLIPBOARD_PASTE_WIN32_H

#include <windows.h>

#include "image/picture.h"

struct PastedPicture {
  HGLOBAL block = nullptr;  // a global movable block holding the packed picture
  PictureDescription description;
};

// Returns true with a new store block when the clipboard gave a picture: its
// device-independent bitmap when it offers one, else its device bitmap, else
// (neither offered) a 256 x 256 grey ramp.
bool paste_from_clipboard(HWND frame, PastedPicture& pasted);

// The three sources on their own; each returns true with a new block.
bool paste_device_independent(HWND frame, PastedPicture& pasted);
bool paste_device_bitmap(HWND frame, PastedPicture& pasted);
bool make_grey_ramp(PastedPicture& pasted);

#endif

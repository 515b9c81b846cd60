// Making a picture current: from the file named by the current file name, or pasted.
#ifndef QVX_OPEN_PICTURE_WIN32_H
#define QVX_OPEN_PICTURE_WIN32_H

#include <windows.h>

// Returns 1 when the picture is loaded and shown, 0 when nothing was loaded.
int open_picture(HWND frame, bool paste);

// Converts the current picture; when the conversion can't get its memory, shows the
// memory message and leaves the frame with no picture. Returns true when converted.
bool convert_or_drop(HWND frame);

#endif

// Saving the result block as a 1-bit BMP file.
#ifndef QVX_SAVE_WIN32_H
#define QVX_SAVE_WIN32_H

#include "image/store_win32.h"

// Writes the picture's result bitmap behind a file header to target through a new file beside
// it, which replaces the target only once every byte is written. Returns false, with
// the target as it was and no file left behind, when it can't.
bool write_result_file(const PictureState& picture, const char* target);

#endif

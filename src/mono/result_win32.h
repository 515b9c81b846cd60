// The result bitmap block and the operations on it that need the platform.
#ifndef QVX_RESULT_WIN32_H
#define QVX_RESULT_WIN32_H

#include <windows.h>

#include "image/store_win32.h"

// Allocates the picture's initial 48-byte result block (frame creation); false when it can't.
bool create_result_block(PictureState& picture);

// Frees the result block (frame destruction).
void free_result_block(PictureState& picture);

// Resizes the result block for the picture and fills in its header; false when it can't.
bool prepare_result_block(PictureState& picture);

#endif

// Converting the current picture into the result block, with the progress drawn on
// a window.
#ifndef QVX_CONVERT_WIN32_H
#define QVX_CONVERT_WIN32_H

#include <windows.h>

#include "image/store_win32.h"
#include "mono/conversion.h"
#include "mono/random_source.h"

// Converts the picture into its result block at a density with the
// settings' mode and invert, drawing from `random` and the progress at (progress_x,
// progress_y) on the window; false when the conversion can't get its memory
// (nothing converted).
bool convert_into_result(PictureState& picture, HWND window, int density, const ConversionSettings& settings,
                         RandomSource& random, int progress_x, int progress_y);

#endif

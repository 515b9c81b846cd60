// The conversion modes and the threshold each draws per pixel: shared by the
// conversion, its row kernels and the live rendering.
#ifndef QVX_CONVERSION_MODE_H
#define QVX_CONVERSION_MODE_H

#include "mono/random_source.h"

enum ConversionMode : int { kModeLetter = 0, kModePhotoHard = 1, kModePhotoSoft = 2 };

// Returns the threshold for one pixel: fixed in Letter, drawn around the base in the photo modes.
inline int draw_threshold(int mode, int base, RandomSource& random) {
  if (mode == kModePhotoHard) return base + draw_random(random) % 128 - 64;
  if (mode == kModePhotoSoft) return base + draw_random(random) % 255 - 127;
  return base;
}

#endif

// The conversion of the current picture into the 1-bit result, and its settings.
#ifndef QVX_CONVERSION_H
#define QVX_CONVERSION_H

#include <cstdint>

#include "image/picture.h"
#include "mono/random_source.h"

enum ConversionMode : int { kModeLetter = 0, kModePhotoHard = 1, kModePhotoSoft = 2 };

struct ConversionSettings {
  int mode = kModeLetter;
  bool invert = false;
  bool fast = true;  // conversion deferred to painting, saving and copying
};

extern ConversionSettings g_conversion;

// Returns the threshold for one pixel: fixed in Letter, drawn around the base in the photo modes.
inline int draw_threshold(int mode, int base, RandomSource& random) {
  if (mode == kModePhotoHard) return base + draw_random(random) % 128 - 64;
  if (mode == kModePhotoSoft) return base + draw_random(random) % 255 - 127;
  return base;
}

// Called once per storage row before it is converted (the frame draws its progress text).
using ConversionProgress = void (*)(void* context, int32_t row, int32_t height);

// Where pixels come from: the store through the pixel fetch, or, for a picture with
// the read-back flag, one 0xRRGGBB value per pixel with storage row r at r * width
// (null when the platform could not decode the picture: every pixel is then black).
struct ConversionSource {
  const uint8_t* store;
  const PictureDescription* picture;
  const uint32_t* read_back_pixels;
};

// Converts every row of the picture into the prepared result block.
void convert_picture(const ConversionSource& source, uint8_t* result, int threshold_base, int mode, bool invert,
                     RandomSource& random, ConversionProgress progress, void* progress_context);

// Writes the progress text "%3ld%% " for a row into out (at least 16 bytes).
void format_progress(int32_t row, int32_t height, char* out, unsigned out_size);

#endif

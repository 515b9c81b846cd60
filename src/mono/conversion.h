// The conversion of the current picture into the 1-bit result, and its settings.
#ifndef QVX_CONVERSION_H
#define QVX_CONVERSION_H

#include <cstddef>
#include <cstdint>

#include "image/picture.h"
#include "mono/conversion_mode.h"
#include "base/density.h"
#include "mono/random_source.h"


struct ConversionSettings {
  int mode = kModeLetter;
  bool invert = false;
  bool fast = true;  // conversion deferred to painting, saving and copying
};

// Called once per storage row before it is converted (the frame draws its progress text).
using ConversionProgress = void (*)(void* context, int32_t row, int32_t height);

// Returns `count` 0xRRGGBB colours from column x of storage row `row` of a decoded
// picture, or null when the platform can't provide them.
using DecodedPixels = const uint32_t* (*)(void* context, int32_t row, int32_t x, int32_t count);

// Where pixels come from: the store through the pixel fetch, or, for a picture with
// the read-back flag, the platform's decoding: either one 0xRRGGBB value per pixel
// with storage row r at r * width, or spans from `decoded`. Pixels that neither
// provides read as black.
struct ConversionSource {
  const uint8_t* store;
  const PictureDescription* picture;
  const uint32_t* read_back_pixels;
  DecodedPixels decoded = nullptr;
  void* decoded_context = nullptr;
};

// Returns the colours of columns [x, x + count) of a decoded storage row (count at
// most kDecodedSpan, within one multiple of it), or null where they read as black.
inline const uint32_t* decoded_span(const ConversionSource& source, int32_t row, int32_t x, int32_t count) {
  if (source.read_back_pixels)
    return source.read_back_pixels + static_cast<size_t>(row) * static_cast<size_t>(source.picture->width) + x;
  return source.decoded ? source.decoded(source.decoded_context, row, x, count) : nullptr;
}

// Converts every row of the picture into the prepared result block; false, with
// nothing converted, when the row buffer can't be allocated.
bool convert_picture(const ConversionSource& source, uint8_t* result, int threshold_base, int mode, bool invert,
                     RandomSource& random, ConversionProgress progress, void* progress_context);

// Converts rows of luminance (row r at luma + r * luma_stride) into result rows (row r
// at bits + r * bits_stride) as convert_picture converts the same luminances, drawing
// from `random` in row order; false when the row buffer can't be allocated.
bool convert_luminance_rows(const uint8_t* luma, size_t luma_stride, int32_t width, int32_t rows, uint8_t* bits,
                            size_t bits_stride, int threshold_base, int mode, bool invert, RandomSource& random);

// Writes the progress text "%3ld%% " for a row into out (at least 16 bytes).
void format_progress(int32_t row, int32_t height, char* out, unsigned out_size);

#endif

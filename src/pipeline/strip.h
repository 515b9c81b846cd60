// A strip of a picture: a few consecutive storage rows that the core conversion
// takes as a picture of their own.
#ifndef QVX_PIPELINE_STRIP_H
#define QVX_PIPELINE_STRIP_H

#include <cstdint>

#include "image/picture.h"
#include "image/pixel.h"
#include "image/row_decoder.h"
#include "mono/conversion.h"

struct Strip {
  ConversionSource source{nullptr, nullptr, nullptr};
  PictureDescription picture;  // the strip's own description: height = rows
  int32_t first_row = 0;       // storage row of the strip's row 0
  int32_t rows = 0;
};

// Fills out[0 .. width-1] with the luminance of strip row `row`.
inline void strip_luminance(const Strip& strip, int32_t row, uint8_t* out) {
  const int32_t width = strip.picture.width;
  if (width <= 0) return;
  if (strip.picture.read_back != 0) {
    luminance_of_colours(strip.source.read_back_pixels + static_cast<size_t>(row) * static_cast<size_t>(width), width,
                         out);
  } else {
    luminance_row(strip.source.store, strip.picture, row, out);
  }
}

// Rows per strip so that one strip of `row_bytes`-byte rows takes about a mebibyte.
inline int32_t rows_per_strip(uint64_t row_bytes, int32_t height) {
  const uint64_t budget = uint64_t{1} << 20;
  uint64_t rows = row_bytes == 0 ? 64 : budget / row_bytes;
  if (rows < 1) rows = 1;
  if (rows > static_cast<uint64_t>(height)) rows = static_cast<uint64_t>(height);
  return static_cast<int32_t>(rows);
}

#endif

#include "mono/conversion.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "image/pixel.h"
#include "mono/result_bitmap.h"

ConversionSettings g_conversion;

namespace {

// Thresholds one row of luminances into result bytes. Whole bytes are gathered
// locally and stored at once; the rest of a row is set bit by bit, leaving the
// padding bits as they are.
void threshold_row(const uint8_t* luma, int32_t width, uint8_t* row_bytes, int base, int mode, bool invert,
                   RandomSource& random) {
  int32_t x0 = 0;
  const uint8_t flip = invert ? 0xFF : 0x00;
  if (mode == kModeLetter) {
    for (; x0 + 7 < width; x0 += 8) {
      unsigned b = 0;
      for (int k = 0; k < 8; ++k) b |= static_cast<unsigned>(luma[x0 + k] > base) << (7 - k);
      row_bytes[x0 >> 3] = static_cast<uint8_t>(b ^ flip);
    }
  } else {
    for (; x0 + 7 < width; x0 += 8) {
      unsigned b = 0;
      for (int k = 0; k < 8; ++k) {
        const int t = draw_threshold(mode, base, random);
        b |= static_cast<unsigned>(luma[x0 + k] > t) << (7 - k);
      }
      row_bytes[x0 >> 3] = static_cast<uint8_t>(b ^ flip);
    }
  }
  for (int32_t x = x0; x < width; ++x) {
    const int t = draw_threshold(mode, base, random);
    const uint8_t m = static_cast<uint8_t>(0x80 >> (x & 7));
    if ((luma[x] > t) != invert) {
      row_bytes[x >> 3] |= m;
    } else {
      row_bytes[x >> 3] &= static_cast<uint8_t>(~m);
    }
  }
}

}  // namespace

void format_progress(int32_t row, int32_t height, char* out, unsigned out_size) {
  const long percent = static_cast<long>((100 * int64_t{row} + 100) / height);
  std::snprintf(out, out_size, "%3ld%% ", percent);
}

bool convert_picture(const ConversionSource& source, uint8_t* result, int threshold_base, int mode, bool invert,
                     RandomSource& random, ConversionProgress progress, void* progress_context) {
  const PictureDescription& picture = *source.picture;
  const int32_t width = picture.width, height = picture.height;
  if (width <= 0 || height <= 0) return true;
  const uint32_t stride = result_stride(static_cast<uint32_t>(width));
  // The width comes from the picture; a compressed one may declare far more than it stores.
  std::unique_ptr<uint8_t[]> row_luma(new (std::nothrow) uint8_t[static_cast<size_t>(width)]);
  if (!row_luma) return false;
  uint8_t* luma = row_luma.get();
  for (int32_t row = 0; row < height; ++row) {
    if (progress) progress(progress_context, row, height);
    if (picture.read_back != 0) {
      // Decoded pixels that the platform could not provide read as black.
      for (int32_t x = 0; x < width; x += kDecodedSpan) {
        const int32_t count = std::min(kDecodedSpan, width - x);
        const uint32_t* colours = decoded_span(source, row, x, count);
        if (colours) {
          luminance_of_colours(colours, count, luma + x);
        } else {
          std::fill(luma + x, luma + x + count, 0);
        }
      }
    } else {
      luminance_row(source.store, picture, row, luma);
    }
    threshold_row(luma, width, result + kResultPixelOffset + static_cast<size_t>(row) * stride, threshold_base,
                  mode, invert, random);
  }
  return true;
}

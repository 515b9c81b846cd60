#include "mono/conversion.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "image/pixel.h"
#include "image/row_decoder.h"
#include "mono/threshold_kernels.h"
#include "mono/result_bitmap.h"

namespace {

// Thresholds one row of luminances into result bytes. Whole bytes are gathered by
// the kernels and stored at once; the rest of a row is set bit by bit, leaving the
// padding bits as they are. `thresholds` holds the row's drawn thresholds in the
// photo modes and is null in Letter.
void threshold_row(const ThresholdKernels& kernels, const uint8_t* luma, const int16_t* thresholds, int32_t width,
                   uint8_t* row_bytes, int base, bool invert) {
  const uint8_t flip = invert ? 0xFF : 0x00;
  const int32_t whole = width / 8;
  if (thresholds) {
    kernels.varying(luma, thresholds, whole, flip, row_bytes);
  } else {
    kernels.fixed(luma, whole, base, flip, row_bytes);
  }
  for (int32_t x = whole * 8; x < width; ++x) {
    const int t = thresholds ? thresholds[x] : base;
    const uint8_t m = static_cast<uint8_t>(0x80 >> (x & 7));
    if ((luma[x] > t) != invert) {
      row_bytes[x >> 3] |= m;
    } else {
      row_bytes[x >> 3] &= static_cast<uint8_t>(~m);
    }
  }
}

// Beyond these bounds every threshold already lies below 0 or above 255, so the
// results and the draws stay the same while the kernels keep to 16-bit thresholds.
int limited_base(int threshold_base) { return std::min(std::max(threshold_base, -200), 600); }

// Draws a photo mode's thresholds for one row, then thresholds its luminances.
void convert_row(const ThresholdKernels& kernels, const uint8_t* luma, int16_t* thresholds, int32_t width,
                 uint8_t* row_bytes, int base, int mode, bool invert, RandomSource& random) {
  const bool photo = mode == kModePhotoHard || mode == kModePhotoSoft;
  if (photo) kernels.draw(random, mode, base, width, thresholds);
  threshold_row(kernels, luma, photo ? thresholds : nullptr, width, row_bytes, base, invert);
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
  const int base = limited_base(threshold_base);
  const bool photo = mode == kModePhotoHard || mode == kModePhotoSoft;
  const ThresholdKernels& kernels = active_threshold_kernels();
  const bool read_back = picture.read_back != 0;
  RowDecoder decoder;
  if (!read_back) decoder = make_row_decoder(source.store, picture, RowUse::kLuminance);
  // The width comes from the picture; a compressed one may declare far more than it stores.
  std::unique_ptr<uint8_t[]> row_luma(new (std::nothrow) uint8_t[static_cast<size_t>(width)]);
  std::unique_ptr<int16_t[]> row_thresholds(photo ? new (std::nothrow) int16_t[static_cast<size_t>(width)] : nullptr);
  if (!row_luma || (photo && !row_thresholds)) return false;
  uint8_t* luma = row_luma.get();
  int16_t* thresholds = row_thresholds.get();
  for (int32_t row = 0; row < height; ++row) {
    if (progress) progress(progress_context, row, height);
    if (!read_back) {
      decode_luminance_row(decoder, row, luma);
    } else {
      // Decoded pixels that the platform could not provide read as black.
      // Stepping by the span just taken: x + count never passes the width, so it can't overflow.
      int32_t count = 0;
      for (int32_t x = 0; x < width; x += count) {
        count = std::min(kDecodedSpan, width - x);
        const uint32_t* colours = decoded_span(source, row, x, count);
        if (colours) {
          luminance_of_colours(colours, count, luma + x);
        } else {
          std::fill(luma + x, luma + x + count, 0);
        }
      }
    }
    convert_row(kernels, luma, thresholds, width, result + kResultPixelOffset + static_cast<size_t>(row) * stride, base,
                mode, invert, random);
  }
  return true;
}

bool convert_luminance_rows(const uint8_t* luma, size_t luma_stride, int32_t width, int32_t rows, uint8_t* bits,
                            size_t bits_stride, int threshold_base, int mode, bool invert, RandomSource& random) {
  if (width <= 0 || rows <= 0) return true;
  const int base = limited_base(threshold_base);
  const bool photo = mode == kModePhotoHard || mode == kModePhotoSoft;
  std::unique_ptr<int16_t[]> row_thresholds(photo ? new (std::nothrow) int16_t[static_cast<size_t>(width)] : nullptr);
  if (photo && !row_thresholds) return false;
  const ThresholdKernels& kernels = active_threshold_kernels();
  for (int32_t row = 0; row < rows; ++row) {
    convert_row(kernels, luma + static_cast<size_t>(row) * luma_stride, row_thresholds.get(), width,
                bits + static_cast<size_t>(row) * bits_stride, base, mode, invert, random);
  }
  return true;
}

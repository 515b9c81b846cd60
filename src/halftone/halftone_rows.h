// The row work of each method family, used by the converter (halftone.cpp). The
// scalar functions are the reference every vector path is compared with.
#ifndef QVX_HALFTONE_ROWS_H
#define QVX_HALFTONE_ROWS_H

#include <cstdint>
#include <vector>

#include "halftone/halftone.h"
#include "image/simd_level.h"

// One error-diffusion kernel: its neighbours listed row by row, left to right in the
// scan direction; every listed one but the last gets trunc(e * weight / divisor), the
// last one the rest of e. Atkinson's (no remainder) gives each trunc(e / 8).
struct DiffusionKernel {
  int count;
  int divisor;
  bool remainder_to_last;
  struct Share {
    int dx, dy, weight;
  } shares[12];
};

// Returns the kernel of an error-diffusion method.
const DiffusionKernel& diffusion_kernel(HalftoneMethod method);

// Runs one row of error diffusion: values[x] (s) plus the error carried in
// errors[0][x] decide each pixel; the shares go to errors[dy] (rows with two spare
// columns either side, index 0 at offset 2). direction is 1 or -1. Writes the row's
// bits (width pixels, bits past the width zero).
void diffuse_row_scalar(const DiffusionKernel& kernel, const int32_t* values, int32_t* const* errors, int32_t width,
                        int direction, int32_t half, int32_t white, bool invert, uint8_t* bits);

// Thresholds one row of s against its window: rows of the window in the column sums
// (`rows` of them), columns x - radius .. x + radius clipped to the row. row_sums and
// row_squares are scratch of width + 1. The rules, with n pixels in the window, S
// their sum and Q the sum of their squares:
//   bradley: white when s * n * 100 > S * (100 - percent), in exact integers;
//   sauvola: white when s > m * (1 + k * (sd / R - 1)), niblack: white when s > m + k * sd,
//   with m = S / n, sd = sqrt(max(0, Q / n - m * m)) and R = 128 (128 * 257 in linear
//   light), each step one IEEE double operation rounded to nearest in that order.
void local_threshold_row(HalftoneMethod method, const uint16_t* s, const int64_t* column_sums,
                         const int64_t* column_squares, int32_t rows, int32_t width, int32_t radius, int percent,
                         double k, int32_t white, bool invert, int64_t* row_sums, int64_t* row_squares, uint8_t* bits);

// Floyd-Steinberg (8-bit levels, left to right) on a band of rows at once (8 for
// SSE2, 16 for AVX2), s = clamp(L + offset, 0, 255): the errors carried into the
// first row in above[x], the shares for the row after the last added to below (whose
// spare columns get nothing); widths up to kMaxBandWidth. The scratch is sized by
// size_band_scratch.
constexpr int kDiffusionBandRows = 16;
constexpr int32_t kMaxBandWidth = 32000;
constexpr int32_t kBandPad = 48;
inline void size_band_scratch(DiffusionBandScratch& s, int32_t width) {
  const size_t row = static_cast<size_t>(width) + 2 * kBandPad;
  s.values.assign(kDiffusionBandRows * row, 0);
  s.whites.assign(kDiffusionBandRows * row, 0);
  s.below.assign(row, 0);
}
#if defined(__x86_64__) || defined(__i386__)
void diffuse_band_fs_sse2(const uint8_t* const* luma, int offset, int32_t* above, int32_t* below, int32_t width,
                          bool invert, DiffusionBandScratch& scratch, uint8_t* const* bits);
void diffuse_band_fs_avx2(const uint8_t* const* luma, int offset, int32_t* above, int32_t* below, int32_t width,
                          bool invert, DiffusionBandScratch& scratch, uint8_t* const* bits);
#endif

// Ordered dither of one row: white when clamp(L + offset, 0, 255) > thresholds[x % 64]
// (the thresholds repeat every 64 pixels and hold 64 + 64 entries).
struct OrderedKernels {
  void (*row)(const uint8_t* luma, int32_t width, int offset, const uint8_t* thresholds, uint8_t flip, uint8_t* bits);
};

void ordered_row_scalar(const uint8_t* luma, int32_t width, int offset, const uint8_t* thresholds, uint8_t flip,
                        uint8_t* bits);

// Returns the ordered-dither kernels of a level (scalar where the build lacks it).
const OrderedKernels& ordered_kernels(SimdLevel level);

// The 64 x 64 blue-noise ranks 0..4095, row by row (blue_noise_array.cpp).
extern const uint16_t kBlueNoise64[64 * 64];

#endif

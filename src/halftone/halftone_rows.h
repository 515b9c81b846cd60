// The row work of each method family, used by the converter (halftone.cpp). The
// scalar functions are the reference every vector path is compared with.
#ifndef QVX_HALFTONE_ROWS_H
#define QVX_HALFTONE_ROWS_H

#include <cstdint>
#include <vector>

#include "halftone/halftone_params.h"
#include "halftone/halftone_scratch.h"
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

// The published kernels; shares listed row by row, left to right.
inline constexpr DiffusionKernel kFloydSteinbergKernel = {4, 16, true, {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}};
inline constexpr DiffusionKernel kJarvisKernel = {
    12,
    48,
    true,
    {{1, 0, 7}, {2, 0, 5}, {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5}, {2, 1, 3}, {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5},
     {1, 2, 3}, {2, 2, 1}}};
inline constexpr DiffusionKernel kStuckiKernel = {
    12,
    42,
    true,
    {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}, {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4},
     {1, 2, 2}, {2, 2, 1}}};
inline constexpr DiffusionKernel kBurkesKernel = {
    7, 32, true, {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}};
inline constexpr DiffusionKernel kSierraKernel = {
    10,
    32,
    true,
    {{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5}, {1, 1, 4}, {2, 1, 2}, {-1, 2, 2}, {0, 2, 3}, {1, 2, 2}}};
inline constexpr DiffusionKernel kSierra2Kernel = {
    7, 16, true, {{1, 0, 4}, {2, 0, 3}, {-2, 1, 1}, {-1, 1, 2}, {0, 1, 3}, {1, 1, 2}, {2, 1, 1}}};
inline constexpr DiffusionKernel kSierraLiteKernel = {3, 4, true, {{1, 0, 2}, {-1, 1, 1}, {0, 1, 1}}};
inline constexpr DiffusionKernel kAtkinsonKernel = {
    6, 8, false, {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}}};

// Returns the kernel of an error-diffusion method.
const DiffusionKernel& diffusion_kernel(HalftoneMethod method);

// Runs one row of error diffusion: values[x] (s) plus the error carried in
// errors[0][x] decide each pixel; the shares go to errors[dy] (rows with two spare
// columns either side, index 0 at offset 2). direction is 1 or -1. Writes the row's
// bits (width pixels, bits past the width zero).
void diffuse_row_scalar(const DiffusionKernel& kernel, const int32_t* values, int32_t* const* errors, int32_t width,
                        int direction, int32_t half, int32_t white, bool invert, uint8_t* bits);

// The same row with the same result, the shares to the pixels ahead looked up and the
// shares to the rows below given over the whole row at once: the path of the x86
// vector levels where the bands do not run (serpentine rows, linear light without
// AVX2). linear: white 65535, else 255. The scratch is sized by size_chain_scratch.
void size_chain_scratch(ChainScratch& scratch, int32_t width);
// With `carry` (left to right only) the row may be the first part of a longer one: the
// shares its last pixels give the two pixels after it are added to errors[0] there.
void diffuse_row_chain(const DiffusionKernel& kernel, const int32_t* values, int32_t* const* errors, int32_t width,
                       int direction, bool linear, bool invert, ChainScratch& scratch, uint8_t* bits,
                       bool carry = false);

// Thresholds one row of s against its window: rows of the window in the column sums
// (`rows` of them), columns x - radius .. x + radius clipped to the row. row_sums and
// row_squares are scratch of width + 1. The rules, with n pixels in the window, S
// their sum, Q the sum of their squares, m = S / n and sd = sqrt(Q / n - m^2):
//   bradley: white when s * n * 100 > S * (100 - percent), in exact integers;
//   niblack: s > m + k sd, taken as n s - S > k sqrt(V) with V = n Q - S^2;
//   sauvola: s > m (1 + k (sd / R - 1)), R = 128 (128 * 257 in linear light), taken
//   as n R (n s - S) > -(k S) (n R - sqrt(V)).
// n s - S is an exact integer; the rest is IEEE double arithmetic rounded to nearest,
// one operation at a time in the order local_white gives (V from n, Q and S as
// doubles, exact while n Q stays below 2^53; a V below 0 taken as 0).
bool local_white(HalftoneMethod method, int64_t s, int64_t n, int64_t sum, int64_t squares, int percent, double k,
                 double range);

inline double local_range(int32_t white) { return white == 255 ? 128.0 : 128.0 * 257.0; }

void local_threshold_row(HalftoneMethod method, const uint16_t* s, const int64_t* column_sums,
                         const int64_t* column_squares, int32_t rows, int32_t width, int32_t radius, int percent,
                         double k, int32_t white, bool invert, int64_t* row_sums, int64_t* row_squares, uint8_t* bits);

// Error diffusion (8-bit levels, left to right) on a band of rows at once: 8 rows and
// Floyd-Steinberg only with SSE2, 16 rows and every kernel with AVX2;
// s = clamp(L + offset, 0, 255). The errors carried into the band's first two rows
// come in above0 and above1; the errors for the two rows after the band are left in
// scratch.below (two rows of width, index 0 at kBandPad). False, with nothing given
// out, when an error grew past scratch.error_limit (the 16-bit arithmetic is exact
// within it): the scalar path then does the rows. Widths up to kMaxBandWidth.
constexpr int kDiffusionBandRows = 16;
constexpr int32_t kMaxBandWidth = 32000;
constexpr int32_t kBandPad = 80;
inline void size_band_scratch(DiffusionBandScratch& s, int32_t width) {
  const size_t row = static_cast<size_t>(width) + 2 * kBandPad;
  s.values.assign(kDiffusionBandRows * row, 0);
  s.whites.assign(kDiffusionBandRows * row, 0);
  s.below.assign(2 * row, 0);
}
// The scalar ends of the band kernels: values[x] = clamp(luma[x] + offset, 0, 255) for
// x from `from` on, and the white flags from `from` on packed into bits (cleared first).
inline void fill_band_values_from(const uint8_t* luma, int offset, int32_t from, int32_t width, int16_t* values) {
  for (int32_t x = from; x < width; ++x) {
    const int v = luma[x] + offset;
    values[x] = static_cast<int16_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
}
inline void pack_band_whites_from(const uint8_t* whites, int flip, int32_t from, int32_t width, uint8_t* bits) {
  if (from >= width) return;
  for (int32_t x = from; x < width; x += 8) bits[x >> 3] = 0;
  for (int32_t x = from; x < width; ++x)
    bits[x >> 3] |= static_cast<uint8_t>(((whites[x] & 1) ^ (flip & 1)) << (7 - (x & 7)));
}

// Bands side by side on several threads, each band the one below the band before: a band
// waits before each stretch of kBandStretch steps until the band above has handed on the
// errors carried into that stretch's columns, and hands on its own for the band below as
// they become final. wait(columns) returns once above0 and above1 are final left of
// `columns`; done(columns) says that below0 and below1 (rows of width, the errors carried
// into the two rows after the band) are final left of `columns`. A linked band whose
// errors outgrow the limit returns false at once, having handed on only exact errors.
struct BandLink {
  void (*wait)(void* context, int32_t columns);
  void (*done)(void* context, int32_t columns);
  void* context;
  int32_t* below0;
  int32_t* below1;
};
constexpr int32_t kBandStretch = 256;

// Linear light on a band of 8 rows with AVX2, one row per 32-bit lane (errors there
// outgrow 16 bits), any kernel: s = tone[luma[x]]; as above otherwise, the rows below
// left in scratch.wide_below, false when an error reached scratch.wide_error_limit.
// The 32-bit vector arithmetic is exact for every |e| below kWideErrorLimit.
constexpr int32_t kWideErrorLimit = 1 << 20;
constexpr int kWideBandRows = 8;
inline void size_wide_band_scratch(DiffusionBandScratch& s, int32_t width) {
  const size_t row = static_cast<size_t>(width) + 2 * kBandPad;
  s.wide_values.assign(kWideBandRows * row, 0);
  s.whites.assign(kWideBandRows * row, 0);
  s.wide_below.assign(2 * row, 0);
}

#if defined(__x86_64__) || defined(__i386__)
bool diffuse_band_wide_avx2(HalftoneMethod method, const uint8_t* const* luma, const uint16_t* tone,
                            const int32_t* above0, const int32_t* above1, int32_t width, bool invert,
                            DiffusionBandScratch& scratch, uint8_t* const* bits, const BandLink* link = nullptr);
bool diffuse_band_fs_sse2(const uint8_t* const* luma, int offset, const int32_t* above0, const int32_t* above1,
                          int32_t width, bool invert, DiffusionBandScratch& scratch, uint8_t* const* bits);
bool diffuse_band_avx2(HalftoneMethod method, const uint8_t* const* luma, int offset, const int32_t* above0,
                       const int32_t* above1, int32_t width, bool invert, DiffusionBandScratch& scratch,
                       uint8_t* const* bits, const BandLink* link = nullptr);
#endif
#ifdef __wasm_simd128__
bool diffuse_band_fs_wasm(const uint8_t* const* luma, int offset, const int32_t* above0, int32_t width, bool invert,
                          DiffusionBandScratch& scratch, uint8_t* const* bits);
#endif

// The same with AVX2 on 8-bit levels and windows up to kNarrowRadius, whose sums fit
// 32 bits: column sums as 32-bit values (squares wrapping around), pre_sums and
// pre_squares scratch of width + 2 radius + 2. The last partial byte's spare bits are zero.
constexpr int32_t kNarrowRadius = 90;
#if defined(__x86_64__) || defined(__i386__)
void add_to_narrow_columns_avx2(const uint16_t* s, bool add, int32_t width, uint32_t* sums, uint32_t* squares);
void narrow_local_threshold_row_avx2(HalftoneMethod method, const uint16_t* s, const uint32_t* column_sums,
                                     const uint32_t* column_squares, int32_t rows, int32_t width, int32_t radius,
                                     int percent, double k, bool invert, uint32_t* pre_sums, uint32_t* pre_squares,
                                     uint8_t* bits);
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

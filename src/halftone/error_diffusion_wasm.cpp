// Floyd-Steinberg on a band of 8 rows at once with WebAssembly's 128-bit vectors, for
// the page: one row per 16-bit lane, each row two pixels behind the one above it, so
// every share a pixel takes is final when it is reached. Exactly the scalar arithmetic
// (trunc toward zero, the rest of e to the last neighbour); the same steps as the
// SSE2 band (error_diffusion_x86.cpp).
#include "halftone/halftone_rows.h"

#ifdef __wasm_simd128__
#include <wasm_simd128.h>

#include <algorithm>
#include <cstring>

#include "halftone/vector_lanes_wasm.h"

namespace {

constexpr int kLanes = 8;

// Lane i takes lane i - 1, lane 0 becomes 0.
inline v128_t lanes_up(v128_t v) {
  return wasm_i8x16_shuffle(wasm_i16x8_splat(0), v, 0, 1, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29);
}

// Lane i takes lane i + 1, lane 7 becomes 0.
inline v128_t lanes_down(v128_t v) {
  return wasm_i8x16_shuffle(v, wasm_i16x8_splat(0), 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17);
}

// The state carried from step to step: the 7/16 share for each lane's next pixel, the
// shares from the lane above for the next three steps, and the shares from the last
// lane for the row below the band.
struct BandState {
  v128_t carry, pending1, pending2, pending3;
  v128_t last5, last1, before_last1, below;
  v128_t outside;  // lanes where an e fell outside +-limit
};

// One step: every lane takes one pixel. Lanes outside their rows (masked) pass no error on.
template <bool kMasked>
inline v128_t step(BandState& b, v128_t s, int32_t t, int32_t width, v128_t limit) {
  const v128_t w = wasm_i16x8_add(wasm_i16x8_add(s, b.pending1), b.carry);
  const v128_t is_white = wasm_i16x8_gt(w, wasm_i16x8_splat(127));
  v128_t e = wasm_i16x8_sub(w, wasm_v128_and(is_white, wasm_i16x8_splat(255)));
  if (kMasked) e = wasm_v128_and(e, lanes_inside(t, width));
  b.outside = wasm_v128_or(b.outside, wasm_v128_or(wasm_i16x8_gt(e, limit), wasm_i16x8_gt(wasm_i16x8_neg(limit), e)));
  // trunc(e * k / 16): 15 added to negative products before the arithmetic shift.
  const v128_t round = wasm_v128_and(wasm_i16x8_shr(e, 15), wasm_i16x8_splat(15));
  const v128_t s7 = wasm_i16x8_shr(wasm_i16x8_add(wasm_i16x8_mul(e, wasm_i16x8_splat(7)), round), 4);
  const v128_t s3 = wasm_i16x8_shr(wasm_i16x8_add(wasm_i16x8_mul(e, wasm_i16x8_splat(3)), round), 4);
  const v128_t s5 = wasm_i16x8_shr(wasm_i16x8_add(wasm_i16x8_mul(e, wasm_i16x8_splat(5)), round), 4);
  const v128_t s1 = wasm_i16x8_sub(wasm_i16x8_sub(wasm_i16x8_sub(e, s7), s3), s5);
  b.carry = s7;
  b.pending1 = wasm_i16x8_add(b.pending2, lanes_up(s3));
  b.pending2 = wasm_i16x8_add(b.pending3, lanes_up(s5));
  b.pending3 = lanes_up(s1);
  // The row below takes, at pixel t - 15, the last lane's 3/16 of now, 5/16 of the
  // step before and the rest of the one before that; each step's total enters lane 7.
  const v128_t total = wasm_i16x8_add(wasm_i16x8_add(s3, b.last5), b.before_last1);
  b.before_last1 = b.last1;
  b.last1 = s1;
  b.last5 = s5;
  b.below = wasm_v128_or(lanes_down(b.below), wasm_v128_and(total, wasm_i16x8_make(0, 0, 0, 0, 0, 0, 0, -1)));
  return is_white;
}

template <bool kMasked>
inline void eight_steps(BandState& b, int16_t* const* values, uint8_t* const* whites, int16_t* below, int32_t t0,
                        int32_t width, v128_t limit) {
  v128_t v[kLanes];
  for (int j = 0; j < kLanes; ++j) v[j] = wasm_v128_load(values[j] + t0 - 2 * j);
  transpose8(v);
  for (int k = 0; k < kLanes; ++k) v[k] = step<kMasked>(b, v[k], t0 + k, width, limit);
  transpose8(v);
  for (int j = 0; j < kLanes; ++j) {
    const uint64_t packed = wasm_i64x2_extract_lane(wasm_i8x16_narrow_i16x8(v[j], v[j]), 0);
    std::memcpy(whites[j] + t0 - 2 * j, &packed, sizeof packed);
  }
  wasm_v128_store(below + t0 - 15, b.below);
}

// The rows' s as 16-bit values with kBandPad zeros either side; the errors from the
// row above the band join the first row's values.
void fill_band_values(const uint8_t* const* luma, int offset, const int32_t* above, int32_t width,
                      DiffusionBandScratch& scratch, int16_t** values, uint8_t** whites) {
  const size_t row = static_cast<size_t>(width) + 2 * kBandPad;
  const v128_t add = wasm_u8x16_splat(static_cast<uint8_t>(offset > 0 ? offset : 0));
  const v128_t sub = wasm_u8x16_splat(static_cast<uint8_t>(offset < 0 ? -offset : 0));
  for (int j = 0; j < kLanes; ++j) {
    values[j] = scratch.values.data() + j * row + kBandPad;
    whites[j] = scratch.whites.data() + j * row + kBandPad;
    int32_t x = 0;
    for (; width - x >= 16; x += 16) {
      const v128_t v = wasm_u8x16_sub_sat(wasm_u8x16_add_sat(wasm_v128_load(luma[j] + x), add), sub);
      wasm_v128_store(values[j] + x, wasm_u16x8_extend_low_u8x16(v));
      wasm_v128_store(values[j] + x + 8, wasm_u16x8_extend_high_u8x16(v));
    }
    fill_band_values_from(luma[j], offset, x, width, values[j]);
  }
  for (int32_t x = 0; x < width; ++x) values[0][x] = static_cast<int16_t>(values[0][x] + above[x]);
}

// Packs each row's white flags into bits, the first pixel of each eight on bit 7.
void pack_band_whites(int32_t width, bool invert, uint8_t* const* whites, uint8_t* const* bits) {
  const int flip = invert ? 0xFF : 0;
  for (int j = 0; j < kLanes; ++j) {
    int32_t x = 0;
    for (; width - x >= 16; x += 16) {
      const v128_t m = wasm_v128_load(whites[j] + x);
      const int mask = wasm_i8x16_bitmask(wasm_i8x16_shuffle(m, m, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8));
      bits[j][x >> 3] = static_cast<uint8_t>(mask ^ flip);
      bits[j][(x >> 3) + 1] = static_cast<uint8_t>((mask >> 8) ^ flip);
    }
    pack_band_whites_from(whites[j], flip, x, width, bits[j]);
  }
}

}  // namespace

bool diffuse_band_fs_wasm(const uint8_t* const* luma, int offset, const int32_t* above0, int32_t width, bool invert,
                          DiffusionBandScratch& scratch, uint8_t* const* bits) {
  int16_t* values[kLanes];
  uint8_t* whites[kLanes];
  fill_band_values(luma, offset, above0, width, scratch, values, whites);
  int16_t* below16 = scratch.below.data() + kBandPad;
  BandState b;
  b.carry = b.pending1 = b.pending2 = b.pending3 = wasm_i16x8_splat(0);
  b.last5 = b.last1 = b.before_last1 = b.below = b.outside = wasm_i16x8_splat(0);
  const v128_t limit = wasm_i16x8_splat(static_cast<int16_t>(scratch.error_limit));
  // Every lane is inside its row from step 14 to step width - 1; the steps run until
  // the row below has its last pixel's total (step width + 14).
  const int32_t steps = (width + 15 + 7) / 8 * 8;
  for (int32_t t0 = 0; t0 < steps; t0 += 8) {
    if (t0 >= 16 && t0 + 8 <= width) {
      eight_steps<false>(b, values, whites, below16, t0, width, limit);
    } else {
      eight_steps<true>(b, values, whites, below16, t0, width, limit);
    }
  }
  if (wasm_v128_any_true(b.outside)) return false;
  // Floyd-Steinberg reaches one row below the band only.
  std::fill(scratch.below.begin() + static_cast<ptrdiff_t>(width + 2 * kBandPad), scratch.below.end(), 0);
  pack_band_whites(width, invert, whites, bits);
  return true;
}

#endif

// Floyd-Steinberg to grey levels with WebAssembly's 128-bit vectors, for the page: the
// AVX2 band's steps (grey_levels_x86.cpp) on two vectors of eight 16-bit lanes, one row
// a lane, each row two pixels behind the one above it, so that every share a pixel
// takes is final when its lane reaches it. The level is the count of midpoints
// q_k + q_k+1 below 2 w (a tie stays darker), its value a byte lookup.
#include "halftone/grey_levels_wasm.h"

#ifdef __wasm_simd128__
#include <wasm_simd128.h>

namespace {

constexpr int kLanes = 8;
constexpr int kGroups = kDiffusionBandRows / kLanes;

// Lane j takes lane j - 1's value, lane 0 lane 7 of the vector of the rows above.
inline v128_t lanes_up1(v128_t v, v128_t above) { return wasm_i16x8_shuffle(above, v, 7, 8, 9, 10, 11, 12, 13, 14); }

inline void transpose8(v128_t* v) {
  const v128_t a0 = wasm_i16x8_shuffle(v[0], v[1], 0, 8, 1, 9, 2, 10, 3, 11);
  const v128_t a1 = wasm_i16x8_shuffle(v[0], v[1], 4, 12, 5, 13, 6, 14, 7, 15);
  const v128_t a2 = wasm_i16x8_shuffle(v[2], v[3], 0, 8, 1, 9, 2, 10, 3, 11);
  const v128_t a3 = wasm_i16x8_shuffle(v[2], v[3], 4, 12, 5, 13, 6, 14, 7, 15);
  const v128_t a4 = wasm_i16x8_shuffle(v[4], v[5], 0, 8, 1, 9, 2, 10, 3, 11);
  const v128_t a5 = wasm_i16x8_shuffle(v[4], v[5], 4, 12, 5, 13, 6, 14, 7, 15);
  const v128_t a6 = wasm_i16x8_shuffle(v[6], v[7], 0, 8, 1, 9, 2, 10, 3, 11);
  const v128_t a7 = wasm_i16x8_shuffle(v[6], v[7], 4, 12, 5, 13, 6, 14, 7, 15);
  const v128_t b0 = wasm_i32x4_shuffle(a0, a2, 0, 4, 1, 5), b1 = wasm_i32x4_shuffle(a0, a2, 2, 6, 3, 7);
  const v128_t b2 = wasm_i32x4_shuffle(a1, a3, 0, 4, 1, 5), b3 = wasm_i32x4_shuffle(a1, a3, 2, 6, 3, 7);
  const v128_t b4 = wasm_i32x4_shuffle(a4, a6, 0, 4, 1, 5), b5 = wasm_i32x4_shuffle(a4, a6, 2, 6, 3, 7);
  const v128_t b6 = wasm_i32x4_shuffle(a5, a7, 0, 4, 1, 5), b7 = wasm_i32x4_shuffle(a5, a7, 2, 6, 3, 7);
  v[0] = wasm_i64x2_shuffle(b0, b4, 0, 2);
  v[1] = wasm_i64x2_shuffle(b0, b4, 1, 3);
  v[2] = wasm_i64x2_shuffle(b1, b5, 0, 2);
  v[3] = wasm_i64x2_shuffle(b1, b5, 1, 3);
  v[4] = wasm_i64x2_shuffle(b2, b6, 0, 2);
  v[5] = wasm_i64x2_shuffle(b2, b6, 1, 3);
  v[6] = wasm_i64x2_shuffle(b3, b7, 0, 2);
  v[7] = wasm_i64x2_shuffle(b3, b7, 1, 3);
}

struct Tables {
  v128_t mids[kMaxLevels - 1];  // q_k + q_k+1
  v128_t values;                // q_k as bytes
  int gaps;                     // levels - 1
};

// Per vector of rows: the shares taken 1, 2 and 3 steps on (not yet moved down a lane
// for the lane below), the 7/16 for each lane's next pixel, and the lanes where |e|
// passed the limit.
struct State {
  v128_t right[kGroups], below1[kGroups], below2[kGroups], below3[kGroups], outside;
};

// trunc(e * weight / 16) from a = |e| within the limit and sign = e >> 15.
template <int weight>
inline v128_t sixteenth(v128_t a, v128_t sign) {
  const v128_t q = wasm_u16x8_shr(wasm_i16x8_mul(a, wasm_i16x8_splat(weight)), 4);
  return wasm_i16x8_sub(wasm_v128_xor(q, sign), sign);
}

// One step: every lane takes one pixel (rows 8 g .. 8 g + 7 in s[g]); the levels go to
// k[g]. Lanes outside their rows (masked) pass no error on.
template <bool kMasked>
inline void step(State& b, const Tables& t, const v128_t* s, int32_t step_index, int32_t width, v128_t limit,
                 int16_t* last_error, v128_t* levels) {
  v128_t w[kGroups];
  for (int g = 0; g < kGroups; ++g) {
    const v128_t from_above = lanes_up1(b.below1[g], g == 0 ? wasm_i16x8_splat(0) : b.below1[g - 1]);
    w[g] = wasm_i16x8_add(s[g], wasm_i16x8_add(b.right[g], from_above));
  }
  for (int g = 0; g < kGroups; ++g) {
    const v128_t w2 = wasm_i16x8_add(w[g], w[g]);
    v128_t k = wasm_i16x8_splat(0);
    for (int j = 0; j < t.gaps; ++j) k = wasm_i16x8_sub(k, wasm_i16x8_gt(w2, t.mids[j]));
    levels[g] = k;
    v128_t e = wasm_i16x8_sub(w[g], wasm_i8x16_swizzle(t.values, k));  // the high byte's index 0 reads q_0 = 0
    if (kMasked) {
      const v128_t x = wasm_i16x8_sub(wasm_i16x8_splat(static_cast<int16_t>(step_index - 2 * kLanes * g)),
                                      wasm_i16x8_make(0, 2, 4, 6, 8, 10, 12, 14));
      e = wasm_v128_and(e, wasm_v128_and(wasm_i16x8_gt(x, wasm_i16x8_splat(-1)),
                                         wasm_i16x8_gt(wasm_i16x8_splat(static_cast<int16_t>(width)), x)));
    }
    const v128_t a = wasm_i16x8_abs(e), sign = wasm_i16x8_shr(e, 15);
    b.outside = wasm_v128_or(b.outside, wasm_i16x8_gt(a, limit));
    const v128_t right = sixteenth<7>(a, sign), down_left = sixteenth<3>(a, sign), down = sixteenth<5>(a, sign);
    const v128_t down_right = wasm_i16x8_sub(wasm_i16x8_sub(wasm_i16x8_sub(e, right), down_left), down);
    b.right[g] = right;
    b.below1[g] = wasm_i16x8_add(b.below2[g], down_left);
    b.below2[g] = wasm_i16x8_add(b.below3[g], down);
    b.below3[g] = down_right;
    if (g == kGroups - 1) *last_error = wasm_i16x8_extract_lane(e, 7);  // for the row after the band
  }
}

template <bool kMasked>
inline void eight_steps(State& b, const Tables& t, int16_t* const* values, uint8_t* const* indexes,
                        int16_t* last_errors, int32_t t0, int32_t width, v128_t limit) {
  v128_t v[kGroups][kLanes];
  for (int j = 0; j < kDiffusionBandRows; ++j) v[j / kLanes][j % kLanes] = wasm_v128_load(values[j] + t0 - 2 * j);
  for (int g = 0; g < kGroups; ++g) transpose8(v[g]);
  v128_t levels[kGroups][kLanes];
  for (int i = 0; i < kLanes; ++i) {
    const v128_t s[kGroups] = {v[0][i], v[1][i]};
    v128_t k[kGroups];
    step<kMasked>(b, t, s, t0 + i, width, limit, last_errors + t0 + i - 30, k);
    for (int g = 0; g < kGroups; ++g) levels[g][i] = k[g];
  }
  for (int g = 0; g < kGroups; ++g) {
    transpose8(levels[g]);
    for (int l = 0; l < kLanes; ++l) {
      const int j = kLanes * g + l;
      wasm_v128_store64_lane(indexes[j] + t0 - 2 * j, wasm_u8x16_narrow_i16x8(levels[g][l], levels[g][l]), 0);
    }
  }
}

}  // namespace

bool diffuse_levels_band_fs_wasm(const int32_t* values_of, int levels, int32_t width, LevelsBandScratch& band) {
  static_assert(kGroups == 2, "two vectors of rows a step");
  Tables t;
  t.gaps = levels - 1;
  uint8_t bytes[16] = {};
  for (int k = 0; k < levels; ++k) bytes[k] = static_cast<uint8_t>(values_of[k]);
  t.values = wasm_v128_load(bytes);
  for (int k = 0; k + 1 < levels; ++k) t.mids[k] = wasm_i16x8_splat(static_cast<int16_t>(values_of[k] + values_of[k + 1]));
  const size_t row = static_cast<size_t>(width) + 2 * kBandPad;
  int16_t* values[kDiffusionBandRows];
  uint8_t* indexes[kDiffusionBandRows];
  for (int j = 0; j < kDiffusionBandRows; ++j) {
    values[j] = &band.values[j * row + kBandPad];
    indexes[j] = &band.indexes[j * row + kBandPad];
  }
  int16_t* last_errors = &band.last_errors[kBandPad];
  State b;
  for (int g = 0; g < kGroups; ++g) b.right[g] = b.below1[g] = b.below2[g] = b.below3[g] = wasm_i16x8_splat(0);
  b.outside = wasm_i16x8_splat(0);
  const v128_t limit = wasm_i16x8_splat(static_cast<int16_t>(band.error_limit));
  // Every lane is inside its row from step 30 to width - 1; the steps run until the
  // last row has its last pixel (step width + 29).
  const int32_t steps = (width + 30 + 7) / 8 * 8;
  for (int32_t t0 = 0; t0 < steps; t0 += 8) {
    if (t0 >= 30 && t0 + 8 <= width) {
      eight_steps<false>(b, t, values, indexes, last_errors, t0, width, limit);
    } else {
      eight_steps<true>(b, t, values, indexes, last_errors, t0, width, limit);
    }
  }
  return !wasm_v128_any_true(b.outside);
}

#endif

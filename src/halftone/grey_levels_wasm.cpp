// Floyd-Steinberg to grey levels with WebAssembly's 128-bit vectors, for the page: the
// AVX2 band's steps (grey_levels_x86.cpp) on two vectors of eight 16-bit lanes, one row
// a lane, each row two pixels behind the one above it, so that every share a pixel
// takes is final when its lane reaches it. The level is the count of midpoints
// q_k + q_k+1 below 2 w (a tie stays darker), its value a byte lookup.
#include "halftone/grey_levels_wasm.h"

#ifdef __wasm_simd128__
#include <wasm_simd128.h>

#include "halftone/band_setup.h"
#include "halftone/vector_lanes_wasm.h"

namespace {

constexpr int kLanes = 8;
constexpr int kGroups = kDiffusionBandRows / kLanes;
static_assert(kMaxLevels <= kLookupEntries, "the levels fit the band's lookup");

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
    if (kMasked) e = wasm_v128_and(e, lanes_inside(step_index - 2 * kLanes * g, width));
    b.outside = wasm_v128_or(b.outside, wasm_i16x8_gt(wasm_i16x8_abs(e), limit));
    give_fs_shares(e, b.right[g], b.below1[g], b.below2[g], b.below3[g]);
    if (g == kGroups - 1) *last_error = wasm_i16x8_extract_lane(e, 7);  // for the row after the band
  }
}

template <bool kMasked>
inline void eight_steps(State& b, const Tables& t, const LevelsBandRows& r, int32_t t0, int32_t width, v128_t limit) {
  v128_t v[kGroups][kLanes];
  for (int j = 0; j < kDiffusionBandRows; ++j) v[j / kLanes][j % kLanes] = wasm_v128_load(r.values[j] + t0 - 2 * j);
  for (int g = 0; g < kGroups; ++g) transpose8(v[g]);
  v128_t levels[kGroups][kLanes];
  for (int i = 0; i < kLanes; ++i) {
    const v128_t s[kGroups] = {v[0][i], v[1][i]};
    v128_t k[kGroups];
    step<kMasked>(b, t, s, t0 + i, width, limit, r.last_errors + t0 + i - 30, k);
    for (int g = 0; g < kGroups; ++g) levels[g][i] = k[g];
  }
  for (int g = 0; g < kGroups; ++g) {
    transpose8(levels[g]);
    for (int l = 0; l < kLanes; ++l) {
      const int j = kLanes * g + l;
      store_indexes8(r.indexes[j] + t0 - 2 * j, levels[g][l]);
    }
  }
}

}  // namespace

bool diffuse_levels_band_fs_wasm(const int32_t* values_of, int levels, int32_t width, LevelsBandScratch& band) {
  static_assert(kGroups == 2, "two vectors of rows a step");
  const LevelSteps steps_of = level_steps(values_of, levels);
  Tables t;
  t.gaps = steps_of.gaps;
  t.values = wasm_v128_load(steps_of.values);
  for (int k = 0; k < t.gaps; ++k) t.mids[k] = wasm_i16x8_splat(steps_of.mids[k]);
  const LevelsBandRows r = levels_band_rows(band, width);
  State b;
  for (int g = 0; g < kGroups; ++g) b.right[g] = b.below1[g] = b.below2[g] = b.below3[g] = wasm_i16x8_splat(0);
  b.outside = wasm_i16x8_splat(0);
  const v128_t limit = wasm_i16x8_splat(static_cast<int16_t>(band.error_limit));
  // Every lane is inside its row from step 30 to width - 1; the steps run until the
  // last row has its last pixel (step width + 29).
  const int32_t steps = (width + 30 + 7) / 8 * 8;
  for (int32_t t0 = 0; t0 < steps; t0 += 8) {
    if (t0 >= 30 && t0 + 8 <= width) {
      eight_steps<false>(b, t, r, t0, width, limit);
    } else {
      eight_steps<true>(b, t, r, t0, width, limit);
    }
  }
  return !wasm_v128_any_true(b.outside);
}

#endif

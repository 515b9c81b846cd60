// Floyd-Steinberg to a colour palette with WebAssembly's 128-bit vectors, for the page:
// the AVX2 band's steps (colour_palette_x86.cpp) on two vectors of eight 16-bit lanes,
// one row a lane, each row two pixels behind the one above it, so that every share a
// pixel takes is final when its lane reaches it. w and e stay within +-1000 (the clamp
// bounds w, so e is within +-382), so the shares run in 16 bits; only the nearest entry
// widens w to 32 bits: the least key (K_j - sum 2 W_c P_jc w_c, shifted, times 8, plus
// j) as there, for up to 8 entries; more entries compare the forms one after the
// other, the lower index kept on a tie.
#include "halftone/colour_palette_wasm.h"

#ifdef __wasm_simd128__
#include <wasm_simd128.h>

#include <cstring>

namespace {

constexpr int kRows = kPaletteBandRows;
constexpr int kLanes = 8;
constexpr int kGroups = kRows / kLanes;  // vectors of 8 rows each

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
  int count;
  v128_t k[kMaxPaletteEntries];     // K_j, or with 8 entries or fewer the key's 8 K_j + 8 bound + j
  v128_t b[kMaxPaletteEntries][3];  // 2 W_c P_jc, or 16 W_c P_jc for the key
  v128_t entries[3];                // P_jc as 16 bytes, for a lane lookup
  v128_t low, high;                 // the bounds of w
  v128_t add, sub;                  // the tone's clamp(c + 127 - density): add, then subtract
};

// Per vector of rows and channel: the share for each lane's next pixel, and the shares
// for the lane below taken 1, 2 and 3 steps on (not yet moved down a lane).
struct State {
  v128_t right[kGroups][3], below1[kGroups][3], below2[kGroups][3], below3[kGroups][3];
};

// trunc(e * weight / 16) from a = |e| and sign = e >> 15.
template <int weight>
inline v128_t sixteenth(v128_t a, v128_t sign) {
  const v128_t q = wasm_u16x8_shr(wasm_i16x8_mul(a, wasm_i16x8_splat(weight)), 4);
  return wasm_i16x8_sub(wasm_v128_xor(q, sign), sign);
}

inline v128_t form(const Tables& t, int j, const v128_t* w) {
  const v128_t sum = wasm_i32x4_add(wasm_i32x4_add(wasm_i32x4_mul(w[0], t.b[j][0]), wasm_i32x4_mul(w[1], t.b[j][1])),
                                    wasm_i32x4_mul(w[2], t.b[j][2]));
  return wasm_i32x4_sub(t.k[j], sum);
}

// The least key of entries kFirst .. kFirst + kCount - 1, as a tree of pairs.
template <int kCount, int kFirst = 0>
inline v128_t least_key(const Tables& t, const v128_t* w) {
  if constexpr (kCount == 1) {
    return form(t, kFirst, w);
  } else {
    return wasm_u32x4_min(least_key<kCount / 2, kFirst>(t, w), least_key<kCount - kCount / 2, kFirst + kCount / 2>(t, w));
  }
}

// The entries for four lanes of 32-bit w.
template <int kCount>
inline v128_t choose(const Tables& t, const v128_t* w) {
  if constexpr (kCount == 0) {
    v128_t best = form(t, 0, w), chosen = wasm_i32x4_splat(0);
    for (int j = 1; j < t.count; ++j) {
      const v128_t d = form(t, j, w);
      chosen = wasm_v128_bitselect(wasm_i32x4_splat(j), chosen, wasm_i32x4_gt(best, d));  // ties keep the lower
      best = wasm_i32x4_min(best, d);
    }
    return chosen;
  } else {
    return wasm_v128_and(least_key<kCount>(t, w), wasm_i32x4_splat(7));
  }
}

template <bool kMasked, int kCount>
inline void step(State& b, const Tables& t, const v128_t (*s)[3], int32_t step_index, int32_t width,
                 int32_t* const* below, v128_t* chosen) {
  v128_t w[kGroups][3];
  for (int g = 0; g < kGroups; ++g) {
    for (int c = 0; c < 3; ++c) {
      const v128_t from_above = lanes_up1(b.below1[g][c], g == 0 ? wasm_i16x8_splat(0) : b.below1[g - 1][c]);
      w[g][c] = wasm_i16x8_min(
          wasm_i16x8_max(wasm_i16x8_add(s[g][c], wasm_i16x8_add(b.right[g][c], from_above)), t.low), t.high);
    }
  }
  for (int g = 0; g < kGroups; ++g) {
    const v128_t low[3] = {wasm_i32x4_extend_low_i16x8(w[g][0]), wasm_i32x4_extend_low_i16x8(w[g][1]),
                           wasm_i32x4_extend_low_i16x8(w[g][2])};
    const v128_t high[3] = {wasm_i32x4_extend_high_i16x8(w[g][0]), wasm_i32x4_extend_high_i16x8(w[g][1]),
                            wasm_i32x4_extend_high_i16x8(w[g][2])};
    chosen[g] = wasm_i16x8_narrow_i32x4(choose<kCount>(t, low), choose<kCount>(t, high));
    // The index as each lane's low byte, the high byte past the table (which gives 0).
    const v128_t lookup = wasm_v128_or(chosen[g], wasm_i16x8_splat(static_cast<int16_t>(0xFF00)));
    v128_t inside = wasm_i16x8_splat(-1);
    if (kMasked) {
      const v128_t x = wasm_i16x8_sub(wasm_i16x8_splat(static_cast<int16_t>(step_index - 2 * kLanes * g)),
                                      wasm_i16x8_make(0, 2, 4, 6, 8, 10, 12, 14));
      inside = wasm_v128_and(wasm_i16x8_gt(x, wasm_i16x8_splat(-1)),
                             wasm_i16x8_gt(wasm_i16x8_splat(static_cast<int16_t>(width)), x));
    }
    for (int c = 0; c < 3; ++c) {
      v128_t e = wasm_i16x8_sub(w[g][c], wasm_i8x16_swizzle(t.entries[c], lookup));
      if (kMasked) e = wasm_v128_and(e, inside);
      const v128_t a = wasm_i16x8_abs(e), sign = wasm_i16x8_shr(e, 15);
      const v128_t right = sixteenth<7>(a, sign), down_left = sixteenth<3>(a, sign), down = sixteenth<5>(a, sign);
      const v128_t down_right = wasm_i16x8_sub(e, wasm_i16x8_add(wasm_i16x8_add(right, down_left), down));
      b.right[g][c] = right;
      b.below1[g][c] = wasm_i16x8_add(b.below2[g][c], down_left);
      b.below2[g][c] = wasm_i16x8_add(b.below3[g][c], down);
      b.below3[g][c] = down_right;
    }
  }
  // The last lane's total for the row after the band, whose pixel step - 2 kRows + 1 it reaches next.
  for (int c = 0; c < 3; ++c)
    below[c][step_index - 2 * kRows + 1] = wasm_i16x8_extract_lane(b.below1[kGroups - 1][c], kLanes - 1);
}

// The tone of 8 pixels' channels from 24 bytes of colours, as 16-bit lanes: each
// channel's bytes picked from two overlapping loads.
inline void load_colours(const Tables& t, const uint8_t* rgb, v128_t* channels) {
  const v128_t first = wasm_u8x16_sub_sat(wasm_u8x16_add_sat(wasm_v128_load(rgb), t.add), t.sub);
  const v128_t second = wasm_u8x16_sub_sat(wasm_u8x16_add_sat(wasm_v128_load(rgb + 8), t.add), t.sub);
  // Bytes c, c + 3, ... c + 21 of the 24: from the first load up to 15, the rest (8 on) from the second.
  channels[0] = wasm_v128_or(wasm_i8x16_swizzle(first, wasm_i8x16_make(0, -1, 3, -1, 6, -1, 9, -1, 12, -1, 15, -1, -1, -1, -1, -1)),
                             wasm_i8x16_swizzle(second, wasm_i8x16_make(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 10, -1, 13, -1)));
  channels[1] = wasm_v128_or(wasm_i8x16_swizzle(first, wasm_i8x16_make(1, -1, 4, -1, 7, -1, 10, -1, 13, -1, -1, -1, -1, -1, -1, -1)),
                             wasm_i8x16_swizzle(second, wasm_i8x16_make(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 8, -1, 11, -1, 14, -1)));
  channels[2] = wasm_v128_or(wasm_i8x16_swizzle(first, wasm_i8x16_make(2, -1, 5, -1, 8, -1, 11, -1, 14, -1, -1, -1, -1, -1, -1, -1)),
                             wasm_i8x16_swizzle(second, wasm_i8x16_make(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 9, -1, 12, -1, 15, -1)));
}

template <bool kMasked, int kCount>
inline void eight_steps(State& b, const Tables& t, const uint8_t* const* rgb, const int32_t* const* above,
                        uint8_t* const* indexes, int32_t* const* below, int32_t t0, int32_t width) {
  v128_t v[kGroups][3][kLanes];
  for (int j = 0; j < kRows; ++j) {
    v128_t channels[3];
    load_colours(t, rgb[j] + 3 * (t0 - 2 * j), channels);
    for (int c = 0; c < 3; ++c) v[j / kLanes][c][j % kLanes] = channels[c];
  }
  for (int g = 0; g < kGroups; ++g) {
    for (int c = 0; c < 3; ++c) {
      if (g == 0) {
        // The carried errors are shares of e, within +-382: 16 bits hold them.
        const v128_t carried = wasm_i16x8_narrow_i32x4(wasm_v128_load(above[c] + t0), wasm_v128_load(above[c] + t0 + 4));
        v[0][c][0] = wasm_i16x8_add(v[0][c][0], carried);
      }
      transpose8(v[g][c]);
    }
  }
  v128_t chosen[kGroups][kLanes];
  for (int i = 0; i < kLanes; ++i) {
    v128_t s[kGroups][3], picked[kGroups];
    for (int g = 0; g < kGroups; ++g)
      for (int c = 0; c < 3; ++c) s[g][c] = v[g][c][i];
    step<kMasked, kCount>(b, t, s, t0 + i, width, below, picked);
    for (int g = 0; g < kGroups; ++g) chosen[g][i] = picked[g];
  }
  for (int g = 0; g < kGroups; ++g) {
    transpose8(chosen[g]);
    for (int l = 0; l < kLanes; ++l) {
      const int j = kLanes * g + l;
      wasm_v128_store64_lane(indexes[j] + t0 - 2 * j, wasm_u8x16_narrow_i16x8(chosen[g][l], chosen[g][l]), 0);
    }
  }
}

template <int kCount>
void run_band(const Tables& t, int32_t width, PaletteBandScratch& band) {
  const size_t row = static_cast<size_t>(width) + 2 * kBandPad;
  const uint8_t* rgb[kRows];
  uint8_t* indexes[kRows];
  const int32_t* above[3];
  int32_t* below[3];
  for (int j = 0; j < kRows; ++j) {
    rgb[j] = &band.rgb[(j * row + kBandPad) * 3];
    indexes[j] = &band.indexes[j * row + kBandPad];
  }
  for (int c = 0; c < 3; ++c) {
    above[c] = &band.above[c * row + kBandPad];
    below[c] = &band.below[c * row + kBandPad];
  }
  State b;
  for (int g = 0; g < kGroups; ++g)
    for (int c = 0; c < 3; ++c)
      b.right[g][c] = b.below1[g][c] = b.below2[g][c] = b.below3[g][c] = wasm_i16x8_splat(0);
  // Every lane is inside its row from step 2 (kRows - 1) to width - 1; the steps run
  // until the row after the band has its last pixel's total (step width + 2 kRows - 2).
  const int32_t steps = (width + 2 * kRows - 1 + kLanes - 1) / kLanes * kLanes;
  for (int32_t t0 = 0; t0 < steps; t0 += kLanes) {
    if (t0 >= 2 * (kRows - 1) && t0 + kLanes <= width) {
      eight_steps<false, kCount>(b, t, rgb, above, indexes, below, t0, width);
    } else {
      eight_steps<true, kCount>(b, t, rgb, above, indexes, below, t0, width);
    }
  }
}

void prepare_tables(const PaletteConverter& c, Tables& t) {
  static const int kWeights[3] = {299, 587, 114};
  // |K_j - sum 2 W_c P_jc w_c| <= 1000 * 382^2 for w within the clamp.
  constexpr uint32_t kBound = 1000u * 382u * 382u;
  const bool wide = c.palette.count > 8;
  t.count = c.palette.count;
  uint8_t entries[3][16] = {};
  for (int j = 0; j < c.palette.count; ++j) {
    uint32_t k = 0;
    for (int ch = 0; ch < 3; ++ch) {
      const uint32_t p = static_cast<uint32_t>(c.entries[j][ch]);
      k += kWeights[ch] * p * p;
      t.b[j][ch] = wasm_i32x4_splat(static_cast<int32_t>((wide ? 2 : 16) * kWeights[ch] * p));
      entries[ch][j] = static_cast<uint8_t>(p);
    }
    // Unsigned arithmetic wraps exactly: the key itself lies within 32 bits.
    t.k[j] = wasm_i32x4_splat(static_cast<int32_t>(wide ? k : 8 * k + 8 * kBound + j));
  }
  for (int ch = 0; ch < 3; ++ch) t.entries[ch] = wasm_v128_load(entries[ch]);
  t.low = wasm_i16x8_splat(static_cast<int16_t>(c.low));
  t.high = wasm_i16x8_splat(static_cast<int16_t>(c.high));
  const int offset = 127 - c.params.density;
  t.add = wasm_u8x16_splat(static_cast<uint8_t>(offset > 0 ? offset : 0));
  t.sub = wasm_u8x16_splat(static_cast<uint8_t>(offset < 0 ? -offset : 0));
}

}  // namespace

void diffuse_palette_band_fs_wasm(const PaletteConverter& c, PaletteBandScratch& band) {
  Tables t;
  prepare_tables(c, t);
  switch (c.palette.count) {
    case 2: return run_band<2>(t, c.width, band);
    case 3: return run_band<3>(t, c.width, band);
    case 4: return run_band<4>(t, c.width, band);
    case 5: return run_band<5>(t, c.width, band);
    case 6: return run_band<6>(t, c.width, band);
    case 7: return run_band<7>(t, c.width, band);
    case 8: return run_band<8>(t, c.width, band);
    default: return run_band<0>(t, c.width, band);
  }
}

#endif

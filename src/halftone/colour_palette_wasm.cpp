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

#include "halftone/band_setup.h"
#include "halftone/vector_lanes_wasm.h"

namespace {

constexpr int kRows = kPaletteBandRows;
constexpr int kLanes = 8;
constexpr int kGroups = kRows / kLanes;  // vectors of 8 rows each
static_assert(kMaxPaletteEntries <= kLookupEntries, "the entries fit the band's lookup");

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
    const v128_t inside = kMasked ? lanes_inside(step_index - 2 * kLanes * g, width) : wasm_i16x8_splat(-1);
    for (int c = 0; c < 3; ++c) {
      v128_t e = wasm_i16x8_sub(w[g][c], wasm_i8x16_swizzle(t.entries[c], lookup));
      if (kMasked) e = wasm_v128_and(e, inside);
      give_fs_shares(e, b.right[g][c], b.below1[g][c], b.below2[g][c], b.below3[g][c]);
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
inline void eight_steps(State& b, const Tables& t, const PaletteBandRows<kRows>& r, int32_t t0, int32_t width) {
  v128_t v[kGroups][3][kLanes];
  for (int j = 0; j < kRows; ++j) {
    v128_t channels[3];
    load_colours(t, r.rgb[j] + 3 * (t0 - 2 * j), channels);
    for (int c = 0; c < 3; ++c) v[j / kLanes][c][j % kLanes] = channels[c];
  }
  for (int g = 0; g < kGroups; ++g) {
    for (int c = 0; c < 3; ++c) {
      if (g == 0) {
        // The carried errors are shares of e, within +-382: 16 bits hold them.
        const v128_t carried =
            wasm_i16x8_narrow_i32x4(wasm_v128_load(r.above[c] + t0), wasm_v128_load(r.above[c] + t0 + 4));
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
    step<kMasked, kCount>(b, t, s, t0 + i, width, r.below, picked);
    for (int g = 0; g < kGroups; ++g) chosen[g][i] = picked[g];
  }
  for (int g = 0; g < kGroups; ++g) {
    transpose8(chosen[g]);
    for (int l = 0; l < kLanes; ++l) {
      const int j = kLanes * g + l;
      store_indexes8(r.indexes[j] + t0 - 2 * j, chosen[g][l]);
    }
  }
}

template <int kCount>
void run_band(const Tables& t, int32_t width, PaletteBandScratch& band) {
  const PaletteBandRows<kRows> r = palette_band_rows<kRows>(band, width);
  State b;
  for (int g = 0; g < kGroups; ++g)
    for (int c = 0; c < 3; ++c)
      b.right[g][c] = b.below1[g][c] = b.below2[g][c] = b.below3[g][c] = wasm_i16x8_splat(0);
  // Every lane is inside its row from step 2 (kRows - 1) to width - 1; the steps run
  // until the row after the band has its last pixel's total (step width + 2 kRows - 2).
  const int32_t steps = (width + 2 * kRows - 1 + kLanes - 1) / kLanes * kLanes;
  for (int32_t t0 = 0; t0 < steps; t0 += kLanes) {
    if (t0 >= 2 * (kRows - 1) && t0 + kLanes <= width) {
      eight_steps<false, kCount>(b, t, r, t0, width);
    } else {
      eight_steps<true, kCount>(b, t, r, t0, width);
    }
  }
}

void prepare_tables(const PaletteConverter& c, Tables& t) {
  const PaletteForms f = palette_forms(c.entries, c.palette.count, c.params.density);
  t.count = f.count;
  uint8_t entries[3][16] = {};
  for (int j = 0; j < f.count; ++j) {
    t.k[j] = wasm_i32x4_splat(f.k[j]);
    for (int ch = 0; ch < 3; ++ch) {
      t.b[j][ch] = wasm_i32x4_splat(f.b[j][ch]);
      entries[ch][j] = static_cast<uint8_t>(f.entries[ch][j]);
    }
  }
  for (int ch = 0; ch < 3; ++ch) t.entries[ch] = wasm_v128_load(entries[ch]);
  t.low = wasm_i16x8_splat(static_cast<int16_t>(c.low));
  t.high = wasm_i16x8_splat(static_cast<int16_t>(c.high));
  t.add = wasm_u8x16_splat(f.add);
  t.sub = wasm_u8x16_splat(f.sub);
}

}  // namespace

void diffuse_palette_band_fs_wasm(const PaletteConverter& c, PaletteBandScratch& band) {
  Tables t;
  prepare_tables(c, t);
  with_entry_count(c.palette.count, [&](auto count) { return run_band<decltype(count)::value>(t, c.width, band); });
}

#endif

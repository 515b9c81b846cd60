// Floyd-Steinberg to a colour palette on 16 rows at once, one row per 32-bit lane of two
// AVX2 vectors (two chains of work a step, which hides each one's latency), each row two
// pixels behind the one above it, so that every share a
// pixel takes is final when its lane reaches it.
//
// D_j = sum W_c (w_c - P_jc)^2 differs from K_j - sum 2 W_c P_jc w_c, with
// K_j = sum W_c P_jc^2, by sum W_c w_c^2, the same for every entry: the least of these
// linear forms is the nearest entry, ties included. With |w| <= 382 each lies within
// +-1000 * 382^2: shifted up by that bound, times 8, plus j, it fits 32 unsigned bits,
// so for up to 8 entries the least key names the entry, the lower on a tie (more
// entries keep the form and the index apart). The shares are the scalar ones.
#include "halftone/colour_palette_x86.h"

#if QVX_X86
#include <immintrin.h>

#include <cstring>

#include "halftone/band_setup.h"
#include "halftone/shares_x86.h"

#define QVX_AVX2 __attribute__((target("avx2")))

namespace {

constexpr int kRows = kPaletteBandRows;
constexpr int kGroups = kRows / 8;  // vectors of 8 rows each
static_assert(kMaxPaletteEntries <= kLookupEntries, "the entries fit the band's lookups");

// Lane j takes lane j - 1's value, lane 0 lane 7 of the vector of the rows above.
QVX_AVX2 inline __m256i lanes_up1(__m256i v, __m256i above) {
  return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(above, v, 0x21), 12);
}

struct Tables {
  int count;
  __m256i k[kMaxPaletteEntries];     // K_j, or with 8 entries or fewer the key's 8 K_j + 8 bound + j
  __m256i b[kMaxPaletteEntries][3];  // 2 W_c P_jc, or 16 W_c P_jc for the key
  __m256i low_entries[3], high_entries[3];  // P_jc of entries 0..7 and 8..15, for a lane lookup
  __m256i low, high;  // the bounds of w
  __m256i offset;     // the tone's clamp(c + 127 - density): add, then subtract
  __m256i lower;
};

// Per vector of rows and channel: the share for each lane's next pixel, and the shares
// for the lane below taken 1, 2 and 3 steps on (not yet moved down a lane).
struct State {
  __m256i right[kGroups][3], below1[kGroups][3], below2[kGroups][3], below3[kGroups][3];
};

QVX_AVX2 inline __m256i form(const Tables& t, int j, const __m256i* w) {
  const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(w[0], t.b[j][0]),
                                                        _mm256_mullo_epi32(w[1], t.b[j][1])),
                                       _mm256_mullo_epi32(w[2], t.b[j][2]));
  return _mm256_sub_epi32(t.k[j], sum);
}

// The least key of entries kFirst .. kFirst + kCount - 1, as a tree of pairs, so that
// the chain from one step to the next stays short.
template <int kCount, int kFirst = 0>
QVX_AVX2 inline __m256i least_key(const Tables& t, const __m256i* w) {
  if constexpr (kCount == 1) {
    return form(t, kFirst, w);
  } else {
    return _mm256_min_epu32(least_key<kCount / 2, kFirst>(t, w), least_key<kCount - kCount / 2, kFirst + kCount / 2>(t, w));
  }
}

// The entries of the rows of one vector for w.
template <int kCount>
QVX_AVX2 inline __m256i choose(const Tables& t, const __m256i* w) {
  if constexpr (kCount == 0) {
    __m256i best = form(t, 0, w), chosen = _mm256_setzero_si256();
    for (int j = 1; j < t.count; ++j) {
      const __m256i d = form(t, j, w);
      chosen = _mm256_blendv_epi8(chosen, _mm256_set1_epi32(j), _mm256_cmpgt_epi32(best, d));  // ties keep the lower
      best = _mm256_min_epi32(best, d);
    }
    return chosen;
  } else {
    return _mm256_and_si256(least_key<kCount>(t, w), _mm256_set1_epi32(7));
  }
}

// One step: every lane takes one pixel (rows 8 g .. 8 g + 7 in s[g]); the entries chosen
// go to chosen[g]. Lanes outside their rows (masked) pass no error on.
template <bool kMasked, int kCount>
QVX_AVX2 inline void step(State& b, const Tables& t, const __m256i (*s)[3], int32_t step_index, int32_t width,
                          int32_t* const* below, __m256i* chosen) {
  __m256i w[kGroups][3];
  for (int g = 0; g < kGroups; ++g) {
    for (int c = 0; c < 3; ++c) {
      const __m256i from_above =
          g == 0 ? lanes_up_epi32<1>(b.below1[g][c]) : lanes_up1(b.below1[g][c], b.below1[g - 1][c]);
      w[g][c] = _mm256_min_epi32(
          _mm256_max_epi32(_mm256_add_epi32(s[g][c], _mm256_add_epi32(b.right[g][c], from_above)), t.low), t.high);
    }
  }
  for (int g = 0; g < kGroups; ++g) {
    chosen[g] = choose<kCount>(t, w[g]);
    const __m256i inside = kMasked ? lanes_inside_epi32<2>(step_index - 16 * g, width) : _mm256_set1_epi32(-1);
    const __m256i upper = kCount == 0 ? _mm256_cmpgt_epi32(chosen[g], _mm256_set1_epi32(7)) : _mm256_setzero_si256();
    for (int c = 0; c < 3; ++c) {
      __m256i entry = _mm256_permutevar8x32_epi32(t.low_entries[c], chosen[g]);
      if (kCount == 0)
        entry = _mm256_blendv_epi8(entry, _mm256_permutevar8x32_epi32(t.high_entries[c], chosen[g]), upper);
      __m256i e = _mm256_sub_epi32(w[g][c], entry);
      if (kMasked) e = _mm256_and_si256(e, inside);
      const __m256i right = truncated_share<7, 16>(e), down_left = truncated_share<3, 16>(e),
                    down = truncated_share<5, 16>(e);
      const __m256i down_right = _mm256_sub_epi32(e, _mm256_add_epi32(_mm256_add_epi32(right, down_left), down));
      b.right[g][c] = right;
      b.below1[g][c] = _mm256_add_epi32(b.below2[g][c], down_left);
      b.below2[g][c] = _mm256_add_epi32(b.below3[g][c], down);
      b.below3[g][c] = down_right;
    }
  }
  // The last lane's total for the row after the band, whose pixel step - 2 kRows + 1 it reaches next.
  for (int c = 0; c < 3; ++c)
    below[c][step_index - 2 * kRows + 1] = _mm256_extract_epi32(b.below1[kGroups - 1][c], 7);
}

// The tone of 8 pixels' channels from 24 bytes of colours: each channel's bytes gathered
// from two overlapping loads, then widened.
QVX_AVX2 inline void load_colours(const Tables& t, const uint8_t* rgb, __m256i* channels) {
  const __m128i add = _mm256_castsi256_si128(t.offset), sub = _mm256_castsi256_si128(t.lower);
  const __m128i first = _mm_subs_epu8(_mm_adds_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb)), add), sub);
  const __m128i second =
      _mm_subs_epu8(_mm_adds_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb + 8)), add), sub);
  for (int c = 0; c < 3; ++c) {
    // Bytes c, c + 3, ... of the first load up to 15, the rest from the second (8 on).
    alignas(16) int8_t from_first[16], from_second[16];
    for (int i = 0; i < 16; ++i) from_first[i] = from_second[i] = -128;
    for (int i = 0; i < 8; ++i) {
      const int byte = c + 3 * i;
      if (byte < 16) from_first[i] = static_cast<int8_t>(byte);
      else from_second[i] = static_cast<int8_t>(byte - 8);
    }
    const __m128i bytes =
        _mm_or_si128(_mm_shuffle_epi8(first, _mm_load_si128(reinterpret_cast<const __m128i*>(from_first))),
                     _mm_shuffle_epi8(second, _mm_load_si128(reinterpret_cast<const __m128i*>(from_second))));
    channels[c] = _mm256_cvtepu8_epi32(bytes);
  }
}

// Stores eight 32-bit indexes (0..255) as bytes at `to`.
QVX_AVX2 inline void store_indexes8(uint8_t* to, __m256i indexes) {
  const __m256i p16 = _mm256_packs_epi32(indexes, indexes);
  const __m256i p8 = _mm256_packus_epi16(p16, p16);
  const uint64_t eight = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(p8))) |
                         uint64_t{static_cast<uint32_t>(_mm_cvtsi128_si32(_mm256_extracti128_si256(p8, 1)))} << 32;
  std::memcpy(to, &eight, 8);
}

template <bool kMasked, int kCount>
QVX_AVX2 inline void eight_steps(State& b, const Tables& t, const PaletteBandRows<kRows>& r, int32_t t0, int32_t width) {
  __m256i v[kGroups][3][8];
  for (int j = 0; j < kRows; ++j) {
    __m256i channels[3];
    load_colours(t, r.rgb[j] + 3 * (t0 - 2 * j), channels);
    for (int c = 0; c < 3; ++c) v[j / 8][c][j % 8] = channels[c];
  }
  for (int g = 0; g < kGroups; ++g) {
    for (int c = 0; c < 3; ++c) {
      if (g == 0)
        v[0][c][0] = _mm256_add_epi32(v[0][c][0], _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r.above[c] + t0)));
      transpose8x8_epi32(v[g][c]);
    }
  }
  __m256i chosen[kGroups][8];
  for (int i = 0; i < 8; ++i) {
    __m256i s[kGroups][3], picked[kGroups];
    for (int g = 0; g < kGroups; ++g)
      for (int c = 0; c < 3; ++c) s[g][c] = v[g][c][i];
    step<kMasked, kCount>(b, t, s, t0 + i, width, r.below, picked);
    for (int g = 0; g < kGroups; ++g) chosen[g][i] = picked[g];
  }
  for (int g = 0; g < kGroups; ++g) {
    transpose8x8_epi32(chosen[g]);
    for (int l = 0; l < 8; ++l) {
      const int j = 8 * g + l;
      store_indexes8(r.indexes[j] + t0 - 2 * j, chosen[g][l]);
    }
  }
}

// kCount: the palette's entries, known when compiled (2..8), or 0 for more.
template <int kCount>
QVX_AVX2 void run_band(const Tables& t, int32_t width, PaletteBandScratch& band) {
  const PaletteBandRows<kRows> r = palette_band_rows<kRows>(band, width);
  State b;
  for (int g = 0; g < kGroups; ++g)
    for (int c = 0; c < 3; ++c)
      b.right[g][c] = b.below1[g][c] = b.below2[g][c] = b.below3[g][c] = _mm256_setzero_si256();
  // Every lane is inside its row from step 2 (kRows - 1) to width - 1; the steps run
  // until the row after the band has its last pixel's total (step width + 2 kRows - 2).
  const int32_t steps = (width + 2 * kRows - 1 + 7) / 8 * 8;
  for (int32_t t0 = 0; t0 < steps; t0 += 8) {
    if (t0 >= 2 * (kRows - 1) && t0 + 8 <= width) {
      eight_steps<false, kCount>(b, t, r, t0, width);
    } else {
      eight_steps<true, kCount>(b, t, r, t0, width);
    }
  }
}

}  // namespace

namespace {

QVX_AVX2 void prepare_tables(const PaletteConverter& c, Tables& t) {
  const PaletteForms f = palette_forms(c.entries, c.palette.count, c.params.density);
  t.count = f.count;
  for (int j = 0; j < f.count; ++j) {
    t.k[j] = _mm256_set1_epi32(f.k[j]);
    for (int ch = 0; ch < 3; ++ch) t.b[j][ch] = _mm256_set1_epi32(f.b[j][ch]);
  }
  for (int ch = 0; ch < 3; ++ch) {
    t.low_entries[ch] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.entries[ch]));
    t.high_entries[ch] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.entries[ch] + 8));
  }
  t.low = _mm256_set1_epi32(c.low);
  t.high = _mm256_set1_epi32(c.high);
  t.offset = _mm256_set1_epi8(static_cast<char>(f.add));
  t.lower = _mm256_set1_epi8(static_cast<char>(f.sub));
}

// The nearest entries of a row's pixels, eight at a time.
template <int kCount>
QVX_AVX2 int32_t nearest_row(const Tables& t, const uint8_t* rgb, int32_t width, uint8_t* indexes) {
  int32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    __m256i w[3];
    load_colours(t, rgb + 3 * x, w);
    store_indexes8(indexes + x, choose<kCount>(t, w));
  }
  return x;
}

}  // namespace

QVX_AVX2 int32_t nearest_palette_row_avx2(const PaletteConverter& c, const uint8_t* rgb, uint8_t* indexes) {
  Tables t;
  prepare_tables(c, t);
  return with_entry_count(c.palette.count,
                          [&](auto count) { return nearest_row<decltype(count)::value>(t, rgb, c.width, indexes); });
}

QVX_AVX2 void diffuse_palette_band_fs_avx2(const PaletteConverter& c, PaletteBandScratch& band) {
  Tables t;
  prepare_tables(c, t);
  with_entry_count(c.palette.count, [&](auto count) { return run_band<decltype(count)::value>(t, c.width, band); });
}

#endif

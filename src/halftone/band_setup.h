// The scalar set-up of the wavefront bands, the same for every vector build: the
// AVX2 kernels (*_x86.cpp) and the page's WebAssembly ones (*_wasm.cpp) take their
// rows, tables and wavefront from here and differ only in the vector steps. The
// bands' scratch comes in as a template parameter: the palette and levels modules
// include this file through their vector sets, so it can't include theirs.
#ifndef QVX_BAND_SETUP_H
#define QVX_BAND_SETUP_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "halftone/halftone_rows.h"

// Entries a table of the bands holds: a byte lookup in one 128-bit vector, or two
// permutes of eight 32-bit lanes.
constexpr int kLookupEntries = 16;

// How a kernel runs as a wavefront: each row `skew` pixels behind the one above, so
// that a share reaching (x + dx, row + dy) is taken dx + dy * skew steps after it is
// made, which must be later: skew > -dx for the next row, 2 skew > -dx for the one after.
struct Wave {
  int skew, delays;
};

constexpr Wave wave_of(const DiffusionKernel& k) {
  int skew = 1;
  for (int i = 0; i < k.count; ++i)
    while (k.shares[i].dy > 0 && k.shares[i].dy * skew <= -k.shares[i].dx) ++skew;
  int delays = 0;
  for (int i = 0; i < k.count; ++i) {
    const int d = k.shares[i].dx + k.shares[i].dy * skew;
    if (d > delays) delays = d;
  }
  return Wave{skew, delays};
}

// The rows of a palette band (kRows of them), index 0 at kBandPad: each row's colours
// and indexes, and per channel the errors carried in and left for the row after the band.
template <int kRows>
struct PaletteBandRows {
  const uint8_t* rgb[kRows];
  uint8_t* indexes[kRows];
  const int32_t* above[3];
  int32_t* below[3];
};

template <int kRows, typename Scratch>
PaletteBandRows<kRows> palette_band_rows(Scratch& band, int32_t width) {
  const size_t row = static_cast<size_t>(width) + 2 * kBandPad;
  PaletteBandRows<kRows> r;
  for (int j = 0; j < kRows; ++j) {
    r.rgb[j] = &band.rgb[(j * row + kBandPad) * 3];
    r.indexes[j] = &band.indexes[j * row + kBandPad];
  }
  for (int c = 0; c < 3; ++c) {
    r.above[c] = &band.above[c * row + kBandPad];
    r.below[c] = &band.below[c * row + kBandPad];
  }
  return r;
}

// The nearest entry as the least of linear forms of w (colour_palette_x86.cpp says
// why), and the tone's clamp(c + 127 - density) as a saturating add, then subtract.
struct PaletteForms {
  int count;
  bool keyed;                             // 8 entries or fewer: the least key names the entry
  int32_t k[kLookupEntries];              // K_j, or the key's 8 K_j + 8 bound + j
  int32_t b[kLookupEntries][3];           // 2 W_c P_jc, or 16 W_c P_jc for the key
  int32_t entries[3][kLookupEntries];     // P_jc by channel, 0 past the count
  uint8_t add, sub;
};

// The forms of `count` entries (2..16) toned as `entries`, for the density given.
inline PaletteForms palette_forms(const int32_t (*entries)[3], int count, int density) {
  static const int kWeights[3] = {299, 587, 114};
  // |K_j - sum 2 W_c P_jc w_c| <= 1000 * 382^2 for w within the clamp.
  constexpr uint32_t kBound = 1000u * 382u * 382u;
  PaletteForms f = {};
  f.count = count;
  f.keyed = count <= 8;
  for (int j = 0; j < count; ++j) {
    uint32_t k = 0;
    for (int ch = 0; ch < 3; ++ch) {
      const uint32_t p = static_cast<uint32_t>(entries[j][ch]);
      k += kWeights[ch] * p * p;
      f.b[j][ch] = static_cast<int32_t>((f.keyed ? 16 : 2) * kWeights[ch] * p);
      f.entries[ch][j] = static_cast<int32_t>(p);
    }
    // Unsigned arithmetic wraps exactly: the key itself lies within 32 bits.
    f.k[j] = static_cast<int32_t>(f.keyed ? 8 * k + 8 * kBound + j : k);
  }
  const int offset = 127 - density;
  f.add = static_cast<uint8_t>(offset > 0 ? offset : 0);
  f.sub = static_cast<uint8_t>(offset < 0 ? -offset : 0);
  return f;
}

// Returns run(std::integral_constant<int, N>()) with N the count of a palette's entries
// when it is 2..8, so that the least key is worked out in a tree known when compiled;
// N = 0 for more entries, compared one after the other.
template <typename Run>
auto with_entry_count(int count, Run&& run) {
  switch (count) {
    case 2: return run(std::integral_constant<int, 2>());
    case 3: return run(std::integral_constant<int, 3>());
    case 4: return run(std::integral_constant<int, 4>());
    case 5: return run(std::integral_constant<int, 5>());
    case 6: return run(std::integral_constant<int, 6>());
    case 7: return run(std::integral_constant<int, 7>());
    case 8: return run(std::integral_constant<int, 8>());
    default: return run(std::integral_constant<int, 0>());
  }
}

// The rows of a levels band, index 0 at kBandPad: each row's s and indexes, and the
// last row's e for the row after the band.
struct LevelsBandRows {
  int16_t* values[kDiffusionBandRows];
  uint8_t* indexes[kDiffusionBandRows];
  int16_t* last_errors;
};

template <typename Scratch>
LevelsBandRows levels_band_rows(Scratch& band, int32_t width) {
  const size_t row = static_cast<size_t>(width) + 2 * kBandPad;
  LevelsBandRows r;
  for (int j = 0; j < kDiffusionBandRows; ++j) {
    r.values[j] = &band.values[j * row + kBandPad];
    r.indexes[j] = &band.indexes[j * row + kBandPad];
  }
  r.last_errors = &band.last_errors[kBandPad];
  return r;
}

// The levels as the bands compare them: the level of w is the count of midpoints
// q_k + q_k+1 below 2 w, its value q_k a byte lookup (0 past the last level).
struct LevelSteps {
  int gaps;                         // levels - 1
  int16_t mids[kLookupEntries - 1];  // q_k + q_k+1
  uint8_t values[kLookupEntries];    // q_k
};

// The steps of `levels` (2..16) levels valued values_of[k].
inline LevelSteps level_steps(const int32_t* values_of, int levels) {
  LevelSteps s = {};
  s.gaps = levels - 1;
  for (int k = 0; k < levels; ++k) s.values[k] = static_cast<uint8_t>(values_of[k]);
  for (int k = 0; k + 1 < levels; ++k) s.mids[k] = static_cast<int16_t>(values_of[k] + values_of[k + 1]);
  return s;
}

#endif

#include "halftone/grey_levels.h"

#include <algorithm>
#include <cstring>

#include "halftone/grey_levels_wasm.h"
#include "halftone/grey_levels_x86.h"
#include "halftone/index_diffusion.h"
#include "image/simd_level.h"

namespace {

int matrix_size(HalftoneMethod method) {
  switch (method) {
    case HalftoneMethod::kBayer2: return 2;
    case HalftoneMethod::kBayer4: return 4;
    case HalftoneMethod::kBayer8: return 8;
    case HalftoneMethod::kBayer16: return 16;
    default: return 64;  // blue noise
  }
}

int32_t* error_row(GreyLevelsConverter& c, int32_t row) {
  return c.errors.data() + static_cast<size_t>(row % kErrorRows) * (static_cast<size_t>(c.width) + 4) + 2;
}

// The nearest level to w: below 0 the darkest, above white the lightest.
struct ChooseLevel {
  const GreyLevelsConverter& c;
  uint8_t operator()(int32_t* w) const {
    const int32_t v = *w;
    const int k = v <= 0 ? 0 : v >= c.white ? c.levels - 1 : c.nearest[static_cast<size_t>(v)];
    *w = v - c.values_of[k];
    return static_cast<uint8_t>(k);
  }
};

void invert_row(const GreyLevelsConverter& c, uint8_t* indexes) {
  if (!c.params.invert) return;
  const uint8_t top = static_cast<uint8_t>(c.levels - 1);
  for (int32_t x = 0; x < c.width; ++x) indexes[x] = static_cast<uint8_t>(top - indexes[x]);
}

void emit(GreyLevelsConverter& c, const uint8_t* indexes, IndexSink sink, void* context) {
  sink(context, c.rows_out, indexes);
  ++c.rows_out;
}

// Diffuses row y, its s in c.values.
void diffuse_values(GreyLevelsConverter& c, int32_t y) {
  int32_t* rows[kErrorRows] = {error_row(c, y), error_row(c, y + 1), error_row(c, y + 2)};
  const int direction = c.params.serpentine && (y & 1) ? -1 : 1;
  diffuse_index_row<1>(diffusion_kernel(*c.method), c.values.data(), rows, c.width, direction, ChooseLevel{c},
                       c.out.data());
  // This row's errors are used up: the row becomes the one three below, pads included.
  std::fill(rows[0] - 2, rows[0] + c.width + 2, 0);
  invert_row(c, c.out.data());
}

void diffuse(GreyLevelsConverter& c, const uint8_t* luma, int32_t y) {
  for (int32_t x = 0; x < c.width; ++x) c.values[x] = c.tone[luma[x]];
  diffuse_values(c, y);
}

int16_t* band_values(GreyLevelsConverter& c, int32_t j) {
  return &c.band.values[static_cast<size_t>(j) * (static_cast<size_t>(c.width) + 2 * kBandPad) + kBandPad];
}

// Diffuses the waiting rows (their s in the band's values): a whole band at once on
// the vector path, else one by one.
void diffuse_waiting(GreyLevelsConverter& c, IndexSink sink, void* context) {
  if (c.waiting == 0) return;
#if QVX_X86 || defined(__wasm_simd128__)
  if (c.waiting == kDiffusionBandRows) {
    const size_t row = static_cast<size_t>(c.width) + 2 * kBandPad;
    const int32_t y = c.rows_out;
    int32_t* here = error_row(c, y);
    int16_t* first = band_values(c, 0);
    for (int32_t x = 0; x < c.width; ++x) first[x] = static_cast<int16_t>(first[x] + here[x]);
#if QVX_X86
    const bool done = diffuse_levels_band_fs_avx2(c.values_of, c.levels, c.width, c.band);
#else
    const bool done = diffuse_levels_band_fs_wasm(c.values_of, c.levels, c.width, c.band);
#endif
    if (done) {
      // The row after the band takes the last row's shares: 3, 5 and the rest of 16.
      std::fill(here - 2, here + c.width + 2, 0);
      int32_t* below = error_row(c, y + kDiffusionBandRows);
      const int16_t* last = &c.band.last_errors[kBandPad];
      for (int32_t x = 0; x < c.width; ++x) {
        const int32_t e = last[x], right = e * 7 / 16, down_left = e * 3 / 16, down = e * 5 / 16;
        below[x - 1] += down_left;
        below[x] += down;
        below[x + 1] += e - right - down_left - down;
      }
      for (int j = 0; j < kDiffusionBandRows; ++j) {
        uint8_t* indexes = &c.band.indexes[j * row + kBandPad];
        invert_row(c, indexes);
        emit(c, indexes, sink, context);
      }
      c.waiting = 0;
      return;
    }
    for (int32_t x = 0; x < c.width; ++x) first[x] = static_cast<int16_t>(first[x] - here[x]);  // s again
  }
#endif
  for (int32_t j = 0; j < c.waiting; ++j) {
    const int16_t* s = band_values(c, j);
    for (int32_t x = 0; x < c.width; ++x) c.values[x] = s[x];
    diffuse_values(c, c.rows_out);
    emit(c, c.out.data(), sink, context);
  }
  c.waiting = 0;
}

struct Unpacking {
  GreyLevelsConverter* c;
  IndexSink sink;
  void* context;
};

void unpack_bits(void* context, int32_t, const uint8_t* bits) {
  const Unpacking& u = *static_cast<const Unpacking*>(context);
  GreyLevelsConverter& c = *u.c;
  for (int32_t x = 0; x < c.width; ++x) c.out[x] = (bits[x >> 3] >> (7 - (x & 7))) & 1;
  emit(c, c.out.data(), u.sink, u.context);
}

}  // namespace

const char* levels_error_text(LevelsError error) {
  switch (error) {
    case LevelsError::kNone: return "no error";
    case LevelsError::kBadLevels: return "--levels must be 2..16";
    case LevelsError::kBadParams: return "bad method parameters";
    case LevelsError::kTwoLevelsOnly: return "the local thresholds give two levels only";
    case LevelsError::kNoScanDirection: return "--serpentine needs an error-diffusion method";
    case LevelsError::kNotForPalettes: return "a colour palette takes letter or an error-diffusion method";
    case LevelsError::kNoPaletteInvert: return "--invert does not apply to a colour palette";
  }
  return "unknown error";
}

int32_t level_value(int levels, int k, int32_t white) {
  return static_cast<int32_t>((2 * int64_t{white} * k + (levels - 1)) / (2 * (levels - 1)));
}

void pack_indexes(const uint8_t* indexes, int32_t width, int bits, uint8_t* packed) {
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8) return;
  const size_t bytes = (static_cast<size_t>(width) * bits + 7) / 8;
  std::memset(packed, 0, bytes);
  const int per_byte = 8 / bits;
  const uint8_t mask = static_cast<uint8_t>((1 << bits) - 1);
  for (int32_t x = 0; x < width; ++x) {
    const int shift = 8 - bits * (x % per_byte + 1);
    packed[x / per_byte] |= static_cast<uint8_t>((indexes[x] & mask) << shift);
  }
}

int bayer_value(int n, int x, int y) {
  // M2n = [[4M, 4M+2], [4M+3, 4M+1]]: 4 times the entry within the quadrant plus the quadrant's own.
  if (n <= 1) return 0;
  const int half = n / 2;
  static const int kQuadrant[2][2] = {{0, 2}, {3, 1}};
  return 4 * bayer_value(half, x % half, y % half) + kQuadrant[(y % n) / half][(x % n) / half];
}

LevelsError start_grey_levels(std::optional<HalftoneMethod> method, const HalftoneParams& params, int levels,
                              int32_t width, GreyLevelsConverter& c) {
  if (levels < kMinLevels || levels > kMaxLevels) return LevelsError::kBadLevels;
  if (check_halftone_params(method.value_or(HalftoneMethod::kFloydSteinberg), params) != HalftoneError::kNone)
    return LevelsError::kBadParams;
  if (!method && params.serpentine) return LevelsError::kNoScanDirection;
  const HalftoneFamily family = method ? halftone_method_info(*method).family : HalftoneFamily::kErrorDiffusion;
  if (family == HalftoneFamily::kLocalThreshold && levels != 2) return LevelsError::kTwoLevelsOnly;
  c = GreyLevelsConverter{};
  c.method = method;
  c.family = family;
  c.params = params;
  c.levels = levels;
  c.width = std::max(width, 0);
  const size_t w = static_cast<size_t>(c.width);
  c.out.assign(w + 1, 0);
  if (family == HalftoneFamily::kLocalThreshold) {
    start_halftone(*method, params, width, c.one_bit);
    return LevelsError::kNone;
  }
  // The 1-bit converter's tone: the same clamp and linear-light table.
  c.white = one_bit_tone(params.density, params.linear, c.tone);
  for (int k = 0; k < levels; ++k) c.values_of[k] = level_value(levels, k, c.white);
  // A tie goes to the darker level: one up only when 2 w > q_k + q_k+1.
  c.nearest.assign(static_cast<size_t>(c.white) + 1, 0);
  for (int32_t v = 0, k = 0; v <= c.white; ++v) {
    while (k + 1 < levels && 2 * v > c.values_of[k] + c.values_of[k + 1]) ++k;
    c.nearest[static_cast<size_t>(v)] = static_cast<uint8_t>(k);
  }
  if (family == HalftoneFamily::kOrdered && method) {
    const int n = matrix_size(*method);
    c.period = n;
    c.limits.assign(static_cast<size_t>(n) * n, 0);
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        const int m = n == 64 ? kBlueNoise64[y * 64 + x] : bayer_value(n, x, y);
        c.limits[static_cast<size_t>(y) * n + x] = int64_t{c.white} * (2 * m + 1);
      }
    for (int l = 0; l < 256; ++l) {
      const int64_t scaled = int64_t{c.tone[l]} * (levels - 1);
      c.floor_level[l] = static_cast<uint8_t>(scaled / c.white);
      c.fraction[l] = static_cast<int32_t>(scaled - int64_t{c.white} * c.floor_level[l]);
    }
  }
  if (method && family == HalftoneFamily::kErrorDiffusion) {
    c.errors.assign(kErrorRows * (w + 4), 0);
    c.values.assign(w, 0);
#if QVX_X86
    // The band runs Floyd-Steinberg left to right on 8-bit levels.
    c.banded = *method == HalftoneMethod::kFloydSteinberg && !params.serpentine && !params.linear && c.width > 0 &&
               c.width <= kMaxBandWidth && active_simd_level() == SimdLevel::kAvx2;
#elif defined(__wasm_simd128__)
    c.banded = *method == HalftoneMethod::kFloydSteinberg && !params.serpentine && !params.linear && c.width > 0 &&
               c.width <= kMaxBandWidth && active_simd_level() == SimdLevel::kWasm128;
#endif
    if (c.banded) {
      const size_t row = w + 2 * kBandPad;
      c.band.values.assign(kDiffusionBandRows * row, 0);
      c.band.indexes.assign(kDiffusionBandRows * row, 0);
      c.band.last_errors.assign(row, 0);
    }
  }
  return LevelsError::kNone;
}

void grey_level_rows(GreyLevelsConverter& c, const uint8_t* luma, size_t stride, int32_t rows, IndexSink sink,
                     void* context) {
  if (c.family == HalftoneFamily::kLocalThreshold) {
    Unpacking u{&c, sink, context};
    halftone_rows(c.one_bit, luma, stride, rows, unpack_bits, &u);
    c.rows_in += rows;
    return;
  }
  for (int32_t i = 0; i < rows; ++i, luma += stride) {
    if (grey_level_row_alone(c, luma, c.rows_in, c.out.data())) {
      emit(c, c.out.data(), sink, context);
    } else if (c.banded) {
      // The band runs on 8-bit levels only, where s is the clamp itself.
      const int offset = 127 - c.params.density;
      int16_t* s = band_values(c, c.waiting++);
      for (int32_t x = 0; x < c.width; ++x) s[x] = static_cast<int16_t>(std::min(std::max(luma[x] + offset, 0), 255));
      if (c.waiting == kDiffusionBandRows) diffuse_waiting(c, sink, context);
    } else {
      diffuse(c, luma, c.rows_in);
      emit(c, c.out.data(), sink, context);
    }
    ++c.rows_in;
  }
}

bool grey_level_row_alone(const GreyLevelsConverter& c, const uint8_t* luma, int32_t y, uint8_t* indexes) {
  if (!c.method) {
    for (int32_t x = 0; x < c.width; ++x) indexes[x] = c.nearest[c.tone[luma[x]]];
  } else if (c.family == HalftoneFamily::kOrdered) {
    const int64_t* limits = &c.limits[static_cast<size_t>(y % c.period) * c.period];
    const int64_t n2 = 2 * int64_t{c.period} * c.period;
    for (int32_t x = 0; x < c.width; ++x) {
      const int k = c.floor_level[luma[x]];
      indexes[x] = static_cast<uint8_t>(k + (k < c.levels - 1 && n2 * c.fraction[luma[x]] > limits[x % c.period]));
    }
  } else {
    return false;
  }
  invert_row(c, indexes);
  return true;
}

void diffuse_level_span(const GreyLevelsConverter& c, const uint8_t* luma, int32_t* const* errors, int32_t x0,
                        int32_t x1, int32_t* values, uint8_t* indexes) {
  for (int32_t x = x0; x < x1; ++x) values[x] = c.tone[luma[x]];
  int32_t* at[kErrorRows] = {errors[0] + x0, errors[1] + x0, errors[2] + x0};
  diffuse_index_row<1>(diffusion_kernel(*c.method), values + x0, at, x1 - x0, 1, ChooseLevel{c}, indexes + x0);
  if (!c.params.invert) return;
  const uint8_t top = static_cast<uint8_t>(c.levels - 1);
  for (int32_t x = x0; x < x1; ++x) indexes[x] = static_cast<uint8_t>(top - indexes[x]);
}

void finish_grey_levels(GreyLevelsConverter& c, IndexSink sink, void* context) {
  if (c.family == HalftoneFamily::kLocalThreshold) {
    Unpacking u{&c, sink, context};
    finish_halftone(c.one_bit, unpack_bits, &u);
    return;
  }
  diffuse_waiting(c, sink, context);
}

#include "halftone/colour_palette.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "halftone/colour_palette_wasm.h"
#include "halftone/colour_palette_x86.h"
#include "halftone/index_diffusion.h"
#include "image/simd_level.h"

namespace {

const NamedPalette kPalettes[] = {
    {"bw", "#000000,#ffffff"},
    {"bwr", "#000000,#ffffff,#ff0000"},
    {"bwy", "#000000,#ffffff,#ffff00"},
    {"acep7", "#000000,#ffffff,#00ff00,#0000ff,#ff0000,#ffff00,#ff8000"},
    {"acep7-measured", "#393039,#ffffff,#3a5b46,#3d3b5e,#9c484b,#d0be47,#b16a49"},
    {"spectra6", "#000000,#ffffff,#ffff00,#ff0000,#0000ff,#00ff00"},
    {"spectra6-measured", "#000000,#a1a4a5,#d0be47,#9c484b,#3d3b5e,#3a5b46"},
};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads "#rrggbb" into rgb; false when the text is anything else.
bool parse_colour(const std::string& text, uint8_t* rgb) {
  if (text.size() != 7 || text[0] != '#') return false;
  for (int c = 0; c < 3; ++c) {
    const int hi = hex_digit(text[1 + 2 * c]), lo = hex_digit(text[2 + 2 * c]);
    if (hi < 0 || lo < 0) return false;
    rgb[c] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return true;
}

int32_t* error_row(PaletteConverter& c, int32_t row) {
  return c.errors.data() + static_cast<size_t>(row % kErrorRows) * (static_cast<size_t>(c.width) + 4) * 3 + 6;
}

// The entry nearest to w (clamped first), a tie to the lower index; leaves e in w.
struct ChooseEntry {
  const PaletteConverter& c;
  uint8_t operator()(int32_t* w) const {
    for (int i = 0; i < 3; ++i) w[i] = std::min(std::max(w[i], c.low), c.high);
    // 16 D + j: the least names the nearest entry, the lower on a tie, with no branch to
    // mispredict (D stays below 2^44 even in linear light).
    int64_t least = INT64_MAX;
    for (int j = 0; j < c.palette.count; ++j) {
      const int64_t r = w[0] - c.entries[j][0], g = w[1] - c.entries[j][1], b = w[2] - c.entries[j][2];
      least = std::min(least, (299 * r * r + 587 * g * g + 114 * b * b) * 16 + j);
    }
    const int best = static_cast<int>(least & 15);
    for (int i = 0; i < 3; ++i) w[i] -= c.entries[best][i];
    return static_cast<uint8_t>(best);
  }
};

void diffuse(PaletteConverter& c, const uint8_t* rgb, int32_t y) {
  for (size_t x = 0; x < 3 * static_cast<size_t>(c.width); ++x) c.values[x] = c.tone[rgb[x]];
  int32_t* errors[kErrorRows] = {error_row(c, y), error_row(c, y + 1), error_row(c, y + 2)};
  const int direction = c.params.serpentine && (y & 1) ? -1 : 1;
  diffuse_index_row<3>(diffusion_kernel(*c.method), c.values.data(), errors, c.width, direction, ChooseEntry{c},
                       c.out.data());
  // This row's errors are used up: the row becomes the one three below, pads included.
  std::fill(errors[0] - 6, errors[0] + 3 * c.width + 6, 0);
}

void emit(PaletteConverter& c, const uint8_t* indexes, IndexSink sink, void* context) {
  sink(context, c.rows_out, indexes);
  ++c.rows_out;
}

// Diffuses the waiting rows: a whole band at once on the vector path, else one by one.
void diffuse_waiting(PaletteConverter& c, IndexSink sink, void* context) {
  const size_t w = static_cast<size_t>(c.width);
#if QVX_X86 || defined(__wasm_simd128__)
  const size_t w3 = 3 * w;
  if (c.banded && c.waiting == kPaletteBandRows) {
    const size_t row = w + 2 * kBandPad;
    const int32_t y = c.rows_out;
    int32_t* here = error_row(c, y);
    for (int ch = 0; ch < 3; ++ch)
      for (size_t x = 0; x < w; ++x) c.band.above[ch * row + kBandPad + x] = here[3 * x + ch];
#if QVX_X86
    diffuse_palette_band_fs_avx2(c, c.band);
#else
    diffuse_palette_band_fs_wasm(c, c.band);
#endif
    std::fill(here - 6, here + w3 + 6, 0);
    int32_t* below = error_row(c, y + kPaletteBandRows);
    for (int ch = 0; ch < 3; ++ch)
      for (size_t x = 0; x < w; ++x) below[3 * x + ch] = c.band.below[ch * row + kBandPad + x];
    for (int j = 0; j < kPaletteBandRows; ++j) emit(c, &c.band.indexes[j * row + kBandPad], sink, context);
    c.waiting = 0;
    return;
  }
#endif
  for (int32_t j = 0; j < c.waiting; ++j) {
    diffuse(c, &c.band.rgb[(j * (w + 2 * kBandPad) + kBandPad) * 3], c.rows_out);
    emit(c, c.out.data(), sink, context);
  }
  c.waiting = 0;
}

}  // namespace

const std::vector<NamedPalette>& builtin_palettes() {
  static const std::vector<NamedPalette> all(std::begin(kPalettes), std::end(kPalettes));
  return all;
}

bool parse_palette(const std::string& given, Palette* palette, std::string* error) {
  for (const NamedPalette& p : kPalettes)
    if (given == p.name) return parse_palette(p.colours, palette, error);
  if (given.empty()) {
    *error = "--palette needs a name or colours #rrggbb,#rrggbb,...";
    return false;
  }
  std::vector<std::string> entries;
  for (size_t start = 0;;) {
    const size_t comma = given.find(',', start);
    entries.push_back(given.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (entries.size() == 1 && given[0] != '#') {
    *error = "unknown palette \"" + given + "\" (--list-palettes lists them)";
    return false;
  }
  Palette result;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string number = std::to_string(i + 1);
    if (i >= kMaxPaletteEntries) {
      *error = "palette entry " + number + " \"" + entries[i] + "\" is one too many: a palette holds 2 to 16 colours";
      return false;
    }
    if (!parse_colour(entries[i], result.rgb[i])) {
      *error = "palette entry " + number + " \"" + entries[i] + "\" is not a colour #rrggbb";
      return false;
    }
  }
  if (entries.size() < kMinPaletteEntries) {
    *error = "palette \"" + given + "\" has one colour: a palette holds 2 to 16 colours";
    return false;
  }
  result.count = static_cast<int>(entries.size());
  *palette = result;
  return true;
}

std::string palette_text(const Palette& palette) {
  std::string text;
  for (int j = 0; j < palette.count; ++j) {
    char entry[9];
    std::snprintf(entry, sizeof entry, "%s#%02x%02x%02x", j ? "," : "", palette.rgb[j][0], palette.rgb[j][1],
                  palette.rgb[j][2]);
    text += entry;
  }
  return text;
}

LevelsError start_palette(std::optional<HalftoneMethod> method, const HalftoneParams& params, const Palette& palette,
                          int32_t width, PaletteConverter& c) {
  if (palette.count < kMinPaletteEntries || palette.count > kMaxPaletteEntries) return LevelsError::kBadLevels;
  if (method && halftone_method_info(*method).family != HalftoneFamily::kErrorDiffusion)
    return LevelsError::kNotForPalettes;
  if (check_halftone_params(method.value_or(HalftoneMethod::kFloydSteinberg), params) != HalftoneError::kNone)
    return LevelsError::kBadParams;
  if (!method && params.serpentine) return LevelsError::kNoScanDirection;
  if (params.invert) return LevelsError::kNoPaletteInvert;
  c = PaletteConverter{};
  c.method = method;
  c.params = params;
  c.palette = palette;
  c.width = std::max(width, 0);
  // The 1-bit converter's tone: the same clamp and linear-light table; at density 127
  // it is the table alone, which the entries go through.
  c.white = one_bit_tone(params.density, params.linear, c.tone);
  c.low = -(c.white / 2);
  c.high = c.white + c.white / 2;
  uint16_t plain[256];
  one_bit_tone(127, params.linear, plain);
  for (int j = 0; j < palette.count; ++j)
    for (int i = 0; i < 3; ++i) c.entries[j][i] = plain[palette.rgb[j][i]];
  const size_t w = static_cast<size_t>(c.width);
  c.out.assign(w + 1, 0);
  c.values.assign(3 * w, 0);
  if (method) c.errors.assign(kErrorRows * (w + 4) * 3, 0);
#if QVX_X86
  // The band runs Floyd-Steinberg left to right on 8-bit channels.
  c.banded = method == HalftoneMethod::kFloydSteinberg && !params.serpentine && !params.linear && c.width > 0 &&
             c.width <= kMaxBandWidth && active_simd_level() == SimdLevel::kAvx2;
  c.vector_nearest = !method && !params.linear && active_simd_level() == SimdLevel::kAvx2;
#elif defined(__wasm_simd128__)
  c.banded = method == HalftoneMethod::kFloydSteinberg && !params.serpentine && !params.linear && c.width > 0 &&
             c.width <= kMaxBandWidth && active_simd_level() == SimdLevel::kWasm128;
#endif
  if (c.banded) {
    const size_t row = w + 2 * kBandPad;
    c.band.rgb.assign(kPaletteBandRows * row * 3, 0);
    c.band.above.assign(3 * row, 0);
    c.band.below.assign(3 * row, 0);
    c.band.indexes.assign(kPaletteBandRows * row, 0);
  }
  return LevelsError::kNone;
}

void palette_rows(PaletteConverter& c, const uint8_t* rgb, size_t stride, int32_t rows, IndexSink sink,
                  void* context) {
  const size_t w3 = 3 * static_cast<size_t>(c.width);
  for (int32_t i = 0; i < rows; ++i, rgb += stride) {
    if (!c.method) {
      nearest_palette_row(c, rgb, c.out.data());
      emit(c, c.out.data(), sink, context);
    } else if (c.banded) {
      const size_t row = static_cast<size_t>(c.width) + 2 * kBandPad;
      std::memcpy(&c.band.rgb[(c.waiting++ * row + kBandPad) * 3], rgb, w3);
      if (c.waiting == kPaletteBandRows) diffuse_waiting(c, sink, context);
    } else {
      diffuse(c, rgb, c.rows_in);
      emit(c, c.out.data(), sink, context);
    }
    ++c.rows_in;
  }
}

void nearest_palette_row(const PaletteConverter& c, const uint8_t* rgb, uint8_t* indexes) {
  const ChooseEntry choose{c};
  int32_t x = 0;
#if QVX_X86
  if (c.vector_nearest) x = nearest_palette_row_avx2(c, rgb, indexes);
#endif
  for (; x < c.width; ++x) {
    int32_t w[3] = {c.tone[rgb[3 * x]], c.tone[rgb[3 * x + 1]], c.tone[rgb[3 * x + 2]]};
    indexes[x] = choose(w);
  }
}

void diffuse_palette_span(const PaletteConverter& c, const uint8_t* rgb, int32_t* const* errors, int32_t x0,
                          int32_t x1, int32_t* values, uint8_t* indexes) {
  for (int32_t i = 3 * x0; i < 3 * x1; ++i) values[i] = c.tone[rgb[i]];
  int32_t* at[kErrorRows] = {errors[0] + 3 * x0, errors[1] + 3 * x0, errors[2] + 3 * x0};
  diffuse_index_row<3>(diffusion_kernel(*c.method), values + 3 * x0, at, x1 - x0, 1, ChooseEntry{c}, indexes + x0);
}

void finish_palette(PaletteConverter& c, IndexSink sink, void* context) { diffuse_waiting(c, sink, context); }

// The page's vector paths against the scalar reference, in the WebAssembly build (the
// unit tests run natively, where these paths are not compiled): Floyd-Steinberg to
// palettes of each size the band picks a path for, to grey levels and to 1 bit, on
// random pictures of odd widths over several bands and a few rows more. Prints each
// difference; exit status 1 if any.
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "halftone/colour_palette.h"
#include "halftone/grey_levels.h"
#include "halftone/halftone.h"
#include "image/simd_level.h"

namespace {

struct Rows {
  std::vector<std::vector<uint8_t>> rows;
  size_t bytes = 0;
};

void collect(void* context, int32_t, const uint8_t* row) {
  Rows& out = *static_cast<Rows*>(context);
  out.rows.emplace_back(row, row + out.bytes);
}

Rows palette_indexes(const Palette& palette, int density, int32_t width, const std::vector<uint8_t>& rgb) {
  HalftoneParams params;
  params.density = density;
  PaletteConverter c;
  if (start_palette(HalftoneMethod::kFloydSteinberg, params, palette, width, c) != LevelsError::kNone) return {};
  Rows out;
  out.bytes = static_cast<size_t>(width);
  const size_t stride = 3 * static_cast<size_t>(width);
  const int32_t height = static_cast<int32_t>(rgb.size() / stride);
  for (int32_t y = 0; y < height; y += 5) palette_rows(c, &rgb[y * stride], stride, std::min(5, height - y), collect, &out);
  finish_palette(c, collect, &out);
  return out;
}

Rows grey_indexes(int levels, int density, int32_t width, const std::vector<uint8_t>& luma) {
  HalftoneParams params;
  params.density = density;
  GreyLevelsConverter c;
  if (start_grey_levels(HalftoneMethod::kFloydSteinberg, params, levels, width, c) != LevelsError::kNone) return {};
  Rows out;
  out.bytes = static_cast<size_t>(width);
  const int32_t height = static_cast<int32_t>(luma.size() / width);
  for (int32_t y = 0; y < height; y += 5)
    grey_level_rows(c, &luma[static_cast<size_t>(y) * width], width, std::min(5, height - y), collect, &out);
  finish_grey_levels(c, collect, &out);
  return out;
}

Rows one_bit(HalftoneMethod method, const HalftoneParams& params, int32_t width, const std::vector<uint8_t>& luma) {
  HalftoneConverter c;
  if (start_halftone(method, params, width, c) != HalftoneError::kNone) return {};
  Rows out;
  out.bytes = (static_cast<size_t>(width) + 7) / 8;
  const int32_t height = static_cast<int32_t>(luma.size() / width);
  for (int32_t y = 0; y < height; y += 5)
    halftone_rows(c, &luma[static_cast<size_t>(y) * width], width, std::min(5, height - y), collect, &out);
  finish_halftone(c, collect, &out);
  return out;
}

}  // namespace

int main() {
  if (!force_simd_level(SimdLevel::kWasm128)) {
    std::printf("no WebAssembly vectors in this build\n");
    return 1;
  }
  int failures = 0, cases = 0;
  const auto check = [&](const Rows& reference, const Rows& vector, const std::string& what) {
    ++cases;
    if (reference.rows.empty() || reference.rows != vector.rows) {
      ++failures;
      std::printf("differs: %s\n", what.c_str());
    }
  };
  std::mt19937 random(23);
  const std::string sixteen =
      "#000000,#ffffff,#ff0000,#00ff00,#0000ff,#ffff00,#00ffff,#ff00ff,#808080,#800000,#008000,#000080,"
      "#808000,#008080,#800080,#c0c0c0";
  for (int32_t width : {1, 3, 15, 17, 33, 65, 131, 257}) {
    const int32_t height = 37;
    std::vector<uint8_t> rgb(3 * static_cast<size_t>(width) * height), luma(static_cast<size_t>(width) * height);
    for (uint8_t& c : rgb) c = static_cast<uint8_t>(random() % 3 == 0 ? 255 * (random() & 1) : random());
    for (uint8_t& l : luma) l = static_cast<uint8_t>(random());
    for (const std::string& name : {std::string("bw"), std::string("bwr"), std::string("spectra6"),
                                    std::string("acep7"), std::string("acep7-measured"), sixteen.substr(0, 8 * 8 - 1),
                                    sixteen}) {
      Palette palette;
      std::string error;
      if (!parse_palette(name, &palette, &error)) return 1;
      for (int density : {127, 30, 230}) {
        force_simd_level(SimdLevel::kScalar);
        const Rows reference = palette_indexes(palette, density, width, rgb);
        force_simd_level(SimdLevel::kWasm128);
        check(reference, palette_indexes(palette, density, width, rgb),
              "palette " + name + " width " + std::to_string(width) + " density " + std::to_string(density));
      }
    }
    for (int levels : {2, 3, 4, 16}) {
      for (int density : {127, 30, 230}) {
        force_simd_level(SimdLevel::kScalar);
        const Rows reference = grey_indexes(levels, density, width, luma);
        force_simd_level(SimdLevel::kWasm128);
        check(reference, grey_indexes(levels, density, width, luma),
              std::to_string(levels) + " levels width " + std::to_string(width) + " density " + std::to_string(density));
      }
    }
    for (int density : {127, 30, 230}) {
      HalftoneParams params;
      params.density = density;
      force_simd_level(SimdLevel::kScalar);
      const Rows reference = one_bit(HalftoneMethod::kFloydSteinberg, params, width, luma);
      force_simd_level(SimdLevel::kWasm128);
      check(reference, one_bit(HalftoneMethod::kFloydSteinberg, params, width, luma),
            "floyd-steinberg width " + std::to_string(width) + " density " + std::to_string(density));
    }
  }
  std::printf("%d of %d cases differ\n", failures, cases);
  return failures ? 1 : 0;
}

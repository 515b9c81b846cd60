#include "indexed_picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "pipeline/strip.h"
#include "halftone/grey_levels.h"

namespace {

struct IndexesOut {
  uint8_t* out;
  size_t width;
};

void take_indexes(void* context, int32_t row, const uint8_t* indexes) {
  const auto* o = static_cast<IndexesOut*>(context);
  std::memcpy(o->out + static_cast<size_t>(row) * o->width, indexes, o->width);
}

HalftoneParams params_of(const ConversionRequest& options, int density) {
  HalftoneParams params = options.halftone;
  params.density = density;
  params.invert = options.invert;
  return params;
}

// letter is the nearest level or colour (no method); hard and soft draw random thresholds
// between two levels only.
bool is_random_mode(const ConversionRequest& options) { return !options.method && options.mode != 0; }

}  // namespace

std::string indexed_refusal(const ConversionRequest& options, const IndexedTarget& target) {
  if (target.palette) {
    if (target.levels != 0) return "--levels and --palette can't be given together";
    if (is_random_mode(options)) return levels_error_text(LevelsError::kNotForPalettes);
    PaletteConverter probe;
    const LevelsError error = start_palette(options.method, params_of(options, options.density), *target.palette, 0, probe);
    return error == LevelsError::kNone ? "" : levels_error_text(error);
  }
  if (target.levels < kMinLevels || target.levels > kMaxLevels) return levels_error_text(LevelsError::kBadLevels);
  if (target.levels > 2 && is_random_mode(options)) return "hard and soft give two levels only";
  GreyLevelsConverter probe;
  const LevelsError error = start_grey_levels(options.method, params_of(options, options.density), target.levels, 0, probe);
  return error == LevelsError::kNone ? "" : levels_error_text(error);
}

std::string convert_array_indexed(const ArrayPicture& p, const ConversionRequest& options, int density,
                                  const IndexedTarget& target, uint8_t* out) {
  const std::string refusal = indexed_refusal(options, target);
  if (!refusal.empty()) return refusal;
  const size_t width = static_cast<size_t>(p.width);
  const HalftoneParams params = params_of(options, density);
  IndexesOut sink{out, width};
  LumaScratch scratch;
  if (target.palette) {
    PaletteConverter converter;
    start_palette(options.method, params, *target.palette, p.width, converter);
    std::vector<uint8_t> rgb(3 * width);
    for (int32_t top = 0; top < p.height; ++top) {
      palette_rows(converter, array_rgb_row(p, top, scratch, rgb.data()), 0, 1, take_indexes, &sink);
    }
    finish_palette(converter, take_indexes, &sink);
    return "";
  }
  GreyLevelsConverter converter;
  start_grey_levels(options.method, params, target.levels, p.width, converter);
  if (grey_rows_in_order(p)) {
    grey_level_rows(converter, p.data, static_cast<size_t>(p.row_step), p.height, take_indexes, &sink);
  } else {
    const int32_t strip = rows_per_strip(width, p.height);
    std::vector<uint8_t> luma(static_cast<size_t>(strip) * width);
    for (int32_t top = 0; top < p.height; top += strip) {
      const int32_t rows = std::min(strip, p.height - top);
      for (int32_t k = 0; k < rows; ++k) array_luminance_row(p, top + k, scratch, luma.data() + k * width);
      grey_level_rows(converter, luma.data(), width, rows, take_indexes, &sink);
    }
  }
  finish_grey_levels(converter, take_indexes, &sink);
  return "";
}

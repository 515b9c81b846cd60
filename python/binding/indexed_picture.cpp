#include "indexed_picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

std::string start_error(LevelsError error, const HalftoneParams& params, const ConversionRequest& request) {
  if (error == LevelsError::kBadParams && request.method) {
    return halftone_error_text(check_halftone_params(*request.method, params));
  }
  return levels_error_text(error);
}

}  // namespace

bool indexed_target_of(const ConversionRequest& request, IndexedTarget& target, std::string& error) {
  target = IndexedTarget{};
  target.levels = request.levels;
  if (!wants_palette(request)) return true;
  Palette palette;
  if (!parse_palette(request.palette, &palette, &error)) return false;
  target.palette = palette;
  return true;
}

int indexed_colours(const IndexedTarget& target, uint8_t (*table)[3]) {
  if (target.palette) {
    std::memcpy(table, target.palette->rgb, sizeof target.palette->rgb);
    return target.palette->count;
  }
  for (int k = 0; k < target.levels; ++k) std::fill(table[k], table[k] + 3, level_grey(target.levels, k));
  return target.levels;
}

std::string convert_array_indexed(const ArrayPicture& p, const ConversionRequest& request, int density,
                                  const IndexedTarget& target, uint8_t* out) {
  // letter is the nearest level or colour (no method); the command's check refuses hard and soft.
  if (!request.method && request.mode != 0) return "--levels and --palette need letter or a method";
  const size_t width = static_cast<size_t>(p.width);
  HalftoneParams params = request.halftone;
  params.density = density;
  params.invert = request.invert;
  IndexesOut sink{out, width};
  LumaScratch scratch;
  if (target.palette) {
    PaletteConverter converter;
    const LevelsError error = start_palette(request.method, params, *target.palette, p.width, converter);
    if (error != LevelsError::kNone) return start_error(error, params, request);
    std::vector<uint8_t> rgb(3 * width);
    for (int32_t top = 0; top < p.height; ++top) {
      palette_rows(converter, array_rgb_row(p, top, scratch, rgb.data()), 0, 1, take_indexes, &sink);
    }
    finish_palette(converter, take_indexes, &sink);
    return "";
  }
  GreyLevelsConverter converter;
  const LevelsError error = start_grey_levels(request.method, params, target.levels, p.width, converter);
  if (error != LevelsError::kNone) return start_error(error, params, request);
  for_each_luma_strip(p, scratch, [&](const uint8_t* rows, size_t row_step, int32_t count) {
    grey_level_rows(converter, rows, row_step, count, take_indexes, &sink);
  });
  finish_grey_levels(converter, take_indexes, &sink);
  return "";
}

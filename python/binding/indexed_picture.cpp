#include "indexed_picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "halftone/grey_levels.h"
#include "pipeline/index_strips.h"

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
  // On request.threads threads, shared out as the command shares a picture's rows.
  IndexRows rows;
  if (target.palette) {
    const LevelsError error = start_palette(request.method, params, *target.palette, p.width, rows.colours);
    if (error != LevelsError::kNone) return start_error(error, params, request);
    start_index_rows(rows, true, p.width, request.threads, take_indexes, &sink);
    // Where the converter works alone no thread stands by: the binding reads the rows itself.
    if (rows.split == IndexRows::Split::kConverter) rows.bands.reset();
    if (p.bands == 3 && p.pixel_step == 3 && p.band_step == 1 && p.row_step > 0) {
      index_rows(rows, p.data, static_cast<size_t>(p.row_step), 0, p.height);
    } else {
      // Rows of other layouts are gathered a strip at a time.
      const int32_t strip = rows_per_strip(3 * width, p.height);
      std::vector<uint8_t> rgb(static_cast<size_t>(strip) * 3 * width);
      for (int32_t top = 0; top < p.height; top += strip) {
        const int32_t count = std::min(strip, p.height - top);
        for (int32_t k = 0; k < count; ++k) {
          uint8_t* row = rgb.data() + static_cast<size_t>(k) * 3 * width;
          const uint8_t* given = array_rgb_row(p, top + k, scratch, row);
          if (given != row) std::memcpy(row, given, 3 * width);
        }
        index_rows(rows, rgb.data(), 3 * width, top, count);
      }
    }
  } else {
    const LevelsError error = start_grey_levels(request.method, params, target.levels, p.width, rows.levels);
    if (error != LevelsError::kNone) return start_error(error, params, request);
    start_index_rows(rows, false, p.width, request.threads, take_indexes, &sink);
    if (rows.split == IndexRows::Split::kConverter) rows.bands.reset();
    int32_t top = 0;
    for_each_luma_strip(p, scratch, [&](const uint8_t* luma, size_t row_step, int32_t count) {
      index_rows(rows, luma, row_step, top, count);
      top += count;
    });
  }
  finish_index_rows(rows);
  return "";
}

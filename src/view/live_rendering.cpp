#include "view/live_rendering.h"

#include <algorithm>
#include <cstring>

#include "image/le_bytes.h"
#include "image/pixel.h"

void sample_row(const ConversionSource& source, int32_t row, const int32_t* columns, int32_t count, uint32_t* out) {
  const PictureDescription& picture = *source.picture;
  if (picture.read_back != 0) {
    // Pixels the platform could not decode read black, as in the conversion. The
    // decoded colours come a span at a time; neighbouring columns share one.
    const uint32_t* span = nullptr;
    int32_t span_start = -1;
    for (int32_t i = 0; i < count; ++i) {
      const int32_t start = columns[i] - columns[i] % kDecodedSpan;
      if (start != span_start) {
        span_start = start;
        span = decoded_span(source, row, start, std::min(kDecodedSpan, picture.width - start));
      }
      out[i] = span ? span[columns[i] - start] : 0;
    }
    return;
  }
  const uint8_t* store = source.store;
  const uint16_t bit_count = get_u16(store + kBitCountField);
  const uint8_t* line =
      store + picture.offset_to_pixels + row_stride(static_cast<uint32_t>(picture.width), bit_count) * row;
  switch (bit_count) {
    case 8: {
      for (int32_t i = 0; i < count; ++i) {
        const uint32_t index = line[columns[i]];
        out[i] = index < picture.colour_count ? get_u32(store + kStoreHeaderSize + 4 * index) & 0xFFFFFF : 0;
      }
      return;
    }
    case 24:
      for (int32_t i = 0; i < count; ++i) {
        const uint8_t* p = line + 3 * static_cast<size_t>(columns[i]);
        out[i] = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
      }
      return;
    case 32:
      if (picture.mask_byte_count == 0) {
        for (int32_t i = 0; i < count; ++i) out[i] = get_u32(line + 4 * static_cast<size_t>(columns[i])) & 0xFFFFFF;
        return;
      }
      break;
    default: break;
  }
  for (int32_t i = 0; i < count; ++i) out[i] = fetch_pixel(store, picture, columns[i], row);
}

SampleGrid sample_blocks(const ConversionSource& source, const BlockGrid& grid) {
  SampleGrid samples;
  samples.columns = block_columns(grid);
  samples.rows = block_rows(grid);
  if (samples.columns == 0 || samples.rows == 0) {
    samples.columns = samples.rows = 0;
    return samples;
  }
  std::vector<int32_t> columns(static_cast<size_t>(samples.columns));
  for (int32_t i = 0; i < samples.columns; ++i) columns[i] = grid_column(grid, grid.x_begin + i * grid.block_width);
  samples.colours.resize(static_cast<size_t>(samples.columns) * samples.rows);
  for (int32_t j = 0; j < samples.rows; ++j) {
    const int32_t row = grid_row(grid, grid.y_begin + j * grid.block_height);
    sample_row(source, row, columns.data(), samples.columns,
               samples.colours.data() + static_cast<size_t>(j) * samples.columns);
  }
  return samples;
}

void render_live(const SampleGrid& samples, const BlockGrid& grid, const PaintRect& paint, const LiveRule& rule,
                 RandomSource& random, BlockRaster& out) {
  const int32_t bw = grid.block_width, bh = grid.block_height;
  out.width = std::max(0, std::min(paint.right, grid.x_begin + samples.columns * bw) - grid.x_begin);
  out.height = std::max(0, std::min(paint.bottom, grid.y_begin + samples.rows * bh) - grid.y_begin);
  out.stride = (out.width + 3) & ~3;
  out.pixels.assign(static_cast<size_t>(out.stride) * out.height, 0);
  if (out.width == 0 || out.height == 0) return;

  std::vector<uint8_t> luminances(samples.colours.size());
  for (size_t k = 0; k < luminances.size(); ++k) luminances[k] = static_cast<uint8_t>(luminance(samples.colours[k]));

  for (int32_t i = 0; i < samples.columns; ++i) {
    const int32_t left = i * bw;
    const int32_t width = std::min(bw, out.width - left);
    for (int32_t j = 0; j < samples.rows; ++j) {
      const int threshold = draw_threshold(rule.mode, rule.threshold_base, random);
      const bool white = (luminances[static_cast<size_t>(j) * samples.columns + i] > threshold) != rule.invert;
      if (!white) continue;  // the raster starts black
      const int32_t top = j * bh;
      const int32_t bottom = std::min(top + bh, out.height);
      for (int32_t y = top; y < bottom; ++y) {
        // Rows are stored bottom-up.
        uint8_t* p = out.pixels.data() + static_cast<size_t>(out.height - 1 - y) * out.stride + left;
        if (width == 1) {
          *p = 1;
        } else {
          std::memset(p, 1, static_cast<size_t>(width));
        }
      }
    }
  }
}

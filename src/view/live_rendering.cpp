#include "view/live_rendering.h"

#include <algorithm>
#include <cstring>

#include "image/pixel.h"
#include "image/row_decoder.h"

namespace {

// The decoder is null for a read-back picture.
void sample_row_with(const RowDecoder* decoder, const ConversionSource& source, int32_t row, const int32_t* columns,
                     int32_t count, uint32_t* out) {
  if (decoder) {
    decode_colours(*decoder, row, columns, count, out);
    return;
  }
  // Pixels the platform could not decode read black, as in the conversion. The
  // decoded colours come a span at a time; neighbouring columns share one.
  const int32_t width = source.picture->width;
  const uint32_t* span = nullptr;
  int32_t span_start = -1;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t start = columns[i] - columns[i] % kDecodedSpan;
    if (start != span_start) {
      span_start = start;
      span = decoded_span(source, row, start, std::min(kDecodedSpan, width - start));
    }
    out[i] = span ? span[columns[i] - start] : 0;
  }
}

}  // namespace

void sample_row(const ConversionSource& source, int32_t row, const int32_t* columns, int32_t count, uint32_t* out) {
  if (source.picture->read_back != 0) {
    sample_row_with(nullptr, source, row, columns, count, out);
    return;
  }
  const RowDecoder decoder = make_row_decoder(source.store, *source.picture, RowUse::kColours);
  sample_row_with(&decoder, source, row, columns, count, out);
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
  RowDecoder decoder;
  const bool decoded = source.picture->read_back == 0;
  if (decoded) decoder = make_row_decoder(source.store, *source.picture, RowUse::kColours);
  for (int32_t j = 0; j < samples.rows; ++j) {
    const int32_t row = grid_row(grid, grid.y_begin + j * grid.block_height);
    sample_row_with(decoded ? &decoder : nullptr, source, row, columns.data(), samples.columns,
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
  luminance_of_colours(samples.colours.data(), static_cast<int32_t>(luminances.size()), luminances.data());

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

// The panes' own drawing of the picture over the block grid: the samples of the
// blocks in view and the black-and-white rendering of them by the conversion's rule.
#ifndef QVX_LIVE_RENDERING_H
#define QVX_LIVE_RENDERING_H

#include <cstdint>
#include <vector>

#include "mono/conversion.h"
#include "view/view_mapping.h"

// Fills out[i] with the 0xRRGGBB colour at columns[i] of one storage row: the read-back
// pixel for a decoded picture, the pixel fetch otherwise. The depth is decided once.
void sample_row(const ConversionSource& source, int32_t row, const int32_t* columns, int32_t count, uint32_t* out);

// The colours of a grid's blocks, block row by block row (colours[j * columns + i] is
// the block at column position i, row position j).
struct SampleGrid {
  int32_t columns = 0, rows = 0;
  std::vector<uint32_t> colours;
};

// Returns the sample of every block of the grid.
SampleGrid sample_blocks(const ConversionSource& source, const BlockGrid& grid);

// An 8-bit picture of the painted area with rows stored bottom-up: 0 is black, 1 white.
struct BlockRaster {
  int32_t width = 0, height = 0, stride = 0;
  std::vector<uint8_t> pixels;
};

struct LiveRule {
  int threshold_base = 127;
  int mode = kModeLetter;
  bool invert = false;
};

// Renders every block of the grid black or white into the raster, which covers the
// blocks from the paint rectangle's corner, clipped to it. The threshold is drawn once
// per block, columns outside and rows inside, before the block's sample is judged.
void render_live(const SampleGrid& samples, const BlockGrid& grid, const PaintRect& paint, const LiveRule& rule,
                 RandomSource& random, BlockRaster& out);

#endif

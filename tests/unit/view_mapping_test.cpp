#include "view/view_mapping.h"

#include <gtest/gtest.h>

#include "../common/bmp_builder.h"
#include "image/pixel.h"
#include "view/live_rendering.h"

namespace {

TEST(DrawMethod, ByZoomLevel) {
  EXPECT_EQ(draw_method(-7), kFitStretch);
  EXPECT_EQ(draw_method(1), kOneToOne);
  for (int level : {-6, -1, 0, 2, 8}) EXPECT_EQ(draw_method(level), kScaledStretch) << level;
}

TEST(Transfers, FitAndOneToOne) {
  const Transfer fit = fit_stretch(250, 120, 100, 50);
  EXPECT_EQ(fit.dest_width, 250);
  EXPECT_EQ(fit.dest_height, 120);
  EXPECT_EQ(fit.src_width, 100);
  EXPECT_EQ(fit.src_height, 50);
  const Transfer one = one_to_one(30, 40, 100, 80);
  EXPECT_EQ(one.dest_x, 0);
  EXPECT_EQ(one.dest_width, 100);
  EXPECT_EQ(one.dest_height, 80);
  EXPECT_EQ(one.src_x, 30);
  EXPECT_EQ(one.src_y, -40);
  EXPECT_EQ(one.src_height, 80);
}

TEST(Transfers, ScaledStretchRectangles) {
  struct Case {
    int32_t w, h;
    double zoom;
    int32_t sx, sy, cr, cb;
    int32_t dw, dh, src_x, src_y, src_w, src_h;
  } cases[] = {
      {100, 80, 2.0, 0, 0, 150, 120, 150, 120, 0, 20, 75, 60},
      {100, 80, 2.0, 50, 40, 150, 120, 150, 120, 25, 0, 75, 60},
      {100, 80, 3.0, 0, 0, 100, 100, 100, 100, 0, 47, 33, 33},
      {400, 300, 0.5, 0, 0, 150, 100, 150, 100, 0, 100, 300, 200},
      {400, 300, 0.5, 0, 0, 300, 200, 200, 150, 0, 0, 400, 300},
      {10, 10, 4.0, 0, 0, 300, 200, 40, 40, 0, 0, 10, 10},
  };
  for (const Case& c : cases) {
    const Transfer t = scaled_stretch(c.w, c.h, c.zoom, c.sx, c.sy, c.cr, c.cb);
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " zoom " << c.zoom << " scroll " << c.sx << "," << c.sy);
    EXPECT_EQ(t.dest_x, 0);
    EXPECT_EQ(t.dest_y, 0);
    EXPECT_EQ(t.dest_width, c.dw);
    EXPECT_EQ(t.dest_height, c.dh);
    EXPECT_EQ(t.src_x, c.src_x);
    EXPECT_EQ(t.src_y, c.src_y);
    EXPECT_EQ(t.src_width, c.src_w);
    EXPECT_EQ(t.src_height, c.src_h);
  }
}

TEST(TooLarge, BoundaryIsStrict) {
  EXPECT_FALSE(too_large(8192, 10, 3.0));
  EXPECT_TRUE(too_large(8192, 10, 4.0));
  EXPECT_TRUE(too_large(10, 8192, 4.0));
  EXPECT_FALSE(too_large(8192, 8192, 0.0));
  EXPECT_FALSE(too_large(32767, 1, 1.0));
  EXPECT_TRUE(too_large(32768, 1, 1.0));
  EXPECT_TRUE(too_large(5000, 10, 8.0));
}

ViewInputs view(int32_t w, int32_t h, bool top_down, double zoom, int32_t sx, int32_t sy, int32_t cr, int32_t cb) {
  ViewInputs v;
  v.width = w;
  v.height = h;
  v.top_down = top_down;
  v.zoom = zoom;
  v.scroll_x = sx;
  v.scroll_y = sy;
  v.client_right = cr;
  v.client_bottom = cb;
  return v;
}

TEST(BlockGrid, ZoomFourFromAPartialLeftEdge) {
  const BlockGrid g = make_block_grid(view(100, 80, false, 4.0, 0, 0, 300, 200), PaintRect{5, 0, 300, 200});
  EXPECT_EQ(g.block_width, 4);
  EXPECT_EQ(g.block_height, 4);
  EXPECT_EQ(g.x_end, 300);
  EXPECT_EQ(g.y_end, 200);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(grid_column(g, 5 + 4 * i), 1 + i);
  // Bottom-up: pane row 0 shows the top row, storage row 79.
  EXPECT_EQ(grid_row(g, 0), 79);
  EXPECT_EQ(grid_row(g, 3), 79);
  EXPECT_EQ(grid_row(g, 4), 78);
}

TEST(BlockGrid, FitModeBlocksAreCeilings) {
  for (bool top_down : {false, true}) {
    const BlockGrid g = make_block_grid(view(100, 50, top_down, 0.0, 7, 9, 250, 120), PaintRect{0, 0, 250, 120});
    EXPECT_EQ(g.block_width, 3);
    EXPECT_EQ(g.block_height, 3);
    EXPECT_EQ(g.x_end, 250);
    EXPECT_EQ(g.y_end, 120);
    EXPECT_EQ(grid_column(g, 249), 99);
    EXPECT_EQ(grid_column(g, 0), 0);
    EXPECT_EQ(grid_row(g, 0), top_down ? 0 : 49);
    EXPECT_EQ(grid_row(g, 119), top_down ? 49 : 0);
  }
  const BlockGrid exact = make_block_grid(view(100, 50, false, 0.0, 0, 0, 200, 100), PaintRect{0, 0, 200, 100});
  EXPECT_EQ(exact.block_width, 2);
  EXPECT_EQ(exact.block_height, 2);
}

TEST(BlockGrid, RowsAndColumnsForBothRowOrders) {
  struct Case {
    double zoom;
    int32_t sx, sy, x, y;
    int32_t column, bottom_up_row, top_down_row;
  } cases[] = {
      {0.25, 0, 0, 3, 0, 12, 396, 0},  // 1/4: every fourth column
      {0.25, 10, 20, 3, 2, 52, 308, 88},
      {0.5, 0, 0, 1, 1, 2, 396, 2},
      {1.0, 5, 7, 0, 0, 5, 392, 7},
      {1.0, 0, 0, 399, 399, 399, 0, 399},
      {2.0, 3, 5, 0, 0, 1, 397, 2},
      {3.0, 0, 0, 5, 5, 1, 398, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "zoom " << c.zoom << " x " << c.x << " y " << c.y);
    const BlockGrid up = make_block_grid(view(400, 400, false, c.zoom, c.sx, c.sy, 400, 400), PaintRect{0, 0, 400, 400});
    const BlockGrid down = make_block_grid(view(400, 400, true, c.zoom, c.sx, c.sy, 400, 400), PaintRect{0, 0, 400, 400});
    EXPECT_EQ(grid_column(up, c.x), c.column);
    EXPECT_EQ(grid_row(up, c.y), c.bottom_up_row);
    EXPECT_EQ(grid_row(down, c.y), c.top_down_row);
  }
}

TEST(BlockGrid, BoundsEndWithThePicture) {
  // Zoom 4 of a 10 x 10 picture: the picture ends at 40 in a 300 x 200 pane.
  const BlockGrid g = make_block_grid(view(10, 10, false, 4.0, 0, 0, 300, 200), PaintRect{1, 2, 300, 200});
  EXPECT_EQ(g.x_end, 40);
  EXPECT_EQ(g.y_end, 40);
  EXPECT_EQ(block_columns(g), 10);  // 1, 5, ... 37
  EXPECT_EQ(block_rows(g), 10);     // 2, 6, ... 38
  // A reduction samples one picture pixel per pane pixel, never past the picture.
  const BlockGrid r = make_block_grid(view(401, 3, false, 0.5, 0, 0, 300, 200), PaintRect{0, 0, 300, 200});
  EXPECT_EQ(r.x_end, 200);
  EXPECT_EQ(r.y_end, 1);
  EXPECT_EQ(grid_column(r, 199), 398);
  EXPECT_EQ(grid_row(r, 0), 1);
}

TEST(NoiseDither, SpansAndClamping) {
  // Draws of 25, 18 and 31 leave the colour as it is; the palette-relative flag is set.
  EXPECT_EQ(noise_dithered_colour(0x102030, 25, 18, 31), 0x02302010u);
  // White can only get darker, black only lighter.
  for (int d : {0, 7, 50, 32767}) {
    const uint32_t white = noise_dithered_colour(0xFFFFFF, d, d, d);
    const uint32_t black = noise_dithered_colour(0x000000, d, d, d);
    EXPECT_EQ(white & 0xFF, static_cast<uint32_t>(std::min(255, 255 + d % 51 - 25)));
    EXPECT_EQ(black & 0xFF, static_cast<uint32_t>(std::max(0, d % 51 - 25)));
    EXPECT_EQ((white >> 16) & 0xFF, static_cast<uint32_t>(std::min(255, 255 + d % 63 - 31)));
  }
  EXPECT_EQ(platform_colour(0x123456), 0x563412u);
}

// A 24-bit picture whose luminance rises by one per column: L(x) = x.
Loaded grey_ramp(int32_t width, int32_t height) {
  BmpFile f;
  f.bit_count = 24;
  f.width = width;
  f.height = height;
  std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height));
  for (auto& row : rows)
    for (int32_t x = 0; x < width; ++x) row.push_back(0x010101u * static_cast<uint32_t>(x));
  f.pixels = pack_rows(24, width, rows);
  return load_bmp(f);
}

uint8_t raster_at(const BlockRaster& r, int32_t x, int32_t y) {
  return r.pixels[static_cast<size_t>(r.height - 1 - y) * r.stride + x];
}

TEST(LiveRendering, LetterThresholdIsStrictAndInvertSwaps) {
  const Loaded l = grey_ramp(256, 2);
  ASSERT_EQ(l.code, ReadCode::kOk);
  const ConversionSource source{l.data(), &l.picture, nullptr};
  const BlockGrid grid = make_block_grid(view(256, 2, false, 1.0, 0, 0, 256, 2), PaintRect{0, 0, 256, 2});
  const SampleGrid samples = sample_blocks(source, grid);
  for (bool invert : {false, true}) {
    RandomSource random;
    BlockRaster raster;
    render_live(samples, grid, PaintRect{0, 0, 256, 2}, LiveRule{128, kModeLetter, invert}, random, raster);
    ASSERT_EQ(raster.width, 256);
    ASSERT_EQ(raster.height, 2);
    EXPECT_EQ(random.state, 1u);  // Letter draws nothing
    for (int32_t x = 0; x < 256; ++x) EXPECT_EQ(raster_at(raster, x, 1), (x > 128) != invert ? 1 : 0) << x;
  }
}

TEST(LiveRendering, PhotoModesDrawOncePerBlockInColumnOrder) {
  const Loaded l = grey_ramp(20, 10);
  const ConversionSource source{l.data(), &l.picture, nullptr};
  const PaintRect paint{1, 2, 300, 200};
  const BlockGrid grid = make_block_grid(view(20, 10, false, 4.0, 0, 0, 300, 200), paint);
  const SampleGrid samples = sample_blocks(source, grid);
  for (int mode : {kModePhotoHard, kModePhotoSoft}) {
    RandomSource random, replay;
    random.state = replay.state = 12345;
    BlockRaster raster;
    render_live(samples, grid, paint, LiveRule{10, mode, false}, random, raster);
    // The last block starts at 77 and reaches past the picture's end at 80.
    ASSERT_EQ(raster.width, 80);
    ASSERT_EQ(raster.height, 40);
    for (int32_t i = 0; i < samples.columns; ++i) {
      for (int32_t j = 0; j < samples.rows; ++j) {
        const int threshold = draw_threshold(mode, 10, replay);
        const int column = (1 + 4 * i) / 4;
        const uint8_t expected = column > threshold ? 1 : 0;
        for (int32_t dx = 0; dx < 4 && 4 * i + dx < raster.width; ++dx)
          for (int32_t dy = 0; dy < 4 && 4 * j + dy < raster.height; ++dy)
            ASSERT_EQ(raster_at(raster, 4 * i + dx, 4 * j + dy), expected) << mode << " block " << i << "," << j;
      }
    }
    EXPECT_EQ(random.state, replay.state);
  }
}

TEST(LiveRendering, PhotoHardKeepsFullWhiteBelow128) {
  BmpFile f;
  f.bit_count = 24;
  f.width = 64;
  f.height = 64;
  f.pixels = pack_rows(24, 64, std::vector<std::vector<uint32_t>>(64, std::vector<uint32_t>(64, 0xFFFFFF)));
  const Loaded l = load_bmp(f);
  const ConversionSource source{l.data(), &l.picture, nullptr};
  const PaintRect paint{0, 0, 64, 64};
  const BlockGrid grid = make_block_grid(view(64, 64, false, 1.0, 0, 0, 64, 64), paint);
  const SampleGrid samples = sample_blocks(source, grid);
  RandomSource random;
  for (int density : {0, 100, 127}) {
    BlockRaster raster;
    render_live(samples, grid, paint, LiveRule{density, kModePhotoHard, false}, random, raster);
    for (uint8_t v : raster.pixels) ASSERT_EQ(v, 1);
  }
}

TEST(Sampling, MatchesThePixelFetchAtEveryDepth) {
  for (uint16_t bits : {1, 2, 4, 8, 16, 24, 32}) {
    BmpFile f;
    f.bit_count = bits;
    f.width = 13;
    f.height = 3;
    if (bits <= 8) {
      for (uint32_t i = 0; i < (1u << bits); ++i) f.colours.push_back((i * 0x1F3A57u) & 0xFFFFFF);
      f.colours_used = 1u << bits;
    }
    std::vector<std::vector<uint32_t>> rows(3);
    for (int r = 0; r < 3; ++r)
      for (int x = 0; x < 13; ++x) rows[r].push_back((static_cast<uint32_t>(x * 37 + r * 101) * 2654435761u) >> (32 - (bits == 32 ? 24 : bits)));
    f.pixels = pack_rows(bits, 13, rows);
    const Loaded l = load_bmp(f);
    ASSERT_EQ(l.code, ReadCode::kOk) << bits;
    const ConversionSource source{l.data(), &l.picture, nullptr};
    const int32_t columns[] = {12, 0, 5, 5, 7, 1};
    for (int32_t row = 0; row < 3; ++row) {
      uint32_t out[6];
      sample_row(source, row, columns, 6, out);
      for (int i = 0; i < 6; ++i)
        EXPECT_EQ(out[i], fetch_pixel(l.data(), l.picture, columns[i], row) & 0xFFFFFF) << bits << " row " << row;
    }
  }
}

}  // namespace

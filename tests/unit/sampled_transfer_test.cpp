#include "view/sampled_transfer.h"

#include <gtest/gtest.h>

#include <vector>

#include "image/row_size.h"

namespace {

// A packed picture whose every pixel holds a value made from its position, at any depth.
struct Picture {
  int32_t width, height;
  bool top_down;
  uint16_t bits;
  std::vector<uint8_t> bytes;
  uint64_t stride() const { return padded_row_bytes(static_cast<uint64_t>(width), bits); }
  PackedPixels packed() const { return PackedPixels{bytes.data(), width, height, top_down, bits}; }
};

uint32_t value_at(int32_t column, int32_t row_from_top, uint16_t bits) {
  const uint32_t v = static_cast<uint32_t>(column * 131 + row_from_top * 7919 + 17);
  return bits == 32 ? v * 2654435761u : v & ((bits == 24 ? 0xFFFFFFu : (1u << bits) - 1));
}

uint32_t read_pixel(const uint8_t* row, int32_t column, uint16_t bits) {
  const uint64_t at = static_cast<uint64_t>(column) * bits;
  if (bits < 8) return (row[at / 8] >> (8 - bits - at % 8)) & ((1u << bits) - 1);
  uint32_t v = 0;
  for (uint32_t i = 0; i < bits / 8u; ++i) v |= static_cast<uint32_t>(row[at / 8 + i]) << (8 * i);
  return v;
}

void write_pixel(uint8_t* row, int32_t column, uint16_t bits, uint32_t v) {
  const uint64_t at = static_cast<uint64_t>(column) * bits;
  if (bits < 8) {
    row[at / 8] = static_cast<uint8_t>(row[at / 8] | (v << (8 - bits - at % 8)));
    return;
  }
  for (uint32_t i = 0; i < bits / 8u; ++i) row[at / 8 + i] = static_cast<uint8_t>(v >> (8 * i));
}

Picture make_picture(int32_t width, int32_t height, uint16_t bits, bool top_down) {
  Picture p{width, height, top_down, bits, {}};
  p.bytes.assign(p.stride() * static_cast<uint64_t>(height), 0);
  for (int32_t y = 0; y < height; ++y) {
    const int32_t stored = top_down ? y : height - 1 - y;
    for (int32_t x = 0; x < width; ++x) write_pixel(&p.bytes[p.stride() * stored], x, bits, value_at(x, y, bits));
  }
  return p;
}

// The block's pixel at pane position (x, y).
uint32_t block_pixel(const SampledBlock& block, const std::vector<uint8_t>& bytes, int32_t x, int32_t y,
                     uint16_t bits) {
  const int32_t stored = block.y + block.height - 1 - y;  // bottom row first
  return read_pixel(&bytes[block.stride * stored], x - block.x, bits);
}

std::vector<uint8_t> fill(const Transfer& t, const Picture& p, const SampledBlock& block) {
  std::vector<uint8_t> bytes(block.bytes(), 0xAA);
  fill_sampled_block(t, p.packed(), block, bytes.data());
  return bytes;
}

const uint16_t kDepths[] = {1, 2, 4, 8, 16, 24, 32};

TEST(SampledTransfer, OneToOneCopiesTheVisibleWindowExactlyAtEveryDepth) {
  for (uint16_t bits : kDepths) {
    for (int32_t sx : {0, 3, 9}) {
      const Picture p = make_picture(37, 23, bits, false);
      const int32_t sy = 5;
      const Transfer t = one_to_one(sx, sy, p.width, p.height);
      const PaintRect clip{2, 1, 20, 40};
      ASSERT_TRUE(can_sample_transfer(t, p.packed()));
      const SampledBlock block = sampled_block(t, p.packed(), clip);
      // Rows past the scrolled picture's bottom have no source and stay out of the block.
      EXPECT_EQ(block.x, 2);
      EXPECT_EQ(block.y, 1);
      EXPECT_EQ(block.width, 18);
      EXPECT_EQ(block.height, p.height - sy - 1);
      const std::vector<uint8_t> bytes = fill(t, p, block);
      for (int32_t y = block.y; y < block.y + block.height; ++y)
        for (int32_t x = block.x; x < block.x + block.width; ++x)
          ASSERT_EQ(block_pixel(block, bytes, x, y, bits), value_at(x + sx, y + sy, bits))
              << bits << "-bit at " << x << "," << y << " scroll " << sx;
      // Row padding is zero.
      const uint64_t used = (static_cast<uint64_t>(block.width) * bits + 7) / 8;
      for (int32_t k = 0; k < block.height; ++k)
        for (uint64_t i = used; i < block.stride; ++i) ASSERT_EQ(bytes[block.stride * k + i], 0) << bits;
    }
  }
}

TEST(SampledTransfer, StretchesTakeTheSourcePixelUnderEachDestinationCentre) {
  struct Case {
    int32_t width, height;
    bool top_down;
    Transfer t;
  } cases[] = {
      {40, 30, false, fit_stretch(10, 6, 40, 30)},   // reduction: every 4th column, every 5th row
      {40, 30, true, fit_stretch(10, 6, 40, 30)},    // the same for a top-down picture
      {5, 3, false, fit_stretch(20, 9, 5, 3)},       // enlargement: each pixel repeated
      {40, 30, false, scaled_stretch(40, 30, 0.5, 4, 2, 12, 9)},
  };
  for (const Case& c : cases) {
    for (uint16_t bits : kDepths) {
      const Picture p = make_picture(c.width, c.height, bits, c.top_down);
      ASSERT_TRUE(can_sample_transfer(c.t, p.packed()));
      const SampledBlock block = sampled_block(c.t, p.packed(), PaintRect{0, 0, 1000, 1000});
      ASSERT_EQ(block.width, c.t.dest_width);
      ASSERT_EQ(block.height, c.t.dest_height);
      const std::vector<uint8_t> bytes = fill(c.t, p, block);
      const int32_t top_row = c.height - c.t.src_y - c.t.src_height;  // source rectangle, from the top
      for (int32_t y = 0; y < block.height; ++y) {
        for (int32_t x = 0; x < block.width; ++x) {
          const int32_t column = c.t.src_x + static_cast<int32_t>((x + 0.5) * c.t.src_width / c.t.dest_width);
          const int32_t row = top_row + static_cast<int32_t>((y + 0.5) * c.t.src_height / c.t.dest_height);
          ASSERT_EQ(block_pixel(block, bytes, x, y, bits), value_at(column, row, bits))
              << bits << "-bit " << c.width << "x" << c.height << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(SampledTransfer, LeavesToThePlatformWhatItCannotWorkOutAhead) {
  const Picture bottom_up = make_picture(8, 8, 8, false);
  const Picture top_down = make_picture(8, 8, 8, true);
  // A part of a top-down picture: which way its source y counts is the platform's.
  EXPECT_FALSE(can_sample_transfer(one_to_one(0, 2, 8, 8), top_down.packed()));
  EXPECT_TRUE(can_sample_transfer(one_to_one(0, 2, 8, 8), bottom_up.packed()));
  EXPECT_TRUE(can_sample_transfer(fit_stretch(3, 3, 8, 8), top_down.packed()));
  EXPECT_FALSE(can_sample_transfer(fit_stretch(0, 3, 8, 8), bottom_up.packed()));
  PackedPixels odd = bottom_up.packed();
  odd.bit_count = 12;
  EXPECT_FALSE(can_sample_transfer(fit_stretch(3, 3, 8, 8), odd));
  // A clip beside the destination: nothing to draw.
  const SampledBlock none = sampled_block(fit_stretch(3, 3, 8, 8), bottom_up.packed(), PaintRect{5, 0, 9, 9});
  EXPECT_EQ(none.width, 0);
}

}  // namespace

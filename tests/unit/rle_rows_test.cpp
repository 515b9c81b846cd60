// Rows of RLE pictures asked for in any order, in small groups, against the decode of
// the whole picture.
#include "image/rle_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "../common/bmp_builder.h"
#include "../common/rle_pictures.h"

namespace {

// Storage rows in the orders a reader asks for them: upward, downward (the panes),
// every third row, and scattered.
std::vector<std::vector<int32_t>> row_orders(int32_t height) {
  std::vector<int32_t> up(static_cast<size_t>(height));
  for (int32_t r = 0; r < height; ++r) up[r] = r;
  std::vector<int32_t> down(up.rbegin(), up.rend());
  std::vector<int32_t> sparse, scattered;
  for (int32_t r = height - 1; r >= 0; r -= 3) sparse.push_back(r);
  uint32_t seed = 7;
  for (int32_t i = 0; i < 2 * height; ++i) scattered.push_back(static_cast<int32_t>(rle_pictures::next_seed(seed) % height));
  return {up, down, sparse, scattered};
}

TEST(RleRows, AnyOrderOfRowsGivesTheWholePicturesDecode) {
  size_t checked = 0;
  for (const rle_pictures::NamedFile& file : rle_pictures::rle_test_files()) {
    const Loaded l = load_bmp(file.bytes);
    if (l.code != ReadCode::kOk || l.picture.width <= 0 || l.picture.height <= 0) continue;
    const uint32_t size = std::min<uint32_t>(get_u32(l.data() + kImageSizeField),
                                             static_cast<uint32_t>(l.store.size() - l.picture.offset_to_pixels));
    const uint8_t* data = l.data() + l.picture.offset_to_pixels;
    const std::vector<uint32_t> whole = decode_rle_picture(l.data(), l.picture, data, size);
    const size_t width = static_cast<size_t>(l.picture.width);
    // One row per group, a few rows per group, and everything in one group.
    for (size_t group_bytes : {size_t{1}, 3 * width * 4, size_t{1} << 20}) {
      for (const std::vector<int32_t>& order : row_orders(l.picture.height)) {
        RleRows rows;
        ASSERT_TRUE(rows.start(l.data(), l.picture, data, size, group_bytes));
        for (int32_t r : order) {
          const uint32_t* got = rows.row(r);
          ASSERT_NE(got, nullptr);
          ASSERT_TRUE(std::equal(got, got + width, whole.begin() + static_cast<size_t>(r) * width))
              << file.name << " row " << r << " group bytes " << group_bytes;
        }
        EXPECT_EQ(rows.row(l.picture.height), nullptr);
        EXPECT_EQ(rows.row(-1), nullptr);
      }
    }
    ++checked;
  }
  EXPECT_GT(checked, 20u);
}

TEST(RleRows, ATallPictureKeepsABoundedNumberOfStates) {
  // 20000 rows of one pixel, each row a run of its own colour index then an end of line.
  const int32_t height = 20000;
  std::vector<uint8_t> codes;
  for (int32_t r = 0; r < height; ++r) {
    codes.insert(codes.end(), {1, static_cast<uint8_t>(r % 251), 0, 0});
  }
  codes.insert(codes.end(), {0, 1});
  const Loaded l = load_bmp(rle_pictures::rle_file(false, 1, height, codes));
  ASSERT_EQ(l.code, ReadCode::kOk);
  const uint8_t* data = l.data() + l.picture.offset_to_pixels;
  const std::vector<uint32_t> whole =
      decode_rle_picture(l.data(), l.picture, data, static_cast<uint32_t>(codes.size()));
  RleRows rows;
  ASSERT_TRUE(rows.start(l.data(), l.picture, data, static_cast<uint32_t>(codes.size()), 4));
  EXPECT_EQ(rows.group_rows(), 1);
  for (int32_t r : {19999, 0, 12345, 12344, 4097, 19998, 1}) {
    const uint32_t* got = rows.row(r);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(*got, whole[static_cast<size_t>(r)]) << r;
  }
}

}  // namespace

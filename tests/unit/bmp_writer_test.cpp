#include "mono/bmp_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "../common/bmp_builder.h"
#include "mono/conversion.h"
#include "mono/result_bitmap.h"

namespace {

TEST(Writer, Sizes) {
  struct Case {
    int32_t width, height;
    uint32_t image_size, file_size;
  } cases[] = {{1, 1, 4, 66}, {640, 480, 38400, 38462}, {33, -2, 16, 78}, {0, 5, 0, 62}};
  for (const Case& c : cases) {
    uint8_t header[40] = {40};
    put_u32(header + kWidthField, static_cast<uint32_t>(c.width));
    put_u32(header + kHeightField, static_cast<uint32_t>(c.height));
    const uint32_t w = static_cast<uint32_t>(c.width), h = static_cast<uint32_t>(c.height < 0 ? -c.height : c.height);
    std::vector<uint8_t> result(result_block_size(w, h));
    prepare_result(header, w, h, result.data(), static_cast<uint32_t>(result.size()));
    EXPECT_EQ(get_u32(result.data() + kImageSizeField), c.image_size) << c.width << "x" << c.height;
    uint8_t file_header[kFileHeaderBytes];
    build_file_header(result.data(), file_header);
    EXPECT_EQ(get_u32(file_header + 2), c.file_size);
    EXPECT_EQ(kFileHeaderBytes + result_bytes_to_write(result.data()), c.file_size);
  }
  EXPECT_EQ(result_block_size(0x7FFFFFFF, 0x7FFFFFFF), 0u);  // refused rather than wrapped
}

// A whole file for a 3 x 2 top-down bit-fields picture with a colour table, byte by
// byte: width, signed height, planes and resolutions are the source's, the rest is
// the 1-bit picture's own.
TEST(Writer, WholeFile) {
  BmpFile f;
  f.width = 3;
  f.height = -2;
  f.planes = 7;
  f.bit_count = 32;
  f.compression = 3;
  f.masks = {0xFF0000, 0xFF00, 0xFF};
  f.x_resolution = 2835;
  f.y_resolution = 1417;
  f.colours_used = 3;
  f.colours_important = 3;
  f.colours = {1, 2, 3};
  f.pixels = pack_rows(32, 3, {{0xFFFFFF, 0x000000, 0x808080}, {0x000000, 0xFFFFFF, 0xFFFFFF}});
  const Loaded l = load_bmp(f);
  ASSERT_EQ(l.code, ReadCode::kOk);
  std::vector<uint8_t> result(result_block_size(3, 2));
  prepare_result(l.data(), 3, 2, result.data(), static_cast<uint32_t>(result.size()));
  RandomSource random;
  convert_picture(ConversionSource{l.data(), &l.picture, nullptr}, result.data(), 128, kModeLetter, false, random,
                  nullptr, nullptr);
  std::vector<uint8_t> file(kFileHeaderBytes);
  build_file_header(result.data(), file.data());
  file.insert(file.end(), result.begin(), result.begin() + result_bytes_to_write(result.data()));

  const std::vector<uint8_t> expected = {
      'B',  'M',  70,   0,    0,    0,    0,    0, 0, 0, 62, 0, 0, 0,  // file header
      40,   0,    0,    0,    3,    0,    0,    0,                     // header size, width
      0xFE, 0xFF, 0xFF, 0xFF, 7,    0,    1,    0,                     // height -2, planes, bit count
      0,    0,    0,    0,    8,    0,    0,    0,                     // compression, image size
      0x13, 0x0B, 0,    0,    0x89, 0x05, 0,    0,                     // resolutions
      2,    0,    0,    0,    2,    0,    0,    0,                     // colours used, important
      0,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0,                     // black, white
      0x80, 0,    0,    0,    0x60, 0,    0,    0,                     // rows; grey 128 at density 128 is black
  };
  EXPECT_EQ(file, expected);
}

}  // namespace

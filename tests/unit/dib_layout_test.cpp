// Layout of pasted and plug-in pictures: the refusals and sizes that the real
// clipboard and the test plug-ins can't easily produce.
#include <gtest/gtest.h>

#include <vector>

#include "image/dib_layout.h"
#include "image/le_bytes.h"

namespace {

std::vector<uint8_t> header(uint32_t size, int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                            uint32_t image_size, uint32_t colours_used, uint32_t total) {
  std::vector<uint8_t> block(total, 0);
  put_u32(&block[0], size);
  put_u32(&block[4], static_cast<uint32_t>(width));
  put_u32(&block[8], static_cast<uint32_t>(height));
  put_u16(&block[12], 1);
  put_u16(&block[14], bits);
  put_u32(&block[16], compression);
  put_u32(&block[20], image_size);
  put_u32(&block[32], colours_used);
  return block;
}

TEST(PastedDib, ShortOrImplausibleBlocks) {
  PictureDescription d;
  std::vector<uint8_t> tiny(39, 0);
  EXPECT_EQ(lay_out_pasted_dib(tiny.data(), 39, d), 0u);
  std::vector<uint8_t> core = header(12, 2, 2, 24, 0, 0, 0, 64);
  EXPECT_EQ(lay_out_pasted_dib(core.data(), 64, d), 0u);
  std::vector<uint8_t> beyond = header(200, 2, 2, 24, 0, 0, 0, 64);
  EXPECT_EQ(lay_out_pasted_dib(beyond.data(), 64, d), 0u);
  std::vector<uint8_t> negative = header(40, -2, 2, 24, 0, 0, 0, 64);
  EXPECT_EQ(lay_out_pasted_dib(negative.data(), 64, d), 0u);
  // 8 x 8 at 24 bits needs 40 + 192 bytes; a block of 100 must grow, with no table read past it.
  std::vector<uint8_t> short_rows = header(40, 8, 8, 24, 0, 0, 0, 100);
  EXPECT_EQ(lay_out_pasted_dib(short_rows.data(), 100, d), 232u);
}

TEST(DeviceBitmap, HeaderAndSizes) {
  uint8_t h[40];
  PictureDescription d;
  EXPECT_EQ(lay_out_device_bitmap(h, 5, 3, 8, d), 1064u + 8 * 3);
  EXPECT_EQ(get_u32(h + 32), 256u);
  EXPECT_EQ(get_u32(h + 20), 24u);
  EXPECT_EQ(lay_out_device_bitmap(h, 5, 3, 32, d), 40u + 60);
  EXPECT_EQ(d.colour_count, 0u);
  EXPECT_EQ(d.offset_to_pixels, 40u);
  EXPECT_EQ(lay_out_device_bitmap(h, 70000, 70000, 32, d), 0u);
}

TEST(PluginHeader, CountsSizesAndRefusals) {
  const struct {
    const char* name;
    int32_t width, height;
    uint16_t bits;
    uint32_t image_size, colours_used, info_size;
    uint32_t pixel_bytes, colour_count, offset, stored_image_size;
  } cases[] = {
      {"8-bit", 4, 2, 8, 8, 0, 1064, 8, 256, 1064, 8},
      {"24-bit", 3, 2, 24, 24, 0, 40, 24, 0, 40, 24},
      {"image size 0, top-down", 3, -2, 24, 0, 0, 40, 24, 0, 40, 24},
      {"declared too small", 3, 2, 24, 5, 0, 40, 24, 0, 40, 5},
      {"table beyond the block", 4, 2, 8, 8, 0, 100, 0, 0, 0, 8},
      {"negative width", -4, 2, 24, 0, 0, 40, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> info = header(40, c.width, c.height, c.bits, 0, c.image_size, c.colours_used, c.info_size);
    PictureDescription d;
    EXPECT_EQ(lay_out_plugin_header(info.data(), c.info_size, d), c.pixel_bytes) << c.name;
    if (c.pixel_bytes == 0) continue;
    EXPECT_EQ(d.colour_count, c.colour_count) << c.name;
    EXPECT_EQ(d.offset_to_pixels, c.offset) << c.name;
    EXPECT_EQ(d.mask_byte_count, 0u) << c.name;
    EXPECT_EQ(get_u32(&info[20]), c.stored_image_size) << c.name;
  }
}

}  // namespace

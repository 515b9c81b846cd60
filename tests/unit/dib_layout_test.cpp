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
    bool taken;
    uint32_t pixel_bytes, colour_count, offset, stored_image_size;
  } cases[] = {
      {"8-bit", 4, 2, 8, 8, 0, 1064, true, 8, 256, 1064, 8},
      {"24-bit", 3, 2, 24, 24, 0, 40, true, 24, 0, 40, 24},
      {"image size 0, top-down", 3, -2, 24, 0, 0, 40, true, 24, 0, 40, 24},
      {"declared too small", 3, 2, 24, 5, 0, 40, true, 24, 0, 40, 5},
      // Zero width or height is a picture, as in a BMP file: no pixel bytes.
      {"zero width", 0, 2, 24, 0, 0, 40, true, 0, 0, 40, 0},
      {"zero height", 3, 0, 8, 0, 0, 1064, true, 0, 256, 1064, 0},
      {"table beyond the block", 4, 2, 8, 8, 0, 100, false, 0, 0, 0, 8},
      {"negative width", -4, 2, 24, 0, 0, 40, false, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> info = header(40, c.width, c.height, c.bits, 0, c.image_size, c.colours_used, c.info_size);
    PictureDescription d;
    uint32_t pixel_bytes = 12345;
    EXPECT_EQ(lay_out_plugin_header(info.data(), c.info_size, d, pixel_bytes), c.taken) << c.name;
    if (!c.taken) continue;
    EXPECT_EQ(pixel_bytes, c.pixel_bytes) << c.name;
    EXPECT_EQ(d.colour_count, c.colour_count) << c.name;
    EXPECT_EQ(d.offset_to_pixels, c.offset) << c.name;
    EXPECT_EQ(d.mask_byte_count, 0u) << c.name;
    EXPECT_EQ(get_u32(&info[20]), c.stored_image_size) << c.name;
  }
}

// A pasted block whose rows stop early: after the header is cut to 40 bytes, every
// byte past the delivered rows is zero (black), whatever the header's size.
TEST(PastedDib, MissingRowsAreBlackForEveryHeaderSize) {
  for (uint32_t header_size : {40u, 52u, 56u, 64u, 108u, 124u}) {
    for (uint32_t compression : {0u, 3u}) {
      const uint32_t masks = compression == 3 ? 12 : 0;
      const uint32_t delivered = 2 * 16;  // two of four 4 x 4 rows at 32 bits
      const uint32_t size = (header_size > 40 + masks ? header_size : 40 + masks) + delivered;
      std::vector<uint8_t> block = header(header_size, 4, 4, 32, compression, 0, 0, size);
      for (uint32_t i = 40; i < header_size && i < size; ++i) block[i] = 0xAB;  // header tail: never a pixel
      if (compression == 3) {
        put_u32(&block[40], 0xFF0000);
        put_u32(&block[44], 0x00FF00);
        put_u32(&block[48], 0x0000FF);
      }
      for (uint32_t i = size - delivered; i < size; ++i) block[i] = 0x11;
      PictureDescription d;
      const uint32_t needed = lay_out_pasted_dib(block.data(), size, d);
      ASSERT_EQ(needed, 40 + masks + 4 * 16) << header_size;
      block.resize(needed, 0);  // the growth is zero-filled
      const uint8_t* rows = block.data() + d.offset_to_pixels;
      for (uint32_t i = 0; i < delivered; ++i) EXPECT_EQ(rows[i], 0x11) << header_size << " byte " << i;
      for (uint32_t i = delivered; i < 4 * 16; ++i) EXPECT_EQ(rows[i], 0) << header_size << " byte " << i;
    }
  }
}

}  // namespace

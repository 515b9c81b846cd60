// The Info dialog's texts for pictures read by the program's own reader, and the
// About dialog's display line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "../common/bmp_builder.h"
#include "dialogs/info_format.h"

namespace {

InfoTexts info_for(const BmpFile& file) {
  const Loaded loaded = load_bmp(file);
  EXPECT_EQ(loaded.code, ReadCode::kOk);
  return format_info(loaded.data(), loaded.store.size(), loaded.picture.source_header_size,
                     loaded.picture.mask_byte_count);
}

// The cells' texts by id, "" where the dialog leaves a cell alone; '*' marks the fixed font.
std::string cell(const InfoTexts& texts, int id) {
  for (const InfoCell& c : texts.cells)
    if (c.id == id) return c.fixed_font ? "*" + c.text : c.text;
  return "";
}

BmpFile picture(int32_t width, int32_t height, int32_t x_resolution, int32_t y_resolution) {
  BmpFile f;
  f.width = width;
  f.height = height;
  f.x_resolution = x_resolution;
  f.y_resolution = y_resolution;
  f.pixels = pack_rows(24, width, std::vector<std::vector<uint32_t>>(height < 0 ? -height : height));
  return f;
}

TEST(InfoFormat, SizesInInchesAndResolutionsInDotsPerInch) {
  const struct {
    int32_t width, height, x_resolution, y_resolution;
    const char *width_text, *height_text, *x_text, *y_text;
  } cases[] = {
      {640, 480, 3780, 3780, "640 (6.67in)", "480 (5.00in)", "3780 (96dpi)", "3780 (96dpi)"},
      {640, 480, 0, 0, "640", "480", "0 (0dpi)", "0 (0dpi)"},
      {640, -480, 3780, 3780, "640 (6.67in)", "-480 (-5.00in)", "3780 (96dpi)", "3780 (96dpi)"},
      // 11811 pixels per metre is 299.9994 dpi: rounded to the nearest.
      {3, 2, 11811, 2835, "3 (0.01in)", "2 (0.03in)", "11811 (300dpi)", "2835 (72dpi)"},
      {5, 5, 0, 3780, "5", "5 (0.05in)", "0 (0dpi)", "3780 (96dpi)"},
  };
  for (const auto& c : cases) {
    const InfoTexts texts = info_for(picture(c.width, c.height, c.x_resolution, c.y_resolution));
    ASSERT_TRUE(texts.filled);
    EXPECT_EQ(texts.values[1], c.width_text);
    EXPECT_EQ(texts.values[2], c.height_text);
    EXPECT_EQ(texts.values[7], c.x_text);
    EXPECT_EQ(texts.values[8], c.y_text);
  }
}

TEST(InfoFormat, EveryFieldOfAPalettePicture) {
  BmpFile f;
  f.width = 4;
  f.height = 2;
  f.bit_count = 8;
  f.image_size = 8;
  f.colours_used = 3;
  f.colours_important = 2;
  f.colours = {0x808080, 0xFF0000, 0x0000FF};
  f.pixels = pack_rows(8, 4, {{0, 1, 2, 0}, {2, 1, 0, 0}});
  const InfoTexts texts = info_for(f);
  const char* expected[] = {"40", "4", "2", "1", "8", "0", "8", "0 (0dpi)", "0 (0dpi)", "3", "2"};
  for (int k = 0; k < kInfoValueCount; ++k) EXPECT_EQ(texts.values[k], expected[k]) << k;
  // Entries read reserved, red, green, blue; the builder's reserved bytes are 0xA5.
  EXPECT_EQ(cell(texts, 13), "*a5808080");
  EXPECT_EQ(cell(texts, 14), "*a5ff0000");
  EXPECT_EQ(cell(texts, 15), "*a50000ff");
  EXPECT_EQ(texts.cells.size(), 3u);
}

TEST(InfoFormat, TheSourceHeaderSizeNotTheStoredOne) {
  for (uint32_t header_size : {12u, 40u, 108u}) {
    BmpFile f = picture(2, 2, 0, 0);
    f.header_size = header_size;
    EXPECT_EQ(info_for(f).values[0], std::to_string(header_size));
  }
}

TEST(InfoFormat, AtMostSixteenColourCellsTwoColumns) {
  BmpFile f;
  f.width = 1;
  f.height = 1;
  f.bit_count = 8;
  f.colours_used = 256;
  for (uint32_t i = 0; i < 256; ++i) f.colours.push_back(i * 0x010101);
  f.pixels = pack_rows(8, 1, {{0}});
  const InfoTexts texts = info_for(f);
  ASSERT_EQ(texts.cells.size(), 16u);
  EXPECT_EQ(cell(texts, 13), "*a5000000");
  EXPECT_EQ(cell(texts, 20), "*a5070707");
  EXPECT_EQ(cell(texts, 21), "*a5080808");
  EXPECT_EQ(cell(texts, 28), "*a50f0f0f");
  EXPECT_EQ(texts.values[9], "256");

  const InfoTexts true_colour = info_for(picture(2, 2, 0, 0));
  EXPECT_TRUE(true_colour.cells.empty());
}

TEST(InfoFormat, BitFieldsShowTheMasksLabelledAndTheirBitCounts) {
  const struct {
    uint16_t bit_count;
    uint32_t red, green, blue;
    const char* counts;
  } cases[] = {
      {16, 0xF800, 0x07E0, 0x001F, "5-6-5"},
      {16, 0x7C00, 0x03E0, 0x001F, "5-5-5"},
      {32, 0xFF0000, 0xFF00, 0xFF, "8-8-8"},
  };
  for (const auto& c : cases) {
    BmpFile f;
    f.width = 2;
    f.height = 1;
    f.bit_count = c.bit_count;
    f.compression = 3;
    f.masks = {c.red, c.green, c.blue};
    f.pixels = pack_rows(c.bit_count, 2, {{0, 0}});
    const InfoTexts texts = info_for(f);
    char hex[3][16];
    std::snprintf(hex[0], sizeof hex[0], "*%08x", c.red);
    std::snprintf(hex[1], sizeof hex[1], "*%08x", c.green);
    std::snprintf(hex[2], sizeof hex[2], "*%08x", c.blue);
    EXPECT_EQ(cell(texts, 13), hex[0]);
    EXPECT_EQ(cell(texts, 14), hex[1]);
    EXPECT_EQ(cell(texts, 15), hex[2]);
    EXPECT_EQ(cell(texts, 21), "red");
    EXPECT_EQ(cell(texts, 22), "green");
    EXPECT_EQ(cell(texts, 23), "blue");
    EXPECT_EQ(cell(texts, 17), c.counts);
    EXPECT_EQ(texts.cells.size(), 7u);
  }
}

TEST(InfoFormat, AStoreTooShortForItsTableShowsOnlyWhatItHolds) {
  std::vector<uint8_t> store(48, 0);
  put_u32(store.data() + 32, 16);  // colours used claims 16 entries; two fit
  const uint8_t grey[4] = {128, 128, 128, 0};  // blue, green, red, reserved
  std::memcpy(store.data() + 40, grey, 4);
  const InfoTexts texts = format_info(store.data(), store.size(), 40, 0);
  EXPECT_EQ(texts.cells.size(), 2u);
  EXPECT_EQ(cell(texts, 13), "*00808080");
  EXPECT_EQ(cell(texts, 14), "*00000000");
  EXPECT_FALSE(format_info(store.data(), 39, 40, 0).filled);
}

TEST(InfoFormat, DisplayLineInBothLanguages) {
  const std::string ja = "\x89\xE6\x96\xCA\xD3\xB0\xC4\xDE:";  // 画面ﾓｰﾄﾞ:
  const std::string colours = "\x90\x46";                        // 色
  const std::string with = " \xCA\xDF\xDA\xAF\xC4\x97\x4C";       // ﾊﾟﾚｯﾄ有
  const std::string without = " \xCA\xDF\xDA\xAF\xC4\x96\xB3";    // ﾊﾟﾚｯﾄ無
  const struct {
    int depth, palette;
    std::string english, japanese;
  } cases[] = {
      {4, 16, "display mode 16 colors", ja + "16" + colours},
      {8, 256, "display mode 256 colors Palette", ja + "256" + colours + with},
      {8, 0, "display mode 256 colors No palette", ja + "256" + colours + without},
      {16, 0, "display mode 65536 colors", ja + "65536" + colours},
      {24, 0, "display mode 16777216 colors", ja + "16777216" + colours},
      {32, 0, "display mode 16777216 colors", ja + "16777216" + colours},
      {1, 0, "display mode 2 colors", ja + "2" + colours},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(format_display_line(false, c.depth, c.palette), c.english) << c.depth;
    EXPECT_EQ(format_display_line(true, c.depth, c.palette), c.japanese) << c.depth;
  }
}

}  // namespace

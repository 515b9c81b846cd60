#include "image/bmp_reader.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <string>
#include <vector>

#include "../common/bmp_builder.h"
#include "image/pixel.h"

namespace {

// A 24-bit picture of 2 x 2 pixels, changed by the case.
std::vector<uint8_t> rgb24(void (*change)(BmpFile&) = nullptr, size_t cut_to = SIZE_MAX) {
  BmpFile f;
  f.width = 2;
  f.height = 2;
  f.pixels.assign(16, 0x5A);
  if (change) change(f);
  std::vector<uint8_t> file = build_bmp(f);
  if (cut_to < file.size()) file.resize(cut_to);
  return file;
}

struct CodeCase {
  const char* name;
  std::vector<uint8_t> file;
  ReadCode code;
  const char* detail;  // the cause named beside the code
  uint32_t max_store = 64u << 20;
};

// Cases print as their names in test listings and failures.
void PrintTo(const CodeCase& c, std::ostream* os) { *os << c.name; }

class ReadCodes : public ::testing::TestWithParam<CodeCase> {};

TEST_P(ReadCodes, Code) {
  const Loaded l = load_bmp(GetParam().file, GetParam().max_store);
  EXPECT_EQ(l.code, GetParam().code);
  EXPECT_STREQ(l.detail, GetParam().detail);
}

const char kNoHeader[] = "file shorter than the 14-byte file header";
const char kCutInfo[] = "file ends inside its info header";
const char kHeaderSize[] = "info header neither 12, 40 nor 108 bytes long";
const char kBeyond4G[] = "header, colour table and pixels beyond 4 GiB";
const char kShort[] = "file shorter than its header says";

INSTANTIATE_TEST_SUITE_P(
    Reader, ReadCodes,
    ::testing::Values(
        CodeCase{"Empty", {}, ReadCode::kNoFileHeader, kNoHeader},
        CodeCase{"ThirteenBytes", rgb24(nullptr, 13), ReadCode::kNoFileHeader, kNoHeader},
        CodeCase{"SeventeenBytes", rgb24(nullptr, 17), ReadCode::kNoInfoHeader, kCutInfo},
        CodeCase{"InfoHeaderCut", rgb24(nullptr, 14 + 39), ReadCode::kNoInfoHeader, kCutInfo},
        CodeCase{"CoreHeaderCut", rgb24([](BmpFile& f) { f.header_size = 12; }, 14 + 11), ReadCode::kNoInfoHeader,
                 kCutInfo},
        CodeCase{"HeaderSize124", rgb24([](BmpFile& f) { f.header_size = 124; }), ReadCode::kUnsupported, kHeaderSize},
        CodeCase{"HeaderSize64", rgb24([](BmpFile& f) { f.header_size = 64; }), ReadCode::kUnsupported, kHeaderSize},
        CodeCase{"NoSignature", rgb24([](BmpFile& f) { f.signature[1] = 'N'; }), ReadCode::kNoSignature, nullptr},
        CodeCase{"SignatureBA", rgb24([](BmpFile& f) { f.signature[1] = 'A'; }), ReadCode::kOk, nullptr},
        CodeCase{"NegativeWidth", rgb24([](BmpFile& f) { f.width = -1; }), ReadCode::kUnsupported, "negative width"},
        CodeCase{"HeightWithoutMagnitude", rgb24([](BmpFile& f) { f.height = INT32_MIN; }), ReadCode::kUnsupported,
                 "height of -2147483648"},
        CodeCase{"ComputedSizeBeyond32Bits", rgb24([](BmpFile& f) { f.width = f.height = 0x7FFFFFFF; }),
                 ReadCode::kTooLarge, "pixel rows beyond 4 GiB"},
        // A small declared size does not hide rows that need more than 32 bits.
        CodeCase{"RowsBeyond32Bits", rgb24([](BmpFile& f) { f.width = f.height = 0x10000, f.image_size = 4; }),
                 ReadCode::kTooLarge, kBeyond4G},
        CodeCase{"TableBeyond32Bits", rgb24([](BmpFile& f) { f.colours_used = 0x40000000; }), ReadCode::kTooLarge,
                 kBeyond4G},
        CodeCase{"StoreRefused", rgb24(), ReadCode::kTooLarge, "no room for the picture", 40 + 16 - 1},
        CodeCase{"StoreJustFits", rgb24(), ReadCode::kOk, nullptr, 40 + 16},
        CodeCase{"PixelsShort", rgb24(nullptr, 14 + 40 + 15), ReadCode::kShortData, kShort},
        CodeCase{"DeclaredBeyondFile", rgb24([](BmpFile& f) { f.image_size = 17; }), ReadCode::kShortData, kShort},
        CodeCase{"DeclaredSmallerRowsShort", rgb24([](BmpFile& f) { f.image_size = 4; }, 14 + 40 + 8),
                 ReadCode::kShortData, kShort},
        CodeCase{"DeclaredSmallerRowsWhole", rgb24([](BmpFile& f) { f.image_size = 4; }), ReadCode::kOk, nullptr}),
    [](const ::testing::TestParamInfo<CodeCase>& info) { return std::string(info.param.name); });

TEST(Reader, SignatureBAReadsLikeBM) {
  const Loaded bm = load_bmp(rgb24());
  const Loaded ba = load_bmp(rgb24([](BmpFile& f) { f.signature[1] = 'A'; }));
  EXPECT_EQ(ba.store, bm.store);
}

TEST(Reader, CoreHeaderWidenedInPlace) {
  BmpFile f;
  f.header_size = 12;
  f.width = 5;
  f.height = 3;
  f.bit_count = 4;
  for (uint32_t i = 0; i < 16; ++i) f.colours.push_back(0x102030 * i + 0x010203);
  f.pixels.assign(12, 0x12);
  const Loaded l = load_bmp(f);
  ASSERT_EQ(l.code, ReadCode::kOk);
  const uint8_t expected_header[40] = {40, 0, 0, 0, 5, 0, 0, 0, 3, 0, 0, 0, 1, 0, 4, 0, 0, 0, 0, 0,
                                       12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(l.data(), expected_header, 40), 0);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(get_u32(l.data() + 40 + 4 * i), 0x102030 * i + 0x010203) << i;
  EXPECT_EQ(l.picture.source_header_size, 12u);
  EXPECT_EQ(l.picture.offset_to_pixels, 104u);
  EXPECT_EQ(l.store.size(), 104u + 12);

  // Core dimensions are unsigned: 40000 is a width, not a negative number.
  f.width = 40000;
  f.height = 2;
  f.pixels.assign(20000 * 2, 0);
  const Loaded wide = load_bmp(f);
  ASSERT_EQ(wide.code, ReadCode::kOk);
  EXPECT_EQ(wide.picture.width, 40000);
}

TEST(Reader, ColourCountRule) {
  struct Case {
    uint16_t bit_count;
    uint32_t colours_used, colour_count;
  } cases[] = {{1, 0, 2},  {2, 0, 4},  {4, 0, 16}, {8, 0, 256}, {8, 5, 5},  {1, 3, 3},
               {16, 0, 0}, {24, 0, 0}, {24, 5, 5}, {32, 0, 0},  {32, 2, 2}, {0, 0, 1}};
  for (const Case& c : cases) {
    BmpFile f;
    f.bit_count = c.bit_count;
    f.colours_used = c.colours_used;
    f.colours.assign(c.colour_count, 0x445566);
    f.pixels.assign(8, 0);
    const Loaded l = load_bmp(f);
    ASSERT_EQ(l.code, ReadCode::kOk) << c.bit_count;
    EXPECT_EQ(l.picture.colour_count, c.colour_count) << c.bit_count << "/" << c.colours_used;
    EXPECT_EQ(get_u32(l.data() + kColoursUsedField), c.colour_count);
    EXPECT_EQ(l.picture.offset_to_pixels, 40 + 4 * c.colour_count);
  }
}

// The store holds header, masks, table and the larger of the declared image size
// and (for pictures read by the pixel fetch) the rows the dimensions need.
TEST(Reader, StoreSizeAndImageSize) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    uint32_t image_size_field;
    size_t store_size;
  } cases[] = {
      {"ComputedTopDown", rgb24([](BmpFile& f) { f.width = 5, f.height = -3, f.pixels.resize(48); }), 48, 40 + 48},
      {"DeclaredLarger", rgb24([](BmpFile& f) { f.image_size = 20, f.pixels.resize(20); }), 20, 60},
      {"DeclaredSmaller", rgb24([](BmpFile& f) { f.image_size = 4; }), 4, 56},
      {"BitFields", rgb24([](BmpFile& f) { f.bit_count = 16, f.compression = 3, f.masks = {0xF800, 0x7E0, 0x1F}; }),
       8, 52 + 8},
      // Compressed data is kept as declared; the platform decodes it.
      {"Rle8", rgb24([](BmpFile& f) {
         f.width = f.height = 50, f.bit_count = 8, f.compression = 1, f.image_size = 6, f.colours.assign(256, 0);
       }),
       6, 1064 + 6},
  };
  for (const Case& c : cases) {
    const Loaded l = load_bmp(c.file);
    ASSERT_EQ(l.code, ReadCode::kOk) << c.name;
    EXPECT_EQ(get_u32(l.data() + kImageSizeField), c.image_size_field) << c.name;
    EXPECT_EQ(l.store.size(), c.store_size) << c.name;
  }
}

TEST(Reader, PixelDataOffset) {
  struct Case {
    const char* name;
    std::vector<uint8_t> gap;
    bool zero_offset;
    uint32_t pixel;
  } cases[] = {
      {"SkipsGap", {0xAA, 0xBB, 0xCC, 0xDD}, false, 0x332211},
      {"ZeroReadsOnAfterTable", {}, true, 0x332211},
      {"ZeroTakesGapAsPixels", {0xAA, 0xBB, 0xCC, 0xDD}, true, 0xCCBBAA},
  };
  for (const Case& c : cases) {
    BmpFile f;
    f.colours_used = 2;
    f.colours = {0x010203, 0x040506};
    f.gap = c.gap;
    f.zero_pixel_offset = c.zero_offset;
    f.pixels = {0x11, 0x22, 0x33, 0x00};
    const Loaded l = load_bmp(f);
    ASSERT_EQ(l.code, ReadCode::kOk) << c.name;
    EXPECT_EQ(l.picture.offset_to_pixels, 48u) << c.name;
    EXPECT_EQ(fetch_pixel(l.data(), l.picture, 0, 0), c.pixel) << c.name;
  }
}

// A 108-byte header: masks from its own fields, colour table (and with offset 0
// the pixels) after the whole header.
TEST(Reader, V4Header) {
  for (bool zero_offset : {false, true}) {
    BmpFile f;
    f.header_size = 108;
    f.width = 2;
    f.bit_count = 8;
    f.colours_used = 3;
    f.colours = {0x0A0B0C, 0x102030, 0x405060};
    f.pixels = {2, 1, 0, 0};
    f.zero_pixel_offset = zero_offset;
    const Loaded l = load_bmp(f);
    ASSERT_EQ(l.code, ReadCode::kOk);
    EXPECT_EQ(l.picture.source_header_size, 108u);
    EXPECT_EQ(get_u32(l.data()), 40u);
    EXPECT_EQ(fetch_pixel(l.data(), l.picture, 0, 0), 0x405060u) << zero_offset;
    EXPECT_EQ(fetch_pixel(l.data(), l.picture, 1, 0), 0x102030u) << zero_offset;

    f.bit_count = 16;
    f.compression = 3;
    f.colours_used = 0;
    f.colours.clear();
    f.masks = {0xF800, 0x07E0, 0x001F};
    f.pixels = pack_rows(16, 2, {{0x001F, 0xF800}});
    const Loaded m = load_bmp(f);
    ASSERT_EQ(m.code, ReadCode::kOk);
    EXPECT_EQ(m.picture.offset_to_pixels, 52u);
    EXPECT_EQ(fetch_pixel(m.data(), m.picture, 0, 0), 0xF8u) << zero_offset;
    EXPECT_EQ(fetch_pixel(m.data(), m.picture, 1, 0), 0xF80000u) << zero_offset;
  }
}

TEST(DescribePicture, SizeAndReadBack) {
  struct Case {
    int32_t height;
    uint16_t bit_count;
    uint32_t compression, read_back;
  } cases[] = {{3, 24, 0, 0}, {-3, 16, 3, 0}, {3, 8, 1, 1}, {-7, 4, 2, 2}, {3, 0, 5, 5}, {3, 0, 0, 0xFFFF}, {3, 24, 9, 9}};
  for (const Case& c : cases) {
    uint8_t header[40] = {};
    put_u32(header + kWidthField, 17);
    put_u32(header + kHeightField, static_cast<uint32_t>(c.height));
    put_u16(header + kBitCountField, c.bit_count);
    put_u32(header + kCompressionField, c.compression);
    PictureDescription p;
    describe_picture(header, p);
    EXPECT_EQ(p.width, 17);
    EXPECT_EQ(p.height, c.height < 0 ? -c.height : c.height);
    EXPECT_EQ(p.read_back, c.read_back) << c.compression << "/" << c.bit_count;
  }
}

}  // namespace

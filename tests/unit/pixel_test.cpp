#include "image/pixel.h"
#include "image/row_decoder.h"

#include <gtest/gtest.h>

#include <ostream>

#include <random>
#include <vector>

#include "../common/bmp_builder.h"

namespace {

TEST(Luminance, WeightsTruncate) {
  struct Case {
    uint32_t colour;
    int expected;
  } cases[] = {
      {0xFFFFFF, 255}, {0x000000, 0}, {0xFF0000, 76}, {0x00FF00, 149}, {0x0000FF, 29},
      {0x010101, 1},   {0x000008, 0}, {0x808080, 128},
      {0xFF123456, 45},  // bits above the colour are not part of it
  };
  for (const Case& c : cases) EXPECT_EQ(luminance(c.colour), c.expected) << std::hex << c.colour;
}

constexpr uint32_t W = 0xFFFFFF;
constexpr uint32_t kMask565[] = {0xF800, 0x07E0, 0x001F};

struct FetchCase {
  const char* name;
  uint16_t bit_count;
  std::vector<uint32_t> colours;
  std::vector<uint32_t> masks;  // given: compression 3
  std::vector<uint32_t> values;
  std::vector<uint32_t> expected;
};

// Cases print as their names in test listings and failures.
void PrintTo(const FetchCase& c, std::ostream* os) { *os << c.name; }

class PixelFetch : public ::testing::TestWithParam<FetchCase> {};

TEST_P(PixelFetch, Colours) {
  const FetchCase& c = GetParam();
  BmpFile f;
  f.bit_count = c.bit_count;
  f.width = static_cast<int32_t>(c.values.size());
  f.colours = c.colours;
  f.colours_used = static_cast<uint32_t>(c.colours.size());
  f.masks = c.masks;
  f.compression = c.masks.empty() ? 0 : 3;
  f.pixels = pack_rows(c.bit_count == 3 ? 8 : c.bit_count, f.width, {c.values});
  const Loaded l = load_bmp(f);
  ASSERT_EQ(l.code, ReadCode::kOk);
  for (size_t x = 0; x < c.values.size(); ++x)
    EXPECT_EQ(fetch_pixel(l.data(), l.picture, static_cast<int32_t>(x), 0), c.expected[x]) << "x=" << x;
}

// Colour-table entry i of the test tables: every channel differs, so a swapped
// byte order or a wrong index shows.
uint32_t entry(uint32_t i) { return (i << 16) | ((255 - i) << 8) | (i ^ 0x5A); }

std::vector<uint32_t> table(uint32_t entries) {
  std::vector<uint32_t> t;
  for (uint32_t i = 0; i < entries; ++i) t.push_back(entry(i));
  return t;
}

INSTANTIATE_TEST_SUITE_P(
    Depths, PixelFetch,
    ::testing::Values(
        FetchCase{"OneBitWhiteBlack", 1, {W, 0}, {}, {0, 1}, {W, 0}},
        FetchCase{"OneBitBlackWhite", 1, {0, W}, {}, {0, 1}, {0, W}},
        // Red and a grey of the same luminance: a clear bit is white.
        FetchCase{"OneBitEqualLuminance", 1, {0xFF0000, 0x4C4C4C}, {}, {0, 1}, {W, 0}},
        FetchCase{"OneBitOnlyBlackAndWhite", 1, {0x800000, 0xADD8E6}, {}, {0, 1}, {0, W}},
        // Entry 1 lies beyond a one-entry table and counts as black, whatever the
        // pixel bytes behind the table hold.
        FetchCase{"OneBitSingleEntry", 1, {0}, {}, {0, 1, 1, 1, 1, 1, 1, 1}, {W, 0, 0, 0, 0, 0, 0, 0}},
        FetchCase{"OneBitSecondByte", 1, {0, W}, {}, {1, 0, 0, 0, 0, 0, 0, 1, 1, 0}, {W, 0, 0, 0, 0, 0, 0, W, W, 0}},
        FetchCase{"TwoBit", 2, {0x111111, 0x222222, 0x333333, 0x444444}, {}, {0, 1, 2, 3, 3, 2},
                  {0x111111, 0x222222, 0x333333, 0x444444, 0x444444, 0x333333}},
        FetchCase{"TwoBitIndexBeyondTable", 2, {0x111111, 0x222222}, {}, {1, 2, 3}, {0x222222, 0, 0}},
        FetchCase{"FourBit", 4, table(16), {}, {1, 14, 15, 0, 5}, {entry(1), entry(14), entry(15), entry(0), entry(5)}},
        FetchCase{"FourBitIndexBeyondTable", 4, {0x010203, 0x040506, 0x070809}, {}, {2, 3, 15}, {0x070809, 0, 0}},
        FetchCase{"EightBit", 8, table(256), {}, {0, 255, 128, 7}, {entry(0), entry(255), entry(128), entry(7)}},
        FetchCase{"EightBitIndexBeyondTable", 8, table(200), {}, {199, 200, 255}, {entry(199), 0, 0}},
        FetchCase{"SixteenPlain", 16, {}, {}, {0x7FFF, 0x8000, 0x001F, 0x03E0, 0x7C00, 0xFFFF},
                  {0xF8F8F8, 0, 0xF8, 0xF800, 0xF80000, 0xF8F8F8}},
        FetchCase{"Sixteen565", 16, {}, {std::begin(kMask565), std::end(kMask565)}, {0xF800, 0x07E0, 0x001F, 0xFFFF},
                  {0xF80000, 0x00FC00, 0xF8, 0xF8FCF8}},
        FetchCase{"Sixteen555Masks", 16, {}, {0x7C00, 0x03E0, 0x001F}, {0x7FFF, 0x8000}, {0xF8F8F8, 0}},
        FetchCase{"Sixteen444Masks", 16, {}, {0x0F00, 0x00F0, 0x000F}, {0x0FFF, 0x0A50}, {0xF0F0F0, 0xA05000}},
        FetchCase{"TwentyFourBgr", 24, {}, {}, {0x123456, 0xFFFFFF, 0x000001}, {0x123456, 0xFFFFFF, 0x000001}},
        FetchCase{"TwentyFourIgnoresTable", 24, {0xFF0000, 0x00FF00}, {}, {0x0000AA}, {0x0000AA}},
        FetchCase{"ThirtyTwoPlainKeepsTopByte", 32, {}, {}, {0xAB123456, 0x00FFFFFF}, {0xAB123456, 0x00FFFFFF}},
        FetchCase{"ThirtyTwo888Masks", 32, {}, {0x00FF0000, 0x0000FF00, 0x000000FF}, {0xAB123456}, {0x123456}},
        FetchCase{"ThirtyTwo101010Masks", 32, {}, {0x3FF00000, 0x000FFC00, 0x000003FF},
                  {(0x155u << 20) | (0x2AAu << 10) | 0x0FFu, 0xFFFFFFFF}, {0x55AA3F, 0xFFFFFF}},
        FetchCase{"ThirtyTwoRgbxMasks", 32, {}, {0xFF000000, 0x00FF0000, 0x0000FF00}, {0x123456FF}, {0x123456}},
        FetchCase{"BitCountThreeIsBlack", 3, {W, W, W, W, W, W, W, W}, {}, {0xFF, 0xFF}, {0, 0}}),
    [](const ::testing::TestParamInfo<FetchCase>& info) { return std::string(info.param.name); });

// Each storage row begins one stride after the previous one.
TEST(PixelFetch, SecondRowStartsAtStride) {
  struct Case {
    uint16_t bit_count;
    int32_t width;
    std::vector<uint32_t> colours;
    uint32_t value;
    uint32_t expected;
  } cases[] = {
      {1, 33, {0, W}, 1, W}, {4, 9, table(16), 3, entry(3)}, {8, 5, table(256), 9, entry(9)},
      {16, 3, {}, 0x7C00, 0xF80000}, {24, 1, {}, 0x123456, 0x123456}, {24, 5, {}, 0x654321, 0x654321},
      {32, 3, {}, 0x00ABCDEF, 0x00ABCDEF},
  };
  for (const Case& c : cases) {
    BmpFile f;
    f.bit_count = c.bit_count;
    f.width = c.width;
    f.height = 2;
    f.colours = c.colours;
    std::vector<uint32_t> second(static_cast<size_t>(c.width), 0);
    second.back() = c.value;
    f.pixels = pack_rows(c.bit_count, c.width, {std::vector<uint32_t>(static_cast<size_t>(c.width), 0), second});
    const Loaded l = load_bmp(f);
    ASSERT_EQ(l.code, ReadCode::kOk);
    EXPECT_EQ(fetch_pixel(l.data(), l.picture, c.width - 1, 1), c.expected) << c.bit_count << "/" << c.width;
  }
}

// The per-row fast path must give exactly the luminance of the pixel fetch, at every
// depth and mask layout, on arbitrary pixel bytes and colour tables.
struct RowConfig {
  const char* name;
  uint16_t bit_count;
  std::vector<uint32_t> masks;
  uint32_t colours;  // table entries, fewer than the depth allows to hit out-of-table indices
};

// Cases print as their names in test listings and failures.
void PrintTo(const RowConfig& c, std::ostream* os) { *os << c.name; }

class LuminanceRowMatchesFetch : public ::testing::TestWithParam<RowConfig> {};

TEST_P(LuminanceRowMatchesFetch, RandomPictures) {
  const RowConfig& c = GetParam();
  std::mt19937 random(1234 + c.bit_count);
  for (int32_t width : {1, 2, 3, 5, 7, 8, 9, 12, 15, 16, 17, 31, 33, 64}) {
    BmpFile f;
    f.bit_count = c.bit_count;
    f.width = width;
    f.height = 3;
    f.masks = c.masks;
    f.compression = c.masks.empty() ? 0 : 3;
    for (uint32_t i = 0; i < c.colours; ++i) f.colours.push_back(random() & 0xFFFFFF);
    f.colours_used = c.colours;
    const size_t stride = ((static_cast<size_t>(width) * c.bit_count + 31) / 32) * 4;
    for (size_t i = 0; i < stride * 3; ++i) f.pixels.push_back(static_cast<uint8_t>(random()));
    const Loaded l = load_bmp(f);
    ASSERT_EQ(l.code, ReadCode::kOk);
    std::vector<uint8_t> row(static_cast<size_t>(width));
    for (int32_t r = 0; r < 3; ++r) {
      luminance_row(l.data(), l.picture, r, row.data());
      for (int32_t x = 0; x < width; ++x)
        ASSERT_EQ(row[static_cast<size_t>(x)], luminance(fetch_pixel(l.data(), l.picture, x, r)))
            << "width " << width << " row " << r << " x " << x;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, LuminanceRowMatchesFetch,
    ::testing::Values(RowConfig{"One", 1, {}, 2}, RowConfig{"OneSingleEntry", 1, {}, 1}, RowConfig{"Two", 2, {}, 4},
                      RowConfig{"TwoShortTable", 2, {}, 3}, RowConfig{"Four", 4, {}, 16},
                      RowConfig{"FourShortTable", 4, {}, 11}, RowConfig{"Eight", 8, {}, 256},
                      RowConfig{"EightShortTable", 8, {}, 100}, RowConfig{"Sixteen", 16, {}, 0},
                      RowConfig{"Sixteen565", 16, {0xF800, 0x07E0, 0x001F}, 0},
                      RowConfig{"Sixteen444", 16, {0x0F00, 0x00F0, 0x000F}, 0},
                      RowConfig{"SixteenHighMasks", 16, {0xFC000000, 0x03F00000, 0x000FC000}, 0},
                      RowConfig{"TwentyFour", 24, {}, 0}, RowConfig{"TwentyFourWithTable", 24, {}, 5},
                      RowConfig{"ThirtyTwo", 32, {}, 0}, RowConfig{"ThirtyTwo888", 32, {0xFF0000, 0xFF00, 0xFF}, 0},
                      RowConfig{"ThirtyTwo101010", 32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0},
                      RowConfig{"ThirtyTwoNarrowMasks", 32, {0x0F00, 0x00F0, 0x000F}, 0},
                      RowConfig{"ThirtyTwoZeroMask", 32, {0xFF0000, 0, 0xFF}, 0},
                      RowConfig{"BitCountThree", 3, {}, 8}),
    [](const ::testing::TestParamInfo<RowConfig>& info) { return std::string(info.param.name); });

}  // namespace

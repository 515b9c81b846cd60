#include "mono/conversion.h"

#include <gtest/gtest.h>

#include <ostream>

#include <random>
#include <string>
#include <vector>

#include "../common/bmp_builder.h"
#include "image/pixel.h"
#include "mono/result_bitmap.h"
#include "view/live_rendering.h"

namespace {

// An 8-bit picture whose colour index is its luminance (entry i is grey i).
Loaded grey_picture(int32_t width, const std::vector<std::vector<uint32_t>>& rows) {
  BmpFile f;
  f.bit_count = 8;
  f.width = width;
  f.height = static_cast<int32_t>(rows.size());
  for (uint32_t i = 0; i < 256; ++i) f.colours.push_back(i * 0x010101u);
  f.pixels = pack_rows(8, width, rows);
  return load_bmp(f);
}

std::vector<uint8_t> prepared_result(const Loaded& l) {
  const uint32_t w = static_cast<uint32_t>(l.picture.width), h = static_cast<uint32_t>(l.picture.height);
  std::vector<uint8_t> result(result_block_size(w, h));
  prepare_result(l.data(), w, h, result.data(), static_cast<uint32_t>(result.size()));
  return result;
}

std::vector<uint8_t> convert(const Loaded& l, int base, int mode, bool invert, RandomSource& random) {
  std::vector<uint8_t> result = prepared_result(l);
  convert_picture(ConversionSource{l.data(), &l.picture, nullptr}, result.data(), base, mode, invert, random, nullptr,
                  nullptr);
  return std::vector<uint8_t>(result.begin() + kResultPixelOffset, result.end());
}

std::vector<uint8_t> letter(const Loaded& l, int base, bool invert) {
  RandomSource random;
  return convert(l, base, kModeLetter, invert, random);
}

TEST(Conversion, LetterThreshold) {
  struct Case {
    int base, lum;
    bool invert, white;
  } cases[] = {
      {0, 0, false, false},     {0, 1, false, true},      {254, 254, false, false}, {254, 255, false, true},
      {128, 128, false, false}, {128, 128, true, true},   {128, 129, true, false},  {128, 127, false, false},
  };
  // Nine pixels: eight go through the whole-byte step, the ninth bit by bit.
  for (const Case& c : cases) {
    const Loaded l = grey_picture(9, {std::vector<uint32_t>(9, static_cast<uint32_t>(c.lum))});
    ASSERT_EQ(l.code, ReadCode::kOk);
    const std::vector<uint8_t> expected =
        c.white ? std::vector<uint8_t>{0xFF, 0x80, 0, 0} : std::vector<uint8_t>{0, 0, 0, 0};
    EXPECT_EQ(letter(l, c.base, c.invert), expected) << c.base << "/" << c.lum << "/" << c.invert;
  }
}

// Byte 0 comes from the whole-byte step, the top nibble of byte 1 from the rest of
// the row; padding bits and bytes stay 0 whether or not the result is inverted.
TEST(Conversion, TwelveWideLayout) {
  const Loaded l = grey_picture(12, {{255, 0, 255, 0, 0, 0, 255, 255, 255, 0, 255, 0}, std::vector<uint32_t>(12, 200)});
  ASSERT_EQ(l.code, ReadCode::kOk);
  EXPECT_EQ(letter(l, 128, false), (std::vector<uint8_t>{0xA3, 0xA0, 0, 0, 0xFF, 0xF0, 0, 0}));
  EXPECT_EQ(letter(l, 128, true), (std::vector<uint8_t>{0x5C, 0x50, 0, 0, 0x00, 0x00, 0, 0}));
}

// The result block is converted again after every settings change: bits set by
// the previous conversion must not survive, while the padding stays 0.
TEST(Conversion, ReconversionOverwritesEveryPixelBit) {
  const Loaded l = grey_picture(12, {{255, 0, 255, 0, 0, 0, 255, 255, 255, 0, 255, 0}});
  ASSERT_EQ(l.code, ReadCode::kOk);
  std::vector<uint8_t> result = prepared_result(l);
  RandomSource random;
  for (bool invert : {true, false}) {
    convert_picture(ConversionSource{l.data(), &l.picture, nullptr}, result.data(), 128, kModeLetter, invert, random,
                    nullptr, nullptr);
  }
  EXPECT_EQ(std::vector<uint8_t>(result.begin() + kResultPixelOffset, result.end()),
            (std::vector<uint8_t>{0xA3, 0xA0, 0, 0}));
}

TEST(Conversion, EightWideInvertIsComplement) {
  const Loaded l = grey_picture(8, {{0, 255, 0, 255, 0, 255, 255, 0}});
  ASSERT_EQ(l.code, ReadCode::kOk);
  EXPECT_EQ(letter(l, 100, false), (std::vector<uint8_t>{0x56, 0, 0, 0}));
  EXPECT_EQ(letter(l, 100, true), (std::vector<uint8_t>{0xA9, 0, 0, 0}));
}

TEST(Conversion, FirstDrawsFromOne) {
  RandomSource random;
  EXPECT_EQ(draw_threshold(kModePhotoHard, 100, random), 126);
  EXPECT_EQ(draw_threshold(kModePhotoSoft, 100, random), 103);
  EXPECT_EQ(draw_threshold(kModeLetter, 100, random), 100);
  EXPECT_EQ(draw_threshold(kModePhotoHard, 100, random), 138);
  EXPECT_EQ(random.state, 0xAAE684BCu);
}

TEST(Conversion, ProgressTexts) {
  std::vector<std::string> texts;
  const Loaded l = grey_picture(5, {{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}});
  std::vector<uint8_t> result = prepared_result(l);
  RandomSource random;
  convert_picture(
      ConversionSource{l.data(), &l.picture, nullptr}, result.data(), 3, kModeLetter, false, random,
      [](void* context, int32_t row, int32_t height) {
        char text[16];
        format_progress(row, height, text, sizeof text);
        static_cast<std::vector<std::string>*>(context)->push_back(text);
      },
      &texts);
  EXPECT_EQ(texts, (std::vector<std::string>{" 33% ", " 66% ", "100% "}));
}

TEST(Conversion, ProgressFormat) {
  struct Case {
    int32_t row, height;
    const char* text;
  } cases[] = {{0, 200, "  0% "}, {1, 200, "  1% "}, {199, 200, "100% "}, {0, 1, "100% "}, {0, 101, "  0% "},
               {49, 50, "100% "}, {0x7FFFFFFE, 0x7FFFFFFF, "100% "}};
  for (const Case& c : cases) {
    char text[16];
    format_progress(c.row, c.height, text, sizeof text);
    EXPECT_STREQ(text, c.text) << c.row << "/" << c.height;
  }
}

// The conversion as stated, pixel by pixel: draw the threshold (photo modes), fetch
// the pixel, compare its luminance strictly. How whole bytes and the rest of a row
// are stored makes no difference to a zeroed result, so one bit at a time will do.
std::vector<uint8_t> model_conversion(const Loaded& l, const uint32_t* read_back, int base, int mode, bool invert,
                                      uint32_t& state) {
  const int32_t w = l.picture.width, h = l.picture.height;
  const size_t stride = ((static_cast<size_t>(w) + 31) / 32) * 4;
  std::vector<uint8_t> rows(stride * static_cast<size_t>(h), 0);
  for (int32_t i = 0; i < h; ++i) {
    for (int32_t x = 0; x < w; ++x) {
      int t = base;
      if (mode != kModeLetter) {
        state = state * 22695477u + 1u;
        const int r = static_cast<int>((state >> 16) & 0x7FFF);
        t = mode == kModePhotoHard ? base + r % 128 - 64 : base + r % 255 - 127;
      }
      const uint32_t c =
          read_back ? read_back[static_cast<size_t>(i) * static_cast<size_t>(w) + static_cast<size_t>(x)]
                    : fetch_pixel(l.data(), l.picture, x, i);
      const int lum = static_cast<int>((299 * ((c >> 16) & 0xFF) + 587 * ((c >> 8) & 0xFF) + 114 * (c & 0xFF)) / 1000);
      if ((lum > t) != invert) rows[static_cast<size_t>(i) * stride + static_cast<size_t>(x / 8)] |= 0x80 >> (x % 8);
    }
  }
  return rows;
}

struct ModelConfig {
  const char* name;
  uint16_t bit_count;
  std::vector<uint32_t> masks;
  uint32_t colours;
};

// Cases print as their names in test listings and failures.
void PrintTo(const ModelConfig& c, std::ostream* os) { *os << c.name; }

class ConversionMatchesModel : public ::testing::TestWithParam<ModelConfig> {};

TEST_P(ConversionMatchesModel, EveryModeAndInvert) {
  const ModelConfig& c = GetParam();
  std::mt19937 generator(99 + c.bit_count);
  for (int32_t width : {1, 7, 8, 12, 13, 33}) {
    BmpFile f;
    f.bit_count = c.bit_count;
    f.width = width;
    f.height = (width & 1) ? 3 : -3;
    f.masks = c.masks;
    f.compression = c.masks.empty() ? 0 : 3;
    // Greys near the middle, so the drawn thresholds decide many pixels.
    for (uint32_t i = 0; i < c.colours; ++i) f.colours.push_back((0x60 + generator() % 0x40) * 0x010101u);
    f.colours_used = c.colours;
    const size_t stride = ((static_cast<size_t>(width) * c.bit_count + 31) / 32) * 4;
    for (size_t i = 0; i < stride * 3; ++i) f.pixels.push_back(static_cast<uint8_t>(generator()));
    const Loaded l = load_bmp(f);
    ASSERT_EQ(l.code, ReadCode::kOk);
    for (int mode : {kModeLetter, kModePhotoHard, kModePhotoSoft}) {
      for (bool invert : {false, true}) {
        for (int base : {0, 128, 254}) {
          // Two conversions in a row: the generator carries on from where it stopped.
          RandomSource random;
          uint32_t model_state = 1;
          for (int round = 0; round < 2; ++round) {
            const std::vector<uint8_t> expected = model_conversion(l, nullptr, base, mode, invert, model_state);
            ASSERT_EQ(convert(l, base, mode, invert, random), expected)
                << "width " << width << " mode " << mode << " invert " << invert << " base " << base;
            ASSERT_EQ(random.state, model_state);
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, ConversionMatchesModel,
    ::testing::Values(ModelConfig{"One", 1, {}, 2}, ModelConfig{"Two", 2, {}, 4}, ModelConfig{"Four", 4, {}, 16},
                      ModelConfig{"FourShortTable", 4, {}, 9}, ModelConfig{"Eight", 8, {}, 256},
                      ModelConfig{"Sixteen", 16, {}, 0}, ModelConfig{"Sixteen565", 16, {0xF800, 0x07E0, 0x001F}, 0},
                      ModelConfig{"TwentyFour", 24, {}, 0}, ModelConfig{"ThirtyTwo", 32, {}, 0},
                      ModelConfig{"ThirtyTwo101010", 32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0},
                      ModelConfig{"BitCountThree", 3, {}, 0}),
    [](const ::testing::TestParamInfo<ModelConfig>& info) { return std::string(info.param.name); });

// Compressed pictures arrive as read-back colours, storage row r at r * width.
TEST(Conversion, ReadBackPixelsMatchModel) {
  BmpFile f;
  f.bit_count = 8;
  f.compression = 1;
  f.width = 13;
  f.height = 4;
  f.colours_used = 1;
  f.colours = {0};
  f.image_size = 2;
  f.pixels = {0, 1};
  const Loaded l = load_bmp(f);
  ASSERT_EQ(l.code, ReadCode::kOk);
  ASSERT_NE(l.picture.read_back, 0u);
  std::mt19937 generator(5);
  std::vector<uint32_t> colours(13 * 4);
  for (uint32_t& c : colours) c = generator() & 0xFFFFFF;
  for (int mode : {kModeLetter, kModePhotoHard, kModePhotoSoft}) {
    for (bool invert : {false, true}) {
      RandomSource random;
      uint32_t model_state = 1;
      std::vector<uint8_t> result = prepared_result(l);
      convert_picture(ConversionSource{l.data(), &l.picture, colours.data()}, result.data(), 120, mode, invert, random,
                      nullptr, nullptr);
      EXPECT_EQ(std::vector<uint8_t>(result.begin() + kResultPixelOffset, result.end()),
                model_conversion(l, colours.data(), 120, mode, invert, model_state))
          << mode << "/" << invert;
      EXPECT_EQ(random.state, model_state);
    }
  }
}

// Decoded pixels read back a span at a time: one colour per column, a pattern that
// tells the columns apart on both sides of a span's end.
struct SpanProvider {
  int32_t width;
  std::vector<uint32_t> span;
  bool crossed = false;
  int32_t black_row = -1;  // a row the platform can't provide
};

uint32_t span_colour(int32_t row, int32_t x) { return ((x + row) % 3 == 0) ? 0xFFFFFF : 0x000000; }

const uint32_t* provide_span(void* context, int32_t row, int32_t x, int32_t count) {
  auto* p = static_cast<SpanProvider*>(context);
  if (count > kDecodedSpan || x / kDecodedSpan != (x + count - 1) / kDecodedSpan || x + count > p->width)
    p->crossed = true;
  if (row == p->black_row) return nullptr;
  p->span.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) p->span[i] = span_colour(row, x + i);
  return p->span.data();
}

TEST(Conversion, DecodedSpansConvertAcrossTheirEndsAndMissingOnesReadBlack) {
  PictureDescription picture;
  picture.width = kDecodedSpan + 21;
  picture.height = 3;
  picture.read_back = 1;
  SpanProvider provider{picture.width, {}, false, 2};
  const uint32_t stride = result_stride(static_cast<uint32_t>(picture.width));
  std::vector<uint8_t> result(kResultPixelOffset + stride * 3, 0x55);
  RandomSource random;
  ASSERT_TRUE(convert_picture(ConversionSource{nullptr, &picture, nullptr, provide_span, &provider}, result.data(),
                              127, kModeLetter, false, random, nullptr, nullptr));
  EXPECT_FALSE(provider.crossed);
  for (int32_t row = 0; row < 3; ++row) {
    for (int32_t x : {0, 1, 2, kDecodedSpan - 2, kDecodedSpan - 1, kDecodedSpan, kDecodedSpan + 1, picture.width - 1}) {
      const bool white = (result[kResultPixelOffset + row * stride + x / 8] >> (7 - x % 8)) & 1;
      EXPECT_EQ(white, row != 2 && span_colour(row, x) != 0) << row << "/" << x;
    }
  }
  // The live rendering samples the same colours, any columns in any order.
  const int32_t columns[] = {kDecodedSpan + 20, 3, kDecodedSpan, kDecodedSpan - 1, 0};
  uint32_t sampled[5];
  sample_row(ConversionSource{nullptr, &picture, nullptr, provide_span, &provider}, 1, columns, 5, sampled);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(sampled[i], span_colour(1, columns[i])) << columns[i];
  EXPECT_FALSE(provider.crossed);
}

// A width whose row buffer can't be had (allocations here stop at 1 GiB) ends the
// conversion with false and leaves the result as it was, instead of ending the program.
TEST(Conversion, RowBufferThatCantBeHadFailsCleanly) {
  PictureDescription picture;
  picture.width = 0x7FFFFFF0;
  picture.height = 2;
  picture.read_back = 1;
  std::vector<uint8_t> result(64, 0xAA);
  RandomSource random;
  EXPECT_FALSE(convert_picture(ConversionSource{nullptr, &picture, nullptr}, result.data(), 128, kModeLetter, false,
                               random, nullptr, nullptr));
  EXPECT_EQ(result, std::vector<uint8_t>(64, 0xAA));
}

}  // namespace

// Allocations beyond 1 GiB return null instead of ending the run, so that a picture
// whose buffers can't be had can be tested; no test here needs that much.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1:max_allocation_size_mb=1024"; }

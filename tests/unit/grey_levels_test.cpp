// Grey levels: the level values and golden rows worked out by hand from the rules, two
// levels against the 1-bit converter, strips against the whole picture, the vector band
// against the scalar rows, the packing and the refused combinations.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "halftone/grey_levels.h"
#include "halftone/halftone_rows.h"
#include "image/simd_level.h"

namespace {

struct Rows {
  std::vector<std::vector<uint8_t>> rows;
  std::vector<int32_t> numbers;
  int32_t width = 0;
};

void collect(void* context, int32_t row, const uint8_t* indexes) {
  Rows& out = *static_cast<Rows*>(context);
  out.numbers.push_back(row);
  out.rows.emplace_back(indexes, indexes + out.width);
}

void collect_bits(void* context, int32_t row, const uint8_t* bits) {
  Rows& out = *static_cast<Rows*>(context);
  out.numbers.push_back(row);
  std::vector<uint8_t> unpacked(static_cast<size_t>(out.width));
  for (int32_t x = 0; x < out.width; ++x) unpacked[x] = (bits[x >> 3] >> (7 - (x & 7))) & 1;
  out.rows.push_back(unpacked);
}

HalftoneParams with(int density, bool invert, bool serpentine, bool linear) {
  HalftoneParams p;
  p.density = density;
  p.invert = invert;
  p.serpentine = serpentine;
  p.linear = linear;
  return p;
}

// Converts a picture fed in strips of `strip` rows; error_limit, when given, sends the
// vector bands with larger errors back to the scalar path.
Rows levels_of(std::optional<HalftoneMethod> method, const HalftoneParams& params, int levels, int32_t width,
               const std::vector<uint8_t>& luma, int32_t strip, int error_limit = -1) {
  GreyLevelsConverter c;
  EXPECT_EQ(start_grey_levels(method, params, levels, width, c), LevelsError::kNone);
  if (error_limit >= 0) c.band.error_limit = error_limit;
  Rows out;
  out.width = width;
  const int32_t height = static_cast<int32_t>(luma.size() / width);
  for (int32_t y = 0; y < height; y += strip)
    grey_level_rows(c, &luma[static_cast<size_t>(y) * width], width, std::min(strip, height - y), collect, &out);
  finish_grey_levels(c, collect, &out);
  return out;
}

// The rows as digits (levels above 9 as letters), rows separated by '/'.
std::string text(const Rows& out) {
  std::string s;
  for (const auto& row : out.rows) {
    if (!s.empty()) s += '/';
    for (uint8_t k : row) s += "0123456789abcdef"[k & 15];
  }
  return s;
}

std::vector<uint8_t> random_picture(int32_t width, int32_t height, std::mt19937& random) {
  std::vector<uint8_t> luma(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      luma[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>((x * 255 / width + y * 5) / 2 + random() % 128);
  return luma;
}

TEST(GreyLevels, LevelValuesRoundHalfUp) {
  const struct {
    int levels;
    std::vector<int> greys;
  } cases[] = {
      {2, {0, 255}},
      {3, {0, 128, 255}},            // 127.5 rounds up
      {4, {0, 85, 170, 255}},
      {5, {0, 64, 128, 191, 255}},   // 63.75, 127.5, 191.25
      {16, {0, 17, 34, 51, 68, 85, 102, 119, 136, 153, 170, 187, 204, 221, 238, 255}},
  };
  for (const auto& c : cases)
    for (int k = 0; k < c.levels; ++k) EXPECT_EQ(level_grey(c.levels, k), c.greys[k]) << c.levels << " " << k;
  EXPECT_EQ(level_value(4, 1, 65535), 21845);
  EXPECT_EQ(level_value(3, 1, 65535), 32768);
}

struct Golden {
  std::optional<HalftoneMethod> method;
  HalftoneParams params;
  int levels;
  int32_t width;
  std::vector<uint8_t> luma;
  const char* expected;
};

const HalftoneParams kPlain = with(127, false, false, false);

// Each expectation worked out by hand, pixel by pixel, from the rules.
TEST(GreyLevels, GoldenRows) {
  const std::optional<HalftoneMethod> kNearest;
  const Golden goldens[] = {
      // Three levels 0, 128, 255: 64 is as far from 0 as from 128 and goes darker; 191 is
      // 63 from 128 and 64 from 255.
      {kNearest, kPlain, 3, 6, {64, 65, 191, 192, 0, 255}, "011202"},
      {kNearest, with(127, true, false, false), 3, 6, {64, 65, 191, 192, 0, 255}, "211020"},
      // Density 137 takes 10 off: 74 becomes the tie 64.
      {kNearest, with(137, false, false, false), 3, 2, {74, 75}, "01"},
      // Four levels: 42 and 127 lie 42 from one level, 43 from the other.
      {kNearest, kPlain, 4, 4, {42, 43, 127, 128}, "0112"},
      // In linear light 128 is 14147, nearer 21845 than 0; as it is, nearer 170 than 85.
      {kNearest, with(127, false, false, true), 4, 1, {128}, "1"},
      {kNearest, kPlain, 4, 1, {128}, "2"},
      // Floyd-Steinberg to 0, 85, 170, 255: 200 is level 2 and hands 13 on; 263 is beyond
      // white, level 3, and its e = 8 hands 3 on, which lifts 40 to 43, nearer 85 than 0.
      {HalftoneMethod::kFloydSteinberg, kPlain, 4, 3, {200, 250, 40}, "231"},
      // A tie while diffusing: 100 is level 1 and hands -12 on, making 76 the tie 64, which
      // goes darker and hands 28 on: 128 is level 1 exactly.
      {HalftoneMethod::kFloydSteinberg, kPlain, 3, 4, {100, 76, 100, 77}, "1011"},
      // Three levels on flat 200, two rows: e -55 gives -24 right, -17 and -4 below; 176
      // is level 1 with e 48 ...; the second row starts at 192, 63 from 255: level 2.
      {HalftoneMethod::kFloydSteinberg, kPlain, 3, 3, std::vector<uint8_t>(6, 200), "212/212"},
      // Atkinson to 0, 128, 255: 60 is level 0 and hands trunc(60 / 8) = 7 to the next two;
      // 73 is level 1 and hands trunc(-55 / 8) = -6 on (not floor's -7); 64 + 7 - 6 = 65 is level 2.
      {HalftoneMethod::kAtkinson, kPlain, 3, 3, {60, 66, 64}, "011"},
      // Bayer 2 on three levels: k = floor(2 s / 255), f = 2 s - 255 k, one up when
      // 8 f > 255 (2 M + 1); 64 gives f 128, up for M 0 and 1; 200 gives k 1, f 145, the
      // same; 255 is the top level.
      {HalftoneMethod::kBayer2, kPlain, 3, 6, {64, 64, 200, 200, 255, 255, 64, 64, 200, 200, 255, 255},
       "102122/011222"},
  };
  for (const Golden& g : goldens) {
    EXPECT_EQ(text(levels_of(g.method, g.params, g.levels, g.width, g.luma, 1)), g.expected)
        << (g.method ? halftone_method_info(*g.method).name : "nearest") << " " << g.levels;
  }
}

// Blue noise on four levels at s = 100: k = 1, f = 300 - 255 = 45, one level up where
// 2 * 4096 * 45 = 368640 > 255 (2 M + 1), that is where the array's M is 722 or less.
TEST(GreyLevels, BlueNoiseRule) {
  const Rows out = levels_of(HalftoneMethod::kBlueNoise, kPlain, 4, 64, std::vector<uint8_t>(128, 100), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(out.rows[y][x], kBlueNoise64[y * 64 + x] <= 722 ? 2 : 1) << x << " " << y;
}

// Two levels give the 1-bit converter's rows for every method, and the nearest level is
// the fixed threshold at the density (white when L > density).
TEST(GreyLevels, TwoLevelsAreTheOneBitResult) {
  std::mt19937 random(3);
  const int32_t width = 45, height = 37;
  const std::vector<uint8_t> luma = random_picture(width, height, random);
  for (const MethodDescriptor& m : halftone_methods()) {
    for (int variant = 0; variant < 3; ++variant) {
      const bool diffusion = m.family == HalftoneFamily::kErrorDiffusion;
      HalftoneParams p = with(variant == 1 ? 90 : 127 + 20 * variant, variant == 1, diffusion && variant != 0,
                              variant == 2);
      p.radius = 3;
      HalftoneConverter one_bit;
      ASSERT_EQ(start_halftone(m.method, p, width, one_bit), HalftoneError::kNone);
      Rows expected;
      expected.width = width;
      halftone_rows(one_bit, luma.data(), width, height, collect_bits, &expected);
      finish_halftone(one_bit, collect_bits, &expected);
      const Rows two = levels_of(m.method, p, 2, width, luma, 7);
      EXPECT_EQ(two.rows, expected.rows) << m.name << " variant " << variant;
      EXPECT_EQ(two.numbers, expected.numbers) << m.name;
    }
  }
  for (int density : {0, 100, 254}) {
    const Rows nearest = levels_of(std::nullopt, with(density, false, false, false), 2, width, luma, 5);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        ASSERT_EQ(nearest.rows[y][x], luma[static_cast<size_t>(y) * width + x] > density ? 1 : 0) << density;
  }
}

// Every method and level count gives the same rows whatever the strips, in order.
TEST(GreyLevels, StripsEqualWholePicture) {
  std::mt19937 random(9);
  const int32_t width = 35, height = 41;
  const std::vector<uint8_t> luma = random_picture(width, height, random);
  std::vector<std::optional<HalftoneMethod>> methods = {std::nullopt};
  for (const MethodDescriptor& m : halftone_methods())
    if (m.family != HalftoneFamily::kLocalThreshold) methods.push_back(m.method);
  for (const auto& method : methods) {
    const bool diffusion = method && halftone_method_info(*method).family == HalftoneFamily::kErrorDiffusion;
    for (int levels : {3, 16}) {
      // Floyd-Steinberg left to right on 8-bit levels takes the vector band where there is one.
      const bool fs = method == HalftoneMethod::kFloydSteinberg;
      const HalftoneParams p = with(150, levels == 3, diffusion && levels == 16 && !fs, levels == 3 && !fs);
      const Rows whole = levels_of(method, p, levels, width, luma, height);
      ASSERT_EQ(whole.rows.size(), size_t{height});
      for (int32_t y = 0; y < height; ++y) EXPECT_EQ(whole.numbers[y], y);
      for (int32_t strip : {1, 5, 16, 17}) EXPECT_EQ(levels_of(method, p, levels, width, luma, strip).rows, whole.rows);
    }
  }
}

// The vector band gives the scalar rows on random pictures of odd widths, over several
// bands and a few rows more; with the error limit low, bands fall back to the scalar path.
TEST(GreyLevels, VectorBandEqualsScalar) {
  std::mt19937 random(13);
  for (int32_t width : {1, 3, 17, 31, 33, 65, 129, 301}) {
    const std::vector<uint8_t> luma = random_picture(width, 45, random);
    for (int levels : {3, 4, 5, 7, 16}) {
      for (int density : {127, 20, 240}) {
        const HalftoneParams p = with(density, density == 20, false, false);
        force_simd_level(SimdLevel::kScalar);
        const Rows reference = levels_of(HalftoneMethod::kFloydSteinberg, p, levels, width, luma, 6);
        force_simd_level(best_simd_level());
        for (int limit : {-1, 0, 40})
          EXPECT_EQ(levels_of(HalftoneMethod::kFloydSteinberg, p, levels, width, luma, 6, limit).rows,
                    reference.rows)
              << "width " << width << " levels " << levels << " density " << density << " limit " << limit;
      }
    }
  }
}

TEST(GreyLevels, PackIndexes) {
  const struct {
    int bits;
    std::vector<uint8_t> indexes, packed;
  } cases[] = {
      {1, {1, 0, 1, 1, 0, 0, 0, 1, 1}, {0xB1, 0x80}},
      {2, {3, 0, 1, 2, 3}, {0xC6, 0xC0}},
      {4, {15, 1, 7}, {0xF1, 0x70}},
      {8, {200, 3}, {200, 3}},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> packed(c.packed.size(), 0xAA);
    pack_indexes(c.indexes.data(), static_cast<int32_t>(c.indexes.size()), c.bits, packed.data());
    EXPECT_EQ(packed, c.packed) << c.bits;
  }
}

TEST(GreyLevels, RefusedCombinations) {
  const struct {
    std::optional<HalftoneMethod> method;
    HalftoneParams params;
    int levels;
    LevelsError error;
  } cases[] = {
      {std::nullopt, kPlain, 1, LevelsError::kBadLevels},
      {std::nullopt, kPlain, 17, LevelsError::kBadLevels},
      {HalftoneMethod::kSauvola, kPlain, 3, LevelsError::kTwoLevelsOnly},
      {HalftoneMethod::kSauvola, kPlain, 2, LevelsError::kNone},
      {std::nullopt, with(127, false, true, false), 4, LevelsError::kNoScanDirection},
      {HalftoneMethod::kBayer4, with(127, false, true, false), 4, LevelsError::kBadParams},
      {HalftoneMethod::kAtkinson, with(255, false, false, false), 4, LevelsError::kBadParams},
      {HalftoneMethod::kBlueNoise, kPlain, 16, LevelsError::kNone},
  };
  for (const auto& c : cases) {
    GreyLevelsConverter converter;
    EXPECT_EQ(start_grey_levels(c.method, c.params, c.levels, 8, converter), c.error) << c.levels;
  }
}

}  // namespace

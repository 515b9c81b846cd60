// Colour palettes: the parser's messages, golden rows worked out by hand (the ties, the
// clamp of the carried error), black and white against the 1-bit converter, strips
// against the whole picture.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "halftone/colour_palette.h"
#include "image/simd_level.h"

namespace {

struct Rows {
  std::vector<std::vector<uint8_t>> rows;
  int32_t width = 0;
};

void collect(void* context, int32_t, const uint8_t* indexes) {
  Rows& out = *static_cast<Rows*>(context);
  out.rows.emplace_back(indexes, indexes + out.width);
}

void collect_bits(void* context, int32_t, const uint8_t* bits) {
  Rows& out = *static_cast<Rows*>(context);
  std::vector<uint8_t> unpacked(static_cast<size_t>(out.width));
  for (int32_t x = 0; x < out.width; ++x) unpacked[x] = (bits[x >> 3] >> (7 - (x & 7))) & 1;
  out.rows.push_back(unpacked);
}

Palette palette_of(const std::string& given) {
  Palette p;
  std::string error;
  EXPECT_TRUE(parse_palette(given, &p, &error)) << given << ": " << error;
  return p;
}

HalftoneParams with(int density, bool serpentine, bool linear) {
  HalftoneParams p;
  p.density = density;
  p.serpentine = serpentine;
  p.linear = linear;
  return p;
}

Rows indexes_of(std::optional<HalftoneMethod> method, const HalftoneParams& params, const std::string& palette,
                int32_t width, const std::vector<uint8_t>& rgb, int32_t strip) {
  PaletteConverter c;
  EXPECT_EQ(start_palette(method, params, palette_of(palette), width, c), LevelsError::kNone);
  Rows out;
  out.width = width;
  const size_t stride = 3 * static_cast<size_t>(width);
  const int32_t height = static_cast<int32_t>(rgb.size() / stride);
  for (int32_t y = 0; y < height; y += strip)
    palette_rows(c, &rgb[y * stride], stride, std::min(strip, height - y), collect, &out);
  finish_palette(c, collect, &out);
  return out;
}

std::string text(const Rows& out) {
  std::string s;
  for (const auto& row : out.rows) {
    if (!s.empty()) s += '/';
    for (uint8_t k : row) s += "0123456789abcdef"[k & 15];
  }
  return s;
}

TEST(ColourPalette, ParsesNamesAndLists) {
  const struct {
    const char* given;
    const char* colours;  // the palette read, or the message
  } cases[] = {
      {"bwr", "#000000,#ffffff,#ff0000"},
      {"spectra6-measured", "#000000,#a1a4a5,#d0be47,#9c484b,#3d3b5e,#3a5b46"},
      {"#00FF80,#123abc", "#00ff80,#123abc"},
      {"#12345", "palette entry 1 \"#12345\" is not a colour #rrggbb"},
      {"#000000,red", "palette entry 2 \"red\" is not a colour #rrggbb"},
      {"#000000,#ffffff,", "palette entry 3 \"\" is not a colour #rrggbb"},
      {"#000000,#fffffg", "palette entry 2 \"#fffffg\" is not a colour #rrggbb"},
      {"#ffffff", "palette \"#ffffff\" has one colour: a palette holds 2 to 16 colours"},
      {"red", "unknown palette \"red\" (--list-palettes lists them)"},
      {"", "--palette needs a name or colours #rrggbb,#rrggbb,..."},
      {"#000000,#000001,#000002,#000003,#000004,#000005,#000006,#000007,#000008,#000009,#00000a,#00000b,"
       "#00000c,#00000d,#00000e,#00000f,#000010",
       "palette entry 17 \"#000010\" is one too many: a palette holds 2 to 16 colours"},
  };
  for (const auto& c : cases) {
    Palette p;
    std::string error;
    const bool read = parse_palette(c.given, &p, &error);
    EXPECT_EQ(read ? palette_text(p) : error, c.colours) << c.given;
  }
}

struct Golden {
  std::optional<HalftoneMethod> method;
  const char* palette;
  int32_t width;
  std::vector<uint8_t> rgb;
  const char* expected;
};

// Each expectation worked out by hand from D = 299 dR^2 + 587 dG^2 + 114 dB^2.
TEST(ColourPalette, GoldenRows) {
  const std::optional<HalftoneMethod> kNearest;
  const Golden goldens[] = {
      // (200, 60, 60): D 14483600 to black, 27560000 to white, 3428075 to red.
      {kNearest, "bwr", 1, {200, 60, 60}, "2"},
      // Grey 100 lies as far from black as from (200, 200, 200): the lower index; 101 does not.
      {kNearest, "#000000,#c8c8c8", 2, {100, 100, 100, 101, 101, 101}, "01"},
      {kNearest, "#c8c8c8,#000000", 2, {100, 100, 100, 99, 99, 99}, "01"},
      // The weights decide: (128, 128, 0) is as far from red as from green unweighted,
      // but green's 587 against red's 299 makes green (14366539) nearer than red (14439979).
      {kNearest, "#ff0000,#00ff00", 1, {128, 128, 0}, "1"},
      // Floyd-Steinberg, two rows: red first with e (-55, 60, 60); then (231, 281, 281) is
      // white; below, (-21, 22, 22) is black and hands (-9, 9, 9) on; (108, 22, 22) is black.
      {HalftoneMethod::kFloydSteinberg, "bwr", 2, {200, 60, 60, 255, 255, 255, 0, 0, 0, 128, 0, 0}, "21/00"},
      // Pure red in black and white: the red error runs 255, 366, then 415 clamped to 382,
      // which hands 167 on (unclamped 181); grey 75 with red 242 stays black, where 256
      // would have turned it white (299 R + 701 g against 127500).
      {HalftoneMethod::kFloydSteinberg, "bw", 4, {255, 0, 0, 255, 0, 0, 255, 0, 0, 75, 75, 75}, "0000"},
  };
  for (const Golden& g : goldens)
    EXPECT_EQ(text(indexes_of(g.method, HalftoneParams{}, g.palette, g.width, g.rgb, 1)), g.expected) << g.palette;
}

// Greys between 40 and 215 keep the carried error inside the clamp, so black and white
// by any kernel, either scan and in linear light are the 1-bit converter's result.
TEST(ColourPalette, GreysInBlackAndWhiteAreTheOneBitResult) {
  std::mt19937 random(17);
  const int32_t width = 41, height = 23;
  std::vector<uint8_t> luma(static_cast<size_t>(width) * height), rgb;
  for (uint8_t& l : luma) {
    l = static_cast<uint8_t>(40 + random() % 176);
    rgb.insert(rgb.end(), {l, l, l});
  }
  for (const MethodDescriptor& m : halftone_methods()) {
    if (m.family != HalftoneFamily::kErrorDiffusion) continue;
    for (int variant = 0; variant < 3; ++variant) {
      const HalftoneParams p = with(127, variant >= 1, variant == 2);
      HalftoneConverter one_bit;
      ASSERT_EQ(start_halftone(m.method, p, width, one_bit), HalftoneError::kNone);
      Rows expected;
      expected.width = width;
      halftone_rows(one_bit, luma.data(), width, height, collect_bits, &expected);
      finish_halftone(one_bit, collect_bits, &expected);
      EXPECT_EQ(indexes_of(m.method, p, "bw", width, rgb, 4).rows, expected.rows) << m.name << " " << variant;
    }
  }
}

TEST(ColourPalette, StripsEqualWholePicture) {
  std::mt19937 random(19);
  const int32_t width = 29, height = 41;
  std::vector<uint8_t> rgb(3 * static_cast<size_t>(width) * height);
  for (uint8_t& c : rgb) c = static_cast<uint8_t>(random());
  const std::optional<HalftoneMethod> methods[] = {std::nullopt, HalftoneMethod::kFloydSteinberg,
                                                   HalftoneMethod::kJarvis, HalftoneMethod::kAtkinson};
  for (const auto& method : methods) {
    for (const char* palette : {"acep7", "spectra6-measured"}) {
      // Floyd-Steinberg left to right on 8-bit colours takes the vector band where there is one.
      const bool fs = method == HalftoneMethod::kFloydSteinberg;
      const HalftoneParams p = with(palette[0] == 'a' ? 110 : 127, method.has_value() && !fs, palette[0] == 's' && !fs);
      const Rows whole = indexes_of(method, p, palette, width, rgb, height);
      ASSERT_EQ(whole.rows.size(), size_t{height});
      for (int32_t strip : {1, 3, 16, 17})
        EXPECT_EQ(indexes_of(method, p, palette, width, rgb, strip).rows, whole.rows);
    }
  }
}

// The vector band and the vector nearest colour give the scalar rows on random pictures
// of odd widths, over several bands and a few rows more, for palettes of each size the
// vector code picks a path for (2 to 8 entries, and more), with colours
// the palette cannot make (the clamp at work) and densities that push the tone to its ends.
TEST(ColourPalette, VectorBandEqualsScalar) {
  std::mt19937 random(23);
  const std::string sixteen =
      "#000000,#ffffff,#ff0000,#00ff00,#0000ff,#ffff00,#00ffff,#ff00ff,#808080,#800000,#008000,#000080,"
      "#808000,#008080,#800080,#c0c0c0";
  for (int32_t width : {1, 3, 15, 17, 33, 65, 131}) {
    std::vector<uint8_t> rgb(3 * static_cast<size_t>(width) * 37);
    for (uint8_t& c : rgb) c = static_cast<uint8_t>(random() % 3 == 0 ? 255 * (random() & 1) : random());
    for (const std::string& palette :
         {std::string("bw"), std::string("bwr"), std::string("spectra6"), std::string("acep7-measured"),
          sixteen.substr(0, 8 * 8 - 1), sixteen}) {
      for (int density : {127, 30, 230}) {
        for (const std::optional<HalftoneMethod> method : {std::optional<HalftoneMethod>(HalftoneMethod::kFloydSteinberg),
                                                           std::optional<HalftoneMethod>()}) {
          force_simd_level(SimdLevel::kScalar);
          const Rows reference = indexes_of(method, with(density, false, false), palette, width, rgb, 5);
          force_simd_level(best_simd_level());
          EXPECT_EQ(indexes_of(method, with(density, false, false), palette, width, rgb, 5).rows, reference.rows)
              << "width " << width << " " << palette << " density " << density << (method ? "" : " nearest");
        }
      }
    }
  }
}

TEST(ColourPalette, RefusedCombinations) {
  HalftoneParams inverted;
  inverted.invert = true;
  const struct {
    std::optional<HalftoneMethod> method;
    HalftoneParams params;
    LevelsError error;
  } cases[] = {
      {HalftoneMethod::kBayer8, HalftoneParams{}, LevelsError::kNotForPalettes},
      {HalftoneMethod::kBradley, HalftoneParams{}, LevelsError::kNotForPalettes},
      {HalftoneMethod::kFloydSteinberg, inverted, LevelsError::kNoPaletteInvert},
      {std::nullopt, with(127, true, false), LevelsError::kNoScanDirection},
      {HalftoneMethod::kSierra, with(300, false, false), LevelsError::kBadParams},
  };
  for (const auto& c : cases) {
    PaletteConverter converter;
    EXPECT_EQ(start_palette(c.method, c.params, palette_of("bwy"), 4, converter), c.error);
  }
}

}  // namespace

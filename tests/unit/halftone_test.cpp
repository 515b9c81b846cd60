// The halftoning methods: golden rows worked out by hand from each method's rule,
// strips against whole pictures, the vector paths against the scalar reference, the
// parameter checks, and the blue-noise array's spectrum.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include "halftone/halftone.h"
#include "halftone/halftone_rows.h"
#include "image/simd_level.h"

namespace {

struct Output {
  int32_t width = 0;
  std::vector<std::vector<uint8_t>> rows;  // in the order the sink got them
  std::vector<int32_t> indices;
};

void collect(void* context, int32_t row, const uint8_t* bits) {
  Output& out = *static_cast<Output*>(context);
  out.indices.push_back(row);
  out.rows.emplace_back(bits, bits + (out.width + 7) / 8);
}

// Converts a picture (rows of luminance, top first) fed in strips of `strip` rows;
// error_limit, when given, sends the vector error diffusion's bands with larger
// errors back to the scalar path.
Output convert(HalftoneMethod method, const HalftoneParams& params, int32_t width,
               const std::vector<uint8_t>& luma, int32_t strip, int error_limit = -1) {
  HalftoneConverter c;
  EXPECT_EQ(start_halftone(method, params, width, c), HalftoneError::kNone);
  if (error_limit >= 0) {
    c.band_scratch.error_limit = error_limit;
    c.band_scratch.wide_error_limit = error_limit;
  }
  Output out;
  out.width = width;
  const int32_t height = static_cast<int32_t>(luma.size() / width);
  for (int32_t y = 0; y < height; y += strip)
    halftone_rows(c, &luma[static_cast<size_t>(y) * width], width, std::min(strip, height - y), collect, &out);
  finish_halftone(c, collect, &out);
  return out;
}

// The rows as text, '1' for a set (white) bit, rows separated by '/'.
std::string pattern(const Output& out) {
  std::string s;
  for (const auto& row : out.rows) {
    if (!s.empty()) s += '/';
    for (int32_t x = 0; x < out.width; ++x) s += (row[x >> 3] >> (7 - (x & 7))) & 1 ? '1' : '0';
  }
  return s;
}

HalftoneMethod method_named(const char* name) { return *parse_method_name(name); }

struct Golden {
  const char* method;
  HalftoneParams params;
  int32_t width;
  std::vector<uint8_t> luma;
  const char* expected;
};

HalftoneParams with(int density, bool invert, bool serpentine, bool linear) {
  HalftoneParams p;
  p.density = density;
  p.invert = invert;
  p.serpentine = serpentine;
  p.linear = linear;
  return p;
}

HalftoneParams local(int radius, int percent, std::optional<double> k) {
  HalftoneParams p;
  p.radius = radius;
  p.percent = percent;
  p.k = k;
  return p;
}

const HalftoneParams kPlain = with(127, false, false, false);

// Each expectation was worked out by hand, pixel by pixel, from the method's rule.
const std::vector<Golden>& goldens() {
  static const std::vector<Golden> all = {
      // Floyd-Steinberg on flat 100: shares 43, 18, 31 and the rest 8 from the first pixel, and so on.
      {"floyd-steinberg", kPlain, 4, std::vector<uint8_t>(8, 100), "0100/0101"},
      // The second row right to left with the kernel mirrored.
      {"floyd-steinberg", with(127, false, true, false), 4, std::vector<uint8_t>(8, 100), "0100/1001"},
      {"floyd-steinberg", with(127, true, true, false), 4, std::vector<uint8_t>(8, 100), "1011/0110"},
      // A ramp: 64 leaves 28, then 156 is white with 43 taken from the next, 192 - 46 ...
      {"floyd-steinberg", kPlain, 5, {0, 64, 128, 192, 255}, "00111"},
      // Density 87 adds 40: 140 is white and hands -50 on, 90 black hands 39 on ...
      {"floyd-steinberg", with(87, false, false, false), 4, {100, 100, 100, 100}, "1010"},
      {"floyd-steinberg", kPlain, 4, {100, 100, 100, 100}, "0100"},
      // In linear light 188 is 32957: white, then -14252 carried makes the next black.
      {"floyd-steinberg", with(127, false, false, true), 3, {188, 188, 188}, "101"},
      {"floyd-steinberg", kPlain, 3, {188, 188, 188}, "111"},
      // The three-row and wide kernels on flat 100, five by three (row 0 of Burkes: 100
      // hands 25 and 12 on, 125 stays black and hands 31 and 15 on, 143 turns white ...),
      // and serpentine, the second row mirrored.
      {"stucki", kPlain, 5, std::vector<uint8_t>(15, 100), "00100/01010/10010"},
      {"stucki", with(127, false, true, false), 5, std::vector<uint8_t>(15, 100), "00100/01010/00101"},
      {"burkes", kPlain, 5, std::vector<uint8_t>(15, 100), "00100/10010/01010"},
      {"burkes", with(127, false, true, false), 5, std::vector<uint8_t>(15, 100), "00100/11001/00100"},
      {"sierra", kPlain, 5, std::vector<uint8_t>(15, 100), "00010/10100/01010"},
      {"sierra", with(127, false, true, false), 5, std::vector<uint8_t>(15, 100), "00010/11010/00100"},
      {"sierra2", kPlain, 5, std::vector<uint8_t>(15, 100), "00100/01010/01001"},
      {"jarvis", with(127, false, true, false), 5,
       {90, 140, 200, 60, 128, 90, 140, 200, 60, 128, 90, 140, 200, 60, 128}, "01101/01100/01100"},
      // Atkinson's trunc(e / 8) to six neighbours; a quarter of each error is dropped.
      {"atkinson", kPlain, 3, std::vector<uint8_t>(9, 128), "100/011/010"},
      // Sierra Lite on one row: e = -127 gives trunc(-254 / 4) = -63 to the right.
      {"sierra-lite", kPlain, 4, {128, 128, 128, 128}, "1010"},
      // Jarvis on one row: 7/48 and 5/48 to the two pixels on the right.
      {"jarvis", kPlain, 4, {100, 100, 100, 100}, "0001"},
      // Bayer 4 at s = 64: white where M <= 3; density 191 on 128 gives the same s.
      {"bayer4", kPlain, 4, std::vector<uint8_t>(16, 64), "1010/0000/1010/0000"},
      {"bayer4", with(191, false, false, false), 4, std::vector<uint8_t>(16, 128), "1010/0000/1010/0000"},
      {"bayer4", with(191, true, false, false), 5, std::vector<uint8_t>(20, 128), "01010/11111/01010/11111"},
      // Bayer 2 at 188: 8 * 188 > 255 (2M + 1) for M <= 2; in linear light 8 * 32957 only for M <= 1.
      {"bayer2", kPlain, 2, std::vector<uint8_t>(4, 188), "11/01"},
      {"bayer2", with(127, false, false, true), 2, std::vector<uint8_t>(4, 188), "10/01"},
      // Bradley, radius 1, 15 %: 10 * 2 * 100 against 210 * 85, 200 * 3 * 100 against 260 * 85 ...
      {"bradley", local(1, 15, {}), 5, {10, 200, 50, 60, 255}, "01001"},
      // A dark centre: 80 * 9 * 100 = 72000 below 880 * 85; a corner: 100 * 4 * 100 above 380 * 85.
      {"bradley", local(1, 15, {}), 3, {100, 100, 100, 100, 80, 100, 100, 100, 100}, "111/101/111"},
      // Percent 0 on flat grey: s * n equals the sum, which is not above it.
      {"bradley", local(2, 0, {}), 3, std::vector<uint8_t>(6, 100), "000/000"},
      // Sauvola: thresholds 89.72, 121.45 and 138; niblack with k -0.2: 108, 131.36, 152.
      {"sauvola", local(1, 15, {}), 3, {100, 120, 200}, "101"},
      {"niblack", local(1, 15, {}), 3, {100, 120, 200}, "001"},
      // k -1: the first threshold is 110 - 10, exactly 100, which 100 is not above.
      {"niblack", local(1, 15, -1.0), 3, {100, 120, 200}, "011"},
      {"sauvola", local(1, 15, 0.05), 3, {100, 120, 200}, "001"},
  };
  return all;
}

TEST(Halftone, GoldenRows) {
  for (const Golden& g : goldens()) {
    const Output out = convert(method_named(g.method), g.params, g.width, g.luma, 1);
    EXPECT_EQ(pattern(out), g.expected) << g.method << " width " << g.width;
  }
}

// Flat 128 with Floyd-Steinberg is an exact checkerboard, white where x + y is even.
TEST(Halftone, FlatGreyIsACheckerboard) {
  for (bool serpentine : {false, true}) {
    const Output out =
        convert(HalftoneMethod::kFloydSteinberg, with(127, false, serpentine, false), 33, std::vector<uint8_t>(33 * 20, 128), 7);
    std::string expected;
    for (int y = 0; y < 20; ++y) {
      if (y) expected += '/';
      for (int x = 0; x < 33; ++x) expected += (x + y) % 2 == 0 ? '1' : '0';
    }
    EXPECT_EQ(pattern(out), expected) << serpentine;
  }
}

// Bayer 4 on flat grey: 32 s > 255 (2M + 1) holds for exactly this many of the 16 entries.
TEST(Halftone, BayerCountsOnFlatGrey) {
  const struct {
    uint8_t level;
    int whites;
  } cases[] = {{0, 0}, {7, 0}, {8, 1}, {64, 4}, {128, 8}, {200, 13}, {255, 16}};
  for (const auto& c : cases) {
    const Output out = convert(HalftoneMethod::kBayer4, kPlain, 8, std::vector<uint8_t>(64, c.level), 8);
    const std::string p = pattern(out);
    EXPECT_EQ(std::count(p.begin(), p.end(), '1'), 4 * c.whites) << int{c.level};
  }
  // The blue-noise array holds every rank once: at 128, 8192 * 128 > 255 (2M + 1) for M <= 2055.
  const Output out = convert(HalftoneMethod::kBlueNoise, kPlain, 64, std::vector<uint8_t>(64 * 64, 128), 64);
  const std::string p = pattern(out);
  EXPECT_EQ(std::count(p.begin(), p.end(), '1'), 2056);
}

std::vector<uint8_t> random_picture(int32_t width, int32_t height, std::mt19937& random) {
  std::vector<uint8_t> luma(static_cast<size_t>(width) * height);
  // Smooth tones with noise, so that errors and windows see more than noise.
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      luma[static_cast<size_t>(y) * width + x] =
          static_cast<uint8_t>(std::min<int>(255, (x * 255 / width + y * 3) % 256 / 2 + random() % 128));
  return luma;
}

// Every method gives the same rows whatever the strips, in order, bits past the width zero.
TEST(Halftone, StripsEqualWholePicture) {
  std::mt19937 random(7);
  const int32_t width = 37, height = 29;
  const std::vector<uint8_t> luma = random_picture(width, height, random);
  for (const MethodDescriptor& m : halftone_methods()) {
   for (bool serpentine : {false, true}) {
    if (serpentine && m.family != HalftoneFamily::kErrorDiffusion) continue;
    HalftoneParams p = with(140, true, serpentine, m.method == HalftoneMethod::kJarvis);
    p.radius = 3;
    const Output whole = convert(m.method, p, width, luma, height);
    ASSERT_EQ(whole.rows.size(), size_t{height}) << m.name;
    for (int32_t y = 0; y < height; ++y) {
      EXPECT_EQ(whole.indices[y], y) << m.name;
      EXPECT_EQ(whole.rows[y].back() & 0x07, 0) << m.name << " row " << y;
    }
    for (int32_t strip : {1, 4, 13}) {
      const Output parts = convert(m.method, p, width, luma, strip);
      EXPECT_EQ(parts.rows, whole.rows) << m.name << " strips of " << strip;
    }
   }
  }
}

// A local threshold gives row y once row y + radius is in, the last rows at the finish.
TEST(Halftone, LocalThresholdWaitsForTheRowsBelow) {
  HalftoneConverter c;
  ASSERT_EQ(start_halftone(HalftoneMethod::kSauvola, local(2, 15, {}), 5, c), HalftoneError::kNone);
  Output out;
  out.width = 5;
  const std::vector<uint8_t> row(5, 90);
  const size_t expected[] = {0, 0, 1, 2, 3, 4};
  for (size_t y = 0; y < 6; ++y) {
    halftone_rows(c, row.data(), 5, 1, collect, &out);
    EXPECT_EQ(out.rows.size(), expected[y]) << y;
  }
  finish_halftone(c, collect, &out);
  EXPECT_EQ(out.rows.size(), 6u);
}

// The vector paths give the scalar rows on random pictures of odd widths, over several
// bands of rows and a few rows more; error diffusion also with serpentine rows and in
// linear light, one row at a time (dark pictures in linear light carry large errors).
TEST(Halftone, VectorPathsEqualScalar) {
  std::mt19937 random(11);
  for (int32_t width : {1, 3, 7, 15, 17, 31, 33, 63, 65, 97, 129, 257, 301}) {
    const std::vector<uint8_t> luma = random_picture(width, 37, random);
    for (const MethodDescriptor& m : halftone_methods()) {
      const bool diffusion = m.family == HalftoneFamily::kErrorDiffusion;
      for (int density : {127, 30, 250}) {
        for (int variant = 0; variant < (diffusion ? 4 : 1); ++variant) {
          const bool serpentine = variant & 1, linear = variant & 2;
          HalftoneParams p = with(density, density == 30, serpentine, diffusion ? linear : density == 250);
          p.radius = density == 127 ? 7 : density == 30 ? 1 : 40;
          if (density == 30) p.k = m.method == HalftoneMethod::kNiblack ? -0.7 : 0.5;
          if (density == 250) p.percent = 4;
          force_simd_level(SimdLevel::kScalar);
          const Output reference = convert(m.method, p, width, luma, 5);
          for (int l = 1; l <= static_cast<int>(best_simd_level()); ++l) {
            force_simd_level(static_cast<SimdLevel>(l));
            EXPECT_EQ(convert(m.method, p, width, luma, 5).rows, reference.rows)
                << m.name << " width " << width << " level " << l << " density " << density << " serpentine "
                << serpentine << " linear " << linear;
          }
          force_simd_level(best_simd_level());
        }
      }
    }
  }
}

// A band whose errors outgrow the vector arithmetic's range goes the scalar way: with
// the limit at 0 every band does, at 100 some. In linear light every |e| of a random
// picture comes near 32767, so black rows between random ones make bands that pass.
TEST(Halftone, LargeErrorsFallBackToScalar) {
  std::mt19937 random(5);
  const int32_t width = 77;
  const std::vector<uint8_t> random_luma = random_picture(width, 50, random);
  std::vector<uint8_t> striped = random_luma;
  std::fill(striped.begin() + 20 * width, striped.begin() + 40 * width, 0);
  for (HalftoneMethod method : {HalftoneMethod::kFloydSteinberg, HalftoneMethod::kStucki}) {
    for (bool linear : {false, true}) {
      const HalftoneParams p = with(127, false, false, linear);
      const std::vector<uint8_t>& luma = linear ? striped : random_luma;
      force_simd_level(SimdLevel::kScalar);
      const Output reference = convert(method, p, width, luma, 9);
      for (int l = 1; l <= static_cast<int>(best_simd_level()); ++l) {
        force_simd_level(static_cast<SimdLevel>(l));
        for (int limit : {0, linear ? 32000 : 100})
          EXPECT_EQ(convert(method, p, width, luma, 9, limit).rows, reference.rows)
              << limit << " level " << l << " linear " << linear;
      }
      force_simd_level(best_simd_level());
    }
  }
}

// The one-row path gives the reference's bits and carried errors for any errors carried
// in, also far outside what a picture makes: past its tables of the shares ahead (w
// beyond -1024 .. 1279) and past the vector shares' limit (|e| from 2^20, products
// from 2^26 where the vector division is no longer exact).
TEST(Halftone, RowPathEqualsReferenceForAnyCarriedErrors) {
  std::mt19937 random(3);
  const int32_t width = 41;
  const size_t row = width + 4;
  for (const MethodDescriptor& m : halftone_methods()) {
    if (m.family != HalftoneFamily::kErrorDiffusion) continue;
    const DiffusionKernel& kernel = diffusion_kernel(m.method);
    for (int32_t reach : {300, 5000, 200000000}) {  // e * 8 stays within 32 bits
      for (int direction : {1, -1}) {
        for (bool linear : {false, true}) {
          const int32_t white = linear ? 65535 : 255;
          std::vector<int32_t> values(width);
          for (int32_t& v : values) v = static_cast<int32_t>(random() % (white + 1));
          std::vector<int32_t> carried(3 * row, 0);
          for (int32_t x = 0; x < width; ++x)
            carried[2 + x] = static_cast<int32_t>(random() % (2 * reach + 1)) - reach;
          std::vector<int32_t> expected_errors = carried, errors = carried;
          std::vector<uint8_t> expected_bits(8, 0xAA), bits(8, 0x55);
          int32_t* expected_rows[3] = {&expected_errors[2], &expected_errors[row + 2], &expected_errors[2 * row + 2]};
          int32_t* rows[3] = {&errors[2], &errors[row + 2], &errors[2 * row + 2]};
          diffuse_row_scalar(kernel, values.data(), expected_rows, width, direction, white / 2, white, false,
                             expected_bits.data());
          ChainScratch scratch;
          size_chain_scratch(scratch, width);
          diffuse_row_chain(kernel, values.data(), rows, width, direction, linear, false, scratch, bits.data());
          const std::string what = std::string(m.name) + " reach " + std::to_string(reach) + " direction " +
                                   std::to_string(direction) + " linear " + std::to_string(linear);
          EXPECT_TRUE(std::equal(bits.begin(), bits.begin() + 6, expected_bits.begin())) << what;
          // The row itself is used up afterwards; the two below carry on.
          EXPECT_TRUE(std::equal(errors.begin() + row, errors.end(), expected_errors.begin() + row)) << what;
        }
      }
    }
  }
}

TEST(Halftone, ParameterChecks) {
  EXPECT_FALSE(parse_method_name("floyd"));
  EXPECT_FALSE(parse_method_name("Bayer4"));
  EXPECT_EQ(parse_method_name("sierra-lite"), HalftoneMethod::kSierraLite);
  const struct {
    const char* method;
    HalftoneParams params;
    HalftoneError expected;
  } cases[] = {
      {"bayer8", with(127, false, true, false), HalftoneError::kNoScanDirection},
      {"bradley", with(127, false, true, false), HalftoneError::kNoScanDirection},
      {"stucki", with(127, false, true, true), HalftoneError::kNone},
      {"bradley", local(0, 15, {}), HalftoneError::kBadRadius},
      {"bradley", local(kMaxHalftoneRadius + 1, 15, {}), HalftoneError::kBadRadius},
      {"sauvola", local(1, 15, std::nan("")), HalftoneError::kBadK},
      {"bradley", local(1, 101, {}), HalftoneError::kBadPercent},
      {"bayer2", with(255, false, false, false), HalftoneError::kBadDensity},
      {"bayer2", with(-1, false, false, false), HalftoneError::kBadDensity},
  };
  for (const auto& c : cases) EXPECT_EQ(check_halftone_params(method_named(c.method), c.params), c.expected) << c.method;
  EXPECT_EQ(check_halftone_params(static_cast<HalftoneMethod>(99), kPlain), HalftoneError::kUnknownMethod);
  const ParamDescriptor& k_param = param_descriptor(HalftoneParam::kK);
  double k = 0;
  for (const char* bad : {"abc", "", "0.2x", " 1", "nan", "1e999"}) EXPECT_FALSE(parse_param_text(k_param, bad, &k)) << bad;
  EXPECT_TRUE(parse_param_text(k_param, "-0.35", &k));
  EXPECT_EQ(k, -0.35);
}

// The blue-noise array: a permutation of 0..4095 whose spectrum, and that of the
// patterns it makes at a quarter, half and three quarters, has little energy at low
// frequencies (a white-noise array would put about 5 % of it within radius 8).
TEST(Halftone, BlueNoiseHasLittleLowFrequencyEnergy) {
  std::vector<int> seen(4096, 0);
  for (int i = 0; i < 4096; ++i)
    if (kBlueNoise64[i] < 4096) ++seen[kBlueNoise64[i]];
  for (int v = 0; v < 4096; ++v) ASSERT_EQ(seen[v], 1) << v;
  const double pi = std::acos(-1.0);
  for (int level : {0, 1024, 2048, 3072}) {
    std::vector<std::complex<double>> f(4096);
    double mean = 0;
    for (int i = 0; i < 4096; ++i) {
      f[i] = level == 0 ? kBlueNoise64[i] : (kBlueNoise64[i] < level ? 1.0 : 0.0);
      mean += f[i].real() / 4096;
    }
    for (auto& v : f) v -= mean;
    // The 2-D transform as 64-point transforms along the rows, then down the columns.
    for (int pass = 0; pass < 2; ++pass) {
      std::vector<std::complex<double>> g(4096);
      for (int a = 0; a < 64; ++a)
        for (int u = 0; u < 64; ++u)
          for (int t = 0; t < 64; ++t) {
            const int in = pass == 0 ? a * 64 + t : t * 64 + a, out = pass == 0 ? a * 64 + u : u * 64 + a;
            g[out] += f[in] * std::polar(1.0, -2 * pi * u * t / 64);
          }
      f = g;
    }
    double total = 0, low = 0;
    for (int v = 0; v < 64; ++v)
      for (int u = 0; u < 64; ++u) {
        const int fu = u < 32 ? u : u - 64, fv = v < 32 ? v : v - 64;
        const double power = std::norm(f[v * 64 + u]);
        total += power;
        if (fu * fu + fv * fv < 64) low += power;
      }
    EXPECT_LT(low / total, 0.01) << "level " << level;
  }
}

}  // namespace

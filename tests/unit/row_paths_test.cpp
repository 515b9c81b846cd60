// Every vector path against the scalar reference (the pixel fetch and draws made one
// by one): luminance rows, row samples, whole conversions and the generator's state.
// Built into the native tests and into the Wine-run test program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "image/le_bytes.h"
#include "image/pixel.h"
#include "image/row_decoder.h"
#include "image/simd_level.h"
#include "mono/conversion.h"
#include "mono/random_jump.h"
#include "mono/result_bitmap.h"
#include "mono/threshold_kernels.h"

namespace {

// The levels this CPU runs, scalar first.
std::vector<SimdLevel> levels() {
  std::vector<SimdLevel> out;
  for (int l = 0; l <= static_cast<int>(best_simd_level()); ++l) out.push_back(static_cast<SimdLevel>(l));
  return out;
}

// Forces a level for one scope and puts the best one back.
struct ForcedLevel {
  explicit ForcedLevel(SimdLevel level) { EXPECT_TRUE(force_simd_level(level)); }
  ~ForcedLevel() { force_simd_level(best_simd_level()); }
};

struct Layout {
  const char* name;
  uint16_t bit_count;
  std::vector<uint32_t> masks;  // red, green, blue; given: bit-fields
  uint32_t colours;             // table entries, fewer than the depth allows to hit out-of-table indices
  std::vector<uint32_t> table;  // fixed entries (else random)
};

const std::vector<Layout>& layouts() {
  static const std::vector<Layout> all = {
      {"1", 1, {}, 2, {}},
      {"1-equal", 1, {}, 2, {0xFF0000, 0x4C4C4C}},
      {"1-single", 1, {}, 1, {}},
      {"2", 2, {}, 4, {}},
      {"2-short", 2, {}, 3, {}},
      {"4", 4, {}, 16, {}},
      {"4-short", 4, {}, 11, {}},
      {"8", 8, {}, 256, {}},
      {"8-short", 8, {}, 100, {}},
      {"16", 16, {}, 0, {}},
      {"16-565", 16, {0xF800, 0x07E0, 0x001F}, 0, {}},
      {"16-444", 16, {0x0F00, 0x00F0, 0x000F}, 0, {}},
      {"16-high", 16, {0xFC000000, 0x03F00000, 0x000FC000}, 0, {}},
      {"16-overlapping", 16, {0xFFFF, 0x0FF0, 0x00FF}, 0, {}},
      {"16-zero", 16, {0, 0, 0}, 0, {}},
      {"24", 24, {}, 0, {}},
      {"24-table", 24, {}, 5, {}},
      {"32", 32, {}, 0, {}},
      {"32-888", 32, {0xFF0000, 0xFF00, 0xFF}, 0, {}},
      {"32-101010", 32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0, {}},
      {"32-swapped", 32, {0xFF, 0xFF00, 0xFF000000}, 0, {}},
      {"32-single-bits", 32, {0x80000000, 0x1, 0x100}, 0, {}},
      {"3", 3, {}, 8, {}},
  };
  return all;
}

struct Store {
  std::vector<uint8_t> bytes;
  PictureDescription picture;
};

// A store with random pixel bytes (padding included); a negative height stores the
// rows top-down, which the readers never look at.
Store make_store(const Layout& l, int32_t width, int32_t height, bool top_down, std::mt19937& random) {
  Store s;
  const uint32_t masks = l.masks.empty() ? 0 : kMaskBytes;
  const uint64_t stride = l.bit_count == 3 ? ((width * 3u + 31) / 32) * 4 : row_stride(width, l.bit_count);
  s.picture.width = width;
  s.picture.height = height;
  s.picture.mask_byte_count = masks;
  s.picture.colour_count = l.colours;
  s.picture.offset_to_pixels = kStoreHeaderSize + masks + 4 * l.colours;
  s.bytes.assign(s.picture.offset_to_pixels + stride * height, 0);
  uint8_t* h = s.bytes.data();
  put_u32(h + kHeaderSizeField, 40);
  put_u32(h + kWidthField, static_cast<uint32_t>(width));
  put_u32(h + kHeightField, static_cast<uint32_t>(top_down ? -height : height));
  put_u16(h + kPlanesField, 1);
  put_u16(h + kBitCountField, l.bit_count);
  put_u32(h + kCompressionField, masks ? kCompressionBitFields : kCompressionNone);
  put_u32(h + kColoursUsedField, l.colours);
  for (size_t k = 0; k < l.masks.size(); ++k) put_u32(h + kStoreHeaderSize + 4 * k, l.masks[k]);
  for (uint32_t i = 0; i < l.colours; ++i) {
    const uint32_t entry = i < l.table.size() ? l.table[i] : static_cast<uint32_t>(random());
    put_u32(h + kStoreHeaderSize + masks + 4 * i, entry);
  }
  for (size_t i = s.picture.offset_to_pixels; i < s.bytes.size(); ++i) s.bytes[i] = static_cast<uint8_t>(random());
  return s;
}

std::vector<int32_t> widths() {
  std::vector<int32_t> w;
  for (int32_t i = 1; i <= 70; ++i) w.push_back(i);
  for (int32_t i : {127, 128, 129, 1000, 4001}) w.push_back(i);
  return w;
}

TEST(RowPaths, LuminanceAndSamplesMatchThePixelFetch) {
  // Says which paths this CPU let the tests compare.
  std::printf("vector levels compared with the scalar one: %d (1 SSE2, 2 SSE2 and AVX2)\n",
              static_cast<int>(best_simd_level()));
  for (SimdLevel level : levels()) {
    ForcedLevel forced(level);
    std::mt19937 random(77);
    for (const Layout& l : layouts()) {
      for (int32_t width : widths()) {
        const Store s = make_store(l, width, 2, width % 2 == 0, random);
        const RowDecoder decoder = make_row_decoder(s.bytes.data(), s.picture, RowUse::kLuminance);
        const RowDecoder sampler = make_row_decoder(s.bytes.data(), s.picture, RowUse::kColours);
        std::vector<uint8_t> luma(static_cast<size_t>(width)), once(static_cast<size_t>(width));
        std::vector<int32_t> columns(static_cast<size_t>(width));
        for (int32_t x = 0; x < width; ++x) columns[static_cast<size_t>(x)] = (x * 7) % width;
        std::vector<uint32_t> colours(static_cast<size_t>(width));
        for (int32_t row = 0; row < 2; ++row) {
          decode_luminance_row(decoder, row, luma.data());
          luminance_row(s.bytes.data(), s.picture, row, once.data());
          decode_colours(sampler, row, columns.data(), width, colours.data());
          for (int32_t x = 0; x < width; ++x) {
            const uint32_t expected = fetch_pixel(s.bytes.data(), s.picture, x, row);
            ASSERT_EQ(luma[static_cast<size_t>(x)], luminance(expected))
                << "level " << static_cast<int>(level) << " " << l.name << " width " << width << " x " << x;
            ASSERT_EQ(once[static_cast<size_t>(x)], luma[static_cast<size_t>(x)]);
            const uint32_t sampled = fetch_pixel(s.bytes.data(), s.picture, columns[static_cast<size_t>(x)], row);
            ASSERT_EQ(colours[static_cast<size_t>(x)] & 0xFFFFFF, sampled & 0xFFFFFF)
                << "level " << static_cast<int>(level) << " " << l.name << " width " << width;
          }
        }
      }
    }
  }
}

TEST(RowPaths, DecodedColoursWeighLikeTheFetch) {
  std::mt19937 random(5);
  std::vector<uint32_t> colours(1000);
  for (uint32_t& c : colours) c = static_cast<uint32_t>(random());  // the top byte is noise
  colours[0] = 0xFFFFFFFF;
  colours[1] = 0;
  for (SimdLevel level : levels()) {
    ForcedLevel forced(level);
    for (int32_t count : {1, 15, 16, 17, 33, 34, 35, 1000}) {
      std::vector<uint8_t> out(static_cast<size_t>(count));
      luminance_of_colours(colours.data(), count, out.data());
      for (int32_t i = 0; i < count; ++i)
        ASSERT_EQ(out[static_cast<size_t>(i)], luminance(colours[static_cast<size_t>(i)]))
            << "level " << static_cast<int>(level) << " count " << count << " i " << i;
    }
  }
}

TEST(RowPaths, JumpsEqualSingleDraws) {
  RandomSource one;
  for (uint32_t steps = 0; steps < 100; ++steps) {
    const RandomJump j = random_jump(steps);
    EXPECT_EQ(j.a * 1u + j.c, one.state) << steps;
    draw_random(one);
  }
  RandomSource far;
  far.state = 0xDEADBEEF;
  const RandomJump j = random_jump(1000003);
  const uint32_t jumped = j.a * far.state + j.c;
  for (int i = 0; i < 1000003; ++i) draw_random(far);
  EXPECT_EQ(jumped, far.state);
}

// Counts around every step size and start states that reach all draw values.
TEST(RowPaths, ThresholdDrawsEqualOneByOneDraws) {
  for (SimdLevel level : levels()) {
    const ThresholdKernels& k = threshold_kernels(level);
    for (int mode : {kModePhotoHard, kModePhotoSoft}) {
      for (int base : {-200, 0, 77, 128, 254, 600}) {
        RandomSource vector, scalar;
        vector.state = scalar.state = 0x12345678u + static_cast<uint32_t>(base * 31 + mode);
        for (int32_t count : {0, 1, 7, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 4000, 40000}) {
          std::vector<int16_t> out(static_cast<size_t>(count));
          k.draw(vector, mode, base, count, out.data());
          for (int32_t i = 0; i < count; ++i)
            ASSERT_EQ(out[static_cast<size_t>(i)], draw_threshold(mode, base, scalar))
                << "level " << static_cast<int>(level) << " mode " << mode << " count " << count << " i " << i;
          ASSERT_EQ(vector.state, scalar.state) << "level " << static_cast<int>(level) << " count " << count;
        }
      }
    }
  }
}

// The conversion as written for one pixel at a time: the reference every path must match.
void reference_conversion(const Store& s, uint8_t* result, int base, int mode, bool invert, RandomSource& random) {
  const int32_t width = s.picture.width;
  const uint32_t stride = result_stride(static_cast<uint32_t>(width));
  for (int32_t row = 0; row < s.picture.height; ++row) {
    uint8_t* bytes = result + kResultPixelOffset + static_cast<size_t>(row) * stride;
    int32_t x0 = 0;
    for (; x0 + 7 < width; x0 += 8) {
      unsigned b = 0;
      for (int k = 0; k < 8; ++k) {
        const int t = draw_threshold(mode, base, random);
        if (luminance(fetch_pixel(s.bytes.data(), s.picture, x0 + k, row)) > t) b |= 0x80u >> k;
      }
      bytes[x0 / 8] = static_cast<uint8_t>(invert ? ~b : b);
    }
    for (int32_t x = x0; x < width; ++x) {
      const int t = draw_threshold(mode, base, random);
      const uint8_t m = static_cast<uint8_t>(0x80 >> (x % 8));
      if ((luminance(fetch_pixel(s.bytes.data(), s.picture, x, row)) > t) != invert) {
        bytes[x / 8] |= m;
      } else {
        bytes[x / 8] &= static_cast<uint8_t>(~m);
      }
    }
  }
}

std::vector<uint8_t> prepared(const Store& s) {
  const uint32_t w = static_cast<uint32_t>(s.picture.width), h = static_cast<uint32_t>(s.picture.height);
  std::vector<uint8_t> result(result_block_size(w, h));
  prepare_result(s.bytes.data(), w, h, result.data(), static_cast<uint32_t>(result.size()));
  return result;
}

TEST(RowPaths, ConversionsMatchTheReference) {
  const int densities[] = {0, 1, 2, 29, 63, 64, 65, 76, 126, 127, 128, 129, 149, 190, 253, 254, -1, 255, 400, -300};
  const size_t density_count = sizeof densities / sizeof densities[0];
  for (SimdLevel level : levels()) {
    ForcedLevel forced(level);
    std::mt19937 random(99);
    size_t pick = 0;
    for (const Layout& l : layouts()) {
      for (int32_t width : widths()) {
        const int32_t height = width > 200 ? 2 : 3;
        const Store s = make_store(l, width, height, (width + pick) % 2 == 0, random);
        const std::vector<uint8_t> blank = prepared(s);
        for (int mode : {kModeLetter, kModePhotoHard, kModePhotoSoft}) {
          for (bool invert : {false, true}) {
            // Densities rotate with each case, so every one meets every width and mode.
            const int base = densities[pick++ % density_count];
            RandomSource ours, reference;
            ours.state = reference.state = static_cast<uint32_t>(random());
            std::vector<uint8_t> got = blank, expected = blank;
            convert_picture(ConversionSource{s.bytes.data(), &s.picture, nullptr}, got.data(), base, mode, invert, ours,
                            nullptr, nullptr);
            reference_conversion(s, expected.data(), base, mode, invert, reference);
            ASSERT_EQ(got, expected) << "level " << static_cast<int>(level) << " " << l.name << " width " << width
                                     << " mode " << mode << " invert " << invert << " density " << base;
            ASSERT_EQ(ours.state, reference.state) << "level " << static_cast<int>(level) << " " << l.name;
          }
        }
      }
    }
  }
}

}  // namespace

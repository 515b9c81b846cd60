// Compressed (RLE8 and RLE4) pictures that exercise every code of the encoding:
// deltas, ends of line and of bitmap, runs past the right edge, odd widths and odd
// starting pixels, data that ends early, indices beyond the colour table; and
// seeded random code streams. Shared by the decoder's tests on the platform and the
// native command's comparison with the Windows program.
#ifndef QVX_TESTS_RLE_PICTURES_H
#define QVX_TESTS_RLE_PICTURES_H

#include <cstdint>
#include <string>
#include <vector>

#include "bmp_builder.h"

namespace rle_pictures {

struct NamedFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

inline uint32_t next_seed(uint32_t& seed) {
  seed = seed * 1103515245u + 12345u;
  return seed >> 8;
}

inline BmpFile rle_file(bool four_bit, int32_t width, int32_t height, const std::vector<uint8_t>& codes,
                        uint32_t colours = 0) {
  BmpFile f;
  f.width = width;
  f.height = height;
  f.bit_count = four_bit ? 4 : 8;
  f.compression = four_bit ? 2 : 1;
  uint32_t seed = 99;
  const uint32_t count = colours ? colours : (four_bit ? 16u : 256u);
  for (uint32_t i = 0; i < count; ++i) f.colours.push_back((next_seed(seed) & 0xFFFFFF) | 0x010101);
  f.colours_used = colours;
  f.pixels = codes;
  f.image_size = static_cast<uint32_t>(codes.size());
  return f;
}

// A random stream of codes: runs, absolute runs, deltas, ends of line, mostly valid.
inline std::vector<uint8_t> random_codes(bool four_bit, int32_t width, uint32_t seed) {
  std::vector<uint8_t> c;
  const int codes = 10 + static_cast<int>(next_seed(seed) % 60);
  for (int i = 0; i < codes; ++i) {
    const uint32_t kind = next_seed(seed) % 10;
    if (kind < 4) {
      c.push_back(static_cast<uint8_t>(1 + next_seed(seed) % (width + 3)));
      c.push_back(static_cast<uint8_t>(next_seed(seed)));
    } else if (kind < 7) {
      const uint32_t n = 3 + next_seed(seed) % (width + 2);
      c.push_back(0);
      c.push_back(static_cast<uint8_t>(n));
      const uint32_t bytes = four_bit ? (n + 1) / 2 : n;
      for (uint32_t k = 0; k < bytes; ++k) c.push_back(static_cast<uint8_t>(next_seed(seed)));
      if (bytes & 1) c.push_back(0);
    } else if (kind < 8) {
      c.push_back(0);
      c.push_back(2);
      c.push_back(static_cast<uint8_t>(next_seed(seed) % 6));
      c.push_back(static_cast<uint8_t>(next_seed(seed) % 3));
    } else {
      c.push_back(0);
      c.push_back(0);
    }
  }
  if (next_seed(seed) % 3 != 0) {
    c.push_back(0);
    c.push_back(1);
  }
  return c;
}

inline std::vector<NamedFile> rle_test_files() {
  std::vector<NamedFile> files;
  auto add = [&](const std::string& name, const BmpFile& f) { files.push_back({name, build_bmp(f)}); };
  // Runs, a delta over two rows, an absolute run of odd length, end of line, end of bitmap.
  add("rle8-delta", rle_file(false, 13, 7, {3, 5, 0, 2, 4, 2, 2, 9, 0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 4, 7, 8, 9, 10,
                                            0, 0, 6, 200, 0, 1}));
  // Runs and an absolute run that reach past the right edge: what is beyond is dropped.
  add("rle8-past-edge", rle_file(false, 13, 4, {20, 7, 0, 0, 5, 9, 0, 15, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
                                                14, 15, 0, 0, 0, 2, 30, 1, 4, 4, 0, 1}));
  // The data ends inside a row without an escape code.
  add("rle8-no-end", rle_file(false, 9, 3, {4, 1, 0, 0, 3, 2, 2, 3}));
  // A delta that leaves the picture at the top.
  add("rle8-delta-out", rle_file(false, 9, 3, {4, 1, 0, 2, 1, 7, 4, 5, 0, 1}));
  // Indices beyond a four-entry colour table.
  add("rle8-short-table", rle_file(false, 9, 2, {3, 1, 3, 10, 0, 3, 200, 2, 3, 0, 0, 0, 9, 255, 0, 1}, 4));
  // Four-bit runs and absolute runs starting at odd pixels.
  add("rle4-odd", rle_file(true, 11, 5, {0, 2, 1, 0, 5, 0x3C, 0, 2, 1, 1, 0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 4, 0xF1,
                                         0, 3, 0xAB, 0xC0, 7, 0x98, 0, 0, 14, 0x56, 0, 1}));
  // Four-bit data that ends without an end of bitmap, after a delta.
  add("rle4-no-end", rle_file(true, 7, 3, {3, 0x12, 0, 2, 1, 1, 2, 0x34}));
  // A compressed picture stored top-down, which the platform does not decode.
  BmpFile top_down = rle_file(false, 5, 2, {5, 1, 0, 0, 5, 2, 0, 1});
  top_down.height = -2;
  add("rle8-top-down", top_down);
  // A compression that does not match the depth.
  BmpFile mismatch = rle_file(false, 5, 2, {5, 1, 0, 0, 5, 2, 0, 1});
  mismatch.compression = 2;
  add("rle-depth-mismatch", mismatch);
  // The header's image size ends inside an absolute run.
  BmpFile cut = rle_file(false, 9, 2, {2, 6, 0, 5, 1, 2, 3, 4, 5, 0, 0, 1});
  cut.image_size = 6;
  add("rle8-size-cuts-run", cut);
  add("rle8-width-1", rle_file(false, 1, 3, {1, 5, 0, 0, 2, 6, 0, 0, 0, 3, 1, 2, 3, 0, 0, 1}));
  for (uint32_t i = 0; i < 12; ++i) {
    uint32_t seed = 500 + i;
    const bool four_bit = (i & 1) != 0;
    const int32_t width = 1 + static_cast<int32_t>(next_seed(seed) % 40);
    const int32_t height = 1 + static_cast<int32_t>(next_seed(seed) % 12);
    add(std::string(four_bit ? "rle4" : "rle8") + "-random-" + std::to_string(i),
        rle_file(four_bit, width, height, random_codes(four_bit, width, seed)));
  }
  return files;
}

}  // namespace rle_pictures

#endif

// A PBM (P4) file read back: its size and one byte a pixel, 1 for black, the top row first.
#ifndef QVX_TESTS_PBM_BITMAP_H
#define QVX_TESTS_PBM_BITMAP_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/cli_runner.h"

struct Bitmap {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> black;
  uint8_t at(uint32_t x, uint32_t y) const { return black[static_cast<size_t>(y) * width + x]; }
};

// The PBM at `path`, or an empty bitmap when it is not a whole P4 file.
inline Bitmap read_pbm(const std::string& path) {
  const std::vector<uint8_t> bytes = read_file(path);
  Bitmap b;
  int header = 0;
  const std::string text(bytes.begin(), bytes.end());
  if (std::sscanf(text.c_str(), "P4\n%u %u\n%n", &b.width, &b.height, &header) != 2 || header == 0) return Bitmap();
  const size_t row_bytes = (b.width + 7) / 8;
  if (bytes.size() != static_cast<size_t>(header) + row_bytes * b.height) return Bitmap();
  b.black.resize(static_cast<size_t>(b.width) * b.height);
  for (uint32_t y = 0; y < b.height; ++y) {
    for (uint32_t x = 0; x < b.width; ++x) {
      b.black[static_cast<size_t>(y) * b.width + x] = (bytes[header + y * row_bytes + x / 8] >> (7 - x % 8)) & 1;
    }
  }
  return b;
}

#endif

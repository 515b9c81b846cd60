// Small files that claim large pictures, for the tests of hostile input.
#ifndef QVX_TESTS_CLAIMED_SIZES_H
#define QVX_TESTS_CLAIMED_SIZES_H

#include <cstdint>
#include <iterator>
#include <vector>

#include "common/bmp_builder.h"

// An RLE8 BMP of any declared size (negative heights run top-down) holding only its
// end-of-bitmap code: every pixel reads as colour 0, black.
inline std::vector<uint8_t> rle8_claiming(int32_t width, int32_t height) {
  BmpFile f;
  f.width = width;
  f.height = height;
  f.bit_count = 8;
  f.compression = 1;
  for (uint32_t i = 0; i < 256; ++i) f.colours.push_back(i * 0x010101);
  f.pixels = {0, 1};
  f.image_size = 2;
  return build_bmp(f);
}

// A GIF whose screen and only frame claim 65535 x 65535 pixels, a few LZW bytes long.
inline std::vector<uint8_t> huge_gif() {
  std::vector<uint8_t> g = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0, 0, 0, 0, 0, 255, 255, 255};
  const uint8_t frame[] = {',', 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 2, 0x4C, 0x01, 0, ';'};
  g.insert(g.end(), std::begin(frame), std::end(frame));
  return g;
}

// A GIF of one 2 x 2 frame on a logical screen of 65535 x 65535 pixels.
inline std::vector<uint8_t> huge_screen_gif() {
  std::vector<uint8_t> g = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0, 0, 0, 0, 0, 255, 255, 255};
  const uint8_t frame[] = {',', 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 2, 0x4C, 0x01, 0, ';'};
  g.insert(g.end(), std::begin(frame), std::end(frame));
  return g;
}

// A lossless WebP header claiming 16000 x 16000 pixels, and no picture data.
inline std::vector<uint8_t> huge_webp() {
  const uint32_t bits = (16000 - 1) | ((16000 - 1) << 14);
  std::vector<uint8_t> w = {'R', 'I', 'F', 'F', 30, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'L', 18, 0, 0, 0, 0x2F};
  for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  w.resize(38, 0);
  return w;
}

#endif

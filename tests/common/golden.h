// Golden outputs: small pictures of every kind of pixel, each with the checksum of
// the 1-bit BMP a conversion must write, worked out by the short model below
// (which shares no code with the program) and pinned here. The unit test holds the
// core to them, the command's test the whole command.
#ifndef QVX_TESTS_GOLDEN_H
#define QVX_TESTS_GOLDEN_H

#include <cstdint>
#include <vector>

#include "batch_pictures.h"
#include "bmp_builder.h"

namespace golden {

constexpr int32_t kWidth = 13, kHeight = 7;  // rows of two bytes and padding

struct Picture {
  const char* name;
  uint16_t bit_count;
  bool masks;     // 16 bits: 5-6-5 masks; otherwise none
  bool top_down;
  bool rle;       // 8 bits, one run per pixel
};

inline const Picture kPictures[] = {
    {"1-bit", 1, false, false, false},        {"4-bit", 4, false, false, false},
    {"8-bit", 8, false, false, false},        {"8-bit RLE8", 8, false, false, true},
    {"16-bit 5-5-5", 16, false, false, false}, {"16-bit 5-6-5", 16, true, false, false},
    {"24-bit", 24, false, false, false},      {"24-bit top-down", 24, false, true, false},
    {"32-bit", 32, false, false, false},
};

struct Conversion {
  int density;
  int mode;  // 0 Letter, 1 photo(Hard), 2 photo(Soft)
  bool invert;
};

inline const Conversion kConversions[] = {{127, 0, false}, {90, 0, true}, {100, 1, false}, {160, 2, true}};

inline uint32_t next(uint32_t& seed) {
  seed = seed * 69069u + 1u;
  return seed >> 7;
}

// Pixel values by storage row, and the colour table for up to 8 bits.
struct Pixels {
  std::vector<std::vector<uint32_t>> rows;
  std::vector<uint32_t> table;
};

inline Pixels pixels_of(const Picture& p) {
  uint32_t seed = 11u + p.bit_count;
  Pixels px;
  if (p.bit_count <= 8)
    for (uint32_t i = 0; i < (1u << p.bit_count); ++i) px.table.push_back(next(seed) & 0xFFFFFF);
  const uint32_t mask = p.bit_count >= 32 ? 0xFFFFFFFFu : (1u << p.bit_count) - 1;
  px.rows.assign(kHeight, std::vector<uint32_t>(kWidth));
  for (auto& row : px.rows)
    for (auto& v : row) v = next(seed) & mask;
  return px;
}

inline std::vector<uint8_t> file_of(const Picture& p) {
  const Pixels px = pixels_of(p);
  BmpFile f;
  f.width = kWidth;
  f.height = p.top_down ? -kHeight : kHeight;
  f.bit_count = p.bit_count;
  f.x_resolution = 2835;
  f.y_resolution = 3780;
  f.colours = px.table;
  if (p.masks) {
    f.compression = 3;
    f.masks = {0xF800, 0x07E0, 0x001F};
  }
  if (p.rle) {
    f.compression = 1;
    f.pixels = batch_pictures::encode_rle(px.rows, false);
    f.image_size = static_cast<uint32_t>(f.pixels.size());
  } else {
    f.pixels = pack_rows(p.bit_count, kWidth, px.rows);
  }
  return build_bmp(f);
}

// ---- The model: what a conversion writes, from the pictures' own values ----

inline uint32_t luma(uint32_t c) { return (299 * (c >> 16 & 255) + 587 * (c >> 8 & 255) + 114 * (c & 255)) / 1000; }

inline uint32_t colour_of(const Picture& p, const Pixels& px, uint32_t v) {
  switch (p.bit_count) {
    case 1: return (v == 1) == (luma(px.table[0]) < luma(px.table[1])) ? 0xFFFFFF : 0;  // 1-bit reads black and white
    case 16:
      if (p.masks) return (v >> 11 & 31) << 19 | (v >> 5 & 63) << 10 | (v & 31) << 3;
      return (v >> 10 & 31) << 19 | (v >> 5 & 31) << 11 | (v & 31) << 3;
    case 24: return v;
    case 32: return v & 0xFFFFFF;
    default: return px.table[v];
  }
}

inline void put(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline std::vector<uint8_t> model_output(const Picture& p, const Conversion& c) {
  const Pixels px = pixels_of(p);
  const uint32_t stride = (kWidth + 31) / 32 * 4;
  std::vector<uint8_t> out = {'B', 'M'};
  put(out, 14 + 40 + 8 + stride * kHeight, 4);
  put(out, 0, 4);
  put(out, 62, 4);
  put(out, 40, 4);
  put(out, kWidth, 4);
  put(out, static_cast<uint32_t>(p.top_down ? -kHeight : kHeight), 4);  // rows stay in the picture's order
  put(out, 1, 2);
  put(out, 1, 2);
  put(out, 0, 4);
  put(out, stride * kHeight, 4);
  put(out, 2835, 4);
  put(out, 3780, 4);
  put(out, 2, 4);
  put(out, 2, 4);
  put(out, 0, 4);
  put(out, 0xFFFFFF, 4);
  uint32_t state = 1;  // a fresh process's generator, one draw per pixel in storage order
  for (const auto& row : px.rows) {
    std::vector<uint8_t> bytes(stride, 0);
    for (int32_t x = 0; x < kWidth; ++x) {
      int threshold = c.density;
      if (c.mode != 0) {
        state = state * 22695477u + 1u;
        const int d = static_cast<int>(state >> 16 & 0x7FFF);
        threshold += c.mode == 1 ? d % 128 - 64 : d % 255 - 127;
      }
      const bool white = (static_cast<int>(luma(colour_of(p, px, row[x]))) > threshold) != c.invert;
      if (white) bytes[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

inline uint64_t checksum(const std::vector<uint8_t>& bytes) {
  uint64_t h = 14695981039346656037ull;  // FNV-1a
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

// The pinned checksums, picture by picture, in the order of kConversions.
inline const uint64_t kChecksums[][4] = {
    {0x558003096a2fa88cull, 0x495a1d54c782cbabull, 0x558003096a2fa88cull, 0x66ba2ff6f6a6a25eull},  // 1-bit
    {0x9398384f327eefa2ull, 0x570e018085f4b28dull, 0xa243cdf54d87bc80ull, 0xbd7abb178618c989ull},  // 4-bit
    {0x4a6d2970044e53dull, 0x8d2366b544a46565ull, 0x40146b0675b42673ull, 0x8a5ac12cc0bcb322ull},  // 8-bit
    {0x4a6d2970044e53dull, 0x8d2366b544a46565ull, 0x40146b0675b42673ull, 0x8a5ac12cc0bcb322ull},  // 8-bit RLE8
    {0x83e7a6143764527bull, 0xcdac8eb30edb6d51ull, 0x815de2f5bd9e1ebbull, 0xefbf1b5b1b23a2e4ull},  // 16-bit 5-5-5
    {0x4e3f075faa2e5a3bull, 0x9d0a990dbc84fe5full, 0x61f25d2f12728e99ull, 0x89d32eac433dd0edull},  // 16-bit 5-6-5
    {0x12e857dcdb838a41ull, 0x992659a7c9a73b39ull, 0x182392824e125d5cull, 0x2fa6db3095b98750ull},  // 24-bit
    {0x244ba1656e143da8ull, 0x1dceec5a73790930ull, 0xd373495efe8220d5ull, 0x3bd77d3bf4ee879ull},  // 24-bit top-down
    {0x33decd55aa6f6014ull, 0x9132727ad9fdb32full, 0xf4bce069bd7028b6ull, 0xf5834683f828d1bdull},  // 32-bit
};

}  // namespace golden

#endif

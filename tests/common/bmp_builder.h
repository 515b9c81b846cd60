// Builds BMP files in memory for the tests: file header, a 12-, 40- or 108-byte
// info header, masks, colour table and rows, with every field under the test's control.
#ifndef QVX_TESTS_BMP_BUILDER_H
#define QVX_TESTS_BMP_BUILDER_H

#include <cstdint>
#include <cstring>
#include <ostream>
#include <vector>

#include "image/bmp_reader.h"
#include "image/le_bytes.h"

struct BmpFile {
  char signature[2] = {'B', 'M'};
  uint32_t header_size = 40;
  int32_t width = 1;
  int32_t height = 1;
  uint16_t planes = 1;
  uint16_t bit_count = 24;
  uint32_t compression = 0;
  uint32_t image_size = 0;
  int32_t x_resolution = 0;
  int32_t y_resolution = 0;
  uint32_t colours_used = 0;
  uint32_t colours_important = 0;
  // Red, green, blue. With a 40-byte header they follow it; a 108-byte header
  // holds them in its own mask fields.
  std::vector<uint32_t> masks;
  // 0xRRGGBB entries; three bytes each behind a 12-byte header.
  std::vector<uint32_t> colours;
  std::vector<uint8_t> gap;  // bytes between the colour table and the pixels
  std::vector<uint8_t> pixels;
  bool zero_pixel_offset = false;  // write 0 as the pixel-data offset
};

inline void append_u16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void append_u32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline std::vector<uint8_t> build_bmp(const BmpFile& f) {
  std::vector<uint8_t> out;
  out.push_back(static_cast<uint8_t>(f.signature[0]));
  out.push_back(static_cast<uint8_t>(f.signature[1]));
  append_u32(out, 0);  // file size, patched below
  append_u32(out, 0);
  append_u32(out, 0);  // pixel-data offset, patched below
  append_u32(out, f.header_size);
  if (f.header_size == 12) {
    append_u16(out, static_cast<uint16_t>(f.width));
    append_u16(out, static_cast<uint16_t>(f.height));
    append_u16(out, f.planes);
    append_u16(out, f.bit_count);
  } else {
    append_u32(out, static_cast<uint32_t>(f.width));
    append_u32(out, static_cast<uint32_t>(f.height));
    append_u16(out, f.planes);
    append_u16(out, f.bit_count);
    append_u32(out, f.compression);
    append_u32(out, f.image_size);
    append_u32(out, static_cast<uint32_t>(f.x_resolution));
    append_u32(out, static_cast<uint32_t>(f.y_resolution));
    append_u32(out, f.colours_used);
    append_u32(out, f.colours_important);
    if (f.header_size == 108) {
      for (size_t i = 0; i < 3; ++i) append_u32(out, i < f.masks.size() ? f.masks[i] : 0);
      append_u32(out, 0x11223344);  // alpha mask: must not be taken for a colour
      while (out.size() < 14 + 108) out.push_back(0xEE);
    } else {
      for (uint32_t m : f.masks) append_u32(out, m);
    }
  }
  for (uint32_t c : f.colours) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
    out.push_back(static_cast<uint8_t>(c >> 16));
    if (f.header_size != 12) out.push_back(0xA5);  // reserved byte, ignored by the reader's users
  }
  out.insert(out.end(), f.gap.begin(), f.gap.end());
  const uint32_t pixel_offset = f.zero_pixel_offset ? 0 : static_cast<uint32_t>(out.size());
  out.insert(out.end(), f.pixels.begin(), f.pixels.end());
  put_u32(out.data() + 2, static_cast<uint32_t>(out.size()));
  put_u32(out.data() + 10, pixel_offset);
  return out;
}

// Packs one value per pixel (a colour index up to 8 bits, the 16-bit word, 0xRRGGBB
// at 24 bits, the 32-bit value) into rows padded to 4 bytes, storage row 0 first.
inline std::vector<uint8_t> pack_rows(uint16_t bit_count, int32_t width,
                                      const std::vector<std::vector<uint32_t>>& rows) {
  const size_t stride = ((static_cast<size_t>(width) * bit_count + 31) / 32) * 4;
  std::vector<uint8_t> out(stride * rows.size(), 0);
  for (size_t r = 0; r < rows.size(); ++r) {
    uint8_t* line = out.data() + r * stride;
    for (size_t x = 0; x < rows[r].size(); ++x) {
      const uint32_t v = rows[r][x];
      if (bit_count < 8) {
        const size_t bit = x * bit_count;
        line[bit / 8] |= static_cast<uint8_t>((v & ((1u << bit_count) - 1)) << (8 - bit_count - bit % 8));
      } else {
        for (int i = 0; i < bit_count / 8; ++i) line[x * (bit_count / 8) + i] = static_cast<uint8_t>(v >> (8 * i));
      }
    }
  }
  return out;
}

// A file read into a store, as the program holds it.
struct Loaded {
  ReadCode code = ReadCode::kCantOpen;  // until read
  std::vector<uint8_t> store;
  PictureDescription picture;
  const char* detail = nullptr;  // the failure's cause
  const uint8_t* data() const { return store.data(); }
};

// Reader outcomes print as their numbers in failures.
inline void PrintTo(ReadCode code, std::ostream* os) { *os << static_cast<int>(code); }

inline Loaded load_bmp(const std::vector<uint8_t>& file, uint32_t max_store = 64u << 20) {
  Loaded l;
  l.code = read_bmp_from_memory(file.data(), file.size(), l.store, l.picture, max_store, &l.detail);
  return l;
}

inline Loaded load_bmp(const BmpFile& f) { return load_bmp(build_bmp(f)); }

#endif

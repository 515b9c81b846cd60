// The pictures of the batch test: every depth and header kind, two compressions,
// 37 x 23 pixels of random values. Shared by the Windows batch test and the native
// command's comparison with the Windows program.
#ifndef QVX_TESTS_BATCH_PICTURES_H
#define QVX_TESTS_BATCH_PICTURES_H

#include <cstdint>
#include <vector>

#include "bmp_builder.h"
#include "image/rle_decoder.h"
#include "mono/bmp_writer.h"
#include "mono/conversion.h"
#include "mono/random_source.h"
#include "mono/result_bitmap.h"

namespace batch_pictures {

inline constexpr int32_t kWidth = 37, kHeight = 23;

inline uint32_t next_value(uint32_t& seed) {
  seed = seed * 1103515245u + 12345u;
  return seed >> 8;
}

struct Picture {
  const char* name;
  uint16_t bit_count;
  uint32_t header_size;
  bool bit_fields;
  bool top_down;
  uint32_t compression;  // 0, 1 (RLE8) or 2 (RLE4)
};

// Pixel values, one per pixel, storage row 0 first.
inline std::vector<std::vector<uint32_t>> random_rows(const Picture& p, uint32_t seed) {
  std::vector<std::vector<uint32_t>> rows(kHeight, std::vector<uint32_t>(kWidth));
  const uint32_t mask = p.bit_count >= 32 ? 0xFFFFFFFFu : (1u << p.bit_count) - 1;
  for (auto& row : rows)
    for (auto& v : row) v = next_value(seed) & mask;
  return rows;
}

// ProgramRun-length rows: one encoded run per pixel, an end of line per row, end of bitmap.
inline std::vector<uint8_t> encode_rle(const std::vector<std::vector<uint32_t>>& rows, bool four_bit) {
  std::vector<uint8_t> out;
  for (const auto& row : rows) {
    for (uint32_t v : row) {
      out.push_back(1);
      out.push_back(static_cast<uint8_t>(four_bit ? (v << 4) | v : v));
    }
    out.push_back(0);
    out.push_back(0);
  }
  out.push_back(0);
  out.push_back(1);
  return out;
}

inline BmpFile make_file(const Picture& p, const std::vector<std::vector<uint32_t>>& rows, bool compressed) {
  BmpFile f;
  f.header_size = p.header_size;
  f.width = kWidth;
  f.height = p.top_down ? -kHeight : kHeight;
  f.bit_count = p.bit_count;
  f.x_resolution = p.header_size == 12 ? 0 : 2835;
  f.y_resolution = p.header_size == 12 ? 0 : 3780;
  uint32_t seed = 7;
  if (p.bit_count <= 8) {
    for (uint32_t i = 0; i < (1u << p.bit_count); ++i) f.colours.push_back(next_value(seed) & 0xFFFFFF);
  }
  if (p.bit_fields) {
    f.compression = 3;
    f.masks = p.bit_count == 16 ? std::vector<uint32_t>{0xF800, 0x07E0, 0x001F}
                                : std::vector<uint32_t>{0x3FF00000, 0x000FFC00, 0x000003FF};
  }
  if (compressed) {
    f.compression = p.compression;
    f.pixels = encode_rle(rows, p.compression == 2);
    f.image_size = static_cast<uint32_t>(f.pixels.size());
  } else {
    f.pixels = pack_rows(p.bit_count, kWidth, rows);
  }
  return f;
}

inline const Picture kPictures[] = {
    {"1-bit", 1, 40, false, false, 0},      {"2-bit", 2, 40, false, false, 0},
    {"4-bit", 4, 40, false, false, 0},      {"8-bit", 8, 40, false, false, 0},
    {"16-bit", 16, 40, false, false, 0},    {"16-bit masks", 16, 40, true, false, 0},
    {"24-bit", 24, 40, false, false, 0},    {"32-bit", 32, 40, false, false, 0},
    {"32-bit masks", 32, 40, true, false, 0}, {"8-bit core", 8, 12, false, false, 0},
    {"24-bit core", 24, 12, false, false, 0}, {"8-bit v4", 8, 108, false, false, 0},
    {"16-bit v4 masks", 16, 108, true, false, 0}, {"24-bit top-down", 24, 40, false, true, 0},
    {"8-bit RLE8", 8, 40, false, false, 1}, {"4-bit RLE4", 4, 40, false, false, 2},
};

// The 1-bit BMP file a batch run writes for a picture file: the conversion rules
// applied here with a fresh generator, as every new process starts it at 1. RLE
// rows go through the core's own decoder.
inline std::vector<uint8_t> expected_output(const std::vector<uint8_t>& file, int density, int mode, bool invert) {
  Loaded loaded = load_bmp(file, 1u << 30);
  if (loaded.code != ReadCode::kOk) return {};
  std::vector<uint32_t> decoded;
  if (is_rle_picture(loaded.data())) {
    decoded = decode_rle_picture(loaded.data(), loaded.picture, loaded.data() + loaded.picture.offset_to_pixels,
                                 static_cast<uint32_t>(loaded.store.size() - loaded.picture.offset_to_pixels));
  }
  const uint32_t w = static_cast<uint32_t>(loaded.picture.width), h = static_cast<uint32_t>(loaded.picture.height);
  std::vector<uint8_t> result(result_block_size(w, h));
  prepare_result(loaded.data(), w, h, result.data(), static_cast<uint32_t>(result.size()));
  RandomSource fresh;
  convert_picture(ConversionSource{loaded.data(), &loaded.picture, decoded.empty() ? nullptr : decoded.data()},
                  result.data(), density, mode, invert, fresh, nullptr, nullptr);
  std::vector<uint8_t> out(kFileHeaderBytes);
  build_file_header(result.data(), out.data());
  out.insert(out.end(), result.begin(), result.begin() + result_bytes_to_write(result.data()));
  return out;
}

}  // namespace batch_pictures

#endif

// The command's outputs read back as one 0/1 value per pixel (1 white), top row
// first: BMP and PBM by hand, PNG and TIFF through libvips.
#ifndef QVX_TESTS_RESULT_PIXELS_H
#define QVX_TESTS_RESULT_PIXELS_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "image/le_bytes.h"
#include "mono/result_bitmap.h"
#ifdef QVX_CLI_VIPS
#include <vips/vips.h>
#endif

// The BMP result as one 0/1 value per pixel, top row first.
inline std::vector<int> bmp_pixels(const std::vector<uint8_t>& file) {
  const int32_t w = get_i32(file.data() + 18), h = get_i32(file.data() + 22);
  const int32_t rows = h < 0 ? -h : h;
  const size_t stride = result_stride(static_cast<uint32_t>(w));
  std::vector<int> out;
  for (int32_t top = 0; top < rows; ++top) {
    const int32_t s = h < 0 ? top : rows - 1 - top;
    const uint8_t* line = file.data() + 62 + static_cast<size_t>(s) * stride;
    for (int32_t x = 0; x < w; ++x) out.push_back((line[x >> 3] >> (7 - (x & 7))) & 1);
  }
  return out;
}

inline std::vector<int> pbm_pixels(const std::vector<uint8_t>& file) {
  std::string head(file.begin(), file.begin() + std::min<size_t>(file.size(), 40));
  int w = 0, h = 0, used = 0;
  // One whitespace byte ends the header: a "\n" in the format would skip raster bytes too.
  if (std::sscanf(head.c_str(), "P4\n%d %d%n", &w, &h, &used) != 2 || file[used] != '\n') return {};
  ++used;
  std::vector<int> out;
  const size_t stride = (static_cast<size_t>(w) + 7) / 8;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.push_back(!((file[used + y * stride + (x >> 3)] >> (7 - (x & 7))) & 1));
  return out;
}

#ifdef QVX_CLI_VIPS
// Reads a picture back with libvips as one 0/1 value per pixel (1 white), top row first.
inline std::vector<int> vips_pixels(const std::string& path, double& xres) {
  std::vector<int> out;
  VipsImage* image = vips_image_new_from_file(path.c_str(), nullptr);
  if (!image) return out;
  xres = vips_image_get_xres(image);
  VipsImage* memory = nullptr;
  if (vips_cast(image, &memory, VIPS_FORMAT_UCHAR, nullptr) == 0) {
    size_t size = 0;
    auto* p = static_cast<const uint8_t*>(vips_image_write_to_memory(memory, &size));
    const int bands = vips_image_get_bands(memory);
    for (size_t i = 0; i < size; i += static_cast<size_t>(bands)) out.push_back(p[i] != 0);
    g_free(const_cast<uint8_t*>(p));
    g_object_unref(memory);
  }
  g_object_unref(image);
  return out;
}
#endif

#endif

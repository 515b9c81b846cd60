#include "image/decoded_rows.h"

#include <cstring>

#include "image/le_bytes.h"
#include "image/picture.h"

namespace {

// A straight-alpha component laid over white, rounded as the plug-in rounds it.
inline uint32_t over_white(uint32_t c, uint32_t a) { return (c * a + 255 * (255 - a) + 127) / 255; }

}  // namespace

void colours_of_samples(const uint8_t* p, int32_t width, int bands, uint32_t* out) {
  for (int32_t x = 0; x < width; ++x, p += bands) {
    uint32_t r, g, b;
    if (bands <= 2) {
      r = g = b = p[0];
    } else {
      r = p[0];
      g = p[1];
      b = p[2];
    }
    if (bands == 2 || bands == 4) {
      const uint32_t a = p[bands - 1];
      if (a != 255) {
        r = over_white(r, a);
        g = over_white(g, a);
        b = over_white(b, a);
      }
    }
    out[x] = (r << 16) | (g << 8) | b;
  }
}

void decoded_header(int32_t width, int32_t height, int32_t x_resolution, int32_t y_resolution, uint8_t* header) {
  std::memset(header, 0, kStoreHeaderSize);
  put_u32(header + kHeaderSizeField, 40);
  put_u32(header + kWidthField, static_cast<uint32_t>(width));
  put_u32(header + kHeightField, static_cast<uint32_t>(height));
  put_u16(header + kPlanesField, 1);
  put_u16(header + kBitCountField, 24);
  put_u32(header + kXResolutionField, static_cast<uint32_t>(x_resolution));
  put_u32(header + kYResolutionField, static_cast<uint32_t>(y_resolution));
}

#include "image/file_resolution.h"

#include <cstring>

namespace {

uint32_t be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

uint32_t le32(const uint8_t* p) {
  return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

FileResolution png_resolution(const uint8_t* b, size_t n) {
  FileResolution r;
  size_t at = 8;
  while (at + 8 <= n) {
    const uint32_t length = be32(b + at);
    if (std::memcmp(b + at + 4, "pHYs", 4) == 0) {
      if (length >= 9 && at + 17 <= n && b[at + 16] == 1) {  // unit: metre
        r.recorded = r.exact = true;
        r.x = static_cast<int32_t>(be32(b + at + 8));
        r.y = static_cast<int32_t>(be32(b + at + 12));
      }
      return r;
    }
    if (std::memcmp(b + at + 4, "IDAT", 4) == 0 || length > n - at - 8) return r;
    at += 12 + static_cast<size_t>(length);
  }
  return r;
}

bool jpeg_has_resolution(const uint8_t* b, size_t n) {
  // The JFIF segment, when present, comes first; its unit 1 is inches, 2 centimetres.
  return n >= 18 && b[2] == 0xFF && b[3] == 0xE0 && std::memcmp(b + 6, "JFIF\0", 5) == 0 && (b[13] == 1 || b[13] == 2);
}

bool tiff_has_resolution(const uint8_t* b, size_t n) {
  const bool little = b[0] == 'I';
  auto u16 = [&](size_t at) { return little ? b[at] | (b[at + 1] << 8) : (b[at] << 8) | b[at + 1]; };
  const uint32_t first = little ? le32(b + 4) : be32(b + 4);
  if (first > n || n - first < 2) return false;
  const size_t count = static_cast<size_t>(u16(first));
  for (size_t i = 0; i < count && first + 2 + 12 * (i + 1) <= n; ++i) {
    if (u16(first + 2 + 12 * i) == 282) return true;  // XResolution
  }
  return false;
}

}  // namespace

FileResolution file_resolution(const uint8_t* b, size_t n) {
  FileResolution r;
  if (n >= 8 && b[0] == 0x89 && b[1] == 'P') return png_resolution(b, n);
  if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8) r.recorded = jpeg_has_resolution(b, n);
  if (n >= 8 && (b[0] == 'I' || b[0] == 'M') && b[1] == b[0] && b[2] != 0xBC) r.recorded = tiff_has_resolution(b, n);
  return r;
}

int32_t pixels_per_metre(double dpi) {
  if (!(dpi > 0.0) || dpi > 1e6) return 0;
  return static_cast<int32_t>(100.0 * dpi / 2.54 + 1e-6);
}

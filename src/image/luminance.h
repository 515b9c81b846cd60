// The luminance rule every threshold test uses: (299 R + 587 G + 114 B) / 1000,
// truncated. The vector kernels build their multipliers from these weights.
#ifndef QVX_LUMINANCE_H
#define QVX_LUMINANCE_H

#include <cstdint>

constexpr uint32_t kLumaRedWeight = 299;
constexpr uint32_t kLumaGreenWeight = 587;
constexpr uint32_t kLumaBlueWeight = 114;
constexpr uint32_t kLumaWeightSum = 1000;

// Returns the luminance 0..255 of one colour's red, green and blue 0..255.
inline uint8_t luminance_of_rgb(uint32_t r, uint32_t g, uint32_t b) {
  return static_cast<uint8_t>((kLumaRedWeight * r + kLumaGreenWeight * g + kLumaBlueWeight * b) / kLumaWeightSum);
}

// Returns the luminance 0..255 of a 0xRRGGBB colour.
inline int luminance(uint32_t colour) {
  return luminance_of_rgb((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

#endif

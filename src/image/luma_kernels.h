// The inner loops that turn runs of stored pixels into luminance bytes, one set
// per vector level. Each gives exactly luminance() of the colour the pixel fetch
// would return.
#ifndef QVX_LUMA_KERNELS_H
#define QVX_LUMA_KERNELS_H

#include <cstdint>

#include "image/simd_level.h"

// How a bit-fields pixel v becomes 0xRRGGBB: for blue, green and red,
// ((v & mask) << left >> right) & cut, the three added. Counts stay below 32.
struct FieldShifts {
  uint32_t mask[3];
  uint32_t left[3];
  uint32_t right[3];
  uint32_t cut[3];
};

// Returns the 0xRRGGBB colour of a bit-fields pixel.
inline uint32_t field_colour(uint32_t v, const FieldShifts& f) {
  uint32_t c = 0;
  for (int k = 0; k < 3; ++k) c += (((v & f.mask[k]) << f.left[k]) >> f.right[k]) & f.cut[k];
  return c;
}

struct LumaKernels {
  // Blue, green, red bytes per pixel.
  void (*bgr24)(const uint8_t* line, int32_t count, uint8_t* out);
  // Blue, green, red and an ignored byte per pixel (also 0xRRGGBB values in memory).
  void (*bgrx32)(const uint8_t* line, int32_t count, uint8_t* out);
  // 16-bit and 32-bit little-endian words through their fields.
  void (*fields16)(const uint8_t* line, int32_t count, const FieldShifts& fields, uint8_t* out);
  void (*fields32)(const uint8_t* line, int32_t count, const FieldShifts& fields, uint8_t* out);
  // One index byte per pixel into a 256-entry luminance table with 3 readable bytes after it.
  void (*indexed8)(const uint8_t* line, int32_t count, const uint8_t* table, uint8_t* out);
};

// Returns the kernels of a level (the scalar ones for a level this build lacks).
const LumaKernels& luma_kernels(SimdLevel level);

// Returns the kernels of the active level.
inline const LumaKernels& active_luma_kernels() { return luma_kernels(active_simd_level()); }

#endif

// The inner loops of the threshold test, one set per vector level: luminance bytes
// against a fixed or a drawn threshold into result bytes, and the photo modes'
// threshold draws, which give exactly the values and the final generator state of
// draws made one by one.
#ifndef QVX_THRESHOLD_KERNELS_H
#define QVX_THRESHOLD_KERNELS_H

#include <cstdint>

#include "image/simd_level.h"
#include "mono/random_source.h"

struct ThresholdKernels {
  // out[i] = the bits (luma[8i + k] > base) with k = 0 in bit 7, xor flip, for i < bytes.
  void (*fixed)(const uint8_t* luma, int32_t bytes, int base, uint8_t flip, uint8_t* out);
  // The same with one threshold per pixel.
  void (*varying)(const uint8_t* luma, const int16_t* thresholds, int32_t bytes, uint8_t flip, uint8_t* out);
  // out[0 .. count-1] = draw_threshold(mode, base, random) made count times, mode 1 or 2,
  // base within -1000..1000.
  void (*draw)(RandomSource& random, int mode, int base, int32_t count, int16_t* out);
};

// Returns the kernels of a level (the scalar ones for a level this build lacks).
const ThresholdKernels& threshold_kernels(SimdLevel level);

inline const ThresholdKernels& active_threshold_kernels() { return threshold_kernels(active_simd_level()); }

#endif

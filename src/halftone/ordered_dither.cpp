// Ordered dither, the scalar reference and the choice of vector path.
#include <cstring>

#include "halftone/halftone_rows.h"
#include "halftone/ordered_dither_x86.h"

void ordered_row_scalar(const uint8_t* luma, int32_t width, int offset, const uint8_t* thresholds, uint8_t flip,
                        uint8_t* bits) {
  std::memset(bits, 0, (static_cast<size_t>(width) + 7) / 8);
  for (int32_t x = 0; x < width; ++x) {
    int v = luma[x] + offset;
    v = v < 0 ? 0 : v > 255 ? 255 : v;
    if (v > thresholds[x & 63]) bits[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }
  // Invert flips the pixels of the row, never the bits past its width.
  for (int32_t x = 0; x < width; x += 8) {
    const int rest = width - x;
    bits[x >> 3] ^= static_cast<uint8_t>(rest >= 8 ? flip : flip & (0xFF00 >> rest));
  }
}

namespace {
const OrderedKernels kScalar = {ordered_row_scalar};
}

const OrderedKernels& ordered_kernels(SimdLevel level) {
#if QVX_X86
  if (level == SimdLevel::kAvx2) return avx2_ordered_kernels();
  if (level == SimdLevel::kSse2) return sse2_ordered_kernels();
#else
  (void)level;
#endif
  return kScalar;
}

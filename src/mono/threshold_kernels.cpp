#include "mono/threshold_kernels.h"

#include "mono/conversion_mode.h"
#include "mono/threshold_kernels_x86.h"

namespace {

void fixed_scalar(const uint8_t* luma, int32_t bytes, int base, uint8_t flip, uint8_t* out) {
  for (int32_t i = 0; i < bytes; ++i, luma += 8) {
    unsigned b = 0;
    for (int k = 0; k < 8; ++k) b |= static_cast<unsigned>(luma[k] > base) << (7 - k);
    out[i] = static_cast<uint8_t>(b ^ flip);
  }
}

void varying_scalar(const uint8_t* luma, const int16_t* thresholds, int32_t bytes, uint8_t flip, uint8_t* out) {
  for (int32_t i = 0; i < bytes; ++i, luma += 8, thresholds += 8) {
    unsigned b = 0;
    for (int k = 0; k < 8; ++k) b |= static_cast<unsigned>(luma[k] > thresholds[k]) << (7 - k);
    out[i] = static_cast<uint8_t>(b ^ flip);
  }
}

const ThresholdKernels kScalar = {fixed_scalar, varying_scalar, draw_thresholds_scalar};

}  // namespace

void draw_thresholds_scalar(RandomSource& random, int mode, int base, int32_t count, int16_t* out) {
  for (int32_t i = 0; i < count; ++i) out[i] = static_cast<int16_t>(draw_threshold(mode, base, random));
}

const ThresholdKernels& scalar_threshold_kernels() { return kScalar; }

const ThresholdKernels& threshold_kernels(SimdLevel level) {
#if QVX_X86
  if (level == SimdLevel::kAvx2) return avx2_threshold_kernels();
  if (level == SimdLevel::kSse2) return sse2_threshold_kernels();
#elif defined(__wasm_simd128__)
  if (level == SimdLevel::kWasm128) return wasm_threshold_kernels();
#else
  (void)level;
#endif
  return kScalar;
}

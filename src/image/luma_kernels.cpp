#include "image/luma_kernels.h"

#include "image/le_bytes.h"
#include "image/luminance.h"
#include "image/luma_kernels_x86.h"

namespace {

void bgr24_scalar(const uint8_t* line, int32_t count, uint8_t* out) {
  for (int32_t x = 0; x < count; ++x, line += 3) out[x] = luminance_of_rgb(line[2], line[1], line[0]);
}

void bgrx32_scalar(const uint8_t* line, int32_t count, uint8_t* out) {
  for (int32_t x = 0; x < count; ++x, line += 4) out[x] = luminance_of_rgb(line[2], line[1], line[0]);
}

void fields16_scalar(const uint8_t* line, int32_t count, const FieldShifts& fields, uint8_t* out) {
  for (int32_t x = 0; x < count; ++x) {
    const uint32_t c = field_colour(get_u16(line + 2 * x), fields);
    out[x] = static_cast<uint8_t>(luminance(c));
  }
}

void fields32_scalar(const uint8_t* line, int32_t count, const FieldShifts& fields, uint8_t* out) {
  for (int32_t x = 0; x < count; ++x) {
    const uint32_t c = field_colour(get_u32(line + 4 * x), fields);
    out[x] = static_cast<uint8_t>(luminance(c));
  }
}

void indexed8_scalar(const uint8_t* line, int32_t count, const uint8_t* table, uint8_t* out) {
  for (int32_t x = 0; x < count; ++x) out[x] = table[line[x]];
}

const LumaKernels kScalar = {bgr24_scalar, bgrx32_scalar, fields16_scalar, fields32_scalar, indexed8_scalar};

}  // namespace

const LumaKernels& scalar_luma_kernels() { return kScalar; }

const LumaKernels& luma_kernels(SimdLevel level) {
#if QVX_X86
  if (level == SimdLevel::kAvx2) return avx2_luma_kernels();
  if (level == SimdLevel::kSse2) return sse2_luma_kernels();
#else
  (void)level;
#endif
  return kScalar;
}

#include "image/luma_kernels.h"

#include "image/le_bytes.h"
#include "image/luma_kernels_x86.h"

namespace {

inline uint8_t luma_of(uint32_t r, uint32_t g, uint32_t b) {
  return static_cast<uint8_t>((299 * r + 587 * g + 114 * b) / 1000);
}

inline uint32_t field_colour(uint32_t v, const FieldShifts& f) {
  uint32_t c = 0;
  for (int k = 0; k < 3; ++k) c += (((v & f.mask[k]) << f.left[k]) >> f.right[k]) & f.cut[k];
  return c;
}

void bgr24_scalar(const uint8_t* line, int32_t count, uint8_t* out) {
  for (int32_t x = 0; x < count; ++x, line += 3) out[x] = luma_of(line[2], line[1], line[0]);
}

void bgrx32_scalar(const uint8_t* line, int32_t count, uint8_t* out) {
  for (int32_t x = 0; x < count; ++x, line += 4) out[x] = luma_of(line[2], line[1], line[0]);
}

void fields16_scalar(const uint8_t* line, int32_t count, const FieldShifts& fields, uint8_t* out) {
  for (int32_t x = 0; x < count; ++x) {
    const uint32_t c = field_colour(get_u16(line + 2 * x), fields);
    out[x] = luma_of((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
  }
}

void fields32_scalar(const uint8_t* line, int32_t count, const FieldShifts& fields, uint8_t* out) {
  for (int32_t x = 0; x < count; ++x) {
    const uint32_t c = field_colour(get_u32(line + 4 * x), fields);
    out[x] = luma_of((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
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

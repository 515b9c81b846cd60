// Error diffusion, the scalar reference: one pixel after the other along the row.
#include <cstring>

#include "halftone/halftone_rows.h"

namespace {

// One row with the kernel known when compiled, so the divisions become multiplications.
template <const DiffusionKernel& K>
void diffuse_row(const int32_t* values, int32_t* const* errors, int32_t width, int direction, int32_t half,
                 int32_t white, bool invert, uint8_t* bits) {
  std::memset(bits, 0, (static_cast<size_t>(width) + 7) / 8);
  int32_t* const here = errors[0];
  int32_t x = direction > 0 ? 0 : width - 1;
  for (int32_t i = 0; i < width; ++i, x += direction) {
    const int32_t w = values[x] + here[x];
    const bool is_white = w > half;
    const int32_t e = is_white ? w - white : w;
    if (is_white != invert) bits[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    int32_t given = 0;
    constexpr int kLast = K.remainder_to_last ? K.count - 1 : K.count;
    for (int k = 0; k < kLast; ++k) {
      const int32_t share = e * K.shares[k].weight / K.divisor;
      errors[K.shares[k].dy][x + direction * K.shares[k].dx] += share;
      given += share;
    }
    if (K.remainder_to_last) errors[K.shares[kLast].dy][x + direction * K.shares[kLast].dx] += e - given;
  }
}

}  // namespace

const DiffusionKernel& diffusion_kernel(HalftoneMethod method) {
  switch (method) {
    case HalftoneMethod::kJarvis: return kJarvisKernel;
    case HalftoneMethod::kStucki: return kStuckiKernel;
    case HalftoneMethod::kBurkes: return kBurkesKernel;
    case HalftoneMethod::kSierra: return kSierraKernel;
    case HalftoneMethod::kSierra2: return kSierra2Kernel;
    case HalftoneMethod::kSierraLite: return kSierraLiteKernel;
    case HalftoneMethod::kAtkinson: return kAtkinsonKernel;
    default: return kFloydSteinbergKernel;
  }
}

void diffuse_row_scalar(const DiffusionKernel& kernel, const int32_t* values, int32_t* const* errors, int32_t width,
                        int direction, int32_t half, int32_t white, bool invert, uint8_t* bits) {
  using Row = void (*)(const int32_t*, int32_t* const*, int32_t, int, int32_t, int32_t, bool, uint8_t*);
  Row row = diffuse_row<kFloydSteinbergKernel>;
  if (&kernel == &kJarvisKernel) row = diffuse_row<kJarvisKernel>;
  if (&kernel == &kStuckiKernel) row = diffuse_row<kStuckiKernel>;
  if (&kernel == &kBurkesKernel) row = diffuse_row<kBurkesKernel>;
  if (&kernel == &kSierraKernel) row = diffuse_row<kSierraKernel>;
  if (&kernel == &kSierra2Kernel) row = diffuse_row<kSierra2Kernel>;
  if (&kernel == &kSierraLiteKernel) row = diffuse_row<kSierraLiteKernel>;
  if (&kernel == &kAtkinsonKernel) row = diffuse_row<kAtkinsonKernel>;
  row(values, errors, width, direction, half, white, invert, bits);
}

// Error diffusion, the scalar reference: one pixel after the other along the row.
#include <cstring>

#include "halftone/halftone_rows.h"

namespace {

// The published kernels; shares listed row by row, left to right.
constexpr DiffusionKernel kFloydSteinberg = {4, 16, true, {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}};
constexpr DiffusionKernel kJarvis = {12,
                                     48,
                                     true,
                                     {{1, 0, 7},
                                      {2, 0, 5},
                                      {-2, 1, 3},
                                      {-1, 1, 5},
                                      {0, 1, 7},
                                      {1, 1, 5},
                                      {2, 1, 3},
                                      {-2, 2, 1},
                                      {-1, 2, 3},
                                      {0, 2, 5},
                                      {1, 2, 3},
                                      {2, 2, 1}}};
constexpr DiffusionKernel kStucki = {12,
                                     42,
                                     true,
                                     {{1, 0, 8},
                                      {2, 0, 4},
                                      {-2, 1, 2},
                                      {-1, 1, 4},
                                      {0, 1, 8},
                                      {1, 1, 4},
                                      {2, 1, 2},
                                      {-2, 2, 1},
                                      {-1, 2, 2},
                                      {0, 2, 4},
                                      {1, 2, 2},
                                      {2, 2, 1}}};
constexpr DiffusionKernel kBurkes = {
    7, 32, true, {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}};
constexpr DiffusionKernel kSierra = {
    10,
    32,
    true,
    {{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5}, {1, 1, 4}, {2, 1, 2}, {-1, 2, 2}, {0, 2, 3}, {1, 2, 2}}};
constexpr DiffusionKernel kSierra2 = {
    7, 16, true, {{1, 0, 4}, {2, 0, 3}, {-2, 1, 1}, {-1, 1, 2}, {0, 1, 3}, {1, 1, 2}, {2, 1, 1}}};
constexpr DiffusionKernel kSierraLite = {3, 4, true, {{1, 0, 2}, {-1, 1, 1}, {0, 1, 1}}};
constexpr DiffusionKernel kAtkinson = {6, 8, false, {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}}};

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
    case HalftoneMethod::kJarvis: return kJarvis;
    case HalftoneMethod::kStucki: return kStucki;
    case HalftoneMethod::kBurkes: return kBurkes;
    case HalftoneMethod::kSierra: return kSierra;
    case HalftoneMethod::kSierra2: return kSierra2;
    case HalftoneMethod::kSierraLite: return kSierraLite;
    case HalftoneMethod::kAtkinson: return kAtkinson;
    default: return kFloydSteinberg;
  }
}

void diffuse_row_scalar(const DiffusionKernel& kernel, const int32_t* values, int32_t* const* errors, int32_t width,
                        int direction, int32_t half, int32_t white, bool invert, uint8_t* bits) {
  using Row = void (*)(const int32_t*, int32_t* const*, int32_t, int, int32_t, int32_t, bool, uint8_t*);
  Row row = diffuse_row<kFloydSteinberg>;
  if (&kernel == &kJarvis) row = diffuse_row<kJarvis>;
  if (&kernel == &kStucki) row = diffuse_row<kStucki>;
  if (&kernel == &kBurkes) row = diffuse_row<kBurkes>;
  if (&kernel == &kSierra) row = diffuse_row<kSierra>;
  if (&kernel == &kSierra2) row = diffuse_row<kSierra2>;
  if (&kernel == &kSierraLite) row = diffuse_row<kSierraLite>;
  if (&kernel == &kAtkinson) row = diffuse_row<kAtkinson>;
  row(values, errors, width, direction, half, white, invert, bits);
}

// Error diffusion to more than two levels or to a palette's colours: the 1-bit rule's
// kernels, shares and remainder (halftone_rows.h), carried in `C` channels a pixel.
#ifndef QVX_INDEX_DIFFUSION_H
#define QVX_INDEX_DIFFUSION_H

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "halftone/halftone_rows.h"

// One row: values and errors hold C channels a pixel, interleaved; the error rows have
// two spare pixels on either side (pixel 0 at offset 2 C) where shares leaving the
// picture fall. choose(w) gets the C values of w = value + carried error, returns the
// index it picks and leaves e = w - the index's value in w. direction is 1 or -1.
template <const DiffusionKernel& K, int C, class Choose>
void diffuse_index_row(const int32_t* values, int32_t* const* errors, int32_t width, int direction,
                       const Choose& choose, uint8_t* indexes) {
  const int32_t* const here = errors[0];
  int32_t x = direction > 0 ? 0 : width - 1;
  constexpr int kLast = K.remainder_to_last ? K.count - 1 : K.count;
  for (int32_t i = 0; i < width; ++i, x += direction) {
    int32_t e[C];
    for (int c = 0; c < C; ++c) e[c] = values[x * C + c] + here[x * C + c];
    indexes[x] = choose(e);
    for (int c = 0; c < C; ++c) {
      int32_t given = 0;
      for (int k = 0; k < kLast; ++k) {
        const int32_t share = e[c] * K.shares[k].weight / K.divisor;
        errors[K.shares[k].dy][(x + direction * K.shares[k].dx) * C + c] += share;
        given += share;
      }
      if (K.remainder_to_last) errors[K.shares[kLast].dy][(x + direction * K.shares[kLast].dx) * C + c] += e[c] - given;
    }
  }
}

// The same for a kernel known only at run time.
template <int C, class Choose>
void diffuse_index_row(const DiffusionKernel& kernel, const int32_t* values, int32_t* const* errors, int32_t width,
                       int direction, const Choose& choose, uint8_t* indexes) {
  if (&kernel == &kJarvisKernel) return diffuse_index_row<kJarvisKernel, C>(values, errors, width, direction, choose, indexes);
  if (&kernel == &kStuckiKernel) return diffuse_index_row<kStuckiKernel, C>(values, errors, width, direction, choose, indexes);
  if (&kernel == &kBurkesKernel) return diffuse_index_row<kBurkesKernel, C>(values, errors, width, direction, choose, indexes);
  if (&kernel == &kSierraKernel) return diffuse_index_row<kSierraKernel, C>(values, errors, width, direction, choose, indexes);
  if (&kernel == &kSierra2Kernel)
    return diffuse_index_row<kSierra2Kernel, C>(values, errors, width, direction, choose, indexes);
  if (&kernel == &kSierraLiteKernel)
    return diffuse_index_row<kSierraLiteKernel, C>(values, errors, width, direction, choose, indexes);
  if (&kernel == &kAtkinsonKernel)
    return diffuse_index_row<kAtkinsonKernel, C>(values, errors, width, direction, choose, indexes);
  diffuse_index_row<kFloydSteinbergKernel, C>(values, errors, width, direction, choose, indexes);
}

// Fills tone[256] with the 1-bit converter's tone (the clamp at the density, then the
// linear-light table when asked); returns its white level (255, or 65535 in linear light).
inline int32_t one_bit_tone(int density, bool linear, uint16_t* tone) {
  HalftoneParams params;
  params.density = density;
  params.linear = linear;
  HalftoneConverter converter;
  start_halftone(HalftoneMethod::kFloydSteinberg, params, 0, converter);
  std::copy(std::begin(converter.tone), std::end(converter.tone), tone);
  return converter.white;
}

#endif

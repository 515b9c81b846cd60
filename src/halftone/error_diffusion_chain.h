// The shares one row of error diffusion gives to the rows below, pixel by pixel as the
// reference gives them: shared by the one-row-at-a-time path and its vector loops.
#ifndef QVX_ERROR_DIFFUSION_CHAIN_H
#define QVX_ERROR_DIFFUSION_CHAIN_H

#include <cstdint>

#include "halftone/halftone_rows.h"

// Share k of e, as the reference gives it: trunc(e * weight / divisor), the last one the rest.
template <const DiffusionKernel& K, int k>
inline int32_t share_of(int32_t e) {
  if constexpr (K.remainder_to_last && k == K.count - 1) {
    int32_t given = 0;
    for (int j = 0; j < K.count - 1; ++j) given += e * K.shares[j].weight / K.divisor;
    return e - given;
  } else {
    return e * K.shares[k].weight / K.divisor;
  }
}

// Everything row dy below receives at pixel x from the row's e (pixel 0 at e[0], four
// zeros either side), shares k.. of the kernel.
template <const DiffusionKernel& K, int D, int kDy, int k = 0>
inline int32_t received(const int32_t* e, int32_t x) {
  if constexpr (k == K.count) {
    return 0;
  } else if constexpr (K.shares[k].dy == kDy) {
    return share_of<K, k>(e[x - D * K.shares[k].dx]) + received<K, D, kDy, k + 1>(e, x);
  } else {
    return received<K, D, kDy, k + 1>(e, x);
  }
}

template <const DiffusionKernel& K>
constexpr bool reaches(int dy) {
  for (int k = 0; k < K.count; ++k)
    if (K.shares[k].dy == dy) return true;
  return false;
}

#if defined(__x86_64__) || defined(__i386__)
// Adds to below1 and below2 (pixels -2 .. width + 1) what they receive from the row's e
// (pixel 0 at e[0], four zeros either side), every |e| below kWideErrorLimit (shares_x86.h).
void give_to_rows_below_avx2(const DiffusionKernel& kernel, int direction, const int32_t* e, int32_t* below1,
                             int32_t* below2, int32_t width);
#endif

#endif

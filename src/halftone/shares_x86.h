// trunc(e * weight / divisor) in eight 32-bit lanes with AVX2, as the scalar reference
// gives it: the sign of e on the quotient of |e| * weight, a shift for powers of two,
// else the high half of a product with ceil(2^32 / divisor), exact for products below
// 2^26 (so for every |e| below kWideErrorLimit with the kernels' weights, 8 at most).
#ifndef QVX_SHARES_X86_H
#define QVX_SHARES_X86_H

#include <cstdint>

#include "halftone/halftone_rows.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

template <int weight, int divisor>
__attribute__((target("avx2"), always_inline)) inline __m256i truncated_share(__m256i e) {
  static_assert(weight <= 8 && divisor <= 64, "products below 2^26 for |e| below kWideErrorLimit");
  const __m256i a = _mm256_abs_epi32(e);
  const __m256i p = weight == 1 ? a : _mm256_mullo_epi32(a, _mm256_set1_epi32(weight));
  __m256i q;
  if constexpr ((divisor & (divisor - 1)) == 0) {
    int shift = 0;
    while ((1 << shift) < divisor) ++shift;
    q = _mm256_srli_epi32(p, shift);
  } else {
    const __m256i m = _mm256_set1_epi32(static_cast<int>(((uint64_t{1} << 32) + divisor - 1) / divisor));
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(p, m), 32);
    const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(p, 32), m);
    q = _mm256_blend_epi32(even, odd, 0xAA);
  }
  return _mm256_sign_epi32(q, e);
}
#endif

#endif

// The lane moves and shares of the AVX2 wavefront bands (error_diffusion_x86.cpp,
// error_diffusion_wide_x86.cpp, grey_levels_x86.cpp, colour_palette_x86.cpp): one row
// a lane, each row `skew` pixels behind the one above it. Inline under the avx2 target,
// so that GCC takes them into the kernels' own avx2 functions.
#ifndef QVX_SHARES_X86_H
#define QVX_SHARES_X86_H

#include <cstdint>

#include "halftone/halftone_rows.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define QVX_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// trunc(e * weight / divisor) in eight 32-bit lanes, as the scalar reference gives it:
// the sign of e on the quotient of |e| * weight, a shift for powers of two, else the
// high half of a product with ceil(2^32 / divisor), exact for products below 2^26 (so
// for every |e| below kWideErrorLimit with the kernels' weights, 8 at most).
template <int weight, int divisor>
QVX_AVX2_INLINE __m256i truncated_share(__m256i e) {
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
// trunc(a * weight / divisor) in sixteen 16-bit lanes for a = |e| within a band's error
// limit: a shift for powers of two, else the high half of a product with
// ceil(2^16 / divisor), exact for products below 2048.
template <int weight, int divisor>
QVX_AVX2_INLINE __m256i share16_of(__m256i a) {
  const __m256i p = weight == 1 ? a : _mm256_mullo_epi16(a, _mm256_set1_epi16(weight));
  if constexpr ((divisor & (divisor - 1)) == 0) {
    int shift = 0;
    while ((1 << shift) < divisor) ++shift;
    return _mm256_srli_epi16(p, shift);
  } else {
    return _mm256_mulhi_epu16(p, _mm256_set1_epi16(static_cast<short>((65536 + divisor - 1) / divisor)));
  }
}

// Lane j takes lane j - n's value, the first n lanes zeros: sixteen 16-bit lanes.
template <int n>
QVX_AVX2_INLINE __m256i lanes_up_epi16(__m256i v) {
  return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, v, 0x08), 16 - 2 * n);
}

// The same on eight 32-bit lanes.
template <int n>
QVX_AVX2_INLINE __m256i lanes_up_epi32(__m256i v) {
  return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, v, 0x08), 16 - 4 * n);
}

// All ones in the lanes whose pixel at step t lies in its row (lane j's pixel is
// t - skew j; inside when 0 <= it < width): sixteen 16-bit lanes.
template <int skew>
QVX_AVX2_INLINE __m256i lanes_inside_epi16(int32_t t, int32_t width) {
  const __m256i behind = _mm256_setr_epi16(0, skew, 2 * skew, 3 * skew, 4 * skew, 5 * skew, 6 * skew, 7 * skew,
                                           8 * skew, 9 * skew, 10 * skew, 11 * skew, 12 * skew, 13 * skew, 14 * skew,
                                           15 * skew);
  const __m256i x = _mm256_sub_epi16(_mm256_set1_epi16(static_cast<short>(t)), behind);
  return _mm256_and_si256(_mm256_cmpgt_epi16(x, _mm256_set1_epi16(-1)),
                          _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(width)), x));
}

// The same on eight 32-bit lanes.
template <int skew>
QVX_AVX2_INLINE __m256i lanes_inside_epi32(int32_t t, int32_t width) {
  const __m256i behind = _mm256_setr_epi32(0, skew, 2 * skew, 3 * skew, 4 * skew, 5 * skew, 6 * skew, 7 * skew);
  const __m256i x = _mm256_sub_epi32(_mm256_set1_epi32(t), behind);
  return _mm256_and_si256(_mm256_cmpgt_epi32(x, _mm256_set1_epi32(-1)),
                          _mm256_cmpgt_epi32(_mm256_set1_epi32(width), x));
}

// Transposes 8 x 8 16-bit values in each 128-bit half (rows 0-7 in the low halves,
// 8-15 in the high ones).
QVX_AVX2_INLINE void transpose8x8x2_epi16(__m256i* v) {
  const __m256i a0 = _mm256_unpacklo_epi16(v[0], v[1]), a1 = _mm256_unpackhi_epi16(v[0], v[1]);
  const __m256i a2 = _mm256_unpacklo_epi16(v[2], v[3]), a3 = _mm256_unpackhi_epi16(v[2], v[3]);
  const __m256i a4 = _mm256_unpacklo_epi16(v[4], v[5]), a5 = _mm256_unpackhi_epi16(v[4], v[5]);
  const __m256i a6 = _mm256_unpacklo_epi16(v[6], v[7]), a7 = _mm256_unpackhi_epi16(v[6], v[7]);
  const __m256i b0 = _mm256_unpacklo_epi32(a0, a2), b1 = _mm256_unpackhi_epi32(a0, a2);
  const __m256i b2 = _mm256_unpacklo_epi32(a1, a3), b3 = _mm256_unpackhi_epi32(a1, a3);
  const __m256i b4 = _mm256_unpacklo_epi32(a4, a6), b5 = _mm256_unpackhi_epi32(a4, a6);
  const __m256i b6 = _mm256_unpacklo_epi32(a5, a7), b7 = _mm256_unpackhi_epi32(a5, a7);
  v[0] = _mm256_unpacklo_epi64(b0, b4);
  v[1] = _mm256_unpackhi_epi64(b0, b4);
  v[2] = _mm256_unpacklo_epi64(b1, b5);
  v[3] = _mm256_unpackhi_epi64(b1, b5);
  v[4] = _mm256_unpacklo_epi64(b2, b6);
  v[5] = _mm256_unpackhi_epi64(b2, b6);
  v[6] = _mm256_unpacklo_epi64(b3, b7);
  v[7] = _mm256_unpackhi_epi64(b3, b7);
}

// Transposes 8 x 8 32-bit values.
QVX_AVX2_INLINE void transpose8x8_epi32(__m256i* v) {
  const __m256i a0 = _mm256_unpacklo_epi32(v[0], v[1]), a1 = _mm256_unpackhi_epi32(v[0], v[1]);
  const __m256i a2 = _mm256_unpacklo_epi32(v[2], v[3]), a3 = _mm256_unpackhi_epi32(v[2], v[3]);
  const __m256i a4 = _mm256_unpacklo_epi32(v[4], v[5]), a5 = _mm256_unpackhi_epi32(v[4], v[5]);
  const __m256i a6 = _mm256_unpacklo_epi32(v[6], v[7]), a7 = _mm256_unpackhi_epi32(v[6], v[7]);
  const __m256i b0 = _mm256_unpacklo_epi64(a0, a2), b1 = _mm256_unpackhi_epi64(a0, a2);
  const __m256i b2 = _mm256_unpacklo_epi64(a1, a3), b3 = _mm256_unpackhi_epi64(a1, a3);
  const __m256i b4 = _mm256_unpacklo_epi64(a4, a6), b5 = _mm256_unpackhi_epi64(a4, a6);
  const __m256i b6 = _mm256_unpacklo_epi64(a5, a7), b7 = _mm256_unpackhi_epi64(a5, a7);
  v[0] = _mm256_permute2x128_si256(b0, b4, 0x20);
  v[1] = _mm256_permute2x128_si256(b1, b5, 0x20);
  v[2] = _mm256_permute2x128_si256(b2, b6, 0x20);
  v[3] = _mm256_permute2x128_si256(b3, b7, 0x20);
  v[4] = _mm256_permute2x128_si256(b0, b4, 0x31);
  v[5] = _mm256_permute2x128_si256(b1, b5, 0x31);
  v[6] = _mm256_permute2x128_si256(b2, b6, 0x31);
  v[7] = _mm256_permute2x128_si256(b3, b7, 0x31);
}
#endif

#endif

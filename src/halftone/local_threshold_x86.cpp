// Local thresholds with AVX2 on 8-bit levels and windows up to kNarrowRadius: 32-bit
// sums (the sums of squares wrap around, but every window's own sum fits), and the
// rules of local_white four pixels at a time in doubles, the same operations in the
// same order.
#include "halftone/halftone_rows.h"
#include "image/luma_kernels_x86.h"

#if QVX_X86
#include <immintrin.h>

#include <cstring>

#define QVX_AVX2 __attribute__((target("avx2")))

QVX_AVX2 void add_to_narrow_columns_avx2(const uint16_t* s, bool add, int32_t width, uint32_t* sums,
                                         uint32_t* squares) {
  int32_t x = 0;
  for (; width - x >= 8; x += 8) {
    const __m256i v = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x)));
    const __m256i q = _mm256_mullo_epi32(v, v);
    __m256i* sp = reinterpret_cast<__m256i*>(sums + x);
    __m256i* qp = reinterpret_cast<__m256i*>(squares + x);
    const __m256i a = _mm256_loadu_si256(sp), b = _mm256_loadu_si256(qp);
    _mm256_storeu_si256(sp, add ? _mm256_add_epi32(a, v) : _mm256_sub_epi32(a, v));
    _mm256_storeu_si256(qp, add ? _mm256_add_epi32(b, q) : _mm256_sub_epi32(b, q));
  }
  for (; x < width; ++x) {
    const uint32_t v = s[x];
    sums[x] = add ? sums[x] + v : sums[x] - v;
    squares[x] = add ? squares[x] + v * v : squares[x] - v * v;
  }
}

namespace {

// Nibble with its bits in the opposite order: pixel 0 of four in bit 3.
constexpr uint8_t kReversed[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};

// The white mask (bit i: pixel i) of four pixels whose counts, sums, squares and
// values are given, by the rule of local_white.
template <HalftoneMethod kMethod>
QVX_AVX2 inline int four_whites(__m128i n, __m128i sum, __m128i squares, __m128i s, double k, double range) {
  const __m128i above = _mm_sub_epi32(_mm_mullo_epi32(n, s), sum);
  const __m256d count = _mm256_cvtepi32_pd(n), total = _mm256_cvtepi32_pd(sum);
  const __m256d spread = _mm256_sub_pd(_mm256_mul_pd(count, _mm256_cvtepi32_pd(squares)), _mm256_mul_pd(total, total));
  const __m256d root = _mm256_sqrt_pd(_mm256_max_pd(spread, _mm256_setzero_pd()));
  if (kMethod == HalftoneMethod::kNiblack) {
    const __m256d right = _mm256_mul_pd(_mm256_set1_pd(k), root);
    return _mm256_movemask_pd(_mm256_cmp_pd(_mm256_cvtepi32_pd(above), right, _CMP_GT_OQ));
  }
  const __m256d scale = _mm256_mul_pd(count, _mm256_set1_pd(range));
  const __m256d left = _mm256_mul_pd(scale, _mm256_cvtepi32_pd(above));
  const __m256d weight = _mm256_mul_pd(_mm256_set1_pd(k), total);
  const __m256d right = _mm256_mul_pd(weight, _mm256_sub_pd(scale, root));
  return _mm256_movemask_pd(_mm256_cmp_pd(left, _mm256_sub_pd(_mm256_setzero_pd(), right), _CMP_GT_OQ));
}

template <HalftoneMethod kMethod>
QVX_AVX2 void narrow_row(const uint16_t* s, const uint32_t* pre_sums, const uint32_t* pre_squares, int32_t rows,
                         int32_t width, int32_t radius, int percent, double k, uint8_t flip, uint8_t* bits) {
  const double range = local_range(255);
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i r = _mm256_set1_epi32(radius), w = _mm256_set1_epi32(width), zero = _mm256_setzero_si256();
  const __m256i band = _mm256_set1_epi32(rows);
  int32_t x = 0;
  for (; width - x >= 8; x += 8) {
    const __m256i xs = _mm256_add_epi32(_mm256_set1_epi32(x), lanes);
    const __m256i hi = _mm256_min_epi32(_mm256_add_epi32(_mm256_add_epi32(xs, r), _mm256_set1_epi32(1)), w);
    const __m256i lo = _mm256_max_epi32(_mm256_sub_epi32(xs, r), zero);
    const __m256i n = _mm256_mullo_epi32(band, _mm256_sub_epi32(hi, lo));
    const __m256i sum = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pre_sums + x + 2 * radius + 1)),
                                         _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pre_sums + x)));
    const __m256i sq = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pre_squares + x + 2 * radius + 1)),
                                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pre_squares + x)));
    const __m256i v = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x)));
    int mask;
    if (kMethod == HalftoneMethod::kBradley) {
      const __m256i left = _mm256_mullo_epi32(_mm256_mullo_epi32(v, n), _mm256_set1_epi32(100));
      const __m256i right = _mm256_mullo_epi32(sum, _mm256_set1_epi32(100 - percent));
      mask = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(left, right)));
    } else {
      const int m0 = four_whites<kMethod>(_mm256_castsi256_si128(n), _mm256_castsi256_si128(sum),
                                          _mm256_castsi256_si128(sq), _mm256_castsi256_si128(v), k, range);
      const int m1 = four_whites<kMethod>(_mm256_extracti128_si256(n, 1), _mm256_extracti128_si256(sum, 1),
                                          _mm256_extracti128_si256(sq, 1), _mm256_extracti128_si256(v, 1), k, range);
      mask = m0 | (m1 << 4);
    }
    bits[x >> 3] = static_cast<uint8_t>(((kReversed[mask & 15] << 4) | kReversed[mask >> 4]) ^ flip);
  }
  if (x == width) return;
  bits[x >> 3] = 0;
  for (; x < width; ++x) {
    const int32_t lo = x - radius < 0 ? 0 : x - radius;
    const int32_t hi = x + radius + 1 > width ? width : x + radius + 1;
    const bool white =
        local_white(kMethod, s[x], int64_t{rows} * (hi - lo), static_cast<int32_t>(pre_sums[x + 2 * radius + 1] - pre_sums[x]),
                    static_cast<int32_t>(pre_squares[x + 2 * radius + 1] - pre_squares[x]), percent, k, range);
    if (white != (flip != 0)) bits[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }
}

}  // namespace

QVX_AVX2 void narrow_local_threshold_row_avx2(HalftoneMethod method, const uint16_t* s, const uint32_t* column_sums,
                                              const uint32_t* column_squares, int32_t rows, int32_t width,
                                              int32_t radius, int percent, double k, bool invert,
                                              uint32_t* pre_sums, uint32_t* pre_squares, uint8_t* bits) {
  // pre[j] = the sum of the columns left of j - radius: none before the row, all of them after it.
  uint32_t sum = 0, squares = 0;
  for (int32_t j = 0; j <= radius; ++j) pre_sums[j] = pre_squares[j] = 0;
  for (int32_t x = 0; x < width; ++x) {
    sum += column_sums[x];
    squares += column_squares[x];
    pre_sums[x + radius + 1] = sum;
    pre_squares[x + radius + 1] = squares;
  }
  for (int32_t j = width + radius + 1; j <= width + 2 * radius + 1; ++j) {
    pre_sums[j] = sum;
    pre_squares[j] = squares;
  }
  const uint8_t flip = invert ? 0xFF : 0;
  switch (method) {
    case HalftoneMethod::kBradley:
      return narrow_row<HalftoneMethod::kBradley>(s, pre_sums, pre_squares, rows, width, radius, percent, k, flip, bits);
    case HalftoneMethod::kSauvola:
      return narrow_row<HalftoneMethod::kSauvola>(s, pre_sums, pre_squares, rows, width, radius, percent, k, flip, bits);
    default:
      return narrow_row<HalftoneMethod::kNiblack>(s, pre_sums, pre_squares, rows, width, radius, percent, k, flip, bits);
  }
}

#endif

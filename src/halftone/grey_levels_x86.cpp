// Floyd-Steinberg to grey levels on 16 rows at once, one row per 16-bit lane of an
// AVX2 vector, each row two pixels behind the one above it (as the 1-bit band does):
// when a lane reaches pixel x, the row above has passed x + 1, so every share it takes
// is final. The level is the count of midpoints q_k + q_k+1 below 2 w (a tie stays
// darker), its value a byte lookup; the shares are the scalar ones exactly.
#include "halftone/grey_levels_x86.h"

#if QVX_X86
#include <immintrin.h>

#define QVX_AVX2 __attribute__((target("avx2")))

namespace {

// Lane j takes lane j - 1's value, lane 0 zero.
QVX_AVX2 inline __m256i lanes_up1(__m256i v) {
  return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, v, 0x08), 14);
}

// Transposes 8 x 8 16-bit values in each 128-bit half.
QVX_AVX2 inline void transpose8x2(__m256i* v) {
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

struct Tables {
  __m256i mids[kMaxLevels - 1];  // q_k + q_k+1
  __m256i values;                // q_k as bytes in both halves
  int gaps;                      // levels - 1
};

// The shares taken 1, 2 and 3 steps on, and the lanes where |e| passed the limit.
struct State {
  __m256i pending1, pending2, pending3, outside;
};

// trunc(e * weight / 16) for |e| within the limit.
template <int weight>
QVX_AVX2 inline __m256i sixteenth(__m256i a, __m256i e) {
  return _mm256_sign_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(a, _mm256_set1_epi16(weight)), 4), e);
}

// One step: every lane takes one pixel; returns the levels. Lanes outside their rows
// (masked) pass no error on.
template <bool kMasked>
QVX_AVX2 inline __m256i step(State& b, const Tables& t, __m256i s, int32_t step_index, int32_t width, __m256i limit,
                             int16_t* last_error) {
  const __m256i w = _mm256_add_epi16(s, b.pending1);
  const __m256i w2 = _mm256_add_epi16(w, w);
  __m256i k = _mm256_setzero_si256();
  for (int j = 0; j < t.gaps; ++j) k = _mm256_sub_epi16(k, _mm256_cmpgt_epi16(w2, t.mids[j]));
  __m256i e = _mm256_sub_epi16(w, _mm256_shuffle_epi8(t.values, k));  // the high byte's index 0 reads q_0 = 0
  if (kMasked) {
    const __m256i lane2 = _mm256_setr_epi16(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m256i x = _mm256_sub_epi16(_mm256_set1_epi16(static_cast<short>(step_index)), lane2);
    e = _mm256_and_si256(e, _mm256_and_si256(_mm256_cmpgt_epi16(x, _mm256_set1_epi16(-1)),
                                             _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(width)), x)));
  }
  const __m256i a = _mm256_abs_epi16(e);
  b.outside = _mm256_or_si256(b.outside, _mm256_cmpgt_epi16(a, limit));
  const __m256i right = sixteenth<7>(a, e), down_left = sixteenth<3>(a, e), down = sixteenth<5>(a, e);
  const __m256i down_right = _mm256_sub_epi16(_mm256_sub_epi16(_mm256_sub_epi16(e, right), down_left), down);
  b.pending1 = _mm256_add_epi16(_mm256_add_epi16(b.pending2, right), lanes_up1(down_left));
  b.pending2 = _mm256_add_epi16(b.pending3, lanes_up1(down));
  b.pending3 = lanes_up1(down_right);
  // The last row's e, for the row after the band (pixel step - 30).
  *last_error = static_cast<int16_t>(_mm256_extract_epi16(e, 15));
  return k;
}

template <bool kMasked>
QVX_AVX2 inline void eight_steps(State& b, const Tables& t, int16_t* const* values, uint8_t* const* indexes,
                                 int16_t* last_errors, int32_t t0, int32_t width, __m256i limit) {
  __m256i v[8];
  for (int j = 0; j < 8; ++j) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values[j] + t0 - 2 * j));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values[j + 8] + t0 - 2 * (j + 8)));
    v[j] = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  }
  transpose8x2(v);
  for (int i = 0; i < 8; ++i) v[i] = step<kMasked>(b, t, v[i], t0 + i, width, limit, last_errors + t0 + i - 30);
  transpose8x2(v);
  for (int j = 0; j < 8; ++j) {
    const __m256i packed = _mm256_packus_epi16(v[j], v[j]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(indexes[j] + t0 - 2 * j), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(indexes[j + 8] + t0 - 2 * (j + 8)),
                     _mm256_extracti128_si256(packed, 1));
  }
}

}  // namespace

QVX_AVX2 bool diffuse_levels_band_fs_avx2(const int32_t* values_of, int levels, int32_t width,
                                          LevelsBandScratch& band) {
  Tables t;
  t.gaps = levels - 1;
  alignas(32) uint8_t bytes[32] = {};
  for (int k = 0; k < levels; ++k) bytes[k] = bytes[16 + k] = static_cast<uint8_t>(values_of[k]);
  t.values = _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
  for (int k = 0; k + 1 < levels; ++k)
    t.mids[k] = _mm256_set1_epi16(static_cast<short>(values_of[k] + values_of[k + 1]));
  const size_t row = static_cast<size_t>(width) + 2 * kBandPad;
  int16_t* values[kDiffusionBandRows];
  uint8_t* indexes[kDiffusionBandRows];
  for (int j = 0; j < kDiffusionBandRows; ++j) {
    values[j] = &band.values[j * row + kBandPad];
    indexes[j] = &band.indexes[j * row + kBandPad];
  }
  int16_t* last_errors = &band.last_errors[kBandPad];
  State b;
  b.pending1 = b.pending2 = b.pending3 = b.outside = _mm256_setzero_si256();
  const __m256i limit = _mm256_set1_epi16(static_cast<short>(band.error_limit));
  // Every lane is inside its row from step 30 to width - 1; the steps run until the
  // last row has its last pixel (step width + 29).
  const int32_t steps = (width + 30 + 7) / 8 * 8;
  for (int32_t t0 = 0; t0 < steps; t0 += 8) {
    if (t0 >= 30 && t0 + 8 <= width) {
      eight_steps<false>(b, t, values, indexes, last_errors, t0, width, limit);
    } else {
      eight_steps<true>(b, t, values, indexes, last_errors, t0, width, limit);
    }
  }
  return _mm256_testz_si256(b.outside, b.outside);
}

#endif

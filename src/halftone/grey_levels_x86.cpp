// Floyd-Steinberg to grey levels on 16 rows at once, one row per 16-bit lane of an
// AVX2 vector, each row two pixels behind the one above it (as the 1-bit band does):
// when a lane reaches pixel x, the row above has passed x + 1, so every share it takes
// is final. The level is the count of midpoints q_k + q_k+1 below 2 w (a tie stays
// darker), its value a byte lookup; the shares are the scalar ones exactly.
#include "halftone/grey_levels_x86.h"

#if QVX_X86
#include <immintrin.h>

#include "halftone/band_setup.h"
#include "halftone/shares_x86.h"

#define QVX_AVX2 __attribute__((target("avx2")))

namespace {

static_assert(kMaxLevels <= kLookupEntries, "the levels fit the band's lookup");

struct Tables {
  __m256i mids[kMaxLevels - 1];  // q_k + q_k+1
  __m256i values;                // q_k as bytes in both halves
  int gaps;                      // levels - 1
};

// The shares taken 1, 2 and 3 steps on, and the lanes where |e| passed the limit.
struct State {
  __m256i pending1, pending2, pending3, outside;
};

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
  if (kMasked) e = _mm256_and_si256(e, lanes_inside_epi16<2>(step_index, width));
  const __m256i a = _mm256_abs_epi16(e);
  b.outside = _mm256_or_si256(b.outside, _mm256_cmpgt_epi16(a, limit));
  // trunc(e * weight / 16): the sign of e on the share of |e|.
  const __m256i right = _mm256_sign_epi16(share16_of<7, 16>(a), e);
  const __m256i down_left = _mm256_sign_epi16(share16_of<3, 16>(a), e);
  const __m256i down = _mm256_sign_epi16(share16_of<5, 16>(a), e);
  const __m256i down_right = _mm256_sub_epi16(_mm256_sub_epi16(_mm256_sub_epi16(e, right), down_left), down);
  b.pending1 = _mm256_add_epi16(_mm256_add_epi16(b.pending2, right), lanes_up_epi16<1>(down_left));
  b.pending2 = _mm256_add_epi16(b.pending3, lanes_up_epi16<1>(down));
  b.pending3 = lanes_up_epi16<1>(down_right);
  // The last row's e, for the row after the band (pixel step - 30).
  *last_error = static_cast<int16_t>(_mm256_extract_epi16(e, 15));
  return k;
}

template <bool kMasked>
QVX_AVX2 inline void eight_steps(State& b, const Tables& t, const LevelsBandRows& r, int32_t t0, int32_t width,
                                 __m256i limit) {
  __m256i v[8];
  for (int j = 0; j < 8; ++j) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r.values[j] + t0 - 2 * j));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r.values[j + 8] + t0 - 2 * (j + 8)));
    v[j] = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  }
  transpose8x8x2_epi16(v);
  for (int i = 0; i < 8; ++i) v[i] = step<kMasked>(b, t, v[i], t0 + i, width, limit, r.last_errors + t0 + i - 30);
  transpose8x8x2_epi16(v);
  for (int j = 0; j < 8; ++j) {
    const __m256i packed = _mm256_packus_epi16(v[j], v[j]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(r.indexes[j] + t0 - 2 * j), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(r.indexes[j + 8] + t0 - 2 * (j + 8)),
                     _mm256_extracti128_si256(packed, 1));
  }
}

}  // namespace

QVX_AVX2 bool diffuse_levels_band_fs_avx2(const int32_t* values_of, int levels, int32_t width,
                                          LevelsBandScratch& band) {
  const LevelSteps steps_of = level_steps(values_of, levels);
  Tables t;
  t.gaps = steps_of.gaps;
  // The byte lookup reads each 128-bit half on its own: the values in both.
  t.values = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(steps_of.values)));
  for (int k = 0; k < t.gaps; ++k) t.mids[k] = _mm256_set1_epi16(steps_of.mids[k]);
  const LevelsBandRows r = levels_band_rows(band, width);
  State b;
  b.pending1 = b.pending2 = b.pending3 = b.outside = _mm256_setzero_si256();
  const __m256i limit = _mm256_set1_epi16(static_cast<short>(band.error_limit));
  // Every lane is inside its row from step 30 to width - 1; the steps run until the
  // last row has its last pixel (step width + 29).
  const int32_t steps = (width + 30 + 7) / 8 * 8;
  for (int32_t t0 = 0; t0 < steps; t0 += 8) {
    if (t0 >= 30 && t0 + 8 <= width) {
      eight_steps<false>(b, t, r, t0, width, limit);
    } else {
      eight_steps<true>(b, t, r, t0, width, limit);
    }
  }
  return _mm256_testz_si256(b.outside, b.outside);
}

#endif

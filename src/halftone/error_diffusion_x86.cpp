// Floyd-Steinberg on a band of 8 (SSE2) or 16 (AVX2) rows at once, one row per 16-bit
// lane, each row two pixels behind the one above it: when a lane reaches pixel x, the
// row above has passed x + 1, so every share the pixel takes is final. Exactly the
// scalar arithmetic (trunc toward zero, the rest of e to the last neighbour). Eight
// steps at a time, the rows' values come in and the whites go out through 8 x 8
// transposes (in each 128-bit half for AVX2: rows 0-7 and 8-15).
#include "halftone/band_setup.h"
#include "halftone/halftone_rows.h"
#include "halftone/shares_x86.h"
#include "image/luma_kernels_x86.h"

#if QVX_X86
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#define QVX_SSE2 __attribute__((target("sse2")))
#define QVX_AVX2 __attribute__((target("avx2")))

namespace {

constexpr int kLanes = 8;

QVX_SSE2 inline void transpose8(__m128i* v) {
  const __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]), a1 = _mm_unpackhi_epi16(v[0], v[1]);
  const __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]), a3 = _mm_unpackhi_epi16(v[2], v[3]);
  const __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]), a5 = _mm_unpackhi_epi16(v[4], v[5]);
  const __m128i a6 = _mm_unpacklo_epi16(v[6], v[7]), a7 = _mm_unpackhi_epi16(v[6], v[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  v[0] = _mm_unpacklo_epi64(b0, b4);
  v[1] = _mm_unpackhi_epi64(b0, b4);
  v[2] = _mm_unpacklo_epi64(b1, b5);
  v[3] = _mm_unpackhi_epi64(b1, b5);
  v[4] = _mm_unpacklo_epi64(b2, b6);
  v[5] = _mm_unpackhi_epi64(b2, b6);
  v[6] = _mm_unpacklo_epi64(b3, b7);
  v[7] = _mm_unpackhi_epi64(b3, b7);
}

// The state carried from step to step: the 7/16 share for each lane's next pixel, the
// shares from the lane above for the next three steps, and the shares from the last
// lane for the row below the band.
struct BandState {
  __m128i carry, pending1, pending2, pending3;
  __m128i last5, last1, before_last1, below;
  __m128i outside;  // lanes where an e fell outside +-limit
};

// One step: every lane takes one pixel. Lanes outside their rows (masked) pass no error on.
template <bool kMasked>
QVX_SSE2 inline __m128i step(BandState& b, __m128i s, int32_t t, int32_t width, __m128i limit) {
  const __m128i w = _mm_add_epi16(_mm_add_epi16(s, b.pending1), b.carry);
  const __m128i is_white = _mm_cmpgt_epi16(w, _mm_set1_epi16(127));
  __m128i e = _mm_sub_epi16(w, _mm_and_si128(is_white, _mm_set1_epi16(255)));
  if (kMasked) {
    const __m128i x = _mm_sub_epi16(_mm_set1_epi16(static_cast<short>(t)), _mm_setr_epi16(0, 2, 4, 6, 8, 10, 12, 14));
    e = _mm_and_si128(e, _mm_and_si128(_mm_cmpgt_epi16(x, _mm_set1_epi16(-1)),
                                       _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<short>(width)), x)));
  }
  b.outside = _mm_or_si128(b.outside, _mm_or_si128(_mm_cmpgt_epi16(e, limit),
                                                   _mm_cmpgt_epi16(_mm_sub_epi16(_mm_setzero_si128(), limit), e)));
  // trunc(e * k / 16): 15 added to negative products before the arithmetic shift.
  const __m128i round = _mm_and_si128(_mm_srai_epi16(e, 15), _mm_set1_epi16(15));
  const __m128i s7 = _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(e, _mm_set1_epi16(7)), round), 4);
  const __m128i s3 = _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(e, _mm_set1_epi16(3)), round), 4);
  const __m128i s5 = _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(e, _mm_set1_epi16(5)), round), 4);
  const __m128i s1 = _mm_sub_epi16(_mm_sub_epi16(_mm_sub_epi16(e, s7), s3), s5);
  b.carry = s7;
  b.pending1 = _mm_add_epi16(b.pending2, _mm_slli_si128(s3, 2));
  b.pending2 = _mm_add_epi16(b.pending3, _mm_slli_si128(s5, 2));
  b.pending3 = _mm_slli_si128(s1, 2);
  // The row below takes, at pixel t - 15, the last lane's 3/16 of now, 5/16 of the
  // step before and the rest of the one before that; each step's total enters lane 7.
  const __m128i total = _mm_add_epi16(_mm_add_epi16(s3, b.last5), b.before_last1);
  b.before_last1 = b.last1;
  b.last1 = s1;
  b.last5 = s5;
  b.below = _mm_or_si128(_mm_srli_si128(b.below, 2), _mm_slli_si128(_mm_srli_si128(total, 14), 14));
  return is_white;
}

template <bool kMasked>
QVX_SSE2 inline void eight_steps(BandState& b, int16_t* const* values, uint8_t* const* whites, int16_t* below,
                                 int32_t t0, int32_t width, __m128i limit) {
  __m128i v[kLanes];
  for (int j = 0; j < kLanes; ++j) v[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values[j] + t0 - 2 * j));
  transpose8(v);
  for (int k = 0; k < kLanes; ++k) v[k] = step<kMasked>(b, v[k], t0 + k, width, limit);
  transpose8(v);
  for (int j = 0; j < kLanes; ++j)
    _mm_storel_epi64(reinterpret_cast<__m128i*>(whites[j] + t0 - 2 * j), _mm_packs_epi16(v[j], v[j]));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(below + t0 - 15), b.below);
}

// The rows' s as 16-bit values with kBandPad zeros either side.
QVX_SSE2 void fill_band_values(const uint8_t* const* luma, int rows, int offset, int32_t width,
                               DiffusionBandScratch& scratch, int16_t** values, uint8_t** whites) {
  const size_t row = static_cast<size_t>(width) + 2 * kBandPad;
  const __m128i add = _mm_set1_epi8(static_cast<char>(offset > 0 ? offset : 0));
  const __m128i sub = _mm_set1_epi8(static_cast<char>(offset < 0 ? -offset : 0));
  for (int j = 0; j < rows; ++j) {
    values[j] = scratch.values.data() + j * row + kBandPad;
    whites[j] = scratch.whites.data() + j * row + kBandPad;
    int32_t x = 0;
    for (; width - x >= 16; x += 16) {
      const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma[j] + x));
      const __m128i v = _mm_subs_epu8(_mm_adds_epu8(l, add), sub);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(values[j] + x), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(values[j] + x + 8), _mm_unpackhi_epi8(v, _mm_setzero_si128()));
    }
    fill_band_values_from(luma[j], offset, x, width, values[j]);
  }
}

// The errors carried into a row join its values over columns from .. to - 1 (clipped to the row).
inline void add_carried(int16_t* values, const int32_t* carried, int32_t from, int32_t to, int32_t width) {
  for (int32_t x = std::max(from, 0); x < std::min(to, width); ++x)
    values[x] = static_cast<int16_t>(values[x] + carried[x]);
}

// Packs each row's white flags into bits.
QVX_SSE2 void pack_band_whites(int rows, int32_t width, bool invert, uint8_t* const* whites, uint8_t* const* bits) {
  const int flip = invert ? 0xFF : 0;
  for (int j = 0; j < rows; ++j) {
    int32_t x = 0;
    for (; width - x >= 16; x += 16) {
      const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(whites[j] + x));
      // Reverses each group of eight so that the group's first pixel lands on bit 7.
      const __m128i w = _mm_shufflelo_epi16(_mm_shufflehi_epi16(m, 0x1B), 0x1B);
      const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_slli_epi16(w, 8), _mm_srli_epi16(w, 8)));
      bits[j][x >> 3] = static_cast<uint8_t>(mask ^ flip);
      bits[j][(x >> 3) + 1] = static_cast<uint8_t>((mask >> 8) ^ flip);
    }
    pack_band_whites_from(whites[j], flip, x, width, bits[j]);
  }
}

// ---- AVX2: sixteen lanes, any kernel ----

template <const DiffusionKernel& K>
struct WaveState {
  static constexpr Wave kWave = wave_of(K);
  __m256i pending[kWave.delays + 1];  // [d]: taken d steps on; lanes 8, 9 of `out` for the two rows below
  __m256i out[kWave.delays + 1];
  __m256i below0, below1, outside;  // outside: lanes where an e fell outside +-limit
};

template <const DiffusionKernel& K, int i>
QVX_AVX2 inline void give_shares(WaveState<K>& b, __m256i e, __m256i a, __m256i given, __m256i* fresh,
                                 __m256i* fresh_out) {
  if constexpr (i < K.count) {
    constexpr auto share = K.shares[i];
    constexpr bool last = K.remainder_to_last && i == K.count - 1;
    const __m256i v = last ? _mm256_sub_epi16(e, given) : _mm256_sign_epi16(share16_of<share.weight, K.divisor>(a), e);
    constexpr int d = share.dx + share.dy * WaveState<K>::kWave.skew;
    if (share.dy == 0) {
      fresh[d] = _mm256_add_epi16(fresh[d], v);
    } else if (share.dy == 1) {
      fresh[d] = _mm256_add_epi16(fresh[d], lanes_up_epi16<1>(v));
      fresh_out[d] = _mm256_add_epi16(fresh_out[d], _mm256_srli_si256(v, 14));  // lane 15 to lane 8
    } else {
      fresh[d] = _mm256_add_epi16(fresh[d], lanes_up_epi16<2>(v));
      fresh_out[d] = _mm256_add_epi16(fresh_out[d], _mm256_srli_si256(v, 12));  // lanes 14, 15 to 8, 9
    }
    give_shares<K, i + 1>(b, e, a, _mm256_add_epi16(given, v), fresh, fresh_out);
  }
}

template <const DiffusionKernel& K, bool kMasked>
QVX_AVX2 inline __m256i wave_step(WaveState<K>& b, __m256i s, int32_t t, int32_t width, __m256i limit) {
  constexpr Wave wave = WaveState<K>::kWave;
  const __m256i w = _mm256_add_epi16(s, b.pending[1]);
  const __m256i is_white = _mm256_cmpgt_epi16(w, _mm256_set1_epi16(127));
  __m256i e = _mm256_sub_epi16(w, _mm256_and_si256(is_white, _mm256_set1_epi16(255)));
  if (kMasked) e = _mm256_and_si256(e, lanes_inside_epi16<wave.skew>(t, width));
  const __m256i a = _mm256_abs_epi16(e);
  b.outside = _mm256_or_si256(b.outside, _mm256_or_si256(_mm256_cmpgt_epi16(e, limit),
                                                         _mm256_cmpgt_epi16(_mm256_sub_epi16(_mm256_setzero_si256(), limit), e)));
  __m256i fresh[wave.delays + 1], fresh_out[wave.delays + 1];
  // fresh[d] (d >= 1): what is taken d steps on; built from the pipeline moved on by one.
  for (int d = wave.delays; d >= 1; --d) {
    fresh[d] = d + 1 <= wave.delays ? b.pending[d + 1] : _mm256_setzero_si256();
    fresh_out[d] = d + 1 <= wave.delays ? b.out[d + 1] : _mm256_setzero_si256();
  }
  give_shares<K, 0>(b, e, a, _mm256_setzero_si256(), fresh, fresh_out);
  for (int d = 1; d <= wave.delays; ++d) {
    b.pending[d] = fresh[d];
    b.out[d] = fresh_out[d];
  }
  // out[1] lanes 8 and 9: the totals of the two rows below the band for the next step;
  // each step's enters lane 15 of below0 and below1.
  b.below0 = _mm256_or_si256(_mm256_srli_si256(b.below0, 2), _mm256_slli_si256(b.out[1], 14));
  b.below1 = _mm256_or_si256(_mm256_srli_si256(b.below1, 2), _mm256_slli_si256(_mm256_srli_si256(b.out[1], 2), 14));
  return is_white;
}

template <const DiffusionKernel& K, bool kMasked>
QVX_AVX2 inline void wave_eight_steps(WaveState<K>& b, int16_t* const* values, uint8_t* const* whites,
                                      int16_t* below0, int16_t* below1, int32_t t0, int32_t width, __m256i limit) {
  constexpr int skew = WaveState<K>::kWave.skew;
  __m256i v[8];
  for (int j = 0; j < 8; ++j) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values[j] + t0 - skew * j));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values[j + 8] + t0 - skew * (j + 8)));
    v[j] = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  }
  transpose8x8x2_epi16(v);
  for (int k = 0; k < 8; ++k) v[k] = wave_step<K, kMasked>(b, v[k], t0 + k, width, limit);
  transpose8x8x2_epi16(v);
  for (int j = 0; j < 8; ++j) {
    const __m256i packed = _mm256_packs_epi16(v[j], v[j]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(whites[j] + t0 - skew * j), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(whites[j + 8] + t0 - skew * (j + 8)),
                     _mm256_extracti128_si256(packed, 1));
  }
  // Step t's totals are those of pixel t + 1 - 16 skew (and - 17 skew) of the rows below.
  _mm_storeu_si128(reinterpret_cast<__m128i*>(below0 + t0 + 1 - 16 * skew), _mm256_extracti128_si256(b.below0, 1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(below1 + t0 + 1 - 17 * skew), _mm256_extracti128_si256(b.below1, 1));
}

// kLinked: a band beside others (BandLink); else alone, the errors in and out whole rows.
template <const DiffusionKernel& K, bool kLinked>
QVX_AVX2 bool wave_band(const uint8_t* const* luma, int offset, const int32_t* above0, const int32_t* above1,
                        int32_t width, bool invert, DiffusionBandScratch& scratch, uint8_t* const* bits,
                        const BandLink* link) {
  constexpr int skew = WaveState<K>::kWave.skew;
  int16_t* values[16];
  uint8_t* whites[16];
  fill_band_values(luma, 16, offset, width, scratch, values, whites);
  const size_t row = static_cast<size_t>(width) + 2 * kBandPad;
  int16_t* below0 = scratch.below.data() + kBandPad;
  int16_t* below1 = below0 + row;
  WaveState<K> b;
  for (__m256i& v : b.pending) v = _mm256_setzero_si256();
  for (__m256i& v : b.out) v = _mm256_setzero_si256();
  b.below0 = b.below1 = b.outside = _mm256_setzero_si256();
  const __m256i limit = _mm256_set1_epi16(static_cast<short>(scratch.error_limit));
  // Every lane is inside its row from step 15 skew to width - 1; the steps run until
  // the second row below has its last pixel's total.
  const int32_t steps = (width + 17 * skew + 7) / 8 * 8;
  int32_t given = 0;  // columns of the rows below handed on through the link
  for (int32_t t0 = 0; t0 < steps;) {
    // A stretch of steps takes the carried errors of its columns: row 0 at t0 .. t1 - 1,
    // row 1 skew behind. A band alone runs as one stretch.
    const int32_t t1 = kLinked ? std::min(steps, t0 + kBandStretch) : steps;
    if (kLinked) link->wait(link->context, std::min(t1, width));
    add_carried(values[0], above0, t0, t1, width);
    add_carried(values[1], above1, t0 - skew, t1 - skew, width);
    for (int32_t t = t0; t < t1; t += 8) {
      if (t >= 15 * skew && t + 8 <= width) {
        wave_eight_steps<K, false>(b, values, whites, below0, below1, t, width, limit);
      } else {
        wave_eight_steps<K, true>(b, values, whites, below0, below1, t, width, limit);
      }
    }
    if (kLinked) {
      // Only exact errors are handed on: a stretch past the limit stops the band here.
      if (!_mm256_testz_si256(b.outside, b.outside)) return false;
      // After step t the rows below are final up to pixel t + 1 - 16 skew and t + 1 - 17 skew.
      const int32_t ready = t1 == steps ? width : std::max(0, std::min(width, t1 + 1 - 17 * skew));
      for (int32_t x = given; x < ready; ++x) {
        link->below0[x] = below0[x];
        link->below1[x] = below1[x];
      }
      given = ready;
      link->done(link->context, ready);
    }
    t0 = t1;
  }
  if (!_mm256_testz_si256(b.outside, b.outside)) return false;
  pack_band_whites(16, width, invert, whites, bits);
  return true;
}

}  // namespace

QVX_SSE2 bool diffuse_band_fs_sse2(const uint8_t* const* luma, int offset, const int32_t* above0, const int32_t*,
                                   int32_t width, bool invert, DiffusionBandScratch& scratch, uint8_t* const* bits) {
  int16_t* values[kLanes];
  uint8_t* whites[kLanes];
  fill_band_values(luma, kLanes, offset, width, scratch, values, whites);
  add_carried(values[0], above0, 0, width, width);
  int16_t* below16 = scratch.below.data() + kBandPad;
  BandState b;
  b.carry = b.pending1 = b.pending2 = b.pending3 = _mm_setzero_si128();
  b.last5 = b.last1 = b.before_last1 = b.below = b.outside = _mm_setzero_si128();
  const __m128i limit = _mm_set1_epi16(static_cast<short>(scratch.error_limit));
  // Every lane is inside its row from step 14 to step width - 1; the steps run until
  // the row below has its last pixel's total (step width + 14).
  const int32_t steps = (width + 15 + 7) / 8 * 8;
  for (int32_t t0 = 0; t0 < steps; t0 += 8) {
    if (t0 >= 16 && t0 + 8 <= width) {
      eight_steps<false>(b, values, whites, below16, t0, width, limit);
    } else {
      eight_steps<true>(b, values, whites, below16, t0, width, limit);
    }
  }
  if (_mm_movemask_epi8(b.outside) != 0) return false;
  // Floyd-Steinberg reaches one row below the band only.
  std::fill(scratch.below.begin() + static_cast<ptrdiff_t>(width + 2 * kBandPad), scratch.below.end(), 0);
  pack_band_whites(kLanes, width, invert, whites, bits);
  return true;
}

QVX_AVX2 bool diffuse_band_avx2(HalftoneMethod method, const uint8_t* const* luma, int offset,
                                const int32_t* above0, const int32_t* above1, int32_t width, bool invert,
                                DiffusionBandScratch& scratch, uint8_t* const* bits, const BandLink* link) {
  switch (method) {
    case HalftoneMethod::kFloydSteinberg:
      return link ? wave_band<kFloydSteinbergKernel, true>(luma, offset, above0, above1, width, invert, scratch, bits, link)
                  : wave_band<kFloydSteinbergKernel, false>(luma, offset, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kJarvis:
      return link ? wave_band<kJarvisKernel, true>(luma, offset, above0, above1, width, invert, scratch, bits, link)
                  : wave_band<kJarvisKernel, false>(luma, offset, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kStucki:
      return link ? wave_band<kStuckiKernel, true>(luma, offset, above0, above1, width, invert, scratch, bits, link)
                  : wave_band<kStuckiKernel, false>(luma, offset, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kBurkes:
      return link ? wave_band<kBurkesKernel, true>(luma, offset, above0, above1, width, invert, scratch, bits, link)
                  : wave_band<kBurkesKernel, false>(luma, offset, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kSierra:
      return link ? wave_band<kSierraKernel, true>(luma, offset, above0, above1, width, invert, scratch, bits, link)
                  : wave_band<kSierraKernel, false>(luma, offset, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kSierra2:
      return link ? wave_band<kSierra2Kernel, true>(luma, offset, above0, above1, width, invert, scratch, bits, link)
                  : wave_band<kSierra2Kernel, false>(luma, offset, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kSierraLite:
      return link ? wave_band<kSierraLiteKernel, true>(luma, offset, above0, above1, width, invert, scratch, bits, link)
                  : wave_band<kSierraLiteKernel, false>(luma, offset, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kAtkinson:
      return link ? wave_band<kAtkinsonKernel, true>(luma, offset, above0, above1, width, invert, scratch, bits, link)
                  : wave_band<kAtkinsonKernel, false>(luma, offset, above0, above1, width, invert, scratch, bits, link);
    default:
      return false;
  }
}

#endif

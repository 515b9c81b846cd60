// Error diffusion in linear light on a band of 8 rows with AVX2: one row per 32-bit lane
// (tones up to 65535 carry errors past 16 bits), each row `skew` pixels behind the one
// above as in the 16-bit bands (error_diffusion_x86.cpp), so that every share a pixel
// takes is final when it is reached. Eight steps at a time, the rows' values come in and
// the whites go out through 8 x 8 transposes.
#include "halftone/band_setup.h"
#include "halftone/halftone_rows.h"
#include "halftone/shares_x86.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include <algorithm>
#include <cstring>

// Deep template recursions stay inline with GCC too (QVX_AVX2_INLINE, shares_x86.h):
// a vector returned across a call would change the ABI.
#define QVX_AVX2 __attribute__((target("avx2")))

namespace {

constexpr int kLanes = kWideBandRows;

template <const DiffusionKernel& K>
struct WideState {
  static constexpr Wave kWave = wave_of(K);
  // [dy][d]: the shares to the row dy below, taken d steps on, still in the giving row's
  // lane: moved down dy lanes only when taken, so that a step moves two vectors, not
  // one per share.
  __m256i pending[3][kWave.delays + 1];
  __m256i outside;  // lanes where an e reached the limit
};

template <const DiffusionKernel& K, int k>
QVX_AVX2_INLINE __m256i shares_before(__m256i e) {
  if constexpr (k == 0) {
    return _mm256_setzero_si256();
  } else {
    return _mm256_add_epi32(shares_before<K, k - 1>(e), truncated_share<K.shares[k - 1].weight, K.divisor>(e));
  }
}

template <const DiffusionKernel& K, int i>
QVX_AVX2_INLINE void give_shares(__m256i e, __m256i (*fresh)[WideState<K>::kWave.delays + 1]) {
  if constexpr (i < K.count) {
    constexpr auto share = K.shares[i];
    constexpr bool last = K.remainder_to_last && i == K.count - 1;
    __m256i v;
    if constexpr (last) {
      v = _mm256_sub_epi32(e, shares_before<K, i>(e));
    } else {
      v = truncated_share<share.weight, K.divisor>(e);
    }
    constexpr int d = share.dx + share.dy * WideState<K>::kWave.skew;
    fresh[share.dy][d] = _mm256_add_epi32(fresh[share.dy][d], v);
    give_shares<K, i + 1>(e, fresh);
  }
}

// One step: every lane takes one pixel; lanes outside their rows (masked) pass no error on.
template <const DiffusionKernel& K, bool kMasked>
QVX_AVX2_INLINE __m256i wide_step(WideState<K>& b, __m256i s, int32_t t, int32_t width, __m256i limit) {
  constexpr Wave wave = WideState<K>::kWave;
  const __m256i taken = _mm256_add_epi32(b.pending[0][1], _mm256_add_epi32(lanes_up_epi32<1>(b.pending[1][1]),
                                                                            lanes_up_epi32<2>(b.pending[2][1])));
  const __m256i w = _mm256_add_epi32(s, taken);
  const __m256i is_white = _mm256_cmpgt_epi32(w, _mm256_set1_epi32(32767));
  __m256i e = _mm256_sub_epi32(w, _mm256_and_si256(is_white, _mm256_set1_epi32(65535)));
  if (kMasked) e = _mm256_and_si256(e, lanes_inside_epi32<wave.skew>(t, width));
  b.outside = _mm256_or_si256(b.outside, _mm256_cmpgt_epi32(_mm256_abs_epi32(e), limit));
  __m256i fresh[3][wave.delays + 1];
  // fresh[dy][d] (d >= 1): what is taken d steps on; built from the pipeline moved on by one.
  for (int dy = 0; dy < 3; ++dy)
    for (int d = wave.delays; d >= 1; --d)
      fresh[dy][d] = d + 1 <= wave.delays ? b.pending[dy][d + 1] : _mm256_setzero_si256();
  give_shares<K, 0>(e, fresh);
  for (int dy = 0; dy < 3; ++dy)
    for (int d = 1; d <= wave.delays; ++d) b.pending[dy][d] = fresh[dy][d];
  return is_white;
}

template <const DiffusionKernel& K, bool kMasked>
QVX_AVX2_INLINE void wide_eight_steps(WideState<K>& b, int32_t* const* values, uint8_t* const* whites,
                                      int32_t* below0, int32_t* below1, int32_t t0, int32_t width, __m256i limit) {
  constexpr int skew = WideState<K>::kWave.skew;
  __m256i v[kLanes];
  for (int j = 0; j < kLanes; ++j) v[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values[j] + t0 - skew * j));
  transpose8x8_epi32(v);
  alignas(32) int32_t next1[kLanes][8], next2[kLanes][8];  // each step's pending[1][1], pending[2][1]
  for (int k = 0; k < kLanes; ++k) {
    v[k] = wide_step<K, kMasked>(b, v[k], t0 + k, width, limit);
    _mm256_store_si256(reinterpret_cast<__m256i*>(next1[k]), b.pending[1][1]);
    _mm256_store_si256(reinterpret_cast<__m256i*>(next2[k]), b.pending[2][1]);
  }
  transpose8x8_epi32(v);
  for (int j = 0; j < kLanes; ++j) {
    const __m256i p = _mm256_packs_epi16(_mm256_packs_epi32(v[j], v[j]), _mm256_setzero_si256());
    const uint32_t lo = static_cast<uint32_t>(_mm256_cvtsi256_si32(p));
    const uint32_t hi = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm256_extracti128_si256(p, 1)));
    const uint64_t flags = lo | uint64_t{hi} << 32;
    std::memcpy(whites[j] + t0 - skew * j, &flags, sizeof flags);
  }
  // After step t the last lanes hold what the two rows below take at pixel t + 1 - 8 skew
  // (from the row one and two above) and t + 1 - 9 skew (from the last row).
  for (int k = 0; k < kLanes; ++k) {
    below0[t0 + k + 1 - 8 * skew] = next1[k][7] + next2[k][6];
    below1[t0 + k + 1 - 9 * skew] = next2[k][7];
  }
}

// Packs each row's white flags (0 or 0xFF) into bits, 32 at a time: each group of eight
// reversed, so that its first pixel lands on bit 7.
QVX_AVX2 void pack_whites(int32_t width, bool invert, uint8_t* const* whites, uint8_t* const* bits) {
  const int flip = invert ? 0xFF : 0;
  const __m256i reverse = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1,
                                           0, 15, 14, 13, 12, 11, 10, 9, 8);
  for (int j = 0; j < kLanes; ++j) {
    int32_t x = 0;
    for (; width - x >= 32; x += 32) {
      const __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(whites[j] + x));
      const uint32_t mask = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_shuffle_epi8(m, reverse))) ^
                            (invert ? 0xFFFFFFFFu : 0u);
      std::memcpy(bits[j] + x / 8, &mask, sizeof mask);
    }
    pack_band_whites_from(whites[j], flip, x, width, bits[j]);
  }
}

// kLinked: a band beside others (BandLink); else alone, the errors in and out whole rows.
template <const DiffusionKernel& K, bool kLinked>
QVX_AVX2 bool wide_band(const uint8_t* const* luma, const uint16_t* tone, const int32_t* above0,
                        const int32_t* above1, int32_t width, bool invert, DiffusionBandScratch& scratch,
                        uint8_t* const* bits, const BandLink* link) {
  constexpr int skew = WideState<K>::kWave.skew;
  const size_t row = static_cast<size_t>(width) + 2 * kBandPad;
  int32_t* values[kLanes];
  uint8_t* whites[kLanes];
  for (int j = 0; j < kLanes; ++j) {
    values[j] = scratch.wide_values.data() + j * row + kBandPad;
    whites[j] = scratch.whites.data() + j * row + kBandPad;
    for (int32_t x = 0; x < width; ++x) values[j][x] = tone[luma[j][x]];
  }
  int32_t* below0 = scratch.wide_below.data() + kBandPad;
  int32_t* below1 = below0 + row;
  WideState<K> b;
  for (auto& row : b.pending)
    for (__m256i& v : row) v = _mm256_setzero_si256();
  b.outside = _mm256_setzero_si256();
  const __m256i limit = _mm256_set1_epi32(scratch.wide_error_limit - 1);
  // Every lane is inside its row from step 7 skew to width - 1; the steps run until
  // the second row below has its last pixel's share (step width - 1 + 9 skew).
  const int32_t steps = (width + 9 * skew + 7) / 8 * 8;
  int32_t given = 0;  // columns of the rows below handed on through the link
  for (int32_t t0 = 0; t0 < steps;) {
    // A stretch of steps takes the carried errors of its columns: row 0 at t0 .. t1 - 1,
    // row 1 skew behind. A band alone runs as one stretch.
    const int32_t t1 = kLinked ? std::min(steps, t0 + kBandStretch) : steps;
    if (kLinked) link->wait(link->context, std::min(t1, width));
    for (int32_t x = std::max(t0, 0); x < std::min(t1, width); ++x) values[0][x] += above0[x];
    for (int32_t x = std::max(t0 - skew, 0); x < std::min(t1 - skew, width); ++x) values[1][x] += above1[x];
    for (int32_t t = t0; t < t1; t += 8) {
      if (t >= 7 * skew && t + 8 <= width) {
        wide_eight_steps<K, false>(b, values, whites, below0, below1, t, width, limit);
      } else {
        wide_eight_steps<K, true>(b, values, whites, below0, below1, t, width, limit);
      }
    }
    if (kLinked) {
      // Only exact errors are handed on: a stretch past the limit stops the band here.
      if (!_mm256_testz_si256(b.outside, b.outside)) return false;
      // After step t the rows below are final up to pixel t + 1 - 8 skew and t + 1 - 9 skew.
      const int32_t ready = t1 == steps ? width : std::max(0, std::min(width, t1 + 1 - 9 * skew));
      std::copy(below0 + given, below0 + ready, link->below0 + given);
      std::copy(below1 + given, below1 + ready, link->below1 + given);
      given = ready;
      link->done(link->context, ready);
    }
    t0 = t1;
  }
  if (!_mm256_testz_si256(b.outside, b.outside)) return false;
  pack_whites(width, invert, whites, bits);
  return true;
}

}  // namespace

QVX_AVX2 bool diffuse_band_wide_avx2(HalftoneMethod method, const uint8_t* const* luma, const uint16_t* tone,
                                     const int32_t* above0, const int32_t* above1, int32_t width, bool invert,
                                     DiffusionBandScratch& scratch, uint8_t* const* bits, const BandLink* link) {
  switch (method) {
    case HalftoneMethod::kFloydSteinberg:
      return link ? wide_band<kFloydSteinbergKernel, true>(luma, tone, above0, above1, width, invert, scratch, bits, link)
                  : wide_band<kFloydSteinbergKernel, false>(luma, tone, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kJarvis:
      return link ? wide_band<kJarvisKernel, true>(luma, tone, above0, above1, width, invert, scratch, bits, link)
                  : wide_band<kJarvisKernel, false>(luma, tone, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kStucki:
      return link ? wide_band<kStuckiKernel, true>(luma, tone, above0, above1, width, invert, scratch, bits, link)
                  : wide_band<kStuckiKernel, false>(luma, tone, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kBurkes:
      return link ? wide_band<kBurkesKernel, true>(luma, tone, above0, above1, width, invert, scratch, bits, link)
                  : wide_band<kBurkesKernel, false>(luma, tone, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kSierra:
      return link ? wide_band<kSierraKernel, true>(luma, tone, above0, above1, width, invert, scratch, bits, link)
                  : wide_band<kSierraKernel, false>(luma, tone, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kSierra2:
      return link ? wide_band<kSierra2Kernel, true>(luma, tone, above0, above1, width, invert, scratch, bits, link)
                  : wide_band<kSierra2Kernel, false>(luma, tone, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kSierraLite:
      return link ? wide_band<kSierraLiteKernel, true>(luma, tone, above0, above1, width, invert, scratch, bits, link)
                  : wide_band<kSierraLiteKernel, false>(luma, tone, above0, above1, width, invert, scratch, bits, link);
    case HalftoneMethod::kAtkinson:
      return link ? wide_band<kAtkinsonKernel, true>(luma, tone, above0, above1, width, invert, scratch, bits, link)
                  : wide_band<kAtkinsonKernel, false>(luma, tone, above0, above1, width, invert, scratch, bits, link);
    default:
      return false;
  }
}

#endif

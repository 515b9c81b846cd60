// Floyd-Steinberg on a band of eight rows at once, one row per 16-bit lane, each row
// two pixels behind the one above it: when a lane reaches pixel x, the row above has
// passed x + 1, so every share the pixel takes is final. Exactly the scalar
// arithmetic (trunc toward zero, the rest of e to the last neighbour).
#include "halftone/halftone_rows.h"
#include "image/luma_kernels_x86.h"

#if QVX_X86
#include <immintrin.h>

#include <cstring>
#include <vector>

#define QVX_SSE2 __attribute__((target("sse2")))

namespace {

constexpr int kLanes = kDiffusionBandRows;

// trunc(e * weight / 16) in every lane.
QVX_SSE2 inline __m128i sixteenths(__m128i e, short weight) {
  const __m128i p = _mm_mullo_epi16(e, _mm_set1_epi16(weight));
  return _mm_srai_epi16(_mm_add_epi16(p, _mm_and_si128(_mm_srai_epi16(p, 15), _mm_set1_epi16(15))), 4);
}

}  // namespace

QVX_SSE2 void diffuse_band_fs_sse2(const uint8_t* const* luma, const uint16_t* tone, int32_t* above, int32_t* below,
                                   int32_t width, bool invert, uint8_t* const* bits) {
  // Step t takes pixel t - 2j of lane j; the skewed inputs hold s there (0 outside
  // the row) and, in lane 0, the errors carried from the row above the band.
  const int32_t steps = width + 2 * (kLanes - 1);
  std::vector<int16_t> in(static_cast<size_t>(steps) * kLanes, 0);
  std::vector<uint8_t> whites(static_cast<size_t>(steps), 0);
  for (int j = 0; j < kLanes; ++j)
    for (int32_t x = 0; x < width; ++x)
      in[static_cast<size_t>(x + 2 * j) * kLanes + j] = static_cast<int16_t>(tone[luma[j][x]] + (j == 0 ? above[x] : 0));
  const __m128i lane_offsets = _mm_setr_epi16(0, 2, 4, 6, 8, 10, 12, 14);
  const __m128i half = _mm_set1_epi16(127), white = _mm_set1_epi16(255), minus_one = _mm_set1_epi16(-1);
  const __m128i limit = _mm_set1_epi16(static_cast<short>(width));
  __m128i carry = _mm_setzero_si128(), pending1 = carry, pending2 = carry, pending3 = carry;
  for (int32_t t = 0; t < steps; ++t) {
    const __m128i x = _mm_sub_epi16(_mm_set1_epi16(static_cast<short>(t)), lane_offsets);
    const __m128i valid = _mm_and_si128(_mm_cmpgt_epi16(x, minus_one), _mm_cmpgt_epi16(limit, x));
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&in[static_cast<size_t>(t) * kLanes]));
    const __m128i w = _mm_add_epi16(_mm_add_epi16(s, pending1), carry);
    const __m128i is_white = _mm_cmpgt_epi16(w, half);
    const __m128i e = _mm_and_si128(_mm_sub_epi16(w, _mm_and_si128(is_white, white)), valid);
    whites[t] = static_cast<uint8_t>(_mm_movemask_epi8(_mm_packs_epi16(is_white, is_white)));
    const __m128i s7 = sixteenths(e, 7), s3 = sixteenths(e, 3), s5 = sixteenths(e, 5);
    const __m128i s1 = _mm_sub_epi16(_mm_sub_epi16(_mm_sub_epi16(e, s7), s3), s5);
    // The last lane's shares leave the band for the row below it.
    const int32_t last_x = t - 2 * (kLanes - 1);
    if (last_x >= 0 && last_x < width) {
      below[last_x - 1] += static_cast<int16_t>(_mm_extract_epi16(s3, kLanes - 1));
      below[last_x] += static_cast<int16_t>(_mm_extract_epi16(s5, kLanes - 1));
      below[last_x + 1] += static_cast<int16_t>(_mm_extract_epi16(s1, kLanes - 1));
    }
    carry = s7;
    pending1 = _mm_add_epi16(pending2, _mm_slli_si128(s3, 2));
    pending2 = _mm_add_epi16(pending3, _mm_slli_si128(s5, 2));
    pending3 = _mm_slli_si128(s1, 2);
  }
  const uint8_t flip = invert ? 1 : 0;
  for (int j = 0; j < kLanes; ++j) {
    std::memset(bits[j], 0, (static_cast<size_t>(width) + 7) / 8);
    for (int32_t x = 0; x < width; ++x)
      bits[j][x >> 3] |= static_cast<uint8_t>((((whites[x + 2 * j] >> j) & 1) ^ flip) << (7 - (x & 7)));
  }
}

#endif

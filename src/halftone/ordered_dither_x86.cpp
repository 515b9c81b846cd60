#include "halftone/ordered_dither_x86.h"

#if QVX_X86
#include <immintrin.h>

#include <cstring>

#define QVX_SSE2 __attribute__((target("sse2")))
#define QVX_AVX2 __attribute__((target("avx2")))

namespace {

// The clamp(L + offset, 0, 255) of 16 or 32 pixels is one saturating add or subtract;
// bytes compare as signed after the bias 0x80.

QVX_SSE2 void ordered_row_sse2(const uint8_t* luma, int32_t width, int offset, const uint8_t* thresholds,
                               uint8_t flip, uint8_t* bits) {
  const __m128i add = _mm_set1_epi8(static_cast<char>(offset > 0 ? offset : 0));
  const __m128i sub = _mm_set1_epi8(static_cast<char>(offset < 0 ? -offset : 0));
  const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
  int32_t x = 0;
  for (; width - x >= 16; x += 16) {
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + x));
    const __m128i v = _mm_xor_si128(_mm_subs_epu8(_mm_adds_epu8(l, add), sub), bias);
    const __m128i t = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(thresholds + (x & 63))), bias);
    // Reverses each group of eight so that the group's first pixel lands on bit 7.
    const __m128i m = _mm_cmpgt_epi8(v, t);
    const __m128i w = _mm_shufflelo_epi16(_mm_shufflehi_epi16(m, 0x1B), 0x1B);
    const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_slli_epi16(w, 8), _mm_srli_epi16(w, 8)));
    bits[x >> 3] = static_cast<uint8_t>(mask ^ flip);
    bits[(x >> 3) + 1] = static_cast<uint8_t>((mask >> 8) ^ flip);
  }
  if (x < width) ordered_row_scalar(luma + x, width - x, offset, thresholds + (x & 63), flip, bits + (x >> 3));
}

const OrderedKernels kSse2 = {ordered_row_sse2};

QVX_AVX2 void ordered_row_avx2(const uint8_t* luma, int32_t width, int offset, const uint8_t* thresholds,
                               uint8_t flip, uint8_t* bits) {
  const __m256i add = _mm256_set1_epi8(static_cast<char>(offset > 0 ? offset : 0));
  const __m256i sub = _mm256_set1_epi8(static_cast<char>(offset < 0 ? -offset : 0));
  const __m256i bias = _mm256_set1_epi8(static_cast<char>(0x80));
  const __m256i order = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1,
                                         0, 15, 14, 13, 12, 11, 10, 9, 8);
  // Both halves of the 64-pixel threshold period, biased once per row.
  const __m256i t0 = _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(thresholds)), bias);
  const __m256i t1 = _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(thresholds + 32)), bias);
  const uint32_t flips = flip * 0x01010101u;
  int32_t x = 0;
  for (; width - x >= 64; x += 64) {
    const __m256i l0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma + x));
    const __m256i l1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma + x + 32));
    const __m256i v0 = _mm256_xor_si256(_mm256_subs_epu8(_mm256_adds_epu8(l0, add), sub), bias);
    const __m256i v1 = _mm256_xor_si256(_mm256_subs_epu8(_mm256_adds_epu8(l1, add), sub), bias);
    const uint32_t m0 =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_shuffle_epi8(_mm256_cmpgt_epi8(v0, t0), order))) ^ flips;
    const uint32_t m1 =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_shuffle_epi8(_mm256_cmpgt_epi8(v1, t1), order))) ^ flips;
    const uint64_t m = m0 | (uint64_t{m1} << 32);
    std::memcpy(bits + (x >> 3), &m, 8);  // little-endian: group 0 first
  }
  if (x < width) ordered_row_sse2(luma + x, width - x, offset, thresholds, flip, bits + (x >> 3));
}

const OrderedKernels kAvx2 = {ordered_row_avx2};

}  // namespace

const OrderedKernels& sse2_ordered_kernels() { return kSse2; }
const OrderedKernels& avx2_ordered_kernels() { return kAvx2; }

#endif

#include "mono/threshold_kernels_x86.h"

#include "mono/random_jump.h"

#if QVX_X86
#include <immintrin.h>

#include <cstring>

#define QVX_SSE2 __attribute__((target("sse2")))
#define QVX_AVX2 __attribute__((target("avx2")))

namespace {

// Thresholds drawn from 16-bit draws d (0..32767): photo(Hard) base - 64 + d mod 128,
// photo(Soft) base - 127 + d mod 255; d / 255 is (d * 32897) >> 23 for every d below 2^15.
constexpr short kDiv255 = static_cast<short>(32897);

// ---- SSE2 ----

// Reverses the bytes of each 8-byte half, so that pixel 0 of a group lands on bit 7
// of its mask byte.
QVX_SSE2 inline __m128i reverse_groups_sse2(__m128i v) {
  const __m128i w = _mm_shufflelo_epi16(_mm_shufflehi_epi16(v, 0x1B), 0x1B);
  return _mm_or_si128(_mm_slli_epi16(w, 8), _mm_srli_epi16(w, 8));
}

QVX_SSE2 inline void store2(uint8_t* out, int mask, uint8_t flip) {
  out[0] = static_cast<uint8_t>(mask ^ flip);
  out[1] = static_cast<uint8_t>((mask >> 8) ^ flip);
}

QVX_SSE2 void fixed_sse2(const uint8_t* luma, int32_t bytes, int base, uint8_t flip, uint8_t* out) {
  if (base < 0 || base > 254) return scalar_threshold_kernels().fixed(luma, bytes, base, flip, out);
  const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i limit = _mm_set1_epi8(static_cast<char>(base - 128));
  int32_t i = 0;
  for (; bytes - i >= 2; i += 2, luma += 16) {
    const __m128i v = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(luma)), bias);
    store2(out + i, _mm_movemask_epi8(reverse_groups_sse2(_mm_cmpgt_epi8(v, limit))), flip);
  }
  scalar_threshold_kernels().fixed(luma, bytes - i, base, flip, out + i);
}

QVX_SSE2 void varying_sse2(const uint8_t* luma, const int16_t* thresholds, int32_t bytes, uint8_t flip,
                           uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  int32_t i = 0;
  for (; bytes - i >= 2; i += 2, luma += 16, thresholds += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma));
    const __m128i t0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(thresholds));
    const __m128i t1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(thresholds + 8));
    const __m128i m = _mm_packs_epi16(_mm_cmpgt_epi16(_mm_unpacklo_epi8(v, zero), t0),
                                      _mm_cmpgt_epi16(_mm_unpackhi_epi8(v, zero), t1));
    store2(out + i, _mm_movemask_epi8(reverse_groups_sse2(m)), flip);
  }
  scalar_threshold_kernels().varying(luma, thresholds, bytes - i, flip, out + i);
}

// The low 32 bits of lane-wise products (SSE2 has only the 2-lane 64-bit product).
QVX_SSE2 inline __m128i mul32_sse2(__m128i a, __m128i b) {
  const __m128i even = _mm_mul_epu32(a, b);
  const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

QVX_SSE2 inline __m128i draws_sse2(__m128i s0, __m128i s1) {
  const __m128i low15 = _mm_set1_epi32(0x7FFF);
  return _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(s0, 16), low15), _mm_and_si128(_mm_srli_epi32(s1, 16), low15));
}

QVX_SSE2 inline __m128i thresholds_sse2(__m128i d, int mode, __m128i offset) {
  if (mode == kModePhotoHard) return _mm_add_epi16(_mm_and_si128(d, _mm_set1_epi16(127)), offset);
  const __m128i q = _mm_srli_epi16(_mm_mulhi_epu16(d, _mm_set1_epi16(kDiv255)), 7);
  return _mm_add_epi16(_mm_sub_epi16(d, _mm_mullo_epi16(q, _mm_set1_epi16(255))), offset);
}

QVX_SSE2 void draw_sse2(RandomSource& random, int mode, int base, int32_t count, int16_t* out) {
  const LaneJumps& j = lane_jumps();
  uint32_t s = random.state;
  const __m128i offset = _mm_set1_epi16(static_cast<short>(mode == kModePhotoHard ? base - 64 : base - 127));
  const __m128i step_a = _mm_set1_epi32(static_cast<int>(j.step16.a)), step_c = _mm_set1_epi32(static_cast<int>(j.step16.c));
  __m128i v[4];
  const __m128i start = _mm_set1_epi32(static_cast<int>(s));
  for (int m = 0; m < 4; ++m) {
    v[m] = _mm_add_epi32(mul32_sse2(start, _mm_loadu_si128(reinterpret_cast<const __m128i*>(j.a + 4 * m))),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(j.c + 4 * m)));
  }
  int32_t i = 0;
  for (; count - i >= 16; i += 16) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), thresholds_sse2(draws_sse2(v[0], v[1]), mode, offset));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), thresholds_sse2(draws_sse2(v[2], v[3]), mode, offset));
    for (int m = 0; m < 4; ++m) v[m] = _mm_add_epi32(mul32_sse2(v[m], step_a), step_c);
    s = jumped_state(s, j.step16);
  }
  random.state = s;
  draw_thresholds_scalar(random, mode, base, count - i, out + i);
}

const ThresholdKernels kSse2 = {fixed_sse2, varying_sse2, draw_sse2};

// ---- AVX2 ----

QVX_AVX2 inline __m256i reverse_groups_avx2(__m256i v) {
  const __m256i order = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1,
                                         0, 15, 14, 13, 12, 11, 10, 9, 8);
  return _mm256_shuffle_epi8(v, order);
}

QVX_AVX2 inline void store4(uint8_t* out, __m256i mask_bytes, uint8_t flip) {
  const uint32_t bits = static_cast<uint32_t>(_mm256_movemask_epi8(reverse_groups_avx2(mask_bytes))) ^ (flip * 0x01010101u);
  std::memcpy(out, &bits, 4);  // little-endian: group 0 first
}

QVX_AVX2 void fixed_avx2(const uint8_t* luma, int32_t bytes, int base, uint8_t flip, uint8_t* out) {
  if (base < 0 || base > 254) return scalar_threshold_kernels().fixed(luma, bytes, base, flip, out);
  const __m256i bias = _mm256_set1_epi8(static_cast<char>(0x80));
  const __m256i limit = _mm256_set1_epi8(static_cast<char>(base - 128));
  int32_t i = 0;
  for (; bytes - i >= 4; i += 4, luma += 32) {
    const __m256i v = _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma)), bias);
    store4(out + i, _mm256_cmpgt_epi8(v, limit), flip);
  }
  fixed_sse2(luma, bytes - i, base, flip, out + i);
}

QVX_AVX2 void varying_avx2(const uint8_t* luma, const int16_t* thresholds, int32_t bytes, uint8_t flip,
                           uint8_t* out) {
  int32_t i = 0;
  for (; bytes - i >= 4; i += 4, luma += 32, thresholds += 32) {
    const __m256i l0 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(luma)));
    const __m256i l1 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + 16)));
    const __m256i m0 = _mm256_cmpgt_epi16(l0, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(thresholds)));
    const __m256i m1 = _mm256_cmpgt_epi16(l1, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(thresholds + 16)));
    // The pack interleaves 128-bit halves; the permutation restores pixel order.
    store4(out + i, _mm256_permute4x64_epi64(_mm256_packs_epi16(m0, m1), 0xD8), flip);
  }
  varying_sse2(luma, thresholds, bytes - i, flip, out + i);
}

QVX_AVX2 inline __m256i draws_avx2(__m256i s0, __m256i s1) {
  const __m256i low15 = _mm256_set1_epi32(0x7FFF);
  const __m256i d = _mm256_packs_epi32(_mm256_and_si256(_mm256_srli_epi32(s0, 16), low15),
                                       _mm256_and_si256(_mm256_srli_epi32(s1, 16), low15));
  return _mm256_permute4x64_epi64(d, 0xD8);
}

QVX_AVX2 inline __m256i thresholds_avx2(__m256i d, int mode, __m256i offset) {
  if (mode == kModePhotoHard) return _mm256_add_epi16(_mm256_and_si256(d, _mm256_set1_epi16(127)), offset);
  const __m256i q = _mm256_srli_epi16(_mm256_mulhi_epu16(d, _mm256_set1_epi16(kDiv255)), 7);
  return _mm256_add_epi16(_mm256_sub_epi16(d, _mm256_mullo_epi16(q, _mm256_set1_epi16(255))), offset);
}

QVX_AVX2 void draw_avx2(RandomSource& random, int mode, int base, int32_t count, int16_t* out) {
  const LaneJumps& j = lane_jumps();
  uint32_t s = random.state;
  const __m256i offset = _mm256_set1_epi16(static_cast<short>(mode == kModePhotoHard ? base - 64 : base - 127));
  const __m256i step_a = _mm256_set1_epi32(static_cast<int>(j.step32.a));
  const __m256i step_c = _mm256_set1_epi32(static_cast<int>(j.step32.c));
  __m256i v[4];
  const __m256i start = _mm256_set1_epi32(static_cast<int>(s));
  for (int m = 0; m < 4; ++m) {
    v[m] = _mm256_add_epi32(_mm256_mullo_epi32(start, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(j.a + 8 * m))),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(j.c + 8 * m)));
  }
  int32_t i = 0;
  // Four independent registers, so the multiplies of one step overlap.
  for (; count - i >= 32; i += 32) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), thresholds_avx2(draws_avx2(v[0], v[1]), mode, offset));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 16),
                        thresholds_avx2(draws_avx2(v[2], v[3]), mode, offset));
    for (int m = 0; m < 4; ++m) v[m] = _mm256_add_epi32(_mm256_mullo_epi32(v[m], step_a), step_c);
    s = jumped_state(s, j.step32);
  }
  random.state = s;
  draw_sse2(random, mode, base, count - i, out + i);
}

const ThresholdKernels kAvx2 = {fixed_avx2, varying_avx2, draw_avx2};

}  // namespace

const ThresholdKernels& sse2_threshold_kernels() { return kSse2; }
const ThresholdKernels& avx2_threshold_kernels() { return kAvx2; }

#endif

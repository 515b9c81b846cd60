#include "image/luma_kernels_x86.h"

#include "image/luminance.h"

#if QVX_X86
#include <immintrin.h>

#define QVX_SSE2 __attribute__((target("sse2")))
#define QVX_AVX2 __attribute__((target("avx2")))

// luminance = (299 R + 587 G + 114 B) / 1000. The sum stays below 2^18; sum / 1000 is
// (sum >> 3) / 125, and for every (sum >> 3) below 2^15 that is
// ((sum >> 3) * 33555) >> 22: a 16-bit high multiply and a shift of 6.
static_assert(kLumaWeightSum == 1000, "the division below is by 1000");
constexpr int kRedBlueWeights = static_cast<int>((kLumaRedWeight << 16) | kLumaBlueWeight);
constexpr int kGreenWeight = static_cast<int>(kLumaGreenWeight);
constexpr short kDiv125 = static_cast<short>(33555);

namespace {

// ---- SSE2: 4 pixels per 32-bit lane group, 16 per step ----

// Sums 299 R + 587 G + 114 B of four 0x..RRGGBB lanes (the top byte is ignored).
QVX_SSE2 inline __m128i sum_sse2(__m128i v) {
  const __m128i br = _mm_and_si128(v, _mm_set1_epi32(0x00FF00FF));
  const __m128i g = _mm_and_si128(_mm_srli_epi32(v, 8), _mm_set1_epi32(0xFF));
  return _mm_add_epi32(_mm_madd_epi16(br, _mm_set1_epi32(kRedBlueWeights)), _mm_madd_epi16(g, _mm_set1_epi32(kGreenWeight)));
}

QVX_SSE2 inline __m128i div1000_sse2(__m128i s01) {
  return _mm_srli_epi16(_mm_mulhi_epu16(s01, _mm_set1_epi16(kDiv125)), 6);
}

// Sixteen luminance bytes from four groups of four sums, in order.
QVX_SSE2 inline void store_luma_sse2(__m128i s0, __m128i s1, __m128i s2, __m128i s3, uint8_t* out) {
  const __m128i a = _mm_packs_epi32(_mm_srli_epi32(s0, 3), _mm_srli_epi32(s1, 3));
  const __m128i b = _mm_packs_epi32(_mm_srli_epi32(s2, 3), _mm_srli_epi32(s3, 3));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(div1000_sse2(a), div1000_sse2(b)));
}

// Four 24-bit pixels spread to 32-bit lanes (loads 16 bytes, 4 past the pixels).
QVX_SSE2 inline __m128i spread24_sse2(const uint8_t* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i a = _mm_unpacklo_epi32(v, _mm_srli_si128(v, 3));
  const __m128i b = _mm_unpacklo_epi32(_mm_srli_si128(v, 6), _mm_srli_si128(v, 9));
  return _mm_unpacklo_epi64(a, b);
}

QVX_SSE2 void bgr24_sse2(const uint8_t* line, int32_t count, uint8_t* out) {
  int32_t x = 0;
  // Each step reads 52 bytes for 48 bytes of pixels.
  for (; count - x >= 18; x += 16, line += 48) {
    store_luma_sse2(sum_sse2(spread24_sse2(line)), sum_sse2(spread24_sse2(line + 12)),
                    sum_sse2(spread24_sse2(line + 24)), sum_sse2(spread24_sse2(line + 36)), out + x);
  }
  scalar_luma_kernels().bgr24(line, count - x, out + x);
}

QVX_SSE2 inline __m128i load4_sse2(const uint8_t* p, int k) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p) + k);
}

QVX_SSE2 void bgrx32_sse2(const uint8_t* line, int32_t count, uint8_t* out) {
  int32_t x = 0;
  for (; count - x >= 16; x += 16, line += 64) {
    store_luma_sse2(sum_sse2(load4_sse2(line, 0)), sum_sse2(load4_sse2(line, 1)), sum_sse2(load4_sse2(line, 2)),
                    sum_sse2(load4_sse2(line, 3)), out + x);
  }
  scalar_luma_kernels().bgrx32(line, count - x, out + x);
}

struct FieldsSse2 {
  __m128i mask[3], cut[3], left[3], right[3];
};

QVX_SSE2 inline FieldsSse2 fields_sse2(const FieldShifts& f) {
  FieldsSse2 v;
  for (int k = 0; k < 3; ++k) {
    v.mask[k] = _mm_set1_epi32(static_cast<int>(f.mask[k]));
    v.cut[k] = _mm_set1_epi32(static_cast<int>(f.cut[k]));
    v.left[k] = _mm_cvtsi32_si128(static_cast<int>(f.left[k]));
    v.right[k] = _mm_cvtsi32_si128(static_cast<int>(f.right[k]));
  }
  return v;
}

QVX_SSE2 inline __m128i field_colour_sse2(__m128i v, const FieldsSse2& f) {
  __m128i c = _mm_setzero_si128();
  for (int k = 0; k < 3; ++k) {
    const __m128i part = _mm_srl_epi32(_mm_sll_epi32(_mm_and_si128(v, f.mask[k]), f.left[k]), f.right[k]);
    c = _mm_add_epi32(c, _mm_and_si128(part, f.cut[k]));
  }
  return c;
}

QVX_SSE2 void fields16_sse2(const uint8_t* line, int32_t count, const FieldShifts& fields, uint8_t* out) {
  const FieldsSse2 f = fields_sse2(fields);
  const __m128i zero = _mm_setzero_si128();
  int32_t x = 0;
  for (; count - x >= 16; x += 16, line += 32) {
    const __m128i a = load4_sse2(line, 0), b = load4_sse2(line, 1);
    store_luma_sse2(sum_sse2(field_colour_sse2(_mm_unpacklo_epi16(a, zero), f)),
                    sum_sse2(field_colour_sse2(_mm_unpackhi_epi16(a, zero), f)),
                    sum_sse2(field_colour_sse2(_mm_unpacklo_epi16(b, zero), f)),
                    sum_sse2(field_colour_sse2(_mm_unpackhi_epi16(b, zero), f)), out + x);
  }
  scalar_luma_kernels().fields16(line, count - x, fields, out + x);
}

QVX_SSE2 void fields32_sse2(const uint8_t* line, int32_t count, const FieldShifts& fields, uint8_t* out) {
  const FieldsSse2 f = fields_sse2(fields);
  int32_t x = 0;
  for (; count - x >= 16; x += 16, line += 64) {
    store_luma_sse2(sum_sse2(field_colour_sse2(load4_sse2(line, 0), f)),
                    sum_sse2(field_colour_sse2(load4_sse2(line, 1), f)),
                    sum_sse2(field_colour_sse2(load4_sse2(line, 2), f)),
                    sum_sse2(field_colour_sse2(load4_sse2(line, 3), f)), out + x);
  }
  scalar_luma_kernels().fields32(line, count - x, fields, out + x);
}

// Table look-ups have no SSE2 form that beats plain loads.
void indexed8_loads(const uint8_t* line, int32_t count, const uint8_t* table, uint8_t* out) {
  for (int32_t x = 0; x < count; ++x) out[x] = table[line[x]];
}

const LumaKernels kSse2 = {bgr24_sse2, bgrx32_sse2, fields16_sse2, fields32_sse2, indexed8_loads};

// ---- AVX2: 8 pixels per register, 32 per step ----

QVX_AVX2 inline __m256i sum_avx2(__m256i v) {
  const __m256i br = _mm256_and_si256(v, _mm256_set1_epi32(0x00FF00FF));
  const __m256i g = _mm256_and_si256(_mm256_srli_epi32(v, 8), _mm256_set1_epi32(0xFF));
  return _mm256_add_epi32(_mm256_madd_epi16(br, _mm256_set1_epi32(kRedBlueWeights)),
                          _mm256_madd_epi16(g, _mm256_set1_epi32(kGreenWeight)));
}

QVX_AVX2 inline __m256i div1000_avx2(__m256i s) {
  return _mm256_srli_epi16(_mm256_mulhi_epu16(s, _mm256_set1_epi16(kDiv125)), 6);
}

// 32 luminance bytes from four registers of sums, each holding pixels 8m..8m+3 in its
// low half and 8m+4..8m+7 in its high half; the packs interleave the halves, the
// final permutation puts the pixels back in order.
QVX_AVX2 inline void store_luma_avx2(__m256i s0, __m256i s1, __m256i s2, __m256i s3, uint8_t* out) {
  const __m256i a = _mm256_packs_epi32(_mm256_srli_epi32(s0, 3), _mm256_srli_epi32(s1, 3));
  const __m256i b = _mm256_packs_epi32(_mm256_srli_epi32(s2, 3), _mm256_srli_epi32(s3, 3));
  const __m256i bytes = _mm256_packus_epi16(div1000_avx2(a), div1000_avx2(b));
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permutevar8x32_epi32(bytes, order));
}

// Eight 24-bit pixels spread to 32-bit lanes (reads 28 bytes for 24).
QVX_AVX2 inline __m256i spread24_avx2(const uint8_t* p) {
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
  const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4, 5,
                                          -1, 6, 7, 8, -1, 9, 10, 11, -1);
  return _mm256_shuffle_epi8(v, spread);
}

QVX_AVX2 void bgr24_avx2(const uint8_t* line, int32_t count, uint8_t* out) {
  int32_t x = 0;
  // Each step reads 100 bytes for 96 bytes of pixels.
  for (; count - x >= 34; x += 32, line += 96) {
    store_luma_avx2(sum_avx2(spread24_avx2(line)), sum_avx2(spread24_avx2(line + 24)),
                    sum_avx2(spread24_avx2(line + 48)), sum_avx2(spread24_avx2(line + 72)), out + x);
  }
  bgr24_sse2(line, count - x, out + x);
}

QVX_AVX2 inline __m256i load8_avx2(const uint8_t* p, int k) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p) + k);
}

QVX_AVX2 void bgrx32_avx2(const uint8_t* line, int32_t count, uint8_t* out) {
  int32_t x = 0;
  for (; count - x >= 32; x += 32, line += 128) {
    store_luma_avx2(sum_avx2(load8_avx2(line, 0)), sum_avx2(load8_avx2(line, 1)), sum_avx2(load8_avx2(line, 2)),
                    sum_avx2(load8_avx2(line, 3)), out + x);
  }
  bgrx32_sse2(line, count - x, out + x);
}

struct FieldsAvx2 {
  __m256i mask[3], cut[3];
  __m128i left[3], right[3];
};

QVX_AVX2 inline FieldsAvx2 fields_avx2(const FieldShifts& f) {
  FieldsAvx2 v;
  for (int k = 0; k < 3; ++k) {
    v.mask[k] = _mm256_set1_epi32(static_cast<int>(f.mask[k]));
    v.cut[k] = _mm256_set1_epi32(static_cast<int>(f.cut[k]));
    v.left[k] = _mm_cvtsi32_si128(static_cast<int>(f.left[k]));
    v.right[k] = _mm_cvtsi32_si128(static_cast<int>(f.right[k]));
  }
  return v;
}

QVX_AVX2 inline __m256i field_colour_avx2(__m256i v, const FieldsAvx2& f) {
  __m256i c = _mm256_setzero_si256();
  for (int k = 0; k < 3; ++k) {
    const __m256i part =
        _mm256_srl_epi32(_mm256_sll_epi32(_mm256_and_si256(v, f.mask[k]), f.left[k]), f.right[k]);
    c = _mm256_add_epi32(c, _mm256_and_si256(part, f.cut[k]));
  }
  return c;
}

QVX_AVX2 inline __m256i words_avx2(const uint8_t* p, int k) {
  return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p) + k));
}

QVX_AVX2 void fields16_avx2(const uint8_t* line, int32_t count, const FieldShifts& fields, uint8_t* out) {
  const FieldsAvx2 f = fields_avx2(fields);
  int32_t x = 0;
  for (; count - x >= 32; x += 32, line += 64) {
    store_luma_avx2(sum_avx2(field_colour_avx2(words_avx2(line, 0), f)),
                    sum_avx2(field_colour_avx2(words_avx2(line, 1), f)),
                    sum_avx2(field_colour_avx2(words_avx2(line, 2), f)),
                    sum_avx2(field_colour_avx2(words_avx2(line, 3), f)), out + x);
  }
  fields16_sse2(line, count - x, fields, out + x);
}

QVX_AVX2 void fields32_avx2(const uint8_t* line, int32_t count, const FieldShifts& fields, uint8_t* out) {
  const FieldsAvx2 f = fields_avx2(fields);
  int32_t x = 0;
  for (; count - x >= 32; x += 32, line += 128) {
    store_luma_avx2(sum_avx2(field_colour_avx2(load8_avx2(line, 0), f)),
                    sum_avx2(field_colour_avx2(load8_avx2(line, 1), f)),
                    sum_avx2(field_colour_avx2(load8_avx2(line, 2), f)),
                    sum_avx2(field_colour_avx2(load8_avx2(line, 3), f)), out + x);
  }
  fields32_sse2(line, count - x, fields, out + x);
}

// A 256-entry table as sixteen 16-entry shuffles. Bits 4 to 6 of an index pick one
// of eight groups; in group g the shuffle of table part g gives the entry for indices
// with bit 7 clear, and that of part g + 8 (index with bit 7 flipped) for those with
// it set, the other shuffle giving 0 by bit 7. The parts are broadcast from the table
// as they are needed rather than spilled: the Windows builds' stack slots are not
// 32-byte aligned, and spills there straddle cache lines.
QVX_AVX2 void indexed8_avx2(const uint8_t* line, int32_t count, const uint8_t* table, uint8_t* out) {
  const __m256i group_bits = _mm256_set1_epi8(0x70), top_bit = _mm256_set1_epi8(static_cast<char>(0x80));
  int32_t x = 0;
  for (; count - x >= 32; x += 32) {
    const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + x));
    const __m256i flipped = _mm256_xor_si256(index, top_bit);
    const __m256i group = _mm256_and_si256(index, group_bits);
    __m256i luma = _mm256_setzero_si256();
    for (int g = 0; g < 8; ++g) {
      const __m256i low = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * g)));
      const __m256i high =
          _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 128 + 16 * g)));
      const __m256i entry = _mm256_or_si256(_mm256_shuffle_epi8(low, index), _mm256_shuffle_epi8(high, flipped));
      const __m256i in_group = _mm256_cmpeq_epi8(group, _mm256_set1_epi8(static_cast<char>(16 * g)));
      luma = _mm256_or_si256(luma, _mm256_and_si256(entry, in_group));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), luma);
  }
  indexed8_loads(line + x, count - x, table, out + x);
}

const LumaKernels kAvx2 = {bgr24_avx2, bgrx32_avx2, fields16_avx2, fields32_avx2, indexed8_avx2};

}  // namespace

const LumaKernels& sse2_luma_kernels() { return kSse2; }
const LumaKernels& avx2_luma_kernels() { return kAvx2; }

#endif

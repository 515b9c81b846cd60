#include "array_picture.h"

#include <algorithm>
#include <cstring>

#include "pipeline/band_wave.h"
#include "pipeline/halftone_band.h"
#include "pipeline/pipeline_texts.h"
#include "pipeline/strip.h"
#include "halftone/halftone.h"
#include "image/decoded_rows.h"
#include "image/luminance.h"
#include "image/row_decoder.h"
#include "image/simd_level.h"
#include "mono/conversion.h"
#include "mono/otsu.h"
#include "mono/random_jump.h"
#include "mono/result_bitmap.h"

namespace {

// The samples of row `top`, gathered into scratch when the array's pixels are not packed.
const uint8_t* row_samples(const ArrayPicture& p, int32_t top, LumaScratch& scratch) {
  const uint8_t* row = p.data + p.row_step * top;
  if (p.pixel_step == p.bands && p.band_step == 1) return row;
  scratch.samples.resize(static_cast<size_t>(p.width) * static_cast<size_t>(p.bands));
  uint8_t* q = scratch.samples.data();
  for (int32_t x = 0; x < p.width; ++x) {
    const uint8_t* s = row + p.pixel_step * x;
    for (int b = 0; b < p.bands; ++b) *q++ = s[p.band_step * b];
  }
  return scratch.samples.data();
}

// The eight pixels of each byte of a result row, one byte each.
struct UnpackTable {
  uint8_t pixels[256][8];
  UnpackTable() {
    for (int v = 0; v < 256; ++v)
      for (int i = 0; i < 8; ++i) pixels[v][i] = static_cast<uint8_t>((v >> (7 - i)) & 1);
  }
};

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define QVX_PY_X86 1

// The 32 pixels of 4 result bytes, one byte each: every byte broadcast to its 8 lanes,
// then each lane's own bit tested.
__attribute__((target("avx2"))) void unpack_bits_32(const uint8_t* bits, uint8_t* out) {
  uint32_t four;
  std::memcpy(&four, bits, 4);
  const __m256i spread = _mm256_shuffle_epi8(
      _mm256_set1_epi32(static_cast<int>(four)),
      _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3));
  const __m256i bit = _mm256_set1_epi64x(static_cast<int64_t>(0x0102040810204080ull));
  const __m256i set = _mm256_cmpeq_epi8(_mm256_and_si256(spread, bit), bit);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_and_si256(set, _mm256_set1_epi8(1)));
}
#endif

bool has_avx2() { return active_simd_level() == SimdLevel::kAvx2; }

// Result rows hold pixel 0 in bit 7, a set bit white.
void unpack_bits(const uint8_t* bits, int32_t width, uint8_t* out) {
  static const UnpackTable table;
  int32_t x = 0;
#ifdef QVX_PY_X86
  if (has_avx2()) {
    for (; x + 32 <= width; x += 32) unpack_bits_32(bits + (x >> 3), out + x);
  }
#endif
  for (; x + 8 <= width; x += 8) std::memcpy(out + x, table.pixels[bits[x >> 3]], 8);
  for (; x < width; ++x) out[x] = static_cast<uint8_t>((bits[x >> 3] >> (7 - (x & 7))) & 1);
}

#ifdef QVX_PY_X86

// Bytes 3i + first of the 48 in v0, v1, v2, gathered into byte i.
__attribute__((target("sse4.1"))) __m128i rgb_plane(__m128i v0, __m128i v1, __m128i v2, int first) {
  alignas(16) int8_t m0[16], m1[16], m2[16];
  for (int i = 0; i < 16; ++i) {
    const int at = 3 * i + first;
    m0[i] = at < 16 ? static_cast<int8_t>(at) : -1;  // -1 leaves a zero
    m1[i] = at >= 16 && at < 32 ? static_cast<int8_t>(at - 16) : -1;
    m2[i] = at >= 32 ? static_cast<int8_t>(at - 32) : -1;
  }
  return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, _mm_load_si128(reinterpret_cast<const __m128i*>(m0))),
                                   _mm_shuffle_epi8(v1, _mm_load_si128(reinterpret_cast<const __m128i*>(m1)))),
                      _mm_shuffle_epi8(v2, _mm_load_si128(reinterpret_cast<const __m128i*>(m2))));
}

// The luminance of the low 4 pixels of the planes: the weighted sum in 32-bit lanes,
// over 8, then over 125 as a multiply and shift (exact for every sum up to 255000:
// sum / 8 stays below 59074).
__attribute__((target("sse4.1"))) __m128i rgb_luminance_4(__m128i r, __m128i g, __m128i b) {
  __m128i sum = _mm_add_epi32(_mm_mullo_epi32(_mm_cvtepu8_epi32(r), _mm_set1_epi32(kLumaRedWeight)),
                              _mm_mullo_epi32(_mm_cvtepu8_epi32(g), _mm_set1_epi32(kLumaGreenWeight)));
  sum = _mm_add_epi32(sum, _mm_mullo_epi32(_mm_cvtepu8_epi32(b), _mm_set1_epi32(kLumaBlueWeight)));
  return _mm_srli_epi32(_mm_mullo_epi32(_mm_srli_epi32(sum, 3), _mm_set1_epi32(33555)), 22);
}

// The luminance of 16 RGB pixels (48 bytes).
__attribute__((target("sse4.1"))) void rgb_luminance_16(const uint8_t* s, uint8_t* out) {
  const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
  const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
  const __m128i r = rgb_plane(v0, v1, v2, 0), g = rgb_plane(v0, v1, v2, 1), b = rgb_plane(v0, v1, v2, 2);
  const __m128i low = _mm_packus_epi32(
      rgb_luminance_4(r, g, b), rgb_luminance_4(_mm_srli_si128(r, 4), _mm_srli_si128(g, 4), _mm_srli_si128(b, 4)));
  const __m128i high =
      _mm_packus_epi32(rgb_luminance_4(_mm_srli_si128(r, 8), _mm_srli_si128(g, 8), _mm_srli_si128(b, 8)),
                       rgb_luminance_4(_mm_srli_si128(r, 12), _mm_srli_si128(g, 12), _mm_srli_si128(b, 12)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(low, high));
}

// Per lane of four RGB pixels (12 bytes of 16), the eighth of 299 R + 587 G + 114 B
// in 32 bits: two multiply-adds of 16-bit pairs.
__attribute__((target("avx2"))) __m256i rgb_sum_eighths(__m256i v) {
  const __m256i red_green = _mm256_setr_epi8(0, -1, 1, -1, 3, -1, 4, -1, 6, -1, 7, -1, 9, -1, 10, -1,  //
                                             0, -1, 1, -1, 3, -1, 4, -1, 6, -1, 7, -1, 9, -1, 10, -1);
  const __m256i blue = _mm256_setr_epi8(2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1,  //
                                        2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1);
  const __m256i rg_weights = _mm256_set1_epi32(static_cast<int>(kLumaRedWeight | (kLumaGreenWeight << 16)));
  const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(v, red_green), rg_weights),
                                       _mm256_madd_epi16(_mm256_shuffle_epi8(v, blue),
                                                         _mm256_set1_epi32(static_cast<int>(kLumaBlueWeight))));
  return _mm256_srli_epi32(sum, 3);
}

__attribute__((target("avx2"))) __m256i rgb_lanes(const uint8_t* low, const uint8_t* high) {
  return _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(high)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(low)));
}

// The luminance of 16 RGB pixels (48 bytes, and 4 bytes past them read): the sums'
// eighths (at most 31875) over 125 as a high multiply by 33555 and a shift by 6, the
// rule of rgb_luminance_4.
__attribute__((target("avx2"))) void rgb_luminance_16_avx2(const uint8_t* s, uint8_t* out) {
  // Pixels 0-3 and 8-11 in one, 4-7 and 12-15 in the other: packed, 0-7 and 8-15.
  const __m256i sums = _mm256_packus_epi32(rgb_sum_eighths(rgb_lanes(s, s + 24)), rgb_sum_eighths(rgb_lanes(s + 12, s + 36)));
  const __m256i luma = _mm256_srli_epi16(_mm256_mulhi_epu16(sums, _mm256_set1_epi16(static_cast<short>(33555))), 6);
  const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(luma, luma), 0x08);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
}

bool has_sse41() {
  static const bool has = __builtin_cpu_supports("sse4.1");
  return has;
}
#endif

// The luminance of a row of RGB pixels, as luminance_of_rgb gives it.
void rgb_luminance_row(const uint8_t* s, int32_t width, uint8_t* out) {
  int32_t x = 0;
#ifdef QVX_PY_X86
  if (has_avx2()) {
    // Each block reads 4 bytes past its pixels: 2 pixels more must follow.
    for (; x + 18 <= width; x += 16) rgb_luminance_16_avx2(s + 3 * x, out + x);
  } else if (active_simd_level() != SimdLevel::kScalar && has_sse41()) {
    for (; x + 16 <= width; x += 16) rgb_luminance_16(s + 3 * x, out + x);
  }
#endif
  for (; x < width; ++x) out[x] = luminance_of_rgb(s[3 * x], s[3 * x + 1], s[3 * x + 2]);
}

struct RowsOut {
  uint8_t* out;
  int32_t width;
};

void take_halftone_row(void* context, int32_t top, const uint8_t* bits) {
  const auto* o = static_cast<RowsOut*>(context);
  unpack_bits(bits, o->width, o->out + static_cast<size_t>(top) * static_cast<size_t>(o->width));
}

// Bands of fewer rows stay on one thread.
constexpr int32_t kLeastBandRows = 4;

// How many bands `threads` threads share the rows in, 1 keeping the picture on the
// caller. A local threshold's bands are at least 32 of its reaches tall, so that the
// rows each reads past its own add a sixteenth at most.
int band_count(int threads, int32_t height, int32_t reach) {
  const int64_t least = std::max<int64_t>(kLeastBandRows, int64_t{32} * reach);
  return static_cast<int>(std::max<int64_t>(1, std::min<int64_t>(threads, height / least)));
}

// Rows of luminance a band gathers at a time: about 256 KiB, still in the cache when
// they are converted.
int32_t chunk_rows(int32_t width, int32_t rows) {
  return std::max<int32_t>(1, std::min<int32_t>(rows, static_cast<int32_t>((256 << 10) / std::max(width, 1))));
}

// A band of the picture's rows with everything it needs, made before the threads start:
// they allocate nothing.
struct ArrayBand {
  LumaScratch scratch;
  std::vector<uint8_t> luma;  // a chunk of rows' luminance
  std::vector<uint8_t> bits;  // the modes: the chunk's result rows
  HalftoneConverter converter;
  bool ok = true;
};

void size_band(const ArrayPicture& p, int32_t chunk, size_t bits_bytes, ArrayBand& b) {
  const size_t width = static_cast<size_t>(p.width);
  b.scratch.samples.resize(width * static_cast<size_t>(p.bands));
  b.scratch.colours.resize(width);
  b.luma.resize(static_cast<size_t>(chunk) * width);
  b.bits.resize(static_cast<size_t>(chunk) * bits_bytes);
}

// Halftones rows first .. last - 1 (from the top) into out, on the band's converter
// (a copy of the started one), gathering the rows its windows reach around them too.
void halftone_array_band(const ArrayPicture& p, int32_t first, int32_t last, int32_t reach, int32_t chunk,
                         RowsOut& rows_out, ArrayBand& b) {
  HalftoneBand band = start_halftone_band(b.converter, first, last, p.height, reach, take_halftone_row, &rows_out);
  if (grey_rows_in_order(p)) {
    feed_halftone_band(band, p.data + p.row_step * band.from, static_cast<size_t>(p.row_step), band.to - band.from);
    return;
  }
  const size_t width = static_cast<size_t>(p.width);
  for (int32_t top = band.from; top < band.to; top += chunk) {
    const int32_t rows = std::min(chunk, band.to - top);
    for (int32_t k = 0; k < rows; ++k) array_luminance_row(p, top + k, b.scratch, b.luma.data() + k * width);
    feed_halftone_band(band, b.luma.data(), width, rows);
  }
}

// Converts storage rows first .. last - 1 by one of the modes into out. The photo modes
// draw a threshold a pixel in storage order; a picture read from a file other than BMP
// is stored bottom-up, so the bottom row draws first, and a band's draws start where
// those of the rows below it end.
void convert_mode_band(const ArrayPicture& p, const CliOptions& options, int density, int32_t first, int32_t last,
                       int32_t chunk, uint8_t* out, ArrayBand& b) {
  const size_t width = static_cast<size_t>(p.width);
  const size_t stride = result_stride(static_cast<uint32_t>(p.width));
  RandomSource random = random_after(RandomSource(), static_cast<uint64_t>(first) * width);
  for (int32_t done = first; done < last; done += chunk) {
    const int32_t rows = std::min(chunk, last - done);
    for (int32_t k = 0; k < rows; ++k) {
      array_luminance_row(p, p.height - 1 - done - k, b.scratch, b.luma.data() + k * width);
    }
    if (!convert_luminance_rows(b.luma.data(), width, p.width, rows, b.bits.data(), stride, density, options.mode,
                                options.invert, random)) {
      b.ok = false;
      return;
    }
    for (int32_t k = 0; k < rows; ++k) {
      unpack_bits(b.bits.data() + k * stride, p.width, out + static_cast<size_t>(p.height - 1 - done - k) * width);
    }
  }
}

// Runs band(first, last, chunk, band) on each band of the pool's, with `reach` rows
// read past each; false when a band failed.
template <typename Band>
bool run_array_bands(const ArrayPicture& p, BandThreads& pool, int32_t reach, size_t bits_bytes,
                     const HalftoneConverter* model, Band&& band) {
  const int count = pool.count;
  const int32_t most = band_start(p.height, 1, count) + 1;
  const int32_t chunk = chunk_rows(p.width, most + 2 * reach);
  std::vector<ArrayBand> bands(static_cast<size_t>(count));
  for (ArrayBand& b : bands) {
    size_band(p, chunk, bits_bytes, b);
    if (model) copy_band_converter(*model, most + 2 * reach, b.converter);
  }
  run_bands(pool, [&](int i) {
    const int32_t first = band_start(p.height, i, count), last = band_start(p.height, i + 1, count);
    if (first < last) band(first, last, chunk, bands[static_cast<size_t>(i)]);
  });
  for (const ArrayBand& b : bands) {
    if (!b.ok) return false;
  }
  return true;
}

}  // namespace

void array_luminance_row(const ArrayPicture& p, int32_t top, LumaScratch& scratch, uint8_t* out) {
  const uint8_t* s = row_samples(p, top, scratch);
  // Grey v has the luminance v; RGB without alpha needs no laying over white.
  if (p.bands == 1) {
    std::memcpy(out, s, static_cast<size_t>(p.width));
  } else if (p.bands == 3) {
    rgb_luminance_row(s, p.width, out);
  } else {
    scratch.colours.resize(static_cast<size_t>(p.width));
    colours_of_samples(s, p.width, p.bands, scratch.colours.data());
    luminance_of_colours(scratch.colours.data(), p.width, out);
  }
}

const uint8_t* array_rgb_row(const ArrayPicture& p, int32_t top, LumaScratch& scratch, uint8_t* rgb) {
  const uint8_t* s = row_samples(p, top, scratch);
  if (p.bands == 3) return s;
  scratch.colours.resize(static_cast<size_t>(p.width));
  colours_of_samples(s, p.width, p.bands, scratch.colours.data());
  for (int32_t x = 0; x < p.width; ++x) {
    const uint32_t c = scratch.colours[static_cast<size_t>(x)];
    rgb[3 * x] = static_cast<uint8_t>(c >> 16);
    rgb[3 * x + 1] = static_cast<uint8_t>(c >> 8);
    rgb[3 * x + 2] = static_cast<uint8_t>(c);
  }
  return rgb;
}

bool grey_rows_in_order(const ArrayPicture& p) {
  return p.bands == 1 && p.pixel_step == 1 && p.row_step >= p.width;
}

std::string convert_array_picture(const ArrayPicture& p, const CliOptions& options, int density, uint8_t* out) {
  const bool several = options.threads > 1 && p.width > 0;
  if (options.method) {
    HalftoneParams params = options.halftone;
    params.density = density;
    params.invert = options.invert;
    HalftoneConverter converter;
    const HalftoneError error = start_halftone(*options.method, params, p.width, converter);
    if (error != HalftoneError::kNone) return halftone_error_text(error);
    RowsOut rows_out{out, p.width};
    LumaScratch scratch;
    if (several && band_wave_takes(converter)) {
      // Error diffusion on the vector bands of several threads, as the command shares a picture.
      BandThreads pool;
      start_band_threads(pool, options.threads);
      if (pool.count > 1) {
        BandWave wave;  // after the pool: an abandoned wave stops the pool's threads
        start_band_wave(wave, converter, p.height, params.linear, pool, WaveSink{&rows_out, take_halftone_row});
        feed_band_wave(wave, 0, p.height, [&](int32_t top, uint8_t* row) { array_luminance_row(p, top, scratch, row); });
        finish_band_wave(wave);
        return "";
      }
    }
    // Ordered dither and the local thresholds: bands side by side, each on its own copy
    // of the converter.
    const int32_t reach = halftone_band_reach(converter);
    const bool banded = halftone_method_info(converter.method).family != HalftoneFamily::kErrorDiffusion;
    if (several && banded && band_count(options.threads, p.height, reach) > 1) {
      BandThreads pool;
      start_band_threads(pool, band_count(options.threads, p.height, reach));
      if (pool.count > 1) {
        run_array_bands(p, pool, reach, 0, &converter, [&](int32_t first, int32_t last, int32_t chunk, ArrayBand& b) {
          halftone_array_band(p, first, last, reach, chunk, rows_out, b);
        });
        return "";
      }
    }
    for_each_luma_strip(p, scratch, [&](const uint8_t* rows, size_t row_step, int32_t count) {
      halftone_rows(converter, rows, row_step, count, take_halftone_row, &rows_out);
    });
    finish_halftone(converter, take_halftone_row, &rows_out);
    return "";
  }
  const size_t stride = result_stride(static_cast<uint32_t>(p.width));
  const auto mode_band = [&](int32_t first, int32_t last, int32_t chunk, ArrayBand& b) {
    convert_mode_band(p, options, density, first, last, chunk, out, b);
  };
  if (several && band_count(options.threads, p.height, 0) > 1) {
    BandThreads pool;
    start_band_threads(pool, band_count(options.threads, p.height, 0));
    if (pool.count > 1) return run_array_bands(p, pool, 0, stride, nullptr, mode_band) ? "" : kNotEnoughMemory;
  }
  ArrayBand one;
  const int32_t chunk = chunk_rows(p.width, p.height);
  size_band(p, chunk, stride, one);
  mode_band(0, p.height, chunk, one);
  return one.ok ? "" : kNotEnoughMemory;
}

int array_otsu(const ArrayPicture& p) {
  uint64_t histogram[256] = {};
  LumaScratch scratch;
  std::vector<uint8_t> luma(static_cast<size_t>(p.width));
  for (int32_t top = 0; top < p.height; ++top) {
    array_luminance_row(p, top, scratch, luma.data());
    for (uint8_t v : luma) ++histogram[v];
  }
  return otsu_threshold(histogram);
}

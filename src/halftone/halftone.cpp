#include "halftone/halftone.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "halftone/halftone_rows.h"
#include "image/luma_kernels_x86.h"

namespace {

// The sRGB decoding curve on 0..1.
double srgb_to_linear(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

// Bayer matrix entry M[y][x] of size n (a power of two): M2n = [[4M, 4M+2], [4M+3, 4M+1]],
// so the entry is 4 M_{n/2} at the position within its quadrant plus the quadrant's 0, 2, 3 or 1.
int bayer_entry(int n, int x, int y) {
  if (n == 1) return 0;
  const int half = n / 2;
  static const int kQuadrant[2][2] = {{0, 2}, {3, 1}};
  return 4 * bayer_entry(half, x % half, y % half) + kQuadrant[y / half][x / half];
}

int bayer_size(HalftoneMethod method) {
  switch (method) {
    case HalftoneMethod::kBayer2: return 2;
    case HalftoneMethod::kBayer4: return 4;
    case HalftoneMethod::kBayer8: return 8;
    case HalftoneMethod::kBayer16: return 16;
    default: return 0;
  }
}

// Sets up the ordered thresholds: per matrix row, the largest clamped value v whose
// tone s(v) still fails 2 n^2 s > white (2 M + 1), repeated along 128 entries.
void prepare_ordered(HalftoneConverter& c, const uint16_t* tone_of_value) {
  const int n = c.method == HalftoneMethod::kBlueNoise ? 64 : bayer_size(c.method);
  c.period = n;
  c.ordered.assign(static_cast<size_t>(n) * 128, 0);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const int m = c.method == HalftoneMethod::kBlueNoise ? kBlueNoise64[y * 64 + x] : bayer_entry(n, x, y);
      const int64_t limit = int64_t{c.white} * (2 * m + 1);
      // The tone rises with the value, so the values 1.. that fail form a run from 1:
      // t is its end (0 when 1 passes already), found by halving rather than walking.
      int t = 0, last = 255;
      while (t < last) {
        const int middle = (t + last + 1) / 2;
        if (2 * int64_t{n} * n * tone_of_value[middle] <= limit) {
          t = middle;
        } else {
          last = middle - 1;
        }
      }
      for (int i = x; i < 128; i += n) c.ordered[static_cast<size_t>(y) * 128 + i] = static_cast<uint8_t>(t);
    }
  }
}

int tone_offset(const HalftoneConverter& c) { return 127 - c.params.density; }

// Sinks the converter's output row.
void emit(HalftoneConverter& c, HalftoneSink sink, void* context) {
  sink(context, c.rows_out, c.bits.data());
  ++c.rows_out;
}

int32_t* error_row(HalftoneConverter& c, int32_t row) {
  return c.errors.data() + static_cast<size_t>(row % kErrorRows) * (static_cast<size_t>(c.width) + 4) + 2;
}

void diffuse(HalftoneConverter& c, const uint8_t* luma, int32_t y) {
  for (int32_t x = 0; x < c.width; ++x) c.values[x] = c.tone[luma[x]];
  int32_t* rows[kErrorRows] = {error_row(c, y), error_row(c, y + 1), error_row(c, y + 2)};
  const int direction = c.params.serpentine && (y & 1) ? -1 : 1;
  if (c.chained) {
    diffuse_row_chain(diffusion_kernel(c.method), c.values.data(), rows, c.width, direction, c.params.linear,
                      c.params.invert, c.chain_scratch, c.bits.data());
  } else {
    diffuse_row_scalar(diffusion_kernel(c.method), c.values.data(), rows, c.width, direction, c.white / 2, c.white,
                       c.params.invert, c.bits.data());
  }
  // This row's errors are used up: the row becomes the one three below, pads included.
  std::fill(rows[0] - 2, rows[0] + c.width + 2, 0);
}

// Diffuses the waiting rows and gives them to the sink: a whole band at once on the
// vector path, fewer (at the end, or after a band failed over) one by one.
void diffuse_waiting(HalftoneConverter& c, HalftoneSink sink, void* context) {
  const size_t w = static_cast<size_t>(c.width);
#if QVX_X86 || defined(__wasm_simd128__)
  const size_t bytes = (w + 7) / 8 + 32;
  if (c.banded && c.waiting == c.banded) {
    const uint8_t* luma[kDiffusionBandRows];
    uint8_t* bits[kDiffusionBandRows];
    for (int j = 0; j < c.banded; ++j) {
      luma[j] = &c.waiting_rows[j * w];
      bits[j] = &c.band_bits[j * bytes];
    }
    const int32_t y = c.rows_out;
    int32_t* above0 = error_row(c, y);
    int32_t* above1 = error_row(c, y + 1);
#if QVX_X86
    const bool done =
        c.params.linear ? diffuse_band_wide_avx2(c.method, luma, c.tone, above0, above1, c.width, c.params.invert,
                                                 c.band_scratch, bits)
        : c.banded == 16 ? diffuse_band_avx2(c.method, luma, tone_offset(c), above0, above1, c.width,
                                             c.params.invert, c.band_scratch, bits)
                         : diffuse_band_fs_sse2(luma, tone_offset(c), above0, above1, c.width, c.params.invert,
                                                c.band_scratch, bits);
#else
    const bool done =
        diffuse_band_fs_wasm(luma, tone_offset(c), above0, c.width, c.params.invert, c.band_scratch, bits);
#endif
    if (done) {
      // The two rows after the band take its errors into slots the band's first rows held.
      std::fill(above0 - 2, above0 + c.width + 2, 0);
      std::fill(above1 - 2, above1 + c.width + 2, 0);
      for (int r = 0; r < 2; ++r) {
        int32_t* errors = error_row(c, y + c.banded + r);
        const size_t from = r * (w + 2 * kBandPad) + kBandPad;
        if (c.params.linear) {
          for (int32_t x = 0; x < c.width; ++x) errors[x] += c.band_scratch.wide_below[from + x];
        } else {
          for (int32_t x = 0; x < c.width; ++x) errors[x] += c.band_scratch.below[from + x];
        }
      }
      for (int j = 0; j < c.banded; ++j) {
        sink(context, c.rows_out, bits[j]);
        ++c.rows_out;
      }
      c.waiting = 0;
      return;
    }
  }
#endif
  for (int32_t j = 0; j < c.waiting; ++j) {
    diffuse(c, &c.waiting_rows[j * w], c.rows_out);
    emit(c, sink, context);
  }
  c.waiting = 0;
}

// The band is a ring of up to 2 radius + 1 rows, each made when first needed, so a
// short picture with a wide window holds only its own rows.
uint16_t* band_row(HalftoneConverter& c, int32_t row) {
  std::vector<uint16_t>& r = c.band[static_cast<size_t>(row % c.band_rows)];
  if (r.empty()) r.assign(static_cast<size_t>(c.width), 0);
  return r.data();
}

// Adds (sign 1) or takes away (sign -1) a band row from the column sums.
void add_to_columns(HalftoneConverter& c, int32_t row, int sign) {
  const uint16_t* s = band_row(c, row);
#if QVX_X86
  if (c.narrow)
    return add_to_narrow_columns_avx2(s, sign > 0, c.width, c.narrow_sums.data(), c.narrow_squares.data());
#endif
  for (int32_t x = 0; x < c.width; ++x) {
    c.column_sums[x] += sign * int64_t{s[x]};
    c.column_squares[x] += sign * int64_t{s[x]} * s[x];
  }
}

// Thresholds the next output row against its window, whose rows are all in the
// column sums, then takes the window's top row away when the next row's window
// no longer holds it.
void local_threshold_next(HalftoneConverter& c, int32_t last_row) {
  const int32_t y = c.rows_out, r = c.params.radius;
  const int32_t top = std::max(0, y - r);
#if QVX_X86
  if (c.narrow) {
    narrow_local_threshold_row_avx2(c.method, band_row(c, y), c.narrow_sums.data(), c.narrow_squares.data(),
                                    last_row - top + 1, c.width, r, c.params.percent, c.k, c.params.invert,
                                    c.pre_sums.data(), c.pre_squares.data(), c.bits.data());
  } else
#endif
  {
    local_threshold_row(c.method, band_row(c, y), c.column_sums.data(), c.column_squares.data(), last_row - top + 1,
                        c.width, r, c.params.percent, c.k, c.white, c.params.invert, c.row_sums.data(),
                        c.row_squares.data(), c.bits.data());
  }
  if (y - r >= 0) add_to_columns(c, y - r, -1);
}

}  // namespace

HalftoneError start_halftone(HalftoneMethod method, const HalftoneParams& params, int32_t width,
                             HalftoneConverter& c) {
  const HalftoneError error = check_halftone_params(method, params);
  if (error != HalftoneError::kNone) return error;
  c = HalftoneConverter{};
  c.method = method;
  c.params = params;
  c.width = std::max(width, 0);
  c.white = params.linear ? 65535 : 255;
  uint16_t tone_of_value[256];
  for (int v = 0; v < 256; ++v) {
    tone_of_value[v] =
        params.linear ? static_cast<uint16_t>(std::lround(65535 * srgb_to_linear(v / 255.0))) : static_cast<uint16_t>(v);
  }
  for (int l = 0; l < 256; ++l) c.tone[l] = tone_of_value[std::min(std::max(l + 127 - params.density, 0), 255)];
  c.bits.assign((static_cast<size_t>(c.width) + 7) / 8 + 32, 0);  // spare bytes for whole-vector stores
  const size_t w = static_cast<size_t>(c.width);
  switch (halftone_method_info(method).family) {
    case HalftoneFamily::kErrorDiffusion:
      c.errors.assign(kErrorRows * (w + 4), 0);
      c.values.assign(w, 0);
#if QVX_X86
      // Rows the bands leave go one at a time on the faster row path (in WebAssembly
      // under Node it is no faster than the reference).
      c.chained = active_simd_level() != SimdLevel::kScalar;
      if (c.chained) size_chain_scratch(c.chain_scratch, c.width);
      // The wavefront runs left to right: 16-bit lanes on 8-bit levels (SSE2 has
      // Floyd-Steinberg only), 32-bit lanes in linear light.
      if (!params.serpentine && c.width > 0 && c.width <= kMaxBandWidth) {
        if (active_simd_level() == SimdLevel::kAvx2) c.banded = params.linear ? kWideBandRows : 16;
        if (active_simd_level() == SimdLevel::kSse2 && method == HalftoneMethod::kFloydSteinberg && !params.linear)
          c.banded = 8;
      }
#elif defined(__wasm_simd128__)
      if (!params.serpentine && !params.linear && c.width > 0 && c.width <= kMaxBandWidth &&
          active_simd_level() == SimdLevel::kWasm128 && method == HalftoneMethod::kFloydSteinberg) {
        c.banded = 8;
      }
#endif
      if (c.banded) {
        c.waiting_rows.assign(kDiffusionBandRows * w, 0);
        c.band_bits.assign(kDiffusionBandRows * ((w + 7) / 8 + 32), 0);
        if (params.linear) {
          size_wide_band_scratch(c.band_scratch, c.width);
        } else {
          size_band_scratch(c.band_scratch, c.width);
        }
      }
      break;
    case HalftoneFamily::kOrdered:
      prepare_ordered(c, tone_of_value);
      break;
    case HalftoneFamily::kLocalThreshold:
      c.k = params.k ? *params.k : param_default(halftone_method_info(method), HalftoneParam::kK);
      c.band_rows = 2 * params.radius + 1;
      c.band.resize(static_cast<size_t>(c.band_rows));
      c.narrow = !params.linear && params.radius <= kNarrowRadius && active_simd_level() == SimdLevel::kAvx2;
      if (c.narrow) {
        c.narrow_sums.assign(w, 0);
        c.narrow_squares.assign(w, 0);
        c.pre_sums.assign(w + 2 * static_cast<size_t>(params.radius) + 2, 0);
        c.pre_squares.assign(w + 2 * static_cast<size_t>(params.radius) + 2, 0);
      } else {
        c.column_sums.assign(w, 0);
        c.column_squares.assign(w, 0);
        c.row_sums.assign(w + 1, 0);
        c.row_squares.assign(w + 1, 0);
      }
      break;
    case HalftoneFamily::kThreshold:  // the modes are the conversion's own, never a HalftoneMethod
      break;
  }
  return HalftoneError::kNone;
}

void halftone_rows(HalftoneConverter& c, const uint8_t* luma, size_t stride, int32_t rows, HalftoneSink sink,
                   void* context) {
  const HalftoneFamily family = halftone_method_info(c.method).family;
  const OrderedKernels& ordered = ordered_kernels(active_simd_level());
  const uint8_t flip = c.params.invert ? 0xFF : 0x00;
  for (int32_t i = 0; i < rows; ++i, luma += stride) {
    switch (family) {
      case HalftoneFamily::kErrorDiffusion:
        if (c.banded) {
          std::memcpy(&c.waiting_rows[static_cast<size_t>(c.waiting++) * c.width], luma, static_cast<size_t>(c.width));
          if (c.waiting == c.banded) diffuse_waiting(c, sink, context);
        } else {
          diffuse(c, luma, c.rows_in);
          emit(c, sink, context);
        }
        break;
      case HalftoneFamily::kOrdered:
        ordered.row(luma, c.width, tone_offset(c), &c.ordered[static_cast<size_t>(c.rows_in % c.period) * 128], flip,
                    c.bits.data());
        emit(c, sink, context);
        break;
      case HalftoneFamily::kLocalThreshold: {
        // The band holds rows rows_out - radius .. rows_in; it grows until it is full.
        uint16_t* s = band_row(c, c.rows_in);
        for (int32_t x = 0; x < c.width; ++x) s[x] = c.tone[luma[x]];
        add_to_columns(c, c.rows_in, 1);
        if (c.rows_in - c.params.radius >= 0) {
          local_threshold_next(c, c.rows_in);
          emit(c, sink, context);
        }
        break;
      }
      case HalftoneFamily::kThreshold: break;
    }
    ++c.rows_in;
  }
}

void finish_halftone(HalftoneConverter& c, HalftoneSink sink, void* context) {
  diffuse_waiting(c, sink, context);
  while (c.rows_out < c.rows_in) {
    local_threshold_next(c, c.rows_in - 1);
    emit(c, sink, context);
  }
}

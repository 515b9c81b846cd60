// Feeds a random small picture, method and parameters (within their ranges and
// outside) to the halftoning core, converts it whole and again in strips of random
// heights, as the command and the page feed it, and once more a row at a time with
// error diffusion's row loop instead of the vector bands: the bits must be equal.
// Parameters the core refuses must be refused by its check with the same error,
// before anything is set up.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include "halftone/halftone.h"

namespace {

void check(bool holds) {
  if (!holds) std::abort();
}

// The fuzz bytes read in turn; past their end, zeros.
struct Bytes {
  const uint8_t* data;
  size_t size, at = 0;
  uint8_t next() { return at < size ? data[at++] : 0; }
};

// The heights of the strips, repeating.
struct StripHeights {
  uint8_t heights[8];
  size_t at = 0;
  int32_t next(int32_t most) { return 1 + heights[at++ % 8] % most; }
};

// The rows as the sink got them, checked to come in order, each once.
struct Collected {
  int32_t width = 0;
  int32_t next_row = 0;
  std::vector<uint8_t> bits;
};

void collect(void* context, int32_t row, const uint8_t* bits) {
  auto& c = *static_cast<Collected*>(context);
  const size_t stride = (static_cast<size_t>(c.width) + 7) / 8;
  check(row == c.next_row++);
  if (c.width % 8 != 0) check((bits[stride - 1] & (0xFF >> (c.width % 8))) == 0);  // bits past the width
  c.bits.insert(c.bits.end(), bits, bits + stride);
}

// A value from a parameter's range, its edges, or just outside it.
int pick(uint8_t choice, int low, int high) {
  switch (choice % 8) {
    case 0: return low - 1;
    case 1: return high + 1;
    case 2: return low;
    case 3: return high;
    default: return low + static_cast<int>(choice) % (high - low + 1);
  }
}

// Returns a converter started for the method and parameters, or nullptr when the core
// refuses them, which it must do with the error its check gives.
std::unique_ptr<HalftoneConverter> started_converter(HalftoneMethod method, const HalftoneParams& params,
                                                     int32_t width, HalftoneError expected) {
  auto converter = std::make_unique<HalftoneConverter>();
  check(start_halftone(method, params, width, *converter) == expected);
  return expected == HalftoneError::kNone ? std::move(converter) : nullptr;
}

// Converts with a copy of a started converter: the picture whole, in strips, or a row
// at a time through error diffusion's row loop (no bands of rows waiting).
std::vector<uint8_t> convert(const HalftoneConverter& started, const std::vector<uint8_t>& luma, int32_t width,
                             int32_t height, StripHeights* strips, bool row_loop) {
  HalftoneConverter converter = started;
  if (row_loop) converter.banded = 0;
  Collected out;
  out.width = width;
  for (int32_t top = 0; top < height;) {
    const int32_t rows = strips ? strips->next(height - top) : row_loop ? 1 : height;
    halftone_rows(converter, luma.data() + static_cast<size_t>(top) * static_cast<size_t>(width),
                  static_cast<size_t>(width), rows, collect, &out);
    top += rows;
  }
  finish_halftone(converter, collect, &out);
  check(out.next_row == height);
  return out.bits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in{data, size};
  // Wider than the widest vector step (32 pixels), a few bands of rows high.
  const int32_t width = 1 + in.next() % 40, height = 1 + in.next() % 32;
  const int method_count = static_cast<int>(halftone_methods().size());
  const int method_number = pick(in.next(), 0, method_count - 1);
  const auto method = static_cast<HalftoneMethod>(method_number);
  HalftoneParams params;
  const uint8_t flags = in.next();
  params.invert = flags & 1;
  params.serpentine = flags & 2;
  params.linear = flags & 4;
  params.density = pick(in.next(), 0, 254);
  // Windows larger than the picture are common: a radius up to 64 reaches every path
  // the largest one does, without a band of 20001 rows to set up.
  const uint8_t radius = in.next();
  params.radius = radius == 255 ? kMaxHalftoneRadius + 1 : pick(radius, 1, 64);
  params.percent = pick(in.next(), 0, 100);
  if (flags & 16) {
    const uint8_t k = in.next();
    params.k = k == 255 ? std::numeric_limits<double>::quiet_NaN()
                        : k == 254 ? std::numeric_limits<double>::infinity() : (k - 128) / 64.0;
  }
  const HalftoneError expected = check_halftone_params(method, params);
  const std::unique_ptr<HalftoneConverter> started = started_converter(method, params, width, expected);
  if (!started) return 0;
  StripHeights strips;
  for (uint8_t& h : strips.heights) h = in.next();
  // A picture of a few grey levels (flat areas and edges) or of any bytes.
  std::vector<uint8_t> luma(static_cast<size_t>(width) * static_cast<size_t>(height));
  const bool levels = flags & 32;
  for (uint8_t& v : luma) {
    const uint8_t b = in.next();
    v = levels ? static_cast<uint8_t>((b & 3) * 85) : b;
  }
  const std::vector<uint8_t> whole = convert(*started, luma, width, height, nullptr, false);
  check(convert(*started, luma, width, height, &strips, false) == whole);
  if (halftone_method_info(method).family == HalftoneFamily::kErrorDiffusion) {
    check(convert(*started, luma, width, height, nullptr, true) == whole);
  }
  return 0;
}

#include "pipeline/halftone_band.h"

#include <algorithm>
#include <cstring>

#include "halftone/method_descriptors.h"

namespace {

bool is_ordered(const HalftoneConverter& c) {
  return halftone_method_info(c.method).family == HalftoneFamily::kOrdered;
}

// The converter's sink: the band's own rows on to the band's sink, the rows it was
// fed only for their windows dropped.
void take_own_row(void* context, int32_t row, const uint8_t* bits) {
  const HalftoneBand& b = *static_cast<const HalftoneBand*>(context);
  const int32_t at = b.offset + row;
  if (at >= b.first && at < b.last) b.sink(b.context, at, bits);
}

}  // namespace

int32_t halftone_band_reach(const HalftoneConverter& model) {
  return halftone_method_info(model.method).family == HalftoneFamily::kLocalThreshold ? model.params.radius : 0;
}

void copy_band_converter(const HalftoneConverter& model, int32_t rows, HalftoneConverter& copy) {
  copy = model;
  // A window's ring takes its rows of s as they first come in.
  const size_t used = std::min(copy.band.size(), static_cast<size_t>(std::max(rows, 0)));
  for (size_t i = 0; i < used; ++i) {
    if (copy.band[i].empty()) copy.band[i].assign(static_cast<size_t>(copy.width), 0);
  }
}

HalftoneBand start_halftone_band(HalftoneConverter& copy, int32_t first, int32_t last, int32_t height,
                                 int32_t reach, HalftoneSink sink, void* context) {
  HalftoneBand b;
  b.converter = &copy;
  b.first = first;
  b.last = last;
  b.height = height;
  b.sink = sink;
  b.context = context;
  // The rows above the band that its windows reach, as if the picture began there:
  // no window of the band's rows passes that beginning, so they come out as they would.
  b.from = std::max(0, first - reach);
  b.to = std::min(height, last + reach);
  if (is_ordered(copy)) {
    // An ordered row's thresholds are those of its place in the picture.
    copy.rows_in = b.from;
    copy.rows_out = b.from;
  } else {
    b.offset = b.from;
  }
  return b;
}

void feed_halftone_band(HalftoneBand& b, const uint8_t* luma, size_t stride, int32_t rows) {
  rows = std::min(rows, b.to - b.from - b.fed);
  if (rows <= 0) return;
  halftone_rows(*b.converter, luma, stride, rows, take_own_row, &b);
  b.fed += rows;
  if (b.from + b.fed == b.height) finish_halftone(*b.converter, take_own_row, &b);
}

void keep_band_bits(void* band_bits, int32_t row, const uint8_t* bits) {
  const BandBits& b = *static_cast<const BandBits*>(band_bits);
  std::memcpy(b.bits + static_cast<size_t>(row - b.first) * b.bytes, bits, b.bytes);
}

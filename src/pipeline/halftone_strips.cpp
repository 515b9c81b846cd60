#include "pipeline/halftone_strips.h"

#include <algorithm>
#include <cstring>

#include "mono/result_bitmap.h"

namespace {

int32_t top_of(const HalftoneStrips& h, int32_t storage_row) {
  return h.out->bottom_up ? h.height - 1 - storage_row : storage_row;
}

// Hands the batch to the output as storage rows.
void flush_batch(HalftoneStrips& h) {
  if (h.batch_rows == 0) return;
  const int32_t first = h.out->bottom_up ? h.height - h.batch_top - h.batch_rows : h.batch_top;
  const size_t skipped = h.out->bottom_up ? static_cast<size_t>(h.batch_capacity - h.batch_rows) : 0;
  if (!h.failed && !put_result_rows(*h.out, first, h.batch_rows, h.batch.data() + skipped * h.out->stride)) {
    h.failed = true;
  }
  h.batch_rows = 0;
}

// The converter's sink: row `top` goes into the batch where its storage row stands,
// so a bottom-up output's batch fills from its end.
void take_row(void* context, int32_t top, const uint8_t* bits) {
  HalftoneStrips& h = *static_cast<HalftoneStrips*>(context);
  if (h.batch_rows == 0) h.batch_top = top;
  const int32_t slot = h.out->bottom_up ? h.batch_capacity - 1 - h.batch_rows : h.batch_rows;
  std::memcpy(h.batch.data() + static_cast<size_t>(slot) * h.out->stride, bits, (static_cast<size_t>(h.width) + 7) / 8);
  if (++h.batch_rows == h.batch_capacity) flush_batch(h);
}

}  // namespace

HalftoneError start_halftone_strips(HalftoneStrips& h, HalftoneMethod method, const HalftoneParams& params,
                                    ResultOutput& out, int32_t width, int32_t height) {
  const HalftoneError error = start_halftone(method, params, width, h.converter);
  if (error != HalftoneError::kNone) return error;
  h.out = &out;
  h.width = std::max(width, 0);
  h.height = std::max(height, 0);
  // Batches of about 64 KiB: a BMP written from the top seeks once a batch.
  const int64_t batch_rows = (int64_t{64} << 10) / std::max<int64_t>(out.stride, 1);
  h.batch_capacity = static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(batch_rows, h.height)));
  // The bytes past each row's bits stay zero: rows are copied in without them.
  h.batch.assign(static_cast<size_t>(h.batch_capacity) * out.stride, 0);
  return HalftoneError::kNone;
}

bool halftone_strip(HalftoneStrips& h, const Strip& strip) {
  if (h.width == 0 || strip.rows <= 0) return !h.failed;
  const size_t width = static_cast<size_t>(h.width);
  const int32_t top = std::min(top_of(h, strip.first_row), top_of(h, strip.first_row + strip.rows - 1));
  // Strip row of a row from the top.
  const auto index = [&](int32_t t) { return h.out->bottom_up ? h.height - 1 - t - strip.first_row : t - strip.first_row; };
  if (h.held.empty() && top == h.next_top) {
    h.luma.resize(static_cast<size_t>(strip.rows) * width);
    for (int32_t k = 0; k < strip.rows; ++k) strip_luminance(strip, index(top + k), h.luma.data() + k * width);
    halftone_rows(h.converter, h.luma.data(), width, strip.rows, take_row, &h);
    h.next_top += strip.rows;
    return !h.failed;
  }
  // Rows that can only be had bottom first (compressed BMP): their luminance waits, a byte a pixel.
  if (h.held.empty()) h.held.assign(static_cast<size_t>(h.height) * width, 0);
  for (int32_t k = 0; k < strip.rows; ++k) {
    strip_luminance(strip, index(top + k), h.held.data() + static_cast<size_t>(top + k) * width);
  }
  return true;
}

bool finish_halftone_strips(HalftoneStrips& h) {
  if (!h.held.empty()) {
    const size_t width = static_cast<size_t>(h.width);
    halftone_rows(h.converter, h.held.data() + static_cast<size_t>(h.next_top) * width, width, h.height - h.next_top,
                  take_row, &h);
    std::vector<uint8_t>().swap(h.held);
  }
  finish_halftone(h.converter, take_row, &h);
  flush_batch(h);
  return !h.failed;
}

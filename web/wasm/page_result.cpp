#include "page_result.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "mono/conversion.h"
#include "mono/random_jump.h"

namespace {

// The modes: converts storage rows [first, first + rows), each drawing where it
// would in a conversion of the whole picture.
void convert_mode_rows(PageResult& r, int32_t first, int32_t rows) {
  const PagePicture& p = *r.picture;
  const size_t width = static_cast<size_t>(p.width);
  RandomSource random = random_after(RandomSource(), static_cast<uint64_t>(first) * width);
  convert_luminance_rows(p.luma.get() + static_cast<size_t>(first) * width, width, p.width, rows,
                         r.bits.get() + static_cast<size_t>(first) * r.stride, r.stride, r.params.density, r.mode,
                         r.params.invert, random);
  for (int32_t s = first; s < first + rows; ++s) r.ready.get()[static_cast<size_t>(s)] = 1;
  r.ready_rows += rows;
}

// Converts the rows of a sorted list that are not ready, a run of neighbours at a time.
void convert_mode_list(PageResult& r, const std::vector<int32_t>& rows) {
  size_t i = 0;
  while (i < rows.size()) {
    if (r.ready.get()[static_cast<size_t>(rows[i])]) {
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j < rows.size() && rows[j] == rows[j - 1] + 1 && !r.ready.get()[static_cast<size_t>(rows[j])]) ++j;
    convert_mode_rows(r, rows[i], rows[j - 1] - rows[i] + 1);
    i = j;
  }
}

void take_row(void* context, int32_t top, const uint8_t* bits) {
  PageResult& r = *static_cast<PageResult*>(context);
  const int32_t s = storage_row(*r.picture, top);
  std::memcpy(r.bits.get() + static_cast<size_t>(s) * r.stride, bits, r.stride);
  r.ready.get()[static_cast<size_t>(s)] = 1;
  ++r.ready_rows;
}

// The methods: feeds rows from the top until `top` is out or the picture ends.
void convert_method_to(PageResult& r, int32_t top) {
  const PagePicture& p = *r.picture;
  while (!r.finished && !r.ready.get()[static_cast<size_t>(storage_row(p, top))]) {
    if (r.next_top == p.height) {
      finish_halftone(r.converter, take_row, &r);
      r.finished = true;
      break;
    }
    const uint8_t* row = p.luma.get() + static_cast<size_t>(storage_row(p, r.next_top)) * static_cast<size_t>(p.width);
    halftone_rows(r.converter, row, static_cast<size_t>(p.width), 1, take_row, &r);
    ++r.next_top;
  }
}

// Returns the picture coordinate of a pane coordinate, or -1 beyond `size`.
int32_t picture_coordinate(int32_t pane, int32_t scroll, const PaneView& v, int32_t size) {
  const int64_t c = (static_cast<int64_t>(pane) + scroll) * v.den / v.num;
  return c >= 0 && c < size ? static_cast<int32_t>(c) : -1;
}

}  // namespace

void clear_result(PageResult& r, const PagePicture& p) {
  r = PageResult();
  r.picture = &p;
}

PageFailure start_result(PageResult& r, const PagePicture& p, const ConversionRequest& request) {
  clear_result(r, p);
  HalftoneParams params = request.halftone;
  params.density = request.density;
  params.invert = request.invert;
  HalftoneConverter converter;
  if (request.method) {
    const HalftoneError error = start_halftone(*request.method, params, p.width, converter);
    if (error != HalftoneError::kNone) return halftone_failure(error);
  } else if (params.density < kDensityMin || params.density > kDensityMax) {
    return halftone_failure(HalftoneError::kBadDensity);
  }
  // Only a result with its rows allocated is started: the panes and the slices read them.
  const size_t stride = (static_cast<size_t>(p.width) + 7) / 8;
  const size_t height = static_cast<size_t>(p.height);
  if (!r.bits.allocate(stride * height) || !r.ready.allocate(height)) {
    clear_result(r, p);
    return memory_failure();
  }
  r.method = request.method;
  r.mode = request.mode;
  r.params = params;
  r.stride = stride;
  r.converter = std::move(converter);
  std::memset(r.bits.get(), 0, stride * height);
  std::memset(r.ready.get(), 0, height);
  return {};
}

int32_t convert_more(PageResult& r, int64_t pixels) {
  if (r.picture == nullptr || r.bits.get() == nullptr) return 0;
  const PagePicture& p = *r.picture;
  if (p.width <= 0 || p.height <= 0) return 0;
  const int32_t budget = static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(pixels / p.width, p.height)));
  if (r.method) {
    convert_method_to(r, std::min(r.next_top + budget, p.height) - 1);
    if (r.next_top == p.height && !r.finished) convert_method_to(r, p.height - 1);
  } else {
    int32_t left = budget;
    while (left > 0 && r.scan < p.height) {
      if (r.ready.get()[static_cast<size_t>(r.scan)]) {
        ++r.scan;
        continue;
      }
      int32_t end = r.scan;
      while (end < p.height && end - r.scan < left && !r.ready.get()[static_cast<size_t>(end)]) ++end;
      convert_mode_rows(r, r.scan, end - r.scan);
      left -= end - r.scan;
      r.scan = end;
    }
  }
  return p.height - r.ready_rows;
}

void draw_panes(PageResult& r, const PaneView& v, uint32_t* source_pane, uint32_t* result_pane) {
  if (r.picture == nullptr) return;
  const PagePicture& p = *r.picture;
  const bool started = r.bits.get() != nullptr;
  const size_t pane_width = static_cast<size_t>(std::max(v.pane_width, 0));
  std::vector<int32_t> columns(pane_width), tops(static_cast<size_t>(std::max(v.pane_height, 0)));
  for (size_t u = 0; u < pane_width; ++u) columns[u] = picture_coordinate(static_cast<int32_t>(u), v.scroll_x, v, p.width);
  std::vector<int32_t> needed;
  int32_t lowest_top = -1;
  for (size_t y = 0; y < tops.size(); ++y) {
    tops[y] = picture_coordinate(static_cast<int32_t>(y), v.scroll_y, v, p.height);
    if (tops[y] < 0) continue;
    needed.push_back(storage_row(p, tops[y]));
    lowest_top = std::max(lowest_top, tops[y]);
  }
  if (!started) {
    // nothing to convert
  } else if (r.method) {
    if (lowest_top >= 0) convert_method_to(r, lowest_top);
  } else {
    std::sort(needed.begin(), needed.end());
    needed.erase(std::unique(needed.begin(), needed.end()), needed.end());
    convert_mode_list(r, needed);
  }
  for (size_t y = 0; y < tops.size(); ++y) {
    uint32_t* source_out = source_pane + y * pane_width;
    uint32_t* result_out = result_pane + y * pane_width;
    if (tops[y] < 0) {
      std::fill(source_out, source_out + pane_width, 0u);
      std::fill(result_out, result_out + pane_width, 0u);
      continue;
    }
    const uint32_t* colours = p.colours.get() + static_cast<size_t>(tops[y]) * static_cast<size_t>(p.width);
    const uint8_t* bits = started ? r.bits.get() + static_cast<size_t>(storage_row(p, tops[y])) * r.stride : nullptr;
    for (size_t u = 0; u < pane_width; ++u) {
      const int32_t x = columns[u];
      if (x < 0 || bits == nullptr) {
        source_out[u] = x < 0 ? 0 : colours[x];
        result_out[u] = 0;
        continue;
      }
      source_out[u] = colours[x];
      const bool white = (bits[x >> 3] >> (7 - (x & 7))) & 1;
      result_out[u] = white ? 0xFFFFFFFFu : 0xFF000000u;
    }
  }
}

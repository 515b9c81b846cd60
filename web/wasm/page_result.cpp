#include "page_result.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "halftone/method_descriptors.h"
#include "mono/conversion.h"
#include "mono/random_jump.h"

namespace {

bool converted(const PageResult& r, int32_t storage) { return r.ready.get()[static_cast<size_t>(storage)] == kRowConverted; }

void take_row(void* context, int32_t top, const uint8_t* bits);

// The modes: converts storage rows [first, first + rows), each drawing where it
// would in a conversion of the whole picture.
void convert_mode_rows(PageResult& r, int32_t first, int32_t rows) {
  const PagePicture& p = *r.picture;
  const size_t width = static_cast<size_t>(p.width);
  RandomSource random = random_after(RandomSource(), static_cast<uint64_t>(first) * width);
  convert_luminance_rows(p.luma.get() + static_cast<size_t>(first) * width, width, p.width, rows,
                         r.bits.get() + static_cast<size_t>(first) * r.stride, r.stride, r.params.density, r.mode,
                         r.params.invert, random);
  for (int32_t s = first; s < first + rows; ++s) r.ready.get()[static_cast<size_t>(s)] = kRowConverted;
  r.ready_rows += rows;
}

// Converts storage rows [first, first + rows) of a mode or of ordered dither, whose rows
// depend on nothing but their own luminance and place.
void convert_rows(PageResult& r, int32_t first, int32_t rows) {
  if (!r.any_row) {
    convert_mode_rows(r, first, rows);
    return;
  }
  const PagePicture& p = *r.picture;
  const size_t width = static_cast<size_t>(p.width);
  for (int32_t s = first; s < first + rows; ++s) {
    // The converter takes the row as the row it is from the top: the matrix row follows.
    const int32_t top = storage_row(p, s);
    r.converter.rows_in = top;
    r.converter.rows_out = top;
    halftone_rows(r.converter, p.luma.get() + static_cast<size_t>(s) * width, width, 1, take_row, &r);
  }
}

// Converts the rows of a sorted list that are not ready, a run of neighbours at a time.
void convert_mode_list(PageResult& r, const std::vector<int32_t>& rows) {
  size_t i = 0;
  while (i < rows.size()) {
    if (converted(r, rows[i])) {
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j < rows.size() && rows[j] == rows[j - 1] + 1 && !converted(r, rows[j])) ++j;
    convert_rows(r, rows[i], rows[j - 1] - rows[i] + 1);
    i = j;
  }
}

void take_row(void* context, int32_t top, const uint8_t* bits) {
  PageResult& r = *static_cast<PageResult*>(context);
  const int32_t s = storage_row(*r.picture, top);
  std::memcpy(r.bits.get() + static_cast<size_t>(s) * r.stride, bits, r.stride);
  r.ready.get()[static_cast<size_t>(s)] = kRowConverted;
  ++r.ready_rows;
}

void take_indexes(void* context, int32_t top, const uint8_t* indexes) {
  PageResult& r = *static_cast<PageResult*>(context);
  const size_t width = static_cast<size_t>(r.picture->width);
  const int32_t s = storage_row(*r.picture, top);
  std::memcpy(r.indexes.get() + static_cast<size_t>(s) * width, indexes, width);
  r.ready.get()[static_cast<size_t>(s)] = kRowConverted;
  ++r.ready_rows;
}

// The next row from the top to the converter: luminance, or for a palette the colours
// the pane shows (transparent pixels already over white).
void feed_next_row(PageResult& r) {
  const PagePicture& p = *r.picture;
  const size_t width = static_cast<size_t>(p.width);
  const uint8_t* luma = p.luma.get() + static_cast<size_t>(storage_row(p, r.next_top)) * width;
  if (!r.indexed) {
    halftone_rows(r.converter, luma, width, 1, take_row, &r);
  } else if (!r.palette) {
    grey_level_rows(r.levels, luma, width, 1, take_indexes, &r);
  } else {
    const uint32_t* colours = p.colours.get() + static_cast<size_t>(r.next_top) * width;
    uint8_t* rgb = r.rgb.data();
    for (size_t x = 0; x < width; ++x) {
      const uint32_t c = colours[x];  // red in the low byte
      rgb[3 * x] = static_cast<uint8_t>(c);
      rgb[3 * x + 1] = static_cast<uint8_t>(c >> 8);
      rgb[3 * x + 2] = static_cast<uint8_t>(c >> 16);
    }
    palette_rows(r.colours, rgb, 3 * width, 1, take_indexes, &r);
  }
  ++r.next_top;
}

void finish_rows(PageResult& r) {
  if (!r.indexed) {
    finish_halftone(r.converter, take_row, &r);
  } else if (!r.palette) {
    finish_grey_levels(r.levels, take_indexes, &r);
  } else {
    finish_palette(r.colours, take_indexes, &r);
  }
  r.finished = true;
}

bool streams(const PageResult& r) { return (r.method && !r.any_row && !r.banded) || r.indexed; }

// Where a band's converter sends its rows: those of the band not yet converted into
// the result, the rows it was fed only for their windows dropped.
struct BandSink {
  PageResult* result;
  int32_t offset;      // the row from the top of the converter's row 0
  int32_t first, end;  // the band's rows from the top
};

void take_band_row(void* context, int32_t row, const uint8_t* bits) {
  const BandSink& b = *static_cast<BandSink*>(context);
  const int32_t top = b.offset + row;
  if (top < b.first || top >= b.end || converted(*b.result, storage_row(*b.result->picture, top))) return;
  take_row(b.result, top, bits);
}

// Converts band `band` of the rows from the top: its converter begins at the first row
// its windows reach, as if the picture began there; no window of the band's own rows
// passes that beginning, so they come out as in a conversion of the whole picture.
void convert_band(PageResult& r, int32_t band) {
  const PagePicture& p = *r.picture;
  const int32_t first = band * r.band_rows, end = std::min(p.height, first + r.band_rows);
  int32_t top = first;
  while (top < end && converted(r, storage_row(p, top))) ++top;
  if (top == end) return;
  const int32_t from = std::max(0, first - r.reach), to = std::min(p.height, end + r.reach);
  HalftoneConverter c = r.model;
  BandSink sink{&r, from, first, end};
  const size_t width = static_cast<size_t>(p.width);
  for (int32_t t = from; t < to; ++t) {
    halftone_rows(c, p.luma.get() + static_cast<size_t>(storage_row(p, t)) * width, width, 1, take_band_row, &sink);
  }
  if (to == p.height) finish_halftone(c, take_band_row, &sink);
}

bool band_converted(const PageResult& r, int32_t band) {
  const int32_t first = band * r.band_rows, end = std::min(r.picture->height, first + r.band_rows);
  for (int32_t top = first; top < end; ++top) {
    if (!converted(r, storage_row(*r.picture, top))) return false;
  }
  return true;
}

// Feeds rows from the top until `top` is out or the picture ends (a converter may hold
// a few rows back).
void convert_method_to(PageResult& r, int32_t top) {
  const PagePicture& p = *r.picture;
  while (!r.finished && !converted(r, storage_row(p, top))) {
    if (r.next_top == p.height) {
      finish_rows(r);
      break;
    }
    feed_next_row(r);
  }
}

uint32_t canvas_of(const uint8_t rgb[3]) {
  return 0xFF000000u | static_cast<uint32_t>(rgb[2]) << 16 | static_cast<uint32_t>(rgb[1]) << 8 | rgb[0];
}

// Sets up the grey-level or palette converter; a "setting" failure naming the field,
// or none.
PageFailure start_indexes(PageResult& r, const ConversionRequest& request, const HalftoneParams& params) {
  const PagePicture& p = *r.picture;
  r.indexed = true;
  r.palette = wants_palette(request);
  const char* field = r.palette ? "palette" : "levels";
  if (!request.method && request.mode != kModeLetter) {
    return {"setting", "--levels and --palette need letter or a method", field};
  }
  LevelsError error = LevelsError::kNone;
  if (r.palette) {
    Palette palette;
    std::string text;
    if (!parse_palette(request.palette, &palette, &text)) return {"setting", text, "palette"};
    error = start_palette(request.method, params, palette, p.width, r.colours);
    for (int k = 0; k < palette.count; ++k) r.shades[k] = canvas_of(palette.rgb[k]);
  } else {
    error = start_grey_levels(request.method, params, request.levels, p.width, r.levels);
    for (int k = 0; k < request.levels; ++k) {
      const uint8_t grey = level_grey(request.levels, k);
      const uint8_t rgb[3] = {grey, grey, grey};
      r.shades[k] = canvas_of(rgb);
    }
  }
  if (error == LevelsError::kBadParams) return halftone_failure(check_halftone_params(*request.method, params));
  if (error != LevelsError::kNone) return {"setting", levels_error_text(error), field};
  return {};
}

// Returns the picture coordinate of a pane coordinate, or -1 beyond `size`.
int32_t picture_coordinate(int32_t pane, int32_t scroll, const PaneView& v, int32_t size) {
  const int64_t c = (static_cast<int64_t>(pane) + scroll) * v.den / v.num;
  return c >= 0 && c < size ? static_cast<int32_t>(c) : -1;
}

// Takes over the rows of the result before when they can stand in for these settings'
// rows until those are converted: the same picture, the same kind of rows, the same shades.
bool keep_rows_before(PageResult& r, PageResult& before) {
  const PagePicture& p = *r.picture;
  if (before.picture != &p || before.ready.get() == nullptr || before.width != p.width || before.height != p.height ||
      before.indexed != r.indexed || std::memcmp(before.shades, r.shades, sizeof r.shades) != 0) {
    return false;
  }
  r.bits = std::move(before.bits);
  r.indexes = std::move(before.indexes);
  r.ready = std::move(before.ready);
  uint8_t* ready = r.ready.get();
  for (size_t s = 0; s < static_cast<size_t>(p.height); ++s) ready[s] = ready[s] != 0 ? kRowBefore : 0;
  return true;
}

}  // namespace

int32_t result_bands(const PageResult& r) {
  if (!r.banded || r.ready.get() == nullptr) return 0;
  return (r.picture->height + r.band_rows - 1) / r.band_rows;
}

void convert_result_band(PageResult& r, int32_t band) {
  if (band >= 0 && band < result_bands(r)) convert_band(r, band);
}

int32_t take_result_band(PageResult& r, int32_t band, const uint8_t* rows) {
  if (band < 0 || band >= result_bands(r)) return r.ready.get() ? r.picture->height - r.ready_rows : 0;
  const int32_t first = band * r.band_rows, end = std::min(r.picture->height, first + r.band_rows);
  for (int32_t top = first; top < end; ++top) {
    if (!converted(r, storage_row(*r.picture, top))) take_row(&r, top, rows + static_cast<size_t>(top - first) * r.stride);
  }
  return r.picture->height - r.ready_rows;
}

bool converts_by_slices(const PageResult& r) { return r.ready.get() != nullptr && (streams(r) || r.banded); }

bool view_converted(const PageResult& r, const PaneView& v) {
  if (r.picture == nullptr || r.ready.get() == nullptr) return true;
  const PagePicture& p = *r.picture;
  for (int32_t y = 0; y < v.pane_height; ++y) {
    const int32_t top = picture_coordinate(y, v.scroll_y, v, p.height);
    if (top >= 0 && !converted(r, storage_row(p, top))) return false;
  }
  return true;
}

void clear_result(PageResult& r, const PagePicture& p) {
  r = PageResult();
  r.picture = &p;
}

PageFailure start_result(PageResult& r, const PagePicture& p, const ConversionRequest& request) {
  PageResult before = std::move(r);
  clear_result(r, p);
  HalftoneParams params = request.halftone;
  params.density = request.density;
  params.invert = request.invert;
  HalftoneConverter converter;
  if (params.density < kDensityMin || params.density > kDensityMax) {
    return halftone_failure(HalftoneError::kBadDensity);
  }
  if (converts_to_indexes(request)) {
    const PageFailure failure = start_indexes(r, request, params);
    if (failed(failure)) {
      clear_result(r, p);
      return failure;
    }
  } else if (request.method) {
    const HalftoneError error = start_halftone(*request.method, params, p.width, converter);
    if (error != HalftoneError::kNone) return halftone_failure(error);
  }
  // Only a result with its rows allocated is started: the panes and the slices read them.
  const size_t width = static_cast<size_t>(p.width);
  const size_t stride = (width + 7) / 8;
  const size_t height = static_cast<size_t>(p.height);
  const bool kept = keep_rows_before(r, before);
  before = PageResult();
  if (!kept) {
    const bool rows = r.indexed ? r.indexes.allocate(width * height) : r.bits.allocate(stride * height);
    if (!rows || !r.ready.allocate(height)) {
      clear_result(r, p);
      return memory_failure();
    }
    if (!r.indexed) std::memset(r.bits.get(), 0, stride * height);
    std::memset(r.ready.get(), 0, height);
  }
  if (r.palette) r.rgb.resize(3 * width);
  r.method = request.method;
  r.mode = request.mode;
  r.params = params;
  r.stride = stride;
  r.converter = std::move(converter);
  const HalftoneFamily family = request.method ? halftone_method_info(*request.method).family : HalftoneFamily::kThreshold;
  r.any_row = !r.indexed && family == HalftoneFamily::kOrdered;
  if (!r.indexed && family == HalftoneFamily::kLocalThreshold) {
    // Each band converts its reach above and below again: bands of 16 reaches add an eighth.
    r.banded = true;
    r.reach = params.radius;
    r.band_rows = std::clamp(16 * r.reach, 64, 256);
    r.model = r.converter;
  }
  r.width = p.width;
  r.height = p.height;
  return {};
}

int32_t convert_more(PageResult& r, int64_t pixels, const PaneView* view) {
  if (r.picture == nullptr || r.ready.get() == nullptr) return 0;
  const PagePicture& p = *r.picture;
  if (p.width <= 0 || p.height <= 0) return 0;
  const int32_t budget = static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(pixels / p.width, p.height)));
  if (r.banded) {
    const int32_t bands = (p.height + r.band_rows - 1) / r.band_rows;
    int32_t view_first = 0, view_last = -1;  // the bands in view
    if (view != nullptr && view->pane_height > 0) {
      const int32_t top = picture_coordinate(0, view->scroll_y, *view, p.height);
      const int32_t bottom = picture_coordinate(view->pane_height - 1, view->scroll_y, *view, p.height);
      if (top >= 0) {
        view_first = top / r.band_rows;
        view_last = (bottom < 0 ? p.height - 1 : bottom) / r.band_rows;
      }
    }
    for (int32_t left = budget; left > 0; left -= r.band_rows) {
      int32_t band = view_first;
      while (band <= view_last && band_converted(r, band)) ++band;
      if (band > view_last) {
        while (r.scan < bands && band_converted(r, r.scan)) ++r.scan;
        if (r.scan == bands) break;
        band = r.scan;
      }
      convert_band(r, band);
    }
  } else if (streams(r)) {
    convert_method_to(r, std::min(r.next_top + budget, p.height) - 1);
    if (r.next_top == p.height && !r.finished) convert_method_to(r, p.height - 1);
  } else {
    int32_t left = budget;
    while (left > 0 && r.scan < p.height) {
      if (converted(r, r.scan)) {
        ++r.scan;
        continue;
      }
      int32_t end = r.scan;
      while (end < p.height && end - r.scan < left && !converted(r, end)) ++end;
      convert_rows(r, r.scan, end - r.scan);
      left -= end - r.scan;
      r.scan = end;
    }
  }
  return p.height - r.ready_rows;
}

bool draw_panes(PageResult& r, const PaneView& v, uint32_t* source_pane, uint32_t* result_pane, bool convert) {
  if (r.picture == nullptr) return true;
  const PagePicture& p = *r.picture;
  const bool started = r.ready.get() != nullptr;
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
  if (!started || !convert) {
    // nothing to convert
  } else if (r.banded) {
    for (const int32_t top : tops) {
      if (top >= 0 && !converted(r, storage_row(p, top))) convert_band(r, top / r.band_rows);
    }
  } else if (streams(r)) {
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
    const size_t s = static_cast<size_t>(storage_row(p, tops[y]));
    const bool shown = started && r.ready.get()[s] != 0;
    const uint8_t* bits = shown && !r.indexed ? r.bits.get() + s * r.stride : nullptr;
    const uint8_t* indexes = shown && r.indexed ? r.indexes.get() + s * static_cast<size_t>(p.width) : nullptr;
    for (size_t u = 0; u < pane_width; ++u) {
      const int32_t x = columns[u];
      if (x >= 0 && indexes != nullptr) {
        source_out[u] = colours[x];
        result_out[u] = r.shades[indexes[x] & (kMaxPaletteEntries - 1)];
        continue;
      }
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
  return view_converted(r, v);
}

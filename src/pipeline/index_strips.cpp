#include "pipeline/index_strips.h"

#include <algorithm>
#include <cstring>

#include "mono/result_bitmap.h"
#include "pipeline/index_output.h"

namespace {

int32_t* ring_row(IndexRows& r, int32_t row) {
  const size_t span = (static_cast<size_t>(r.width) + 4) * r.pixel_bytes;
  return r.ring.data() + static_cast<size_t>(row % r.ring_rows) * span + 2 * r.pixel_bytes;
}

// Error diffusion of rows first .. first + count - 1 as a wavefront: a pixel has all
// its inputs once the row above is two pixels past it (the kernels reach two columns
// either side), and the row above no longer adds into the row below this one where
// this one does once it is four past. Each row then clears its own errors, which the
// row ring_rows below reuses.
void diffuse_rows(IndexRows& r, const uint8_t* rows, size_t stride, int32_t first, int32_t count) {
  const int threads = r.bands->count;
  const int32_t width = r.width, end = first + count;
  for (int t = 0; t < threads; ++t) r.progress[t].store(-1);
  run_bands(*r.bands, [&](int band) {
    int32_t* values = r.band_values[static_cast<size_t>(band)].data();
    for (int32_t y = first + band; y < end; y += threads) {
      const uint8_t* in = rows + static_cast<size_t>(y - first) * stride;
      int32_t* errors[kErrorRows] = {ring_row(r, y), ring_row(r, y + 1), ring_row(r, y + 2)};
      uint8_t* out = r.indexes.data() + static_cast<size_t>(y - first) * static_cast<size_t>(width);
      const std::atomic<int64_t>* above = y > first ? &r.progress[(y - 1 - first + threads) % threads] : nullptr;
      run_wave_row(above, r.progress[band], y, width, [&](int32_t x0, int32_t x1) {
        if (r.palette) {
          diffuse_palette_span(r.colours, in, errors, x0, x1, values, out);
        } else {
          diffuse_level_span(r.levels, in, errors, x0, x1, values, out);
        }
      });
      const size_t pad = 2 * r.pixel_bytes;
      std::fill(errors[0] - pad, errors[0] + r.pixel_bytes * static_cast<size_t>(width) + pad, 0);
      finish_wave_row(r.progress[band], y, width);
    }
  });
}

int32_t top_of(const IndexStrips& s, int32_t storage_row) {
  return s.out->bottom_up ? s.height - 1 - storage_row : storage_row;
}

// Fills rgb (3 bytes a pixel, red first) with the colours of strip row `row`;
// decoded holds min(width, kDecodedSpan) colours.
void strip_colours(const Strip& strip, const RowDecoder* decoder, const int32_t* columns, int32_t width, int32_t row,
                   uint32_t* decoded, uint8_t* rgb) {
  for (int32_t x = 0; x < width; x += kDecodedSpan) {
    const int32_t count = std::min(kDecodedSpan, width - x);
    const uint32_t* colours = nullptr;
    if (decoder) {
      decode_colours(*decoder, row, columns + x, count, decoded);
      colours = decoded;
    } else {
      colours = decoded_span(strip.source, row, x, count);
    }
    uint8_t* out = rgb + 3 * static_cast<size_t>(x);
    for (int32_t i = 0; i < count; ++i) {
      const uint32_t c = colours ? colours[i] : 0;  // pixels nothing provides read as black
      out[3 * i] = static_cast<uint8_t>(c >> 16);
      out[3 * i + 1] = static_cast<uint8_t>(c >> 8);
      out[3 * i + 2] = static_cast<uint8_t>(c);
    }
  }
}

// Fills a converter's row (luminance or colours) from strip row `row`.
void strip_row(const IndexStrips& s, const Strip& strip, const RowDecoder* decoder, int32_t row, uint32_t* decoded,
               uint8_t* out) {
  if (s.palette) {
    strip_colours(strip, decoder, s.columns.data(), s.width, row, decoded, out);
  } else {
    strip_luminance(strip, row, out);
  }
}

// The converter's sink: each row from the top to the output.
void take_row(void* context, int32_t top, const uint8_t* indexes) {
  IndexStrips& s = *static_cast<IndexStrips*>(context);
  if (s.failed) return;
  if (!s.to_bits) {
    s.failed = !put_index_row(*s.out, top, indexes);
    return;
  }
  std::fill(s.bits.begin(), s.bits.end(), 0);
  for (int32_t x = 0; x < s.width; ++x)
    s.bits[x >> 3] |= static_cast<uint8_t>((indexes[x] == s.white_index) << (7 - (x & 7)));
  s.failed = !put_result_rows(*s.out, s.out->bottom_up ? s.height - 1 - top : top, 1, s.bits.data());
}

// Converts the rows read before and not converted yet.
void convert_pending(IndexStrips& s) {
  if (s.pending_rows == 0) return;
  index_rows(s.convert, s.pending.data(), s.pixel_bytes * static_cast<size_t>(s.width), s.pending_top, s.pending_rows);
  s.pending_rows = 0;
}

// Takes a strip that comes in order on several threads: its rows read in bands, then
// converted. A converter that works alone takes the strip before meanwhile, on the
// calling thread, and the others read this one.
void index_strip_on_threads(IndexStrips& s, const Strip& strip, const RowDecoder* decoder, int32_t top) {
  const size_t row_bytes = s.pixel_bytes * static_cast<size_t>(s.width);
  s.ahead.resize(static_cast<size_t>(strip.rows) * row_bytes);
  BandThreads& bands = *s.convert.bands;
  // Colours handed out by a callback are read on the calling thread alone.
  const bool overlap = s.convert.split == IndexRows::Split::kConverter && !strip.source.decoded;
  const int first = overlap ? 1 : 0;
  const int readers = strip.source.decoded ? 1 : bands.count - first;
  run_bands(bands, [&](int band) {
    if (overlap && band == 0) return convert_pending(s);
    const int reader = band - first;
    if (reader >= readers) return;
    const int32_t last = band_start(strip.rows, reader + 1, readers);
    for (int32_t k = band_start(strip.rows, reader, readers); k < last; ++k) {
      const int32_t t = top + k;
      const int32_t row = s.out->bottom_up ? s.height - 1 - t - strip.first_row : t - strip.first_row;
      strip_row(s, strip, decoder, row, s.band_decoded[static_cast<size_t>(band)].data(),
                s.ahead.data() + static_cast<size_t>(k) * row_bytes);
    }
  });
  s.next_top += strip.rows;
  convert_pending(s);
  if (overlap) {
    s.ahead.swap(s.pending);
    s.pending_top = top;
    s.pending_rows = strip.rows;
  } else {
    index_rows(s.convert, s.ahead.data(), row_bytes, top, strip.rows);
  }
}

int luminance_of(const uint8_t* rgb) { return luminance(rgb[0] << 16 | rgb[1] << 8 | rgb[2]); }

}  // namespace

void start_index_rows(IndexRows& r, bool palette, int32_t width, int threads, IndexSink sink, void* context) {
  r.palette = palette;
  r.width = std::max(width, 0);
  r.pixel_bytes = palette ? 3 : 1;
  r.sink = sink;
  r.context = context;
  r.bands.reset();
  r.split = IndexRows::Split::kConverter;
  if (threads <= 1 || r.width == 0) return;
  r.bands.reset(new BandThreads);
  start_band_threads(*r.bands, threads);
  const int count = r.bands->count;
  if (count == 1) {
    r.bands.reset();
    return;
  }
  // Serpentine rows form one chain through the picture. The vector bands of
  // Floyd-Steinberg take sixteen rows at once, several times faster than a row at a
  // time on each thread: they keep to one thread.
  if (palette) {
    const PaletteConverter& c = r.colours;
    r.split = !c.method                          ? IndexRows::Split::kRows
              : c.params.serpentine || c.banded ? IndexRows::Split::kConverter
                                                 : IndexRows::Split::kWavefront;
  } else {
    const GreyLevelsConverter& c = r.levels;
    r.split = !c.method || c.family == HalftoneFamily::kOrdered ? IndexRows::Split::kRows
              : c.family != HalftoneFamily::kErrorDiffusion || c.params.serpentine || c.banded
                  ? IndexRows::Split::kConverter
                  : IndexRows::Split::kWavefront;
  }
  if (r.split == IndexRows::Split::kWavefront) {
    // Rows in flight add into the two below each; the row ring_rows above is cleared by then.
    r.ring_rows = count + 3;
    r.ring.assign(static_cast<size_t>(r.ring_rows) * (static_cast<size_t>(r.width) + 4) * r.pixel_bytes, 0);
    const size_t row_values = r.pixel_bytes * static_cast<size_t>(r.width);
    r.band_values.assign(static_cast<size_t>(count), std::vector<int32_t>(row_values));
    r.progress.reset(new std::atomic<int64_t>[static_cast<size_t>(count)]);
  }
}

void index_rows(IndexRows& r, const uint8_t* rows, size_t stride, int32_t top, int32_t count) {
  if (count <= 0) return;
  if (r.split == IndexRows::Split::kConverter) {
    if (r.palette) return palette_rows(r.colours, rows, stride, count, r.sink, r.context);
    return grey_level_rows(r.levels, rows, stride, count, r.sink, r.context);
  }
  const size_t width = static_cast<size_t>(r.width);
  if (r.indexes.size() < static_cast<size_t>(count) * width) r.indexes.resize(static_cast<size_t>(count) * width);
  if (r.split == IndexRows::Split::kWavefront) {
    diffuse_rows(r, rows, stride, top, count);
  } else {
    const int threads = r.bands->count;
    run_bands(*r.bands, [&](int band) {
      const int32_t last = band_start(count, band + 1, threads);
      for (int32_t k = band_start(count, band, threads); k < last; ++k) {
        const uint8_t* in = rows + static_cast<size_t>(k) * stride;
        uint8_t* out = r.indexes.data() + static_cast<size_t>(k) * width;
        if (r.palette) {
          nearest_palette_row(r.colours, in, out);
        } else {
          grey_level_row_alone(r.levels, in, top + k, out);
        }
      }
    });
  }
  for (int32_t k = 0; k < count; ++k) r.sink(r.context, top + k, r.indexes.data() + static_cast<size_t>(k) * width);
}

void finish_index_rows(IndexRows& r) {
  if (r.palette) {
    finish_palette(r.colours, r.sink, r.context);
  } else {
    finish_grey_levels(r.levels, r.sink, r.context);
  }
}

std::string start_index_strips(IndexStrips& s, const ConversionRequest& request, int density, ResultOutput& out,
                               const uint8_t* header40, int32_t width, int32_t height, bool& output_failed) {
  output_failed = false;
  s.out = &out;
  s.width = std::max(width, 0);
  s.height = std::max(height, 0);
  s.palette = wants_palette(request);
  s.pixel_bytes = s.palette ? 3 : 1;
  HalftoneParams params = request.halftone;
  params.density = density;
  params.invert = request.invert;
  // The modes other than letter give black and white only: the check refuses them here.
  if (!request.method && request.mode != kModeLetter) return "--levels and --palette need letter or a method";
  uint8_t table[kMaxPaletteEntries][3] = {};
  int count = 0;
  LevelsError error = LevelsError::kNone;
  if (s.palette) {
    Palette palette;
    std::string text;
    if (!parse_palette(request.palette, &palette, &text)) return text;
    error = start_palette(request.method, params, palette, s.width, s.convert.colours);
    count = palette.count;
    std::memcpy(table, palette.rgb, sizeof table);
  } else {
    error = start_grey_levels(request.method, params, request.levels, s.width, s.convert.levels);
    count = request.levels;
    for (int k = 0; k < count; ++k) std::fill(table[k], table[k] + 3, level_grey(count, k));
  }
  if (error == LevelsError::kBadParams) return halftone_error_text(check_halftone_params(*request.method, params));
  if (error != LevelsError::kNone) return levels_error_text(error);
  start_index_rows(s.convert, s.palette, s.width, request.threads, take_row, &s);
  if (s.convert.bands) {
    s.band_decoded.assign(static_cast<size_t>(s.convert.bands->count),
                          std::vector<uint32_t>(s.palette ? std::min(s.width, kDecodedSpan) : 0));
  }
  s.to_bits = s.palette && count == 2 && !writes_indexes(request.format, false) &&
              !writes_device_indexes(out, request.format);
  if (s.to_bits) {
    // The darker of the two is black; equal ones leave entry 0 black.
    s.white_index = luminance_of(table[1]) >= luminance_of(table[0]) ? 1 : 0;
    s.bits.assign(result_stride(static_cast<uint32_t>(s.width)), 0);
    output_failed = !begin_output(out, request.format, out.file, header40, width, height);
  } else {
    output_failed =
        !begin_index_output(out, request.format, out.file, header40, width, height, count, table, !s.palette);
  }
  return "";
}

bool index_strip(IndexStrips& s, const Strip& strip) {
  if (s.width == 0 || strip.rows <= 0) return !s.failed;
  const size_t row_bytes = s.pixel_bytes * static_cast<size_t>(s.width);
  const int32_t top = std::min(top_of(s, strip.first_row), top_of(s, strip.first_row + strip.rows - 1));
  // Strip row of a row from the top.
  const auto index = [&](int32_t t) {
    return s.out->bottom_up ? s.height - 1 - t - strip.first_row : t - strip.first_row;
  };
  const bool in_order = s.held.empty() && top == s.next_top;
  RowDecoder decoder;
  const bool decode = s.palette && strip.picture.read_back == 0;
  if (decode) {
    decoder = make_row_decoder(strip.source.store, strip.picture, RowUse::kColours);
    if (s.columns.size() != static_cast<size_t>(s.width)) {
      s.columns.resize(static_cast<size_t>(s.width));
      for (int32_t x = 0; x < s.width; ++x) s.columns[x] = x;
    }
  }
  if (in_order && s.convert.bands) {
    index_strip_on_threads(s, strip, decode ? &decoder : nullptr, top);
    return !s.failed;
  }
  // Rows that can only be had bottom first (compressed BMP) wait here whole; rows in
  // order go to the converter one at a time, so no strip is copied.
  if (!in_order && s.held.empty()) s.held.assign(static_cast<size_t>(s.height) * row_bytes, 0);
  if (in_order) s.rows.resize(row_bytes);
  if (s.palette) s.decoded.resize(static_cast<size_t>(std::min(s.width, kDecodedSpan)));
  for (int32_t k = 0; k < strip.rows; ++k) {
    uint8_t* row = in_order ? s.rows.data() : s.held.data() + static_cast<size_t>(top + k) * row_bytes;
    strip_row(s, strip, decode ? &decoder : nullptr, index(top + k), s.decoded.data(), row);
    if (in_order) index_rows(s.convert, row, row_bytes, top + k, 1);
  }
  if (in_order) s.next_top += strip.rows;
  return !s.failed;
}

bool finish_index_strips(IndexStrips& s) {
  convert_pending(s);
  if (!s.held.empty()) {
    const size_t row_bytes = s.pixel_bytes * static_cast<size_t>(s.width);
    index_rows(s.convert, s.held.data() + static_cast<size_t>(s.next_top) * row_bytes, row_bytes, s.next_top,
               s.height - s.next_top);
    std::vector<uint8_t>().swap(s.held);
  }
  finish_index_rows(s.convert);
  if (s.failed) return false;
  return s.to_bits ? finish_output(*s.out) : finish_index_output(*s.out);
}

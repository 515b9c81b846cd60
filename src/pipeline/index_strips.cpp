#include "pipeline/index_strips.h"

#include <algorithm>
#include <cstring>

#include "mono/result_bitmap.h"
#include "pipeline/index_output.h"

namespace {

int32_t top_of(const IndexStrips& s, int32_t storage_row) {
  return s.out->bottom_up ? s.height - 1 - storage_row : storage_row;
}

// Fills rgb (3 bytes a pixel, red first) with the colours of strip row `row`.
void strip_colours(IndexStrips& s, const Strip& strip, const RowDecoder* decoder, int32_t row, uint8_t* rgb) {
  const int32_t width = s.width;
  s.decoded.resize(static_cast<size_t>(std::min(width, kDecodedSpan)));
  for (int32_t x = 0; x < width; x += kDecodedSpan) {
    const int32_t count = std::min(kDecodedSpan, width - x);
    const uint32_t* colours = nullptr;
    if (decoder) {
      decode_colours(*decoder, row, s.columns.data() + x, count, s.decoded.data());
      colours = s.decoded.data();
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

void convert_rows(IndexStrips& s, const uint8_t* rows, int32_t count) {
  const size_t stride = s.pixel_bytes * static_cast<size_t>(s.width);
  if (s.palette) {
    palette_rows(s.colours, rows, stride, count, take_row, &s);
  } else {
    grey_level_rows(s.levels, rows, stride, count, take_row, &s);
  }
}

int luminance_of(const uint8_t* rgb) { return luminance(rgb[0] << 16 | rgb[1] << 8 | rgb[2]); }

}  // namespace

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
    error = start_palette(request.method, params, palette, s.width, s.colours);
    count = palette.count;
    std::memcpy(table, palette.rgb, sizeof table);
  } else {
    error = start_grey_levels(request.method, params, request.levels, s.width, s.levels);
    count = request.levels;
    for (int k = 0; k < count; ++k) std::fill(table[k], table[k] + 3, level_grey(count, k));
  }
  if (error == LevelsError::kBadParams) return halftone_error_text(check_halftone_params(*request.method, params));
  if (error != LevelsError::kNone) return levels_error_text(error);
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
  // Rows that can only be had bottom first (compressed BMP) wait here whole; rows in
  // order go to the converter one at a time, so no strip is copied.
  if (!in_order && s.held.empty()) s.held.assign(static_cast<size_t>(s.height) * row_bytes, 0);
  if (in_order) s.rows.resize(row_bytes);
  for (int32_t k = 0; k < strip.rows; ++k) {
    uint8_t* row = in_order ? s.rows.data() : s.held.data() + static_cast<size_t>(top + k) * row_bytes;
    if (s.palette) {
      strip_colours(s, strip, decode ? &decoder : nullptr, index(top + k), row);
    } else {
      strip_luminance(strip, index(top + k), row);
    }
    if (in_order) convert_rows(s, row, 1);
  }
  if (in_order) s.next_top += strip.rows;
  return !s.failed;
}

bool finish_index_strips(IndexStrips& s) {
  if (!s.held.empty()) {
    const size_t row_bytes = s.pixel_bytes * static_cast<size_t>(s.width);
    convert_rows(s, s.held.data() + static_cast<size_t>(s.next_top) * row_bytes, s.height - s.next_top);
    std::vector<uint8_t>().swap(s.held);
  }
  if (s.palette) {
    finish_palette(s.colours, take_row, &s);
  } else {
    finish_grey_levels(s.levels, take_row, &s);
  }
  if (s.failed) return false;
  return s.to_bits ? finish_output(*s.out) : finish_index_output(*s.out);
}

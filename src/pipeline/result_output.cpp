#include "pipeline/result_output.h"

#include <algorithm>
#include <cstring>

#include "pipeline/output_format.h"
#include "image/le_bytes.h"
#include "image/picture.h"
#include "mono/bmp_writer.h"
#include "mono/result_bitmap.h"

namespace {

// The PNG and TIFF writers, loaded at the first output that needs them; null with
// out.error set when they can't be had.
const CodecFunctions* output_codecs(ResultOutput& out) {
  CodecAccess* access = out.codecs;
  if (access && !access->loaded) {
    access->loaded = true;
    access->functions = access->load ? access->load() : nullptr;
  }
  if (access && access->functions) return access->functions;
  out.error = access && access->missing ? access->missing : "this build can't write the format";
  return nullptr;
}

bool begin_tiff_output(ResultOutput& out) {
  const CodecFunctions* f = output_codecs(out);
  if (f && !f->begin_tiff) out.error = "this build can't write the format";
  return f && f->begin_tiff &&
         f->begin_tiff(&out.codec, out.file, out.width, out.height, out.x_resolution, out.y_resolution);
}

// Ends a PNG or TIFF (a failed one too) and releases its writer.
bool end_codec_output(ResultOutput& out, bool ok, bool (*end)(void*), void (*release)(void**)) {
  ok = ok && end(out.codec);
  release(&out.codec);
  return ok;
}

bool end_tiff_output(ResultOutput& out, bool ok) {
  if (!out.codec) return ok;
  return end_codec_output(out, ok, out.codecs->functions->end_tiff, out.codecs->functions->free_tiff);
}

// PBM: a set bit is black, so the result's bits are complemented; bits past the
// width are cleared.
bool write_pbm_row(ResultOutput& out, const uint8_t* row) {
  const size_t bytes = (static_cast<size_t>(out.width) + 7) / 8;
  uint8_t line[4096];
  for (size_t at = 0; at < bytes; at += sizeof line) {
    const size_t n = std::min(sizeof line, bytes - at);
    for (size_t i = 0; i < n; ++i) line[i] = static_cast<uint8_t>(~row[at + i]);
    if (at + n == bytes && (out.width & 7) != 0) line[n - 1] &= static_cast<uint8_t>(0xFF00 >> (out.width & 7));
    if (std::fwrite(line, 1, n, out.file) != n) return false;
  }
  return true;
}

// PGM (maxval 1) and PPM: a set bit is white.
bool write_grey_map_row(ResultOutput& out, const uint8_t* row) {
  const size_t width = static_cast<size_t>(out.width);
  const size_t channels = out.format == kFormatPpm ? 3 : 1;
  const uint8_t white = out.format == kFormatPpm ? 255 : 1;
  out.line.resize(width * channels);
  for (size_t x = 0; x < width; ++x) {
    const uint8_t v = (row[x >> 3] >> (7 - (x & 7))) & 1 ? white : 0;
    for (size_t c = 0; c < channels; ++c) out.line[x * channels + c] = v;
  }
  return std::fwrite(out.line.data(), 1, out.line.size(), out.file) == out.line.size();
}

// Writes one row of a top-down format (row number `top` from the top).
bool write_top_row(ResultOutput& out, int32_t top, const uint8_t* row) {
  if (is_device_format(out.format)) return !device_output_failed(out, put_device_rows(out.device, row, 0, 1));
  switch (out.format) {
    case kFormatPbm: return write_pbm_row(out, row);
    case kFormatPgm:
    case kFormatPpm: return write_grey_map_row(out, row);
    case kFormatPng: return write_png_output_row(out, row);
    case kFormatTiff: return out.codecs->functions->write_tiff_row(out.codec, top, row);
    default: return false;
  }
}

int32_t top_of(const ResultOutput& out, int32_t storage_row) {
  return out.bottom_up ? out.height - 1 - storage_row : storage_row;
}

}  // namespace

bool can_write_format(int format) {
  if (is_device_format(format)) return true;
  switch (format) {
    case kFormatBmp:
    case kFormatPbm:
    case kFormatPgm:
    case kFormatPpm: return true;
#ifdef QVX_CLI_PNG
    case kFormatPng: return true;
#endif
#ifdef QVX_CLI_TIFF
    case kFormatTiff: return true;
#endif
    default: return false;
  }
}

void take_output_picture(ResultOutput& out, int format, FILE* file, const uint8_t* header40, int32_t width,
                         int32_t height) {
  out.format = format;
  out.file = file;
  out.width = width;
  out.height = height;
  out.bottom_up = get_i32(header40 + kHeightField) >= 0;
  out.x_resolution = get_i32(header40 + kXResolutionField);
  out.y_resolution = get_i32(header40 + kYResolutionField);
}

bool device_output_failed(ResultOutput& out, DeviceError error) {
  if (error == DeviceError::kNone) return false;
  if (error != DeviceError::kWriteFailed) out.error = device_error_text(error);
  return true;
}

bool begin_device_output_file(ResultOutput& out) {
  FILE* file = out.file;
  const DeviceError error =
      begin_device_output(out.device, out.device_settings, static_cast<uint32_t>(out.width),
                          static_cast<uint32_t>(out.height),
                          [file](const uint8_t* bytes, size_t size) { return std::fwrite(bytes, 1, size, file) == size; });
  return !device_output_failed(out, error);
}

bool begin_png_output(ResultOutput& out, int bits, const uint8_t (*colours)[3], int count) {
  const CodecFunctions* f = output_codecs(out);
  if (f && !f->begin_png) out.error = "this build can't write the format";
  return f && f->begin_png &&
         f->begin_png(&out.codec, &out.error, out.file, out.width, out.height, out.x_resolution, out.y_resolution,
                      bits, colours, count);
}

bool write_png_output_row(ResultOutput& out, const uint8_t* row) {
  return out.codecs->functions->write_png_row(out.codec, row);
}

bool end_png_output(ResultOutput& out, bool ok) {
  if (!out.codec) return ok;
  return end_codec_output(out, ok, out.codecs->functions->end_png, out.codecs->functions->free_png);
}

bool begin_output(ResultOutput& out, int format, FILE* file, const uint8_t* header40, int32_t width, int32_t height) {
  take_output_picture(out, format, file, header40, width, height);
  out.stride = result_stride(static_cast<uint32_t>(width));
  if (format == kFormatBmp) {
    if (result_block_size(static_cast<uint32_t>(width), static_cast<uint32_t>(height)) == 0) {
      out.error = "File is too large.";
      return false;
    }
    prepare_result(header40, static_cast<uint32_t>(width), static_cast<uint32_t>(height), out.result_header,
                   sizeof out.result_header);
    uint8_t file_header[kFileHeaderBytes];
    build_file_header(out.result_header, file_header);
    return std::fwrite(file_header, 1, sizeof file_header, file) == sizeof file_header &&
           std::fwrite(out.result_header, 1, sizeof out.result_header, file) == sizeof out.result_header;
  }
  if (width <= 0 || height <= 0) {
    out.error = "an empty picture can't be written in this format";
    return false;
  }
  if (is_device_format(format)) return begin_device_output_file(out);
  switch (format) {
    case kFormatPbm: return std::fprintf(file, "P4\n%d %d\n", width, height) > 0;
    // Black and white as two grey levels, or as the colours black and white.
    case kFormatPgm: return std::fprintf(file, "P5\n%d %d\n1\n", width, height) > 0;
    case kFormatPpm: return std::fprintf(file, "P6\n%d %d\n255\n", width, height) > 0;
    case kFormatPng: return begin_png_output(out, 1, nullptr, 0);
    case kFormatTiff: return begin_tiff_output(out);
    default: out.error = "this build can't write the format"; return false;
  }
}

bool put_result_rows(ResultOutput& out, int32_t first_row, int32_t rows, const uint8_t* bits) {
  if (rows <= 0) return true;
  if (out.format == kFormatBmp) {
    // Rows stand in the file in storage order; a strip lands where its rows belong.
    const off_t at = static_cast<off_t>(kFileHeaderBytes + kResultPixelOffset) +
                     static_cast<off_t>(first_row) * static_cast<off_t>(out.stride);
    const size_t bytes = static_cast<size_t>(rows) * out.stride;
    return fseeko(out.file, at, SEEK_SET) == 0 && std::fwrite(bits, 1, bytes, out.file) == bytes;
  }
  // Top-down formats take the rows top first: straight through when the strip holds
  // the next rows from the top, else every row is held until the end.
  const int32_t strip_top = std::min(top_of(out, first_row), top_of(out, first_row + rows - 1));
  if (out.held.empty() && strip_top == out.next_top) {
    for (int32_t k = 0; k < rows; ++k) {
      const int32_t top = strip_top + k;
      const int32_t i = out.bottom_up ? (out.height - 1 - top) - first_row : top - first_row;
      if (!write_top_row(out, top, bits + static_cast<size_t>(i) * out.stride)) return false;
    }
    out.next_top += rows;
    return true;
  }
  if (out.held.empty()) out.held.assign(static_cast<size_t>(out.height) * out.stride, 0);
  std::memcpy(out.held.data() + static_cast<size_t>(first_row) * out.stride, bits, static_cast<size_t>(rows) * out.stride);
  return true;
}

bool finish_output(ResultOutput& out) {
  bool ok = true;
  if (out.format != kFormatBmp) {
    for (int32_t top = out.next_top; ok && !out.held.empty() && top < out.height; ++top) {
      const int32_t storage = out.bottom_up ? out.height - 1 - top : top;
      ok = write_top_row(out, top, out.held.data() + static_cast<size_t>(storage) * out.stride);
    }
    std::vector<uint8_t>().swap(out.held);
  }
  if (is_device_format(out.format)) ok = ok && !device_output_failed(out, finish_device_output(out.device));
  if (out.format == kFormatPng) ok = end_png_output(out, ok);
  if (out.format == kFormatTiff) ok = end_tiff_output(out, ok);
  return ok && std::fflush(out.file) == 0;
}

void abandon_output(ResultOutput& out) {
  if (out.format == kFormatPng) end_png_output(out, false);
  if (out.format == kFormatTiff) end_tiff_output(out, false);
  std::vector<uint8_t>().swap(out.held);
  std::vector<uint8_t>().swap(out.batch);
  out.device = DeviceWriter();
}

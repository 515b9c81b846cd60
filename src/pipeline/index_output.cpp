#include "pipeline/index_output.h"

#include <algorithm>
#include <cstring>

#include "halftone/grey_levels.h"
#include "image/le_bytes.h"
#include "image/picture.h"
#include "mono/bmp_writer.h"
#include "pipeline/output_format.h"

namespace {

// The least of the depths that holds `count` indexes.
int depth_for(int count, const int* depths, int n) {
  for (int i = 0; i < n; ++i)
    if (count <= (1 << depths[i])) return depths[i];
  return depths[n - 1];
}

uint64_t bmp_stride(int32_t width, int bits) { return (static_cast<uint64_t>(width) * bits + 31) / 32 * 4; }

bool begin_bmp(ResultOutput& out) {
  static const int kDepths[] = {1, 4, 8};
  out.bits = depth_for(out.colours, kDepths, 3);
  const uint64_t stride = bmp_stride(out.width, out.bits);
  out.pixels_at = kFileHeaderBytes + 40 + 4 * static_cast<uint32_t>(out.colours);
  const uint64_t size = out.pixels_at + stride * static_cast<uint64_t>(out.height);
  if (size > 0xFFFFFFFFu) {
    out.error = "File is too large.";
    return false;
  }
  std::vector<uint8_t> head(out.pixels_at, 0);
  uint8_t* file = head.data();
  file[0] = 'B';
  file[1] = 'M';
  put_u32(file + 2, static_cast<uint32_t>(size));
  put_u32(file + 10, out.pixels_at);
  uint8_t* info = file + kFileHeaderBytes;
  put_u32(info, 40);
  put_u32(info + 4, static_cast<uint32_t>(out.width));
  put_u32(info + kHeightField, static_cast<uint32_t>(out.height));  // bottom-up, as most readers expect
  put_u16(info + 12, 1);
  put_u16(info + 14, static_cast<uint16_t>(out.bits));
  put_u32(info + 20, static_cast<uint32_t>(stride * static_cast<uint64_t>(out.height)));
  put_u32(info + kXResolutionField, static_cast<uint32_t>(std::max(out.x_resolution, 0)));
  put_u32(info + kYResolutionField, static_cast<uint32_t>(std::max(out.y_resolution, 0)));
  put_u32(info + 32, static_cast<uint32_t>(out.colours));
  put_u32(info + 36, static_cast<uint32_t>(out.colours));
  for (int k = 0; k < out.colours; ++k) {
    uint8_t* entry = info + 40 + 4 * k;  // blue, green, red, 0
    entry[0] = out.table[k][2];
    entry[1] = out.table[k][1];
    entry[2] = out.table[k][0];
  }
  // Batches of about 64 KiB: one seek each, the rows filling a batch from its end.
  const uint64_t batch_rows = std::min<uint64_t>((64u << 10) / stride, static_cast<uint64_t>(out.height));
  out.batch_capacity = static_cast<int32_t>(std::max<uint64_t>(1, batch_rows));
  out.batch.assign(static_cast<size_t>(out.batch_capacity) * stride, 0);
  out.batch_rows = 0;
  return std::fwrite(head.data(), 1, head.size(), out.file) == head.size();
}

bool flush_bmp_batch(ResultOutput& out) {
  if (out.batch_rows == 0) return true;
  const uint64_t stride = bmp_stride(out.width, out.bits);
  const int32_t lowest = out.height - out.batch_top - out.batch_rows;  // the batch's first storage row
  const off_t at = static_cast<off_t>(out.pixels_at + static_cast<uint64_t>(lowest) * stride);
  const size_t bytes = static_cast<size_t>(out.batch_rows) * stride;
  const uint8_t* first = out.batch.data() + static_cast<size_t>(out.batch_capacity - out.batch_rows) * stride;
  out.batch_rows = 0;
  return fseeko(out.file, at, SEEK_SET) == 0 && std::fwrite(first, 1, bytes, out.file) == bytes;
}

bool put_bmp_row(ResultOutput& out, int32_t top, const uint8_t* indexes) {
  const size_t stride = static_cast<size_t>(bmp_stride(out.width, out.bits));
  if (out.batch_rows == 0) out.batch_top = top;
  // The padding past each row's pixels stays zero: pack_indexes writes the pixels' bytes alone.
  pack_indexes(indexes, out.width, out.bits,
               out.batch.data() + static_cast<size_t>(out.batch_capacity - 1 - out.batch_rows) * stride);
  return ++out.batch_rows < out.batch_capacity || flush_bmp_batch(out);
}

bool put_map_row(ResultOutput& out, const uint8_t* indexes) {
  const size_t width = static_cast<size_t>(out.width);
  if (out.format == kFormatPgm) return std::fwrite(indexes, 1, width, out.file) == width;
  out.line.resize(3 * width);
  for (size_t x = 0; x < width; ++x) std::memcpy(&out.line[3 * x], out.table[indexes[x] & 15], 3);
  return std::fwrite(out.line.data(), 1, out.line.size(), out.file) == out.line.size();
}

// Grey PNG for 4 and 16 levels, whose samples at 2 and 4 bits are the levels' greys;
// indexed otherwise.
bool begin_index_png(ResultOutput& out) {
  static const int kDepths[] = {1, 2, 4, 8};
  out.bits = depth_for(out.colours, kDepths, 4);
  const bool grey_samples = out.grey && out.colours == (1 << out.bits);
  out.line.assign((static_cast<size_t>(out.width) * out.bits + 7) / 8, 0);
  return begin_png_output(out, out.bits, grey_samples ? nullptr : out.table, out.colours);
}

}  // namespace

bool writes_indexes(int format, bool grey) {
  switch (format) {
    case kFormatBmp:
    case kFormatPpm: return true;
    case kFormatPgm: return grey;
#ifdef QVX_CLI_PNG
    case kFormatPng: return true;
#endif
    default: return false;
  }
}

bool writes_device_indexes(const ResultOutput& out, int format) {
  return (format == kFormatC || format == kFormatBin) && index_layout(out.device_settings.layout);
}

bool begin_index_output(ResultOutput& out, int format, FILE* file, const uint8_t* header40, int32_t width,
                        int32_t height, int count, const uint8_t (*table)[3], bool grey) {
  take_output_picture(out, format, file, header40, width, height);
  out.colours = std::min(std::max(count, 2), 16);
  out.grey = grey;
  std::memcpy(out.table, table, sizeof out.table[0] * static_cast<size_t>(out.colours));
  // The device writer packs index rows for c and bin.
  if (writes_device_indexes(out, format)) return begin_device_output_file(out);
  if (!writes_indexes(format, grey)) {
    out.error = "this format can't hold grey levels or colours";
    return false;
  }
  if (width <= 0 || height <= 0) {
    out.error = "an empty picture can't be written in this format";
    return false;
  }
  switch (format) {
    case kFormatBmp: return begin_bmp(out);
    case kFormatPgm: return std::fprintf(file, "P5\n%d %d\n%d\n", width, height, out.colours - 1) > 0;
    case kFormatPpm: return std::fprintf(file, "P6\n%d %d\n255\n", width, height) > 0;
    case kFormatPng: return begin_index_png(out);
    default: return false;
  }
}

bool put_index_row(ResultOutput& out, int32_t top, const uint8_t* indexes) {
  if (is_device_format(out.format)) return !device_output_failed(out, put_device_index_rows(out.device, indexes, 0, 1));
  switch (out.format) {
    case kFormatBmp: return put_bmp_row(out, top, indexes);
    case kFormatPgm:
    case kFormatPpm: return put_map_row(out, indexes);
    case kFormatPng:
      pack_indexes(indexes, out.width, out.bits, out.line.data());
      return write_png_output_row(out, out.line.data());
    default: return false;
  }
}

bool finish_index_output(ResultOutput& out) {
  bool ok = true;
  if (is_device_format(out.format)) ok = !device_output_failed(out, finish_device_output(out.device));
  if (out.format == kFormatBmp) ok = flush_bmp_batch(out);
  std::vector<uint8_t>().swap(out.batch);
  if (out.format == kFormatPng) ok = end_png_output(out, ok);
  return ok && std::fflush(out.file) == 0;
}

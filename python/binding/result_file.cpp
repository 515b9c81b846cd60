#include "result_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "pipeline/convert_strips.h"
#include "cli/output_file.h"
#include "pipeline/result_output.h"
#include "pipeline/strip.h"
#include "image/decoded_rows.h"
#include "image/luminance.h"
#include "indexed_picture.h"
#include "pipeline/index_output.h"
#include "mono/result_bitmap.h"

namespace {

const char kBadValue[] = "a converted picture holds only 0 (black) and 1 (white)";

// Packs row `top` into result bits (pixel 0 in bit 7, a set bit white); false on a value above 1.
bool pack_row(const ResultPicture& p, int32_t top, uint8_t* bits) {
  const uint8_t* row = p.data + p.row_step * top;
  std::memset(bits, 0, (static_cast<size_t>(p.width) + 7) / 8);
  uint8_t seen = 0;
  for (int32_t x = 0; x < p.width; ++x) {
    const uint8_t v = row[p.pixel_step * x];
    seen |= v;
    bits[x >> 3] |= static_cast<uint8_t>((v & 1) << (7 - (x & 7)));
  }
  return seen <= 1;
}

std::string bad_index(int count) {
  return "a converted picture of " + std::to_string(count) + " levels or colours holds only 0 to " +
         std::to_string(count - 1);
}

// Gathers row `top`; false when an index is `count` or more.
bool index_row(const ResultPicture& p, int32_t top, int count, uint8_t* row) {
  const uint8_t* at = p.data + p.row_step * top;
  uint8_t most = 0;
  for (int32_t x = 0; x < p.width; ++x) {
    row[x] = at[p.pixel_step * x];
    most = std::max(most, row[x]);
  }
  return most < count;
}

// Writes rows of grey levels or palette entries as the command writes them: an index
// format, or two colours in a 1-bit one with the darker black.
bool write_indexes(const ResultPicture& p, const CliOptions& options, FILE* file, const uint8_t* header,
                   ResultOutput& out, std::string& error, bool& bad_value) {
  IndexedTarget target;
  if (!indexed_target_of(options, target, error)) return bad_value = true, false;
  uint8_t table[kMaxPaletteEntries][3] = {};
  const int count = indexed_colours(target, table);
  const bool grey = !target.palette;
  const bool to_bits = !writes_indexes(options.format, grey);
  const uint8_t white = luminance(table[1][0] << 16 | table[1][1] << 8 | table[1][2]) >=
                                luminance(table[0][0] << 16 | table[0][1] << 8 | table[0][2])
                            ? 1
                            : 0;
  if (!(to_bits ? begin_output(out, options.format, file, header, p.width, p.height)
                : begin_index_output(out, options.format, file, header, p.width, p.height, count, table, grey))) {
    return false;
  }
  std::vector<uint8_t> row(static_cast<size_t>(p.width));
  std::vector<uint8_t> bits(result_stride(static_cast<uint32_t>(p.width)));
  for (int32_t top = 0; top < p.height; ++top) {
    if (!index_row(p, top, count, row.data())) {
      error = bad_index(count);
      return bad_value = true, false;
    }
    if (!to_bits) {
      if (!put_index_row(out, top, row.data())) return false;
      continue;
    }
    std::fill(bits.begin(), bits.end(), 0);
    for (int32_t x = 0; x < p.width; ++x) bits[x >> 3] |= static_cast<uint8_t>((row[x] == white) << (7 - (x & 7)));
    if (!put_result_rows(out, out.bottom_up ? p.height - 1 - top : top, 1, bits.data())) return false;
  }
  return to_bits ? finish_output(out) : finish_index_output(out);
}

// Writes the picture into `file` as the command writes a result of a picture stored
// bottom-up (as it stores every picture read through libvips).
bool write_result(const ResultPicture& p, const CliOptions& options, const std::string& target, FILE* file,
                  std::string& error, bool& bad_value) {
  ResultOutput out;
  CodecAccess codecs;
  link_codecs(out, codecs);
  out.file = file;
  if (is_device_format(options.format)) out.device_settings = device_settings_for(options, target);
  uint8_t header[kStoreHeaderSize];
  decoded_header(p.width, p.height, p.x_resolution, p.y_resolution, header);
  const auto failed = [&](const std::string& reason) {
    abandon_output(out);
    error = reason;
    return false;
  };
  const auto output_failure = [&]() {
    return failed(write_failure(target, out.error.empty() ? std::strerror(errno) : out.error));
  };
  errno = 0;
  bad_value = false;
  if (converts_to_indexes(options)) {
    if (write_indexes(p, options, file, header, out, error, bad_value)) return true;
    if (bad_value) return failed(error);
    return output_failure();
  }
  if (!begin_output(out, options.format, file, header, p.width, p.height)) return output_failure();
  const size_t stride = result_stride(static_cast<uint32_t>(p.width));
  const int32_t strip = rows_per_strip(stride, p.height);
  std::vector<uint8_t> bits(static_cast<size_t>(strip) * stride);
  for (int32_t first = 0; first < p.height; first += strip) {
    const int32_t rows = std::min(strip, p.height - first);
    for (int32_t k = 0; k < rows; ++k) {
      if (!pack_row(p, p.height - 1 - (first + k), bits.data() + k * stride)) return bad_value = true, failed(kBadValue);
    }
    if (!put_result_rows(out, first, rows, bits.data())) return output_failure();
  }
  return finish_output(out) ? true : output_failure();
}

}  // namespace

void link_codecs(ResultOutput& out, CodecAccess& codecs) {
#if defined(QVX_CLI_PNG) || defined(QVX_CLI_TIFF)
  codecs.load = qvx_codec_functions;
#endif
  out.codecs = &codecs;
}

bool encode_result(const ResultPicture& picture, const CliOptions& options, const std::string& target,
                   std::vector<uint8_t>& bytes, std::string& error) {
  const int fd = memfd_create("quillvex", MFD_CLOEXEC);
  FILE* file = fd >= 0 ? fdopen(fd, "w+b") : nullptr;
  if (!file) {
    if (fd >= 0) close(fd);
    error = std::string("can't hold the file: ") + std::strerror(errno);
    return false;
  }
  bool bad_value = false;
  bool ok = write_result(picture, options, target, file, error, bad_value) && std::fflush(file) == 0;
  if (ok) {
    ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
      bytes.resize(static_cast<size_t>(size));
      ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    if (!ok) error = std::string("can't hold the file: ") + std::strerror(errno);
  }
  std::fclose(file);
  return ok;
}

std::string save_result(const ResultPicture& picture, const CliOptions& options, const std::string& target,
                        bool& bad_value) {
  bad_value = false;
  OutputFile output;
  const std::string reason = open_output_file(target, output);
  if (!reason.empty()) return write_failure(target, reason);
  std::string error;
  if (!write_result(picture, options, target, output.file, error, bad_value)) return error;
  const std::string committed = commit_output_file(output);
  return committed.empty() ? "" : write_failure(target, committed);
}

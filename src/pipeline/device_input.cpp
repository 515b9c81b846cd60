#include "pipeline/device_input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "device/device_writer.h"
#include "halftone/colour_palette.h"
#include "halftone/grey_levels.h"
#include "image/le_bytes.h"
#include "image/luminance.h"
#include "image/picture.h"
#include "mono/result_bitmap.h"
#include "pipeline/convert_strips.h"
#include "pipeline/index_output.h"
#include "pipeline/pipeline_texts.h"

namespace {

bool starts_with(const std::vector<uint8_t>& head, const char* text) {
  const size_t n = std::strlen(text);
  return head.size() >= n && std::memcmp(head.data(), text, n) == 0;
}

// A picture read back has no resolution; its rows come top first.
void make_header(uint8_t (&header)[kStoreHeaderSize], uint32_t width, uint32_t height) {
  std::memset(header, 0, sizeof header);
  put_u32(header, kStoreHeaderSize);
  put_u32(header + 4, width);
  put_u32(header + kHeightField, static_cast<uint32_t>(-static_cast<int64_t>(height)));
}

// The output's device request: the options given and the preset, else how the input
// was written when both are c or bin, else the format's defaults.
DeviceRequest output_request(const DevicePicture& picture, const ConversionRequest& request, DeviceFormat format) {
  DeviceRequest d = device_request_with_preset(request, format);
  const DeviceSettings& in = picture.settings;
  const unsigned takes = device_format_info(format).options & device_format_info(in.format).options;
  if ((takes & kTakesLayout) && !d.layout) {
    d.layout = in.layout;
    if (!d.on) d.on = in.on;
    if (d.codes.empty()) d.codes = in.codes;
    if (!d.plane_on[0]) d.plane_on[0] = in.plane_on[0];
    if (!d.plane_on[1]) d.plane_on[1] = in.plane_on[1];
    if (d.preset.empty()) d.preset = in.preset;
  }
  d.meaning = in.meaning;
  return d;
}

std::string write_device(const DevicePicture& p, const ConversionRequest& request, const std::string& target,
                         const std::string& input, ResultOutput& out) {
  DeviceSettings settings;
  DeviceError error =
      resolve_device_request(output_request(p, request, device_format_of(request.format)), target, input, settings);
  FILE* file = out.file;
  if (error == DeviceError::kNone) {
    error = begin_device_output(out.device, settings, p.width, p.height, [file](const uint8_t* bytes, size_t size) {
      return std::fwrite(bytes, 1, size, file) == size;
    });
  }
  if (error == DeviceError::kNone) error = put_device_index_rows(out.device, p.indexes.data(), p.width, p.height);
  if (error == DeviceError::kNone) error = finish_device_output(out.device);
  if (error == DeviceError::kNone && std::fflush(file) == 0) return "";
  return write_failure(target, error == DeviceError::kNone || error == DeviceError::kWriteFailed
                                   ? std::strerror(errno)
                                   : device_error_text(error));
}

// The 1-bit formats take two levels or colours: the lighter is white.
std::string write_bits(const DevicePicture& p, const uint8_t (*table)[3], const uint8_t* header,
                       const std::string& target, ResultOutput& out) {
  const auto lum = [&](int k) {
    return luminance(static_cast<uint32_t>(table[k][0] << 16 | table[k][1] << 8 | table[k][2]));
  };
  const uint8_t white = lum(1) >= lum(0) ? 1 : 0;
  std::vector<uint8_t> bits(result_stride(p.width));
  bool ok =
      begin_output(out, out.format, out.file, header, static_cast<int32_t>(p.width), static_cast<int32_t>(p.height));
  for (uint32_t y = 0; ok && y < p.height; ++y) {
    std::fill(bits.begin(), bits.end(), 0);
    const uint8_t* row = p.indexes.data() + static_cast<size_t>(y) * p.width;
    for (uint32_t x = 0; x < p.width; ++x) bits[x >> 3] |= static_cast<uint8_t>((row[x] == white) << (7 - (x & 7)));
    ok = put_result_rows(out, static_cast<int32_t>(y), 1, bits.data());
  }
  ok = ok && finish_output(out);
  return ok ? "" : write_failure(target, out.error.empty() ? std::strerror(errno) : out.error);
}

}  // namespace

bool device_input_format(const std::string& name, const std::vector<uint8_t>& head, DeviceFormat& format) {
  if (device_input_named(name, format)) return true;
  const std::string text(head.begin(), head.end());
  if (starts_with(head, "#define ") && text.find("_bits[]") != std::string::npos) {
    format = DeviceFormat::kXbm;
    return true;
  }
  // The header this program writes opens with its comment; others with their guard or array.
  if (starts_with(head, "/* ") || starts_with(head, "#ifndef ") || starts_with(head, "static const uint8_t ")) {
    format = DeviceFormat::kC;
    return true;
  }
  return false;
}

std::string check_read_back_request(const ConversionRequest& r) {
  if (r.method || r.mode != kModeLetter || r.automatic || r.invert || r.density != kDensityDefault)
    return "a device file is read back as it is: -m, -t, -a and -i don't apply to it";
  const Preparation& p = r.prepare;
  if (p.fit_given || p.background_given || p.rotation != 0 || p.flip != Flip::kNone)
    return "--size gives a device file's own size: --fit, --background, --rotate and --flip don't apply to it";
  if (p.resize && (p.size.width == 0 || p.size.height == 0))
    return "--size gives a device file's own size: both sides, WxH";
  return "";
}

std::string read_device_input(FILE* file, DeviceFormat format, const ConversionRequest& request, uint64_t max_pixels,
                              DevicePicture& picture) {
  DeviceReadRequest read;
  read.format = format;
  if (request.prepare.resize) {
    read.width = request.prepare.size.width;
    read.height = request.prepare.size.height;
  }
  // The options describe the bytes; bin takes every one of them but the output's name and band.
  DeviceRequest described = device_request_with_preset(request, DeviceFormat::kBin);
  described.name.reset();
  described.band_rows.reset();
  const DeviceError error = resolve_device_request(described, "-", "-", read.settings);
  if (error != DeviceError::kNone) return device_error_text(error);
  if (format == DeviceFormat::kBin && read.width && read.height) {
    if (uint64_t{read.width} * read.height > max_pixels)
      return too_many_pixels_reason(read.width, read.height, max_pixels);
    // Raw bytes of a known size: a longer file is refused before it is read.
    DeviceReadResult longer;
    longer.expected = device_layout_bytes(read.settings.layout, read.width, read.height);
    if (fseeko(file, 0, SEEK_END) == 0 && ftello(file) > static_cast<off_t>(longer.expected)) {
      longer.error = DeviceReadError::kSizeMismatch;
      longer.found = static_cast<uint64_t>(ftello(file));
      return device_read_error_text(longer);
    }
  }
  // Text takes at most about six characters a byte, a byte holds a pixel at least.
  const uint64_t cap = 6 * std::min<uint64_t>(max_pixels, UINT64_MAX / 8) + (1u << 20);
  std::vector<uint8_t> bytes;
  uint8_t chunk[1 << 16];
  if (std::fseek(file, 0, SEEK_SET) != 0) return std::string("can't read: ") + std::strerror(errno);
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
    if (bytes.size() + got > cap) return "more text than an array of --max-pixels pixels takes";
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  if (std::ferror(file)) return std::string("can't read: ") + std::strerror(errno);
  DeviceReadResult result = read_device_bytes(bytes.data(), bytes.size(), read);
  if (result.error == DeviceReadError::kNoSize) return "raw bytes need --size WxH: they don't say their size";
  if (result.error != DeviceReadError::kNone) return device_read_error_text(result);
  if (uint64_t{result.picture.width} * result.picture.height > max_pixels)
    return too_many_pixels_reason(result.picture.width, result.picture.height, max_pixels);
  picture = std::move(result.picture);
  return "";
}

std::string write_device_picture(const DevicePicture& p, const ConversionRequest& request, const std::string& target,
                                 const std::string& input, ResultOutput& out) {
  out.format = request.format;
  if (is_device_format(request.format)) return write_device(p, request, target, input, out);
  const IndexMeaning& meaning = p.settings.meaning;
  const bool grey = meaning.palette.empty();
  uint8_t table[kMaxPaletteEntries][3] = {};
  if (grey) {
    for (int k = 0; k < meaning.count; ++k) std::fill(table[k], table[k] + 3, level_grey(meaning.count, k));
  } else {
    Palette palette;
    std::string error;
    if (!parse_palette(meaning.palette, &palette, &error)) return error;
    std::memcpy(table, palette.rgb, sizeof table);
  }
  uint8_t header[kStoreHeaderSize];
  make_header(header, p.width, p.height);
  if (!writes_indexes(request.format, grey)) {
    if (meaning.count == 2) return write_bits(p, table, header, target, out);
    return "its " + std::to_string(meaning.count) +
           (grey ? " grey levels need png, bmp, pgm" : " colours need png, bmp") + " or ppm (" +
           format_name(request.format) +
           (request.format == kFormatPgm ? " holds grey levels)" : " holds black and white only)");
  }
  bool ok = begin_index_output(out, request.format, out.file, header, static_cast<int32_t>(p.width),
                               static_cast<int32_t>(p.height), meaning.count, table, grey);
  for (uint32_t y = 0; ok && y < p.height; ++y)
    ok = put_index_row(out, static_cast<int32_t>(y), p.indexes.data() + static_cast<size_t>(y) * p.width);
  ok = ok && finish_index_output(out);
  return ok ? "" : write_failure(target, out.error.empty() ? std::strerror(errno) : out.error);
}

#include "page_export.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "pipeline/bmp_source.h"
#include "pipeline/convert_strips.h"
#include "cli/options.h"
#include "pipeline/result_output.h"
#include "pipeline/pipeline_texts.h"
#include "image/le_bytes.h"
#include "image/picture.h"
#include "page_result.h"

namespace {

bool next_bmp(void* context, Strip& strip, ReadCode& code) {
  return next_bmp_strip(*static_cast<BmpSource*>(context), strip, code);
}

// A decoded picture given in strips of storage rows, as the command's library reader
// gives them: 0xRRGGBB colours read back.
struct DecodedStrips {
  const PagePicture* picture;
  PictureDescription description;
  int32_t next = 0;  // storage row
  std::vector<uint32_t> colours;
};

bool next_decoded(void* context, Strip& strip, ReadCode& code) {
  auto& d = *static_cast<DecodedStrips*>(context);
  const PagePicture& p = *d.picture;
  code = ReadCode::kOk;
  if (d.next >= p.height) return false;
  const size_t width = static_cast<size_t>(p.width);
  const int32_t rows = std::min(rows_per_strip(4 * static_cast<uint64_t>(width), p.height), p.height - d.next);
  d.colours.resize(width * static_cast<size_t>(rows));
  for (int32_t r = 0; r < rows; ++r) {
    const uint32_t* row = p.colours.get() + static_cast<size_t>(storage_row(p, d.next + r)) * width;
    for (size_t x = 0; x < width; ++x) d.colours[static_cast<size_t>(r) * width + x] = rgb_of_canvas(row[x]);
  }
  strip.picture = d.description;
  strip.picture.height = rows;
  strip.first_row = d.next;
  strip.rows = rows;
  strip.source = ConversionSource{p.head.data(), &strip.picture, d.colours.data()};
  d.next += rows;
  return true;
}

// Runs the conversion into a file in memory; returns its failure, if any.
PageFailure convert_into(FILE* file, const CliOptions& options, const std::string& target, const PagePicture& picture,
                         const uint8_t* bmp, size_t bmp_size) {
  ResultOutput out;
  out.file = file;
  if (is_device_format(options.format)) out.device_settings = device_settings_for(options, target);
  ReadCode code = ReadCode::kOk;
  std::string failure;
  if (bmp != nullptr) {
    FILE* in = fmemopen(const_cast<uint8_t*>(bmp), bmp_size, "rb");
    if (in == nullptr) return memory_failure();
    BmpSource source;
    code = open_bmp_source(in, options.max_pixels, source);
    if (code == ReadCode::kOk) {
      const StripReader reader{&source, next_bmp, std::max(source.picture.width, 0), source.picture.height,
                               source.store.data()};
      failure = convert_strips(reader, options.density, options, out, target, code);
    }
    std::fclose(in);
  } else {
    DecodedStrips strips{&picture, PictureDescription(), 0, {}};
    strips.description.width = picture.width;
    strips.description.offset_to_pixels = kStoreHeaderSize;
    strips.description.read_back = 1;
    const StripReader reader{&strips, next_decoded, picture.width, picture.height, picture.head.data()};
    failure = convert_strips(reader, options.density, options, out, target, code);
  }
  if (code != ReadCode::kOk || !failure.empty()) abandon_output(out);
  if (code != ReadCode::kOk) return read_failure(code);
  return failure.empty() ? PageFailure() : PageFailure{"write", failure, ""};
}

// A device option's text read by the core's rule; a "setting" failure in the
// command's words when it is not one.
template <class T>
bool device_option(const char* text, bool (*parse)(std::string_view, T&), std::optional<T>& out, const char* name,
                   const char* rule, PageFailure& failure) {
  if (text == nullptr) return true;
  T value{};
  if (!parse(text, value)) {
    failure = {"setting", std::string("--") + name + " must be " + rule + ": " + text, name};
    return false;
  }
  out = value;
  return true;
}

// The command's options for an export: the settings, the format and its device options.
PageFailure export_options(const PageSettings& settings, const PageRequest& request, const std::string& file_name,
                           CliOptions& options) {
  options.density = settings.params.density;
  options.invert = settings.params.invert;
  options.halftone = settings.params;
  if (settings.kind >= kFirstMethodKind) {
    options.method = static_cast<HalftoneMethod>(settings.kind - kFirstMethodKind);
  } else {
    options.mode = settings.kind;
  }
  options.format = request.format;
  if (!can_write_format(options.format)) {
    return {"setting", "the page does not write format " + std::to_string(request.format), "format"};
  }
  options.output = file_name;
  PageFailure failure;
  DeviceRequest& device = options.device;
  if (!device_option(request.layout, parse_device_layout, device.layout, "layout",
                     "rows-msb, rows-lsb, pages or columns-msb", failure) ||
      !device_option(request.on, parse_device_on, device.on, "on", "black or white", failure) ||
      !device_option(request.band, parse_band_rows, device.band_rows, "band", "a number from 1 to 2303", failure)) {
    return failure;
  }
  if (request.name != nullptr) {
    if (*request.name == '\0') return {"setting", "--name must not be empty", "name"};
    device.name = request.name;
  }
  const bool any = device.layout || device.on || device.band_rows || device.name;
  if (!is_device_format(options.format) && any) {
    return {"setting", "device options apply to the device formats only", "format"};
  }
  if (is_device_format(options.format)) {
    device.format = device_format_of(options.format);
    DeviceSettings resolved;
    const DeviceError error = resolve_device_request(device, file_name, "-", resolved);
    if (error != DeviceError::None) return device_failure(error);
  }
  return {};
}

}  // namespace

void export_picture(const PageSettings& settings, const PageRequest& request, const std::string& file_name,
                    const PagePicture& picture, const uint8_t* bmp, size_t bmp_size, PageExport& result) {
  CliOptions options;
  result.failure = export_options(settings, request, file_name, options);
  if (failed(result.failure)) return;
  char* buffer = nullptr;
  size_t size = 0;
  FILE* file = open_memstream(&buffer, &size);
  if (file == nullptr) {
    result.failure = memory_failure();
    return;
  }
  result.failure = convert_into(file, options, file_name, picture, bmp, bmp_size);
  // Rows may have been written out of order: the file ends at the furthest byte written.
  off_t end = 0;
  if (std::fseek(file, 0, SEEK_END) == 0) end = ftello(file);
  std::fflush(file);
  if (!failed(result.failure) && end > 0) result.bytes.assign(buffer, buffer + end);
  std::fclose(file);
  std::free(buffer);
  result.x_resolution = get_i32(picture.head.data() + kXResolutionField);
  result.y_resolution = get_i32(picture.head.data() + kYResolutionField);
}

#include "page_device.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "device/device_comment.h"
#include "halftone/colour_palette.h"
#include "halftone/grey_levels.h"
#include "pipeline/device_input.h"

namespace {

// The colours of the indexes: the levels' greys or the palette's entries; false when
// the palette can't be read (a reader gives none such).
bool index_colours(const IndexMeaning& meaning, uint8_t (&table)[kMaxPaletteEntries][3]) {
  std::memset(table, 0, sizeof table);
  if (meaning.palette.empty()) {
    for (int k = 0; k < meaning.count && k < kMaxPaletteEntries; ++k) {
      std::memset(table[k], level_grey(meaning.count, k), 3);
    }
    return true;
  }
  Palette palette;
  std::string error;
  if (!parse_palette(meaning.palette, &palette, &error)) return false;
  std::memcpy(table, palette.rgb, sizeof table);
  return true;
}

// True when the text before the array holds the comment this program writes, which
// says how the array was written.
bool has_own_comment(std::string_view text) {
  const size_t array = std::min(text.find('{'), text.size());
  for (size_t at = text.find("/*"); at < array; at = text.find("/*", at + 2)) {
    const size_t end = text.find("*/", at + 2);
    if (end == std::string_view::npos) return false;
    HeaderFacts facts;
    if (read_c_header_comment(text.substr(at + 2, end - at - 2), facts) != CommentRead::kNotOurs) return true;
  }
  return false;
}

}  // namespace

bool page_device_format(const std::string& name, const uint8_t* head, size_t head_size, DeviceFormat& format) {
  return device_input_format(name, std::vector<uint8_t>(head, head + head_size), format);
}

PageFailure open_device_picture(const uint8_t* bytes, size_t size, DeviceFormat format, uint64_t max_pixels,
                                DevicePicture& device, PagePicture& picture) {
  const std::string_view text(reinterpret_cast<const char*>(bytes), size);
  if (format == DeviceFormat::kBin) {
    return {"device-unsaid", "raw bytes don't say their size or how they were written", ""};
  }
  if (format == DeviceFormat::kC && !has_own_comment(text)) {
    return {"device-unsaid", "this C array has no comment of quillvex-cli's saying how it was written", ""};
  }
  // What the comment or the X bitmap says is all there is to know: no options.
  FILE* file = fmemopen(const_cast<uint8_t*>(bytes), size, "rb");
  if (file == nullptr) return memory_failure();
  const std::string reason = read_device_input(file, format, ConversionRequest(), max_pixels, device);
  std::fclose(file);
  if (!reason.empty()) {
    if (reason.rfind("File is too large", 0) == 0) return {"too-large", reason, ""};
    return {"device-read", reason, ""};
  }
  uint8_t table[kMaxPaletteEntries][3];
  if (!index_colours(device.settings.meaning, table)) return {"device-read", "the palette can't be read", ""};
  const size_t pixels = static_cast<size_t>(device.width) * device.height;
  auto* rgbx = static_cast<uint8_t*>(std::malloc(pixels == 0 ? 4 : 4 * pixels));
  if (rgbx == nullptr) return memory_failure();
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* rgb = table[device.indexes[i] & (kMaxPaletteEntries - 1)];
    std::memcpy(rgbx + 4 * i, rgb, 3);
  }
  const ReadCode code = adopt_decoded_picture(rgbx, static_cast<int32_t>(device.width),
                                              static_cast<int32_t>(device.height), PixelOrder::kRgbx, nullptr, 0, picture);
  return code == ReadCode::kOk ? PageFailure() : read_failure(code);
}

PageFailure show_device_result(PageResult& r, const PagePicture& p, const DevicePicture& device) {
  clear_result(r, p);
  const IndexMeaning& meaning = device.settings.meaning;
  uint8_t table[kMaxPaletteEntries][3];
  index_colours(meaning, table);
  const size_t width = static_cast<size_t>(p.width), height = static_cast<size_t>(p.height);
  if (!r.indexes.allocate(width * height) || !r.ready.allocate(height)) {
    clear_result(r, p);
    return memory_failure();
  }
  r.indexed = true;
  r.palette = !meaning.palette.empty();
  for (int k = 0; k < kMaxPaletteEntries; ++k) {
    r.shades[k] = 0xFF000000u | static_cast<uint32_t>(table[k][2]) << 16 | static_cast<uint32_t>(table[k][1]) << 8 |
                  table[k][0];
  }
  for (int32_t top = 0; top < p.height; ++top) {
    std::memcpy(r.indexes.get() + static_cast<size_t>(storage_row(p, top)) * width,
                device.indexes.data() + static_cast<size_t>(top) * width, width);
  }
  std::memset(r.ready.get(), 1, height);
  r.ready_rows = p.height;
  r.next_top = p.height;
  r.finished = true;
  return {};
}

void export_device_picture(ConversionRequest request, const std::string& file_name, const DevicePicture& device,
                           PageExport& result) {
  request.reads_device = true;
  export_into_memory(result, [&](FILE* file) -> PageFailure {
    ResultOutput out;
    out.file = file;
    const std::string reason = write_device_picture(device, request, file_name, file_name, out);
    if (reason.empty()) return {};
    abandon_output(out);
    return {"write", reason, ""};
  });
}

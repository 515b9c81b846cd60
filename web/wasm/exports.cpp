// The functions the page's worker calls. Pointers are offsets into the module's memory;
// the worker copies files in and pane pixels and downloads out.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pipeline/output_format.h"
#include "dialogs/info_format.h"
#include "halftone/halftone.h"
#include "image/picture.h"
#include "method_json.h"
#include "page_export.h"
#include "page_device.h"
#include "page_failure.h"
#include "page_picture.h"
#include "page_result.h"
#include "page_settings.h"

#define QVX_EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

struct Page {
  PagePicture picture;
  bool device_open = false;  // the picture is a device file's indexes, shown as they are
  DevicePicture device;
  PageResult result;
  PageExport exported;
  PageFailure failure;  // of the latest call that can fail
  uint32_t histogram[256] = {};
  std::string info;
};

// Keeps a call's failure for the qvx_failure_* calls; returns 0, or 1 when it failed.
int answer(Page& page, PageFailure failure) {
  page.failure = std::move(failure);
  return failed(page.failure) ? 1 : 0;
}

void append_quoted(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) >= 0x20) out += c;
  }
  out += '"';
}

// The Info panel's contents as JSON: the eleven header values, the colour cells by
// their dialog ids, and every colour-table entry.
std::string info_json(const PagePicture& p) {
  const InfoTexts texts = format_info(p.head.data(), p.head.size(), p.source_header_size, p.mask_byte_count);
  std::string out = "{\"values\":[";
  for (int i = 0; i < kInfoValueCount; ++i) {
    if (i) out += ',';
    append_quoted(out, texts.filled ? texts.values[i] : "");
  }
  out += "],\"cells\":[";
  for (size_t i = 0; i < texts.cells.size(); ++i) {
    if (i) out += ',';
    out += "{\"id\":" + std::to_string(texts.cells[i].id) + ",\"text\":";
    append_quoted(out, texts.cells[i].text);
    out += '}';
  }
  out += "],\"table\":[";
  const size_t table_start = kStoreHeaderSize + p.mask_byte_count;
  for (size_t at = table_start; at + 4 <= p.head.size(); at += 4) {
    char entry[16];
    std::snprintf(entry, sizeof entry, "\"%02x%02x%02x\"", p.head[at + 2], p.head[at + 1], p.head[at]);
    if (at != table_start) out += ',';
    out += entry;
  }
  out += "]}";
  return out;
}

// The page's pictures are in memory already: a picture that can't be opened is one
// whose memory could not be had.
PageFailure open_failure(ReadCode code) { return code == ReadCode::kCantOpen ? memory_failure() : read_failure(code); }

void picture_opened(Page& page) {
  for (int i = 0; i < 256; ++i) page.histogram[i] = static_cast<uint32_t>(page.picture.histogram[i]);
  page.info = info_json(page.picture);
}

// The descriptors' JSON, made once and kept: the page builds its method list and option
// fields from it.
const std::string& method_descriptors_text() {
  static const std::string text = method_descriptors_json();
  return text;
}

}  // namespace

// Nothing in the page's core throws on purpose; what would is out of memory, where
// the worker is started anew.
extern "C" void* __cxa_allocate_exception(size_t) { std::abort(); }
extern "C" void __cxa_throw(void*, void*, void (*)(void*)) { std::abort(); }

// The library's own allocation hands back null when memory runs out, and address 0 is
// memory like any other here: a container would write there unseen. It faults instead.
void* operator new(size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) std::abort();
  return block;
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }

QVX_EXPORT(qvx_alloc) void* qvx_alloc(size_t size) { return std::malloc(size == 0 ? 1 : size); }
QVX_EXPORT(qvx_free) void qvx_free(void* block) { std::free(block); }

QVX_EXPORT(qvx_page_new) Page* qvx_page_new() { return new Page; }
QVX_EXPORT(qvx_page_delete) void qvx_page_delete(Page* page) { delete page; }

// The calls that can fail return 0, or 1 with qvx_failure_code, _text and _field saying why.
QVX_EXPORT(qvx_failure_code) const char* qvx_failure_code(const Page* page) { return page->failure.code; }
QVX_EXPORT(qvx_failure_text) const char* qvx_failure_text(const Page* page) { return page->failure.text.c_str(); }
QVX_EXPORT(qvx_failure_field) const char* qvx_failure_field(const Page* page) { return page->failure.field; }

QVX_EXPORT(qvx_open_bmp) int qvx_open_bmp(Page* page, const uint8_t* bytes, size_t size, double max_pixels) {
  const ReadCode code = open_bmp_picture(bytes, size, static_cast<uint64_t>(max_pixels), page->picture);
  if (code == ReadCode::kOk) picture_opened(*page);
  return answer(*page, open_failure(code));
}

// pixels: a block from qvx_alloc, taken over whatever the outcome.
QVX_EXPORT(qvx_open_decoded)
int qvx_open_decoded(Page* page, uint8_t* pixels, int32_t width, int32_t height, int order, const uint8_t* head,
                     size_t head_size) {
  const ReadCode code =
      adopt_decoded_picture(pixels, width, height, static_cast<PixelOrder>(order), head, head_size, page->picture);
  if (code == ReadCode::kOk) picture_opened(*page);
  return answer(*page, open_failure(code));
}

// A picture of luminance alone, whose storage rows the caller writes at qvx_luma: a
// worker converting bands of another worker's picture.
QVX_EXPORT(qvx_open_luma) int qvx_open_luma(Page* page, int32_t width, int32_t height, int bottom_up) {
  return answer(*page, open_failure(open_luma_picture(width, height, bottom_up != 0, page->picture)));
}
QVX_EXPORT(qvx_luma) const uint8_t* qvx_luma(const Page* page) { return page->picture.luma.get(); }
QVX_EXPORT(qvx_bottom_up) int qvx_bottom_up(const Page* page) { return page->picture.bottom_up ? 1 : 0; }

QVX_EXPORT(qvx_width) int32_t qvx_width(const Page* page) { return page->picture.width; }
QVX_EXPORT(qvx_height) int32_t qvx_height(const Page* page) { return page->picture.height; }
QVX_EXPORT(qvx_otsu) int qvx_otsu(const Page* page) { return page->picture.otsu; }
QVX_EXPORT(qvx_histogram) const uint32_t* qvx_histogram(const Page* page) { return page->histogram; }
// The pane's colours, top row first, red in the low byte: a decoded picture again.
QVX_EXPORT(qvx_colours) const uint32_t* qvx_colours(const Page* page) { return page->picture.colours.get(); }
QVX_EXPORT(qvx_info) const char* qvx_info(const Page* page) { return page->info.c_str(); }
QVX_EXPORT(qvx_info_size) size_t qvx_info_size(const Page* page) { return page->info.size(); }

// The command's number of a format's name (-f), or kFormatUnset.
QVX_EXPORT(qvx_format_of) int qvx_format_of(const char* name) { return parse_format(name); }

// The size of a PageRequest, which the worker lays out field by field.
QVX_EXPORT(qvx_request_size) size_t qvx_request_size() { return sizeof(PageRequest); }

// Checks a request's settings by the command's rules.
QVX_EXPORT(qvx_check_settings) int qvx_check_settings(Page* page, const PageRequest* request) {
  ConversionRequest settings;
  return answer(*page, read_page_request(*request, "picture", settings));
}

// A device file's format (DeviceFormat) by its name or first bytes, or -1 for a picture.
QVX_EXPORT(qvx_device_format) int qvx_device_format(const char* name, const uint8_t* head, size_t head_size) {
  DeviceFormat format;
  return page_device_format(name, head, head_size, format) ? static_cast<int>(format) : -1;
}

// Reads a device file of that format held in memory; its indexes are the result.
QVX_EXPORT(qvx_open_device)
int qvx_open_device(Page* page, const uint8_t* bytes, size_t size, int format, double max_pixels) {
  page->device = DevicePicture();
  PageFailure failure = open_device_picture(bytes, size, static_cast<DeviceFormat>(format),
                                            static_cast<uint64_t>(max_pixels), page->device, page->picture);
  page->device_open = !failed(failure);
  if (page->device_open) picture_opened(*page);
  return answer(*page, std::move(failure));
}

// The device file's indexes stand for grey levels (1) or a palette's colours (0).
QVX_EXPORT(qvx_device_grey) int qvx_device_grey(const Page* page) {
  return page->device.settings.meaning.palette.empty() ? 1 : 0;
}

// Starts the result for a request's settings; after a failure the result is empty. A
// device file's result is its own indexes, whatever the settings.
QVX_EXPORT(qvx_start) int qvx_start(Page* page, const PageRequest* request) {
  if (page->device_open) return answer(*page, show_device_result(page->result, page->picture, page->device));
  ConversionRequest settings;
  PageFailure failure = read_page_request(*request, "picture", settings);
  if (!failed(failure)) return answer(*page, start_result(page->result, page->picture, settings));
  clear_result(page->result, page->picture);
  return answer(*page, std::move(failure));
}

QVX_EXPORT(qvx_clear_result) void qvx_clear_result(Page* page) { clear_result(page->result, page->picture); }

// Converts about `pixels` more pixels; with a pane of pane_width x pane_height (not 0 x 0),
// the rows that view shows first where the result converts in bands.
QVX_EXPORT(qvx_convert_more)
int32_t qvx_convert_more(Page* page, double pixels, int32_t num, int32_t den, int32_t scroll_x, int32_t scroll_y,
                         int32_t pane_width, int32_t pane_height) {
  const PaneView view{num, den, scroll_x, scroll_y, pane_width, pane_height};
  return convert_more(page->result, static_cast<int64_t>(pixels), pane_width > 0 && pane_height > 0 ? &view : nullptr);
}

// Draws both panes, converting the rows in view first when `convert` is 1; returns 1
// when every row in view is converted for the current settings.
QVX_EXPORT(qvx_draw)
int qvx_draw(Page* page, int32_t num, int32_t den, int32_t scroll_x, int32_t scroll_y, int32_t pane_width,
             int32_t pane_height, uint32_t* source_pane, uint32_t* result_pane, int convert) {
  const PaneView view{num, den, scroll_x, scroll_y, pane_width, pane_height};
  return draw_panes(page->result, view, source_pane, result_pane, convert != 0) ? 1 : 0;
}

// The result's bands, where it converts in bands (else 0), their rows, and the bytes of
// a row; its storage rows of bits.
QVX_EXPORT(qvx_result_bands) int32_t qvx_result_bands(const Page* page) { return result_bands(page->result); }
QVX_EXPORT(qvx_band_rows) int32_t qvx_band_rows(const Page* page) { return page->result.band_rows; }
QVX_EXPORT(qvx_result_stride) int32_t qvx_result_stride(const Page* page) {
  return static_cast<int32_t>(page->result.stride);
}
QVX_EXPORT(qvx_result_bits) const uint8_t* qvx_result_bits(const Page* page) { return page->result.bits.get(); }
QVX_EXPORT(qvx_convert_band) void qvx_convert_band(Page* page, int32_t band) { convert_result_band(page->result, band); }
// Takes a band another worker converted (its rows from the top); returns the rows still to convert.
QVX_EXPORT(qvx_take_band) int32_t qvx_take_band(Page* page, int32_t band, const uint8_t* rows) {
  return take_result_band(page->result, band, rows);
}

// 1 when rows in view may take longer than a frame to convert.
QVX_EXPORT(qvx_converts_by_slices) int qvx_converts_by_slices(const Page* page) {
  return converts_by_slices(page->result) ? 1 : 0;
}

QVX_EXPORT(qvx_view_converted)
int qvx_view_converted(const Page* page, int32_t num, int32_t den, int32_t scroll_x, int32_t scroll_y,
                       int32_t pane_width, int32_t pane_height) {
  return view_converted(page->result, PaneView{num, den, scroll_x, scroll_y, pane_width, pane_height}) ? 1 : 0;
}

// Writes the file of a request's settings, format and device options (file_name names
// a device array); its bytes are kept for qvx_export_data until the next export.
QVX_EXPORT(qvx_export)
int qvx_export(Page* page, const PageRequest* request, const char* file_name, const uint8_t* bmp, size_t bmp_size) {
  page->exported = PageExport();
  ConversionRequest settings;
  PageFailure failure = read_page_request(*request, file_name, settings);
  if (!failed(failure) && page->device_open) {
    export_device_picture(settings, file_name, page->device, page->exported);
    failure = page->exported.failure;
  } else if (!failed(failure)) {
    export_picture(settings, file_name, page->picture, bmp, bmp_size, page->exported);
    failure = page->exported.failure;
  }
  return answer(*page, std::move(failure));
}

QVX_EXPORT(qvx_export_data) const uint8_t* qvx_export_data(const Page* page) { return page->exported.bytes.data(); }
QVX_EXPORT(qvx_export_size) size_t qvx_export_size(const Page* page) { return page->exported.bytes.size(); }
QVX_EXPORT(qvx_export_x_resolution) int32_t qvx_export_x_resolution(const Page* page) { return page->exported.x_resolution; }
QVX_EXPORT(qvx_export_y_resolution) int32_t qvx_export_y_resolution(const Page* page) { return page->exported.y_resolution; }

// The modes and methods with every parameter they take, as JSON (method_json.h).
QVX_EXPORT(qvx_method_descriptors) const char* qvx_method_descriptors() { return method_descriptors_text().c_str(); }
QVX_EXPORT(qvx_method_descriptors_size) size_t qvx_method_descriptors_size() { return method_descriptors_text().size(); }

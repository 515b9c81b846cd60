#include "page_export.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pipeline/bmp_source.h"
#include "pipeline/convert_strips.h"
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
PageFailure convert_into(FILE* file, const ConversionRequest& request, const std::string& target,
                         const PagePicture& picture, const uint8_t* bmp, size_t bmp_size) {
  ResultOutput out;
  out.file = file;
  if (is_device_format(request.format)) out.device_settings = device_settings_for(request, target);
  ReadCode code = ReadCode::kOk;
  std::string failure;
  if (bmp != nullptr) {
    FILE* in = fmemopen(const_cast<uint8_t*>(bmp), bmp_size, "rb");
    if (in == nullptr) return memory_failure();
    BmpSource source;
    code = open_bmp_source(in, UINT64_MAX, source);  // the page's own limit was checked on opening
    if (code == ReadCode::kOk) {
      const StripReader reader{&source, next_bmp, std::max(source.picture.width, 0), source.picture.height,
                               source.store.data()};
      failure = convert_strips(reader, request.density, request, out, target, code);
    }
    std::fclose(in);
  } else {
    DecodedStrips strips{&picture, PictureDescription(), 0, {}};
    strips.description.width = picture.width;
    strips.description.offset_to_pixels = kStoreHeaderSize;
    strips.description.read_back = 1;
    const StripReader reader{&strips, next_decoded, picture.width, picture.height, picture.head.data()};
    failure = convert_strips(reader, request.density, request, out, target, code);
  }
  if (code != ReadCode::kOk || !failure.empty()) abandon_output(out);
  if (code != ReadCode::kOk) return read_failure(code);
  return failure.empty() ? PageFailure() : PageFailure{"write", failure, ""};
}

}  // namespace

void export_into_memory(PageExport& result, const std::function<PageFailure(FILE*)>& write) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* file = open_memstream(&buffer, &size);
  if (file == nullptr) {
    result.failure = memory_failure();
    return;
  }
  result.failure = write(file);
  // Rows may have been written out of order: the file ends at the furthest byte written.
  off_t end = 0;
  if (std::fseek(file, 0, SEEK_END) == 0) end = ftello(file);
  std::fflush(file);
  if (!failed(result.failure) && end > 0) result.bytes.assign(buffer, buffer + end);
  std::fclose(file);
  std::free(buffer);
}

void export_picture(const ConversionRequest& request, const std::string& file_name, const PagePicture& picture,
                    const uint8_t* bmp, size_t bmp_size, PageExport& result) {
  if (!can_write_format(request.format)) {
    result.failure = {"setting", "the page does not write format " + std::to_string(request.format), "format"};
    return;
  }
  export_into_memory(result,
                     [&](FILE* file) { return convert_into(file, request, file_name, picture, bmp, bmp_size); });
  result.x_resolution = get_i32(picture.head.data() + kXResolutionField);
  result.y_resolution = get_i32(picture.head.data() + kYResolutionField);
}

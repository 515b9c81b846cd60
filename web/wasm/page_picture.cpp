#include "page_picture.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "cli/bmp_source.h"
#include "image/decoded_rows.h"
#include "image/file_resolution.h"
#include "image/le_bytes.h"
#include "image/row_decoder.h"
#include "mono/otsu.h"

namespace {

inline uint32_t canvas_colour(uint32_t rgb) {
  return 0xFF000000u | ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

bool allocate_pixels(PagePicture& p) {
  const size_t pixels = static_cast<size_t>(p.width) * static_cast<size_t>(p.height);
  return p.colours.allocate(pixels) && p.luma.allocate(pixels);
}

void count_levels(PagePicture& p) {
  const size_t pixels = static_cast<size_t>(p.width) * static_cast<size_t>(p.height);
  const uint8_t* luma = p.luma.get();
  for (size_t i = 0; i < pixels; ++i) ++p.histogram[luma[i]];
  p.otsu = otsu_threshold(p.histogram);
}

// Takes one strip of the BMP reader: luminance as the conversion takes it, colours as
// the pane shows them.
void take_strip(PagePicture& p, const Strip& strip, std::vector<int32_t>& columns, std::vector<uint32_t>& row) {
  const size_t width = static_cast<size_t>(p.width);
  RowDecoder decoder;
  if (strip.picture.read_back == 0) decoder = make_row_decoder(strip.source.store, strip.picture, RowUse::kColours);
  for (int32_t r = 0; r < strip.rows; ++r) {
    const int32_t storage = strip.first_row + r;
    const uint32_t* rgb = row.data();
    if (strip.picture.read_back == 0) {
      decode_colours(decoder, r, columns.data(), p.width, row.data());
    } else {
      rgb = strip.source.read_back_pixels + static_cast<size_t>(r) * width;
    }
    // The luminance of a pixel is that of its colour, as the conversion takes it.
    luminance_of_colours(rgb, p.width, p.luma.get() + static_cast<size_t>(storage) * width);
    uint32_t* out = p.colours.get() + static_cast<size_t>(storage_row(p, storage)) * width;
    for (size_t x = 0; x < width; ++x) out[x] = canvas_colour(rgb[x]);
  }
}

}  // namespace

ReadCode open_bmp_picture(const uint8_t* bytes, size_t size, uint64_t max_pixels, PagePicture& p) {
  FILE* file = fmemopen(const_cast<uint8_t*>(bytes), size, "rb");
  if (file == nullptr) return ReadCode::kCantOpen;
  BmpSource source;
  ReadCode code = open_bmp_source(file, max_pixels, source);
  if (code == ReadCode::kOk) {
    p.from_bmp = true;
    p.width = std::max(source.picture.width, 0);
    p.height = source.picture.height;
    p.bottom_up = get_i32(source.store.data() + kHeightField) >= 0;
    p.source_header_size = source.picture.source_header_size;
    p.mask_byte_count = source.picture.mask_byte_count;
    p.head.assign(source.store.begin(), source.store.begin() + source.picture.offset_to_pixels);
    if (!allocate_pixels(p)) code = ReadCode::kCantOpen;
  }
  if (code == ReadCode::kOk) {
    std::vector<int32_t> columns(static_cast<size_t>(p.width));
    for (int32_t x = 0; x < p.width; ++x) columns[static_cast<size_t>(x)] = x;
    std::vector<uint32_t> row(static_cast<size_t>(p.width));
    Strip strip;
    while (next_bmp_strip(source, strip, code)) take_strip(p, strip, columns, row);
  }
  std::fclose(file);
  if (code == ReadCode::kOk) count_levels(p);
  return code;
}

ReadCode adopt_decoded_picture(uint8_t* pixels, int32_t width, int32_t height, PixelOrder order, const uint8_t* head,
                               size_t head_size, PagePicture& p) {
  p.colours.data.reset(reinterpret_cast<uint32_t*>(pixels));
  p.width = width;
  p.height = height;
  p.bottom_up = true;
  const FileResolution recorded = file_resolution(head, head_size);
  p.head.assign(kStoreHeaderSize, 0);
  decoded_header(width, height, recorded.exact ? recorded.x : 0, recorded.exact ? recorded.y : 0, p.head.data());
  if (!p.luma.allocate(static_cast<size_t>(width) * static_cast<size_t>(height))) return ReadCode::kCantOpen;
  const size_t w = static_cast<size_t>(width);
  const bool blue_first = order == PixelOrder::kBgra || order == PixelOrder::kBgrx;
  const bool opaque = order == PixelOrder::kRgbx || order == PixelOrder::kBgrx;
  std::vector<uint32_t> row(w);
  for (int32_t top = 0; top < height; ++top) {
    uint8_t* bytes = pixels + static_cast<size_t>(top) * w * 4;
    if (blue_first || opaque) {
      for (size_t x = 0; x < w; ++x) {
        if (blue_first) std::swap(bytes[4 * x], bytes[4 * x + 2]);
        if (opaque) bytes[4 * x + 3] = 0xFF;
      }
    }
    colours_of_samples(bytes, width, 4, row.data());
    // The row's samples are all read: the pane's colours take their place.
    uint32_t* out = reinterpret_cast<uint32_t*>(bytes);
    for (size_t x = 0; x < w; ++x) out[x] = canvas_colour(row[x]);
    luminance_of_colours(row.data(), width, p.luma.get() + static_cast<size_t>(storage_row(p, top)) * w);
  }
  count_levels(p);
  return ReadCode::kOk;
}

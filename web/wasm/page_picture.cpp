#include "page_picture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "pipeline/bmp_source.h"
#include "image/decoded_rows.h"
#include "image/file_resolution.h"
#include "image/le_bytes.h"
#include "image/luminance.h"
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

// A 1-bit picture converts as black and white (the darker entry black), but its pane
// shows the colour table's own two colours: {colour shown for black, for white}.
struct OneBitColours {
  bool used = false;
  uint32_t black = 0, white = 0xFFFFFF;
};

OneBitColours one_bit_colours(const Strip& strip) {
  OneBitColours c;
  if (strip.picture.read_back != 0 || get_u16(strip.source.store + kBitCountField) != 1) return c;
  uint32_t entry[2] = {0, 0};  // entries past the table read black
  for (uint32_t i = 0; i < 2 && i < strip.picture.colour_count; ++i)
    entry[i] = get_u32(strip.source.store + kStoreHeaderSize + 4 * i) & 0xFFFFFF;
  const bool set_is_white = luminance(entry[0]) < luminance(entry[1]);
  c.used = true;
  c.black = set_is_white ? entry[0] : entry[1];
  c.white = set_is_white ? entry[1] : entry[0];
  return c;
}

// Takes one strip of the BMP reader: luminance as the conversion takes it, colours as
// the pane shows them.
void take_strip(PagePicture& p, const Strip& strip, std::vector<int32_t>& columns, std::vector<uint32_t>& row) {
  const size_t width = static_cast<size_t>(p.width);
  RowDecoder decoder;
  if (strip.picture.read_back == 0) decoder = make_row_decoder(strip.source.store, strip.picture, RowUse::kColours);
  const OneBitColours one_bit = one_bit_colours(strip);
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
    if (one_bit.used) {
      for (size_t x = 0; x < width; ++x) out[x] = canvas_colour(rgb[x] ? one_bit.white : one_bit.black);
    } else {
      for (size_t x = 0; x < width; ++x) out[x] = canvas_colour(rgb[x]);
    }
  }
}

// A JPEG's resolution as the command's library reports it (pixels per metre), when the
// file records one the command takes: a JFIF segment first, in inches or centimetres.
// The library starts from the JFIF figures (72 dpi when either is 1) and lets the
// EXIF block's XResolution, YResolution and ResolutionUnit of its first directory
// replace them; each step's arithmetic is the library's, so the truncation agrees.
struct ExifResolution {
  bool found = false;
  double x = 0, y = 0;
  int unit = 0;
};

ExifResolution exif_resolution(const uint8_t* tiff, size_t n) {
  ExifResolution r;
  if (n < 8 || !((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M'))) return r;
  const bool little = tiff[0] == 'I';
  const auto u16 = [&](size_t at) -> uint32_t {
    return at + 2 > n ? 0 : little ? tiff[at] | (tiff[at + 1] << 8) : (tiff[at] << 8) | tiff[at + 1];
  };
  const auto u32 = [&](size_t at) -> uint32_t {
    return at + 4 > n ? 0 : little ? u16(at) | (u16(at + 2) << 16) : (u16(at) << 16) | u16(at + 2);
  };
  const size_t ifd = u32(4);
  if (ifd > n || n - ifd < 2) return r;
  bool have_x = false, have_y = false, have_unit = false;
  for (size_t i = 0, count = u16(ifd); i < count && ifd + 2 + 12 * (i + 1) <= n; ++i) {
    const size_t entry = ifd + 2 + 12 * i;
    const uint32_t tag = u16(entry), type = u16(entry + 2);
    if (tag == 282 || tag == 283) {
      const size_t at = u32(entry + 8);
      if ((type != 5 && type != 10) || at > n || n - at < 8) continue;  // RATIONAL, SRATIONAL
      const double value = type == 5 ? static_cast<double>(u32(at)) / u32(at + 4)
                                     : static_cast<double>(static_cast<int32_t>(u32(at))) /
                                           static_cast<int32_t>(u32(at + 4));
      (tag == 282 ? r.x : r.y) = value;
      (tag == 282 ? have_x : have_y) = true;
    } else if (tag == 296 && (type == 3 || type == 8)) {  // SHORT, SSHORT
      r.unit = static_cast<int>(type == 3 ? u16(entry + 8) : static_cast<int16_t>(u16(entry + 8)));
      have_unit = true;
    } else if (tag == 296 && (type == 4 || type == 9)) {  // LONG, SLONG
      r.unit = static_cast<int>(u32(entry + 8));
      have_unit = true;
    }
  }
  r.found = have_x && have_y && have_unit && r.unit >= 1 && r.unit <= 3;
  return r;
}

FileResolution jpeg_resolution(const uint8_t* b, size_t n) {
  FileResolution r = file_resolution(b, n);
  if (!r.recorded) return r;
  const uint32_t x_density = (b[14] << 8) | b[15], y_density = (b[16] << 8) | b[17];
  double x = 72.0 / 25.4, y = 72.0 / 25.4;  // pixels per millimetre
  if (x_density != 1 && y_density != 1) {
    const double per = b[13] == 1 ? 25.4 : 10.0;
    x = x_density / per;
    y = y_density / per;
  }
  // Segments up to the first scan; the last EXIF block counts.
  ExifResolution exif;
  for (size_t at = 2; at + 4 <= n && b[at] == 0xFF;) {
    const uint8_t marker = b[at + 1];
    if (marker == 0xDA || marker == 0xD9) break;
    const size_t length = (b[at + 2] << 8) | b[at + 3];
    if (length < 2 || length > n - at - 2) break;
    if (marker == 0xE1 && length >= 8 && std::memcmp(b + at + 4, "Exif\0\0", 6) == 0) {
      exif = exif_resolution(b + at + 10, length - 8);
    }
    at += 2 + length;
  }
  if (exif.found) {
    const double per = exif.unit == 2 ? 25.4 : exif.unit == 3 ? 10.0 : 1.0;
    x = exif.unit == 1 ? exif.x : exif.x / per;
    y = exif.unit == 1 ? exif.y : exif.y / per;
  }
  r.exact = true;
  r.x = pixels_per_metre(x * 25.4);
  r.y = pixels_per_metre(y * 25.4);
  return r;
}

}  // namespace

ReadCode open_bmp_picture(const uint8_t* bytes, size_t size, uint64_t max_pixels, PagePicture& p) {
  FILE* file = fmemopen(const_cast<uint8_t*>(bytes), size, "rb");
  if (file == nullptr) return ReadCode::kNoMemory;
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
    if (!allocate_pixels(p)) code = ReadCode::kNoMemory;
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
  const bool jpeg = head_size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
  const FileResolution recorded = jpeg ? jpeg_resolution(head, head_size) : file_resolution(head, head_size);
  p.head.assign(kStoreHeaderSize, 0);
  decoded_header(width, height, recorded.exact ? recorded.x : 0, recorded.exact ? recorded.y : 0, p.head.data());
  if (!p.luma.allocate(static_cast<size_t>(width) * static_cast<size_t>(height))) return ReadCode::kNoMemory;
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

ReadCode open_luma_picture(int32_t width, int32_t height, bool bottom_up, PagePicture& p) {
  p = PagePicture();
  p.width = std::max(width, 0);
  p.height = std::max(height, 0);
  p.bottom_up = bottom_up;
  return p.luma.allocate(static_cast<size_t>(p.width) * static_cast<size_t>(p.height)) ? ReadCode::kOk
                                                                                         : ReadCode::kNoMemory;
}

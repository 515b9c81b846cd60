#include "pipeline/bmp_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "image/bmp_reader.h"
#include "image/le_bytes.h"
#include "image/pixel.h"

namespace {

uint32_t file_read(void* context, uint8_t* destination, uint32_t count) {
  return static_cast<uint32_t>(std::fread(destination, 1, count, static_cast<FILE*>(context)));
}

void file_seek(void* context, uint32_t offset) {
  FILE* file = static_cast<FILE*>(context);
  // A seek that fails leaves the file at its end, so what follows reads short.
  if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) fseeko(file, 0, SEEK_END);
}

// The store holds only the header, masks and colour table here; a colour table of
// millions of entries (a damaged colours-used field) is refused rather than read.
constexpr uint32_t kMaxHeadBytes = 64u << 20;

uint8_t* vector_resize(void* context, uint32_t size) {
  if (size > kMaxHeadBytes) return nullptr;
  auto* store = static_cast<std::vector<uint8_t>*>(context);
  store->resize(size);
  return store->data();
}

// Compressed bytes for the decoder, read through a small buffer.
bool refill_input(void* context, RleInput& input) {
  auto* s = static_cast<BmpSource*>(context);
  const size_t got = std::fread(s->input_buffer, 1, sizeof s->input_buffer, s->file);
  s->consumed += got;
  input.at = s->input_buffer;
  input.end = s->input_buffer + got;
  return got > 0;
}

// Takes the pixel bytes nobody needs, so that a file shorter than its header says
// fails as the reader would fail it.
bool drain_pixel_bytes(BmpSource& s) {
  s.input.at = s.input.end;  // bytes read ahead are counted already
  uint8_t scratch[65536];
  while (s.consumed < s.pixel_bytes) {
    const uint64_t want = std::min<uint64_t>(sizeof scratch, s.pixel_bytes - s.consumed);
    const size_t got = std::fread(scratch, 1, static_cast<size_t>(want), s.file);
    s.consumed += got;
    if (got == 0) break;
  }
  return s.consumed >= s.pixel_bytes;
}

// Whether the file holds every pixel byte the header claims, for a reader that
// does not read them in order.
bool holds_pixel_bytes(const BmpSource& s) {
  struct stat st;
  const uint64_t rows = s.stride * static_cast<uint64_t>(s.picture.height);
  return fstat(fileno(s.file), &st) == 0 &&
         static_cast<uint64_t>(st.st_size) >= static_cast<uint64_t>(s.pixel_start) + std::max<uint64_t>(rows, s.pixel_bytes);
}

// Reads the strip of the next rows from the top of a bottom-up picture.
bool read_strip_backwards(BmpSource& s, int32_t rows, int32_t first_row) {
  if (s.next_row == 0 && !holds_pixel_bytes(s)) return false;
  const size_t bytes = static_cast<size_t>(s.stride) * static_cast<size_t>(rows);
  const off_t at = s.pixel_start + static_cast<off_t>(first_row) * static_cast<off_t>(s.stride);
  return fseeko(s.file, at, SEEK_SET) == 0 &&
         std::fread(s.store.data() + s.picture.offset_to_pixels, 1, bytes, s.file) == bytes;
}

// Returns null when the header describes pixels that can be decoded, else why not.
// The Windows program takes any header of a size it knows and shows what its pixel
// fetch can't read as black; here a header with no pixels (a side of 0), a depth no
// row has (0, 7), or a compression nothing here decodes (JPEG, PNG, unknown codes)
// is refused rather than converted to a picture that isn't there.
const char* undecodable(const uint8_t* header, const PictureDescription& picture) {
  if (picture.width <= 0 || picture.height <= 0) return "a side of 0 pixels";
  const uint16_t bits = get_u16(header + kBitCountField);
  switch (get_u32(header + kCompressionField)) {
    case kCompressionNone:
    case kCompressionBitFields: {
      const bool row_depth = bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
      return row_depth ? nullptr : "a depth not of 1, 2, 4, 8, 16, 24 or 32 bits";
    }
    // A run-length picture whose depth does not match goes on as the Windows
    // program shows it (the platform refuses to decode it).
    case kCompressionRle8:
    case kCompressionRle4: return nullptr;
    case kCompressionJpeg: return "JPEG data inside the bitmap";
    case kCompressionPng: return "PNG data inside the bitmap";
    default: return "an unknown compression";
  }
}

// Maps the file so that strips point into it: only an uncompressed picture whose rows
// are all in the file, and whose last row lies within a 32-bit offset of the header.
void map_pixel_rows(BmpSource& s) {
  const uint64_t rows = s.stride * static_cast<uint64_t>(s.picture.height);
  const uint64_t head = s.picture.offset_to_pixels;
  const uint64_t start = static_cast<uint64_t>(s.pixel_start);
  struct stat st;
  if (s.picture.read_back != 0 || rows == 0 || head + rows > UINT32_MAX || !holds_pixel_bytes(s) ||
      fstat(fileno(s.file), &st) != 0 || !S_ISREG(st.st_mode)) {
    return;
  }
  // The header goes just before the first pixel byte: over the file's own head where
  // it is long enough (a private copy of that page), else into the room before it.
  const size_t room = head > start ? static_cast<size_t>(head - start) : 0;
  if (!s.mapping.map(fileno(s.file), static_cast<uint64_t>(st.st_size), room)) return;
  uint8_t* store = s.mapping.bytes() + start - head;
  std::memcpy(store, s.store.data(), static_cast<size_t>(head));
  s.mapped_store = store;
  s.handed_from = s.handed_to = start;
  // The store keeps the header alone: no strip is read into it.
  s.store.resize(static_cast<size_t>(head));
}

// Gives back the memory of the rows handed on last: whole pages only, so never the
// page the header was written into.
void release_handed_rows(BmpSource& s) {
  s.mapping.release(std::max(s.handed_from, static_cast<uint64_t>(s.pixel_start)), s.handed_to);
}

// A failure and its cause.
ReadCode failed(BmpSource& s, ReadCode code, const char* cause) {
  s.failure_detail = cause;
  return code;
}

}  // namespace

ReadCode open_bmp_source(FILE* file, uint64_t max_pixels, BmpSource& s) {
  s.file = file;
  s.store.assign(kInitialStoreSize, 0);
  uint8_t* locked = s.store.data();
  const ReadCode code = read_bmp_head(FileInput{file, file_read, file_seek}, StoreResizer{&s.store, vector_resize}, locked,
                                      s.picture, s.pixel_bytes, &s.failure_detail);
  if (code != ReadCode::kOk) return code;
  if (const char* cause = undecodable(s.store.data(), s.picture)) return failed(s, ReadCode::kUnsupported, cause);
  if (static_cast<uint64_t>(std::max(s.picture.width, 0)) * static_cast<uint64_t>(s.picture.height) > max_pixels) {
    return failed(s, ReadCode::kTooLarge, "more pixels than allowed");
  }
  const uint16_t bit_count = get_u16(s.store.data() + kBitCountField);
  const uint64_t width = static_cast<uint64_t>(std::max(s.picture.width, 0));
  s.pixel_start = ftello(file);
  if (s.picture.read_back == 0) {
    s.stride = row_stride(static_cast<uint32_t>(width), bit_count);
    s.strip_rows = rows_per_strip(std::max<uint64_t>(s.stride, width), s.picture.height);
    s.store.resize(s.picture.offset_to_pixels + static_cast<size_t>(s.stride) * static_cast<size_t>(s.strip_rows));
    s.backwards = s.top_first && get_i32(s.store.data() + kHeightField) > 0 && width > 0 && s.picture.height > 0;
    if (s.pixel_start < 0) s.backwards = false;
    if (s.map_rows && s.pixel_start >= 0) map_pixel_rows(s);
  } else {
    s.strip_rows = rows_per_strip(4 * width, s.picture.height);
    s.colours.resize(static_cast<size_t>(width) * static_cast<size_t>(s.strip_rows));
    start_rle(s.rle, s.store.data(), s.picture);
  }
  return ReadCode::kOk;
}

bool next_bmp_strip(BmpSource& s, Strip& strip, ReadCode& code) {
  code = ReadCode::kOk;
  if (s.mapped_store) release_handed_rows(s);
  if (s.picture.width <= 0 || s.next_row >= s.picture.height) {
    if (s.backwards || s.mapped_store) return false;  // every byte was known to be there
    if (s.picture.read_back == 0) {
      s.consumed = static_cast<uint64_t>(s.next_row) * s.stride;
    }
    if (!drain_pixel_bytes(s)) code = failed(s, ReadCode::kShortData, kShortPixelData);
    return false;
  }
  const int32_t rows = std::min(s.strip_rows, s.picture.height - s.next_row);
  strip.picture = s.picture;
  strip.picture.height = rows;
  strip.first_row = s.backwards ? s.picture.height - s.next_row - rows : s.next_row;
  strip.rows = rows;
  if (s.mapped_store) {
    const uint64_t skipped = static_cast<uint64_t>(strip.first_row) * s.stride;
    strip.picture.offset_to_pixels = s.picture.offset_to_pixels + static_cast<uint32_t>(skipped);
    strip.source = ConversionSource{s.mapped_store, &strip.picture, nullptr};
    s.handed_from = static_cast<uint64_t>(s.pixel_start) + skipped;
    s.handed_to = s.handed_from + static_cast<uint64_t>(rows) * s.stride;
  } else if (s.backwards) {
    if (!read_strip_backwards(s, rows, strip.first_row)) {
      code = failed(s, ReadCode::kShortData, kShortPixelData);
      return false;
    }
    strip.source = ConversionSource{s.store.data(), &strip.picture, nullptr};
  } else if (s.picture.read_back == 0) {
    const size_t bytes = static_cast<size_t>(s.stride) * static_cast<size_t>(rows);
    uint8_t* rows_at = s.store.data() + s.picture.offset_to_pixels;
    const size_t got = std::fread(rows_at, 1, bytes, s.file);
    if (got < bytes) {
      code = failed(s, ReadCode::kShortData, kShortPixelData);
      return false;
    }
    strip.source = ConversionSource{s.store.data(), &strip.picture, nullptr};
  } else {
    s.input.context = &s;
    s.input.refill = refill_input;
    const size_t width = static_cast<size_t>(s.picture.width);
    for (int32_t i = 0; i < rows; ++i) decode_rle_row(s.rle, s.input, s.next_row + i, s.colours.data() + i * width);
    strip.source = ConversionSource{s.store.data(), &strip.picture, s.colours.data()};
  }
  s.next_row += rows;
  return true;
}

bool bmp_source_holds_pixels(const BmpSource& s) { return holds_pixel_bytes(s); }

bool whole_bmp_strip(const BmpSource& s, Strip& all) {
  // Pages of a picture taken whole stay in memory to the end: not for the largest.
  constexpr uint64_t kMostHeldWhole = uint64_t{256} << 20;
  if (!s.mapped_store || s.next_row != 0 || s.stride * static_cast<uint64_t>(s.picture.height) > kMostHeldWhole) {
    return false;
  }
  all.picture = s.picture;
  all.first_row = 0;
  all.rows = s.picture.height;
  all.source = ConversionSource{s.mapped_store, &all.picture, nullptr};
  return true;
}

namespace {

void colours_to_rgb(const uint32_t* colours, size_t width, uint8_t* rgb) {
  for (size_t x = 0; x < width; ++x, rgb += 3) {
    rgb[0] = static_cast<uint8_t>(colours[x] >> 16);
    rgb[1] = static_cast<uint8_t>(colours[x] >> 8);
    rgb[2] = static_cast<uint8_t>(colours[x]);
  }
}

// A positive height in the header: storage row 0 is the bottom row.
bool stored_bottom_up(const BmpSource& s) { return get_i32(s.store.data() + kHeightField) >= 0; }

// Decodes a compressed picture whole, the top row first.
bool decode_whole(BmpSource& s, ReadCode& code) {
  const size_t width = static_cast<size_t>(std::max(s.picture.width, 0));
  const int32_t height = s.picture.height;
  const bool bottom_up = stored_bottom_up(s);
  s.whole.assign(width * static_cast<size_t>(height) * 3, 0);
  Strip strip;
  while (next_bmp_strip(s, strip, code)) {
    for (int32_t r = 0; r < strip.rows; ++r) {
      const int32_t storage = strip.first_row + r;
      const size_t top = static_cast<size_t>(bottom_up ? height - 1 - storage : storage);
      colours_to_rgb(strip.source.read_back_pixels + static_cast<size_t>(r) * width, width, s.whole.data() + top * width * 3);
    }
  }
  return code == ReadCode::kOk;
}

}  // namespace

bool next_bmp_rgb_row(BmpSource& s, uint8_t* rgb, ReadCode& code) {
  code = ReadCode::kOk;
  const int32_t height = s.picture.height;
  const size_t width = static_cast<size_t>(std::max(s.picture.width, 0));
  if (s.rgb_next >= height) return false;
  if (s.picture.read_back != 0) {
    if (s.rgb_next == 0 && !decode_whole(s, code)) return false;
    std::memcpy(rgb, s.whole.data() + static_cast<size_t>(s.rgb_next) * width * 3, width * 3);
    if (++s.rgb_next == height) s.whole = std::vector<uint8_t>();
    return true;
  }
  const int32_t storage = stored_bottom_up(s) ? height - 1 - s.rgb_next : s.rgb_next;
  Strip& strip = s.rgb_strip;
  if (strip.rows == 0 || storage < strip.first_row || storage >= strip.first_row + strip.rows) {
    if (!next_bmp_strip(s, strip, code)) {
      if (code == ReadCode::kOk) code = failed(s, ReadCode::kShortData, kShortPixelData);
      return false;
    }
    // Strips come in the order the rows are asked for: top row first.
    if (storage < strip.first_row || storage >= strip.first_row + strip.rows) {
      code = failed(s, ReadCode::kShortData, "rows out of order");
      return false;
    }
    s.rgb_decoder = make_row_decoder(strip.source.store, strip.picture, RowUse::kColours);
  }
  if (s.rgb_decoder.kind == RowKind::kBgr24) {
    // The common depth needs no colour table: blue, green, red turned around.
    const uint8_t* p = s.rgb_decoder.pixels + s.rgb_decoder.stride * static_cast<uint64_t>(storage - strip.first_row);
    for (size_t x = 0; x < width; ++x, p += 3, rgb += 3) {
      rgb[0] = p[2];
      rgb[1] = p[1];
      rgb[2] = p[0];
    }
    ++s.rgb_next;
    return true;
  }
  if (s.columns.size() != width) {
    s.columns.resize(width);
    for (size_t x = 0; x < width; ++x) s.columns[x] = static_cast<int32_t>(x);
    s.colours.resize(width);
  }
  decode_colours(s.rgb_decoder, storage - strip.first_row, s.columns.data(), static_cast<int32_t>(width), s.colours.data());
  colours_to_rgb(s.colours.data(), width, rgb);
  ++s.rgb_next;
  return true;
}

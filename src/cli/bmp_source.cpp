#include "cli/bmp_source.h"

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

}  // namespace

ReadCode open_bmp_source(FILE* file, uint64_t max_pixels, BmpSource& s) {
  s.file = file;
  s.store.assign(kInitialStoreSize, 0);
  uint8_t* locked = s.store.data();
  const ReadCode code = read_bmp_head(FileInput{file, file_read, file_seek}, StoreResizer{&s.store, vector_resize}, locked,
                                 s.picture, s.pixel_bytes);
  if (code != ReadCode::kOk) return code;
  if (static_cast<uint64_t>(std::max(s.picture.width, 0)) * static_cast<uint64_t>(s.picture.height) > max_pixels) {
    return ReadCode::kTooLarge;
  }
  const uint16_t bit_count = get_u16(s.store.data() + kBitCountField);
  const uint64_t width = static_cast<uint64_t>(std::max(s.picture.width, 0));
  if (s.picture.read_back == 0) {
    s.stride = row_stride(static_cast<uint32_t>(width), bit_count);
    s.strip_rows = rows_per_strip(std::max<uint64_t>(s.stride, width), s.picture.height);
    s.store.resize(s.picture.offset_to_pixels + static_cast<size_t>(s.stride) * static_cast<size_t>(s.strip_rows));
  } else {
    s.strip_rows = rows_per_strip(4 * width, s.picture.height);
    s.colours.resize(static_cast<size_t>(width) * static_cast<size_t>(s.strip_rows));
    start_rle(s.rle, s.store.data(), s.picture);
  }
  return ReadCode::kOk;
}

bool next_bmp_strip(BmpSource& s, Strip& strip, ReadCode& code) {
  code = ReadCode::kOk;
  if (s.picture.width <= 0 || s.next_row >= s.picture.height) {
    if (s.picture.read_back == 0) {
      s.consumed = static_cast<uint64_t>(s.next_row) * s.stride;
    }
    if (!drain_pixel_bytes(s)) code = ReadCode::kShortData;
    return false;
  }
  const int32_t rows = std::min(s.strip_rows, s.picture.height - s.next_row);
  strip.picture = s.picture;
  strip.picture.height = rows;
  strip.first_row = s.next_row;
  strip.rows = rows;
  if (s.picture.read_back == 0) {
    const size_t bytes = static_cast<size_t>(s.stride) * static_cast<size_t>(rows);
    uint8_t* rows_at = s.store.data() + s.picture.offset_to_pixels;
    const size_t got = std::fread(rows_at, 1, bytes, s.file);
    if (got < bytes) {
      code = ReadCode::kShortData;
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

#include "image/bmp_reader.h"

#include <cstring>

#include "image/le_bytes.h"
#include "image/pixel.h"
#include "image/row_size.h"

namespace {

constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kV4HeaderSize = 108;
constexpr uint32_t kReadableColours = 65536;

// Reads count bytes; whatever the file could not supply is zeroed so that a short
// colour table reads as black rather than as stale memory.
uint32_t read_zero_filled(const FileInput& file, uint8_t* destination, uint32_t count) {
  const uint32_t got = file.read(file.context, destination, count);
  if (got < count) std::memset(destination + got, 0, count - got);
  return got;
}

// Turns a core header (12 bytes, 16-bit dimensions) into the 40-byte layout in place.
void widen_core_header(uint8_t* store) {
  LeReader core(store, kCoreHeaderSize);
  core.at = 4;
  const uint16_t width = core.next_u16();
  const uint16_t height = core.next_u16();
  const uint16_t planes = core.next_u16();
  const uint16_t bit_count = core.next_u16();
  std::memset(store + 16, 0, 24);
  put_u16(store + kBitCountField, bit_count);
  put_u16(store + kPlanesField, planes);
  put_u32(store + kHeightField, height);
  put_u32(store + kWidthField, width);
}

// Core colour tables have 3-byte entries; spread them to 4 bytes from the last down.
void widen_core_colours(uint8_t* table, uint32_t count) {
  for (uint32_t i = count; i-- > 1;) {
    std::memmove(table + 4 * i, table + 3 * i, 3);
    table[4 * i + 3] = 0;
  }
  if (count > 0) table[3] = 0;
}

}  // namespace

void describe_picture(const uint8_t* store, PictureDescription& picture) {
  picture.width = get_i32(store + kWidthField);
  picture.height = static_cast<int32_t>(dimension_magnitude(get_i32(store + kHeightField)));
  picture.read_back = read_back_flag(store);
}

namespace {

// A failure and its cause.
ReadCode failed(ReadCode code, const char* cause, const char*& detail) {
  detail = cause;
  return code;
}

// Reads everything before the pixel data and leaves the file at the pixel data.
// The store is resized to the offset to pixels, and with room for the pixel data
// when `room_for_pixels`; `pixel_byte_count` is how many pixel bytes the file must hold.
ReadCode read_until_pixels(const FileInput& file, const StoreResizer& resizer, uint8_t*& store, PictureDescription& picture,
                      bool room_for_pixels, uint32_t& pixel_byte_count, const char*& detail) {
  detail = nullptr;
  uint8_t file_header[kFileHeaderBytes];
  if (file.read(file.context, file_header, kFileHeaderBytes) < kFileHeaderBytes) {
    return failed(ReadCode::kNoFileHeader, "file shorter than the 14-byte file header", detail);
  }
  if (file_header[0] != 'B' || (file_header[1] != 'M' && file_header[1] != 'A')) return ReadCode::kNoSignature;

  const char kShortInfo[] = "file ends inside its info header";
  if (file.read(file.context, store, 4) < 4) return failed(ReadCode::kNoInfoHeader, kShortInfo, detail);
  const uint32_t header_size = LeReader(store, 4).u32(0);
  picture.source_header_size = header_size;
  put_u32(store + kHeaderSizeField, kStoreHeaderSize);
  if (header_size == kCoreHeaderSize) {
    if (file.read(file.context, store + 4, 8) < 8) return failed(ReadCode::kNoInfoHeader, kShortInfo, detail);
    widen_core_header(store);
  } else if (header_size == kStoreHeaderSize || header_size == kV4HeaderSize) {
    if (file.read(file.context, store + 4, 36) < 36) return failed(ReadCode::kNoInfoHeader, kShortInfo, detail);
  } else {
    return failed(ReadCode::kUnsupported, "info header neither 12, 40 nor 108 bytes long", detail);
  }

  // A negative width (and a height with no positive counterpart) describes no picture.
  InfoFields info;
  read_info_fields(store, kStoreHeaderSize, info);
  const int32_t width = info.width;
  const int32_t height = info.height;
  if (width < 0) return failed(ReadCode::kUnsupported, "negative width", detail);
  if (height == INT32_MIN) return failed(ReadCode::kUnsupported, "height of -2147483648", detail);

  const uint16_t bit_count = info.bit_count;
  const uint32_t compression = info.compression;
  const uint64_t colour_count = colour_count_of(info.colours_used, bit_count);
  if (info.colours_used == 0) put_u32(store + kColoursUsedField, static_cast<uint32_t>(colour_count));

  uint32_t image_size = info.image_size;
  if (image_size == 0) {
    const uint64_t rows_bytes = padded_row_bytes(static_cast<uint64_t>(width), bit_count) * dimension_magnitude(height);
    if (rows_bytes > UINT32_MAX) return failed(ReadCode::kTooLarge, "pixel rows beyond 4 GiB", detail);
    image_size = static_cast<uint32_t>(rows_bytes);
    put_u32(store + kImageSizeField, image_size);
  }
  const uint32_t mask_bytes = compression == kCompressionBitFields ? kMaskBytes : 0;

  const uint64_t pixel_bytes = stored_pixel_bytes(width, bit_count, height, compression, image_size);
  const uint64_t offset_to_pixels = kStoreHeaderSize + mask_bytes + 4 * colour_count;
  const uint64_t store_size = offset_to_pixels + pixel_bytes;
  if (store_size > UINT32_MAX) return failed(ReadCode::kTooLarge, "header, colour table and pixels beyond 4 GiB", detail);

  const uint64_t wanted_size = room_for_pixels ? store_size : offset_to_pixels;
  uint8_t* resized = resizer.resize(resizer.context, static_cast<uint32_t>(wanted_size));
  if (resized == nullptr) {
    return failed(ReadCode::kTooLarge, room_for_pixels ? "no room for the picture" : "colour table too large to hold",
                  detail);
  }
  store = resized;
  picture.mask_byte_count = mask_bytes;
  picture.colour_count = static_cast<uint32_t>(colour_count);
  picture.offset_to_pixels = static_cast<uint32_t>(offset_to_pixels);

  if (mask_bytes != 0) read_zero_filled(file, store + kStoreHeaderSize, kMaskBytes);
  // The file format puts the colour table (and otherwise the pixels) after the whole
  // header, also a 108-byte one whose masks were just read from inside it.
  if (header_size == kV4HeaderSize) file.seek(file.context, kFileHeaderBytes + kV4HeaderSize);
  if (colour_count != 0) {
    uint8_t* table = store + kStoreHeaderSize + mask_bytes;
    const uint32_t count = static_cast<uint32_t>(colour_count);
    if (header_size == kCoreHeaderSize) {
      read_zero_filled(file, table, 3 * count);
      widen_core_colours(table, count);
    } else {
      // Only the entries something reads are zeroed when the file runs short: the
      // pixel fetch indexes at most 256, palette creation takes the low 16 bits of
      // colours used. A header claiming a billion colours so costs no gigabyte of zeros.
      const uint32_t got = file.read(file.context, table, 4 * count);
      const uint32_t readable = 4 * (count < kReadableColours ? count : kReadableColours);
      if (got < readable) std::memset(table + got, 0, readable - got);
    }
  }

  const uint32_t pixel_offset = LeReader(file_header, kFileHeaderBytes).u32(10);
  if (pixel_offset != 0) file.seek(file.context, pixel_offset);
  pixel_byte_count = static_cast<uint32_t>(pixel_bytes);
  return ReadCode::kOk;
}

}  // namespace

ReadCode read_bmp_head(const FileInput& file, const StoreResizer& resizer, uint8_t*& store, PictureDescription& picture,
                       uint32_t& pixel_bytes, const char** detail) {
  pixel_bytes = 0;
  const char* cause = nullptr;
  const ReadCode code = read_until_pixels(file, resizer, store, picture, false, pixel_bytes, cause);
  if (code == ReadCode::kOk) describe_picture(store, picture);
  if (detail) *detail = cause;
  return code;
}

ReadCode read_bmp(const FileInput& file, const StoreResizer& resizer, uint8_t*& store, PictureDescription& picture,
                  const char** detail) {
  uint32_t wanted = 0;
  const char* cause = nullptr;
  ReadCode code = read_until_pixels(file, resizer, store, picture, true, wanted, cause);
  // A short read fails the open, so the rows it did not reach are left as they are:
  // filling the gigabytes that a small file may claim would cost as much as reading them.
  if (code == ReadCode::kOk && file.read(file.context, store + picture.offset_to_pixels, wanted) < wanted) {
    code = failed(ReadCode::kShortData, kShortPixelData, cause);
  }
  if (detail) *detail = cause;
  return code;
}

namespace {

struct MemoryFile {
  const uint8_t* data;
  size_t size;
  size_t position;
};

uint32_t memory_read(void* context, uint8_t* destination, uint32_t count) {
  auto* file = static_cast<MemoryFile*>(context);
  const size_t left = file->position < file->size ? file->size - file->position : 0;
  const uint32_t n = count < left ? count : static_cast<uint32_t>(left);
  if (n > 0) std::memcpy(destination, file->data + file->position, n);
  file->position += n;
  return n;
}

void memory_seek(void* context, uint32_t offset) { static_cast<MemoryFile*>(context)->position = offset; }

struct VectorStore {
  std::vector<uint8_t>* bytes;
  uint32_t max_size;
};

uint8_t* vector_resize(void* context, uint32_t size) {
  auto* store = static_cast<VectorStore*>(context);
  if (size > store->max_size) return nullptr;
  store->bytes->resize(size);
  return store->bytes->data();
}

}  // namespace

ReadCode read_bmp_from_memory(const uint8_t* data, size_t size, std::vector<uint8_t>& store,
                              PictureDescription& picture, uint32_t max_store, const char** detail) {
  MemoryFile file{data, size, 0};
  VectorStore vector_store{&store, max_store};
  if (store.size() < kInitialStoreSize) store.resize(kInitialStoreSize);
  uint8_t* locked = store.data();
  const ReadCode code = read_bmp(FileInput{&file, memory_read, memory_seek}, StoreResizer{&vector_store, vector_resize},
                            locked, picture, detail);
  if (code == ReadCode::kOk) describe_picture(store.data(), picture);
  return code;
}

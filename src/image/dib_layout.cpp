#include "image/dib_layout.h"

#include <cstring>

#include "image/le_bytes.h"
#include "image/pixel.h"
#include "image/row_size.h"

namespace {

// A negative width, or a height without a positive counterpart, describes no picture.
bool plausible_dimensions(int32_t width, int32_t height) { return width >= 0 && height != INT32_MIN; }

// Bytes of pixel data the store must hold for a 40-byte header.
uint64_t pixel_bytes_needed(const uint8_t* header) {
  return stored_pixel_bytes(get_i32(header + kWidthField), get_u16(header + kBitCountField),
                            get_i32(header + kHeightField), get_u32(header + kCompressionField),
                            get_u32(header + kImageSizeField));
}

}  // namespace

bool rows_byte_count(int32_t width, uint16_t bit_count, int32_t height, uint32_t& bytes) {
  // Any bit count, not only the ones the pixel fetch knows: the size is what the rows occupy.
  const uint64_t stride = padded_row_bytes(dimension_magnitude(width), bit_count);
  const uint64_t total = stride * dimension_magnitude(height);
  if (total > UINT32_MAX) return false;
  bytes = static_cast<uint32_t>(total);
  return true;
}

uint32_t lay_out_pasted_dib(uint8_t* block, uint32_t size, PictureDescription& picture) {
  InfoFields f;
  if (!read_info_fields(block, size, f)) return 0;
  const uint32_t header_size = f.header_size;
  if (header_size < kStoreHeaderSize || header_size > size) return 0;
  if (!plausible_dimensions(f.width, f.height)) return 0;
  const uint32_t colours_used = f.colours_used;
  const uint32_t colour_count = colour_count_of(colours_used, f.bit_count);
  const uint32_t mask_bytes = f.compression == kCompressionBitFields ? kMaskBytes : 0;
  // A larger header (108 or 124 bytes) keeps its masks in bytes 40 to 51, where the
  // store keeps them too; its colour table and rows follow the whole header and are
  // moved down behind the 40 bytes, as the file reader reads them.
  if (header_size > kStoreHeaderSize) {
    const uint32_t kept = kStoreHeaderSize + mask_bytes;
    if (header_size > kept) {
      std::memmove(block + kept, block + header_size, size - header_size);
      // The bytes freed at the end would otherwise show the header's tail in rows
      // the clipboard did not supply; missing rows are black.
      std::memset(block + size - (header_size - kept), 0, header_size - kept);
      size -= header_size - kept;
    }
  }
  const uint64_t offset = kStoreHeaderSize + mask_bytes + uint64_t{4} * colour_count;
  const uint64_t needed = offset + pixel_bytes_needed(block);
  if (needed > UINT32_MAX) return 0;

  picture.source_header_size = header_size;
  put_u32(block + kHeaderSizeField, kStoreHeaderSize);
  // The Info dialog and palette creation read colours used; a pasted picture shows
  // the same values as the same picture read from a file.
  if (colours_used == 0) put_u32(block + kColoursUsedField, colour_count);
  picture.colour_count = colour_count;
  picture.mask_byte_count = mask_bytes;
  picture.offset_to_pixels = static_cast<uint32_t>(offset);
  return needed > size ? static_cast<uint32_t>(needed) : size;
}

uint32_t lay_out_device_bitmap(uint8_t* header, int32_t width, int32_t height, uint16_t bit_count,
                               PictureDescription& picture) {
  uint32_t image_size = 0;
  if (!plausible_dimensions(width, height) || !rows_byte_count(width, bit_count, height, image_size)) return 0;
  const uint32_t colour_count = bit_count < 16 ? uint32_t{1} << bit_count : 0;
  const uint64_t offset = kStoreHeaderSize + uint64_t{4} * colour_count;
  if (offset + image_size > UINT32_MAX) return 0;
  std::memset(header, 0, kStoreHeaderSize);
  put_u32(header + kHeaderSizeField, kStoreHeaderSize);
  put_u32(header + kWidthField, static_cast<uint32_t>(width));
  put_u32(header + kHeightField, static_cast<uint32_t>(height));
  put_u16(header + kPlanesField, 1);
  put_u16(header + kBitCountField, bit_count);
  put_u32(header + kImageSizeField, image_size);
  put_u32(header + kColoursUsedField, colour_count);
  picture.source_header_size = kStoreHeaderSize;
  picture.colour_count = colour_count;
  picture.mask_byte_count = 0;
  picture.offset_to_pixels = static_cast<uint32_t>(offset);
  return static_cast<uint32_t>(offset + image_size);
}

void fill_grey_ramp(uint8_t* block, PictureDescription& picture) {
  lay_out_device_bitmap(block, 256, 256, 8, picture);
  for (uint32_t i = 0; i < 256; ++i) {
    const uint8_t level = static_cast<uint8_t>(255 - i);
    uint8_t* entry = block + kStoreHeaderSize + 4 * i;
    entry[0] = entry[1] = entry[2] = level;
    entry[3] = 0;
  }
  uint8_t* rows = block + picture.offset_to_pixels;
  for (uint32_t y = 0; y < 256; ++y)
    for (uint32_t x = 0; x < 256; ++x) rows[y * 256 + x] = static_cast<uint8_t>(x);
}

bool lay_out_plugin_header(uint8_t* info, uint32_t info_size, PictureDescription& picture, uint32_t& pixel_bytes) {
  InfoFields f;
  if (!read_info_fields(info, info_size, f)) return false;
  if (!plausible_dimensions(f.width, f.height)) return false;
  const uint32_t colours_used = f.colours_used;
  const uint32_t colour_count = colour_count_of(colours_used, f.bit_count);
  const uint64_t offset = kStoreHeaderSize + uint64_t{4} * colour_count;
  if (offset > info_size) return false;
  if (f.image_size == 0) {
    uint32_t image_size = 0;
    if (!rows_byte_count(f.width, f.bit_count, f.height, image_size)) return false;
    put_u32(info + kImageSizeField, image_size);
  }
  const uint64_t bytes = pixel_bytes_needed(info);
  if (offset + bytes > UINT32_MAX) return false;
  if (colours_used == 0) put_u32(info + kColoursUsedField, colour_count);
  picture.source_header_size = f.header_size;
  picture.colour_count = colour_count;
  picture.mask_byte_count = 0;
  picture.offset_to_pixels = static_cast<uint32_t>(offset);
  pixel_bytes = static_cast<uint32_t>(bytes);
  return true;
}

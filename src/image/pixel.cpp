#include "image/pixel.h"

#include "image/le_bytes.h"
#include "image/row_size.h"

namespace {

// Colour-table entry i as 0xRRGGBB; an index past the table reads black.
uint32_t table_colour(const uint8_t* store, const PictureDescription& picture, uint32_t index) {
  if (index >= picture.colour_count) return 0;
  return get_u32(store + kStoreHeaderSize + 4 * index) & 0xFFFFFF;
}

struct Masks {
  uint32_t red, green, blue;
  int red_top, green_top, blue_top;
};

Masks read_masks(const uint8_t* store) {
  Masks m;
  m.red = get_u32(store + kStoreHeaderSize);
  m.green = get_u32(store + kStoreHeaderSize + 4);
  m.blue = get_u32(store + kStoreHeaderSize + 8);
  m.red_top = top_bit(m.red);
  m.green_top = top_bit(m.green);
  m.blue_top = top_bit(m.blue);
  return m;
}

// Shifts left for a non-negative amount, right for a negative one; the usual
// layouts never need the other direction, which then still stays defined.
uint32_t shift_by(uint32_t v, int amount) {
  if (amount >= 32 || amount <= -32) return 0;
  return amount >= 0 ? v << amount : v >> -amount;
}

uint32_t masked16(uint32_t v, const Masks& m) {
  return shift_by(v & m.blue, 7 - m.blue_top) + shift_by(v & m.green, 15 - m.green_top) +
         shift_by(v & m.red, 23 - m.red_top);
}

uint32_t masked32(uint32_t v, const Masks& m) {
  return (shift_by(v & m.blue, 7 - m.blue_top) & 0xFF) + (shift_by(v & m.green, 15 - m.green_top) & 0xFF00) +
         (shift_by(v & m.red, 23 - m.red_top) & 0xFF0000);
}

uint32_t plain16(uint32_t v) { return ((v & 0x1F) << 3) + ((v & 0x3E0) << 6) + ((v & 0x7C00) << 9); }

// The 1-bit rule: only the order of the two entries' luminances matters.
bool set_bit_is_white(const uint8_t* store, const PictureDescription& picture) {
  return luminance(table_colour(store, picture, 0)) < luminance(table_colour(store, picture, 1));
}

const uint8_t* row_address(const uint8_t* store, const PictureDescription& picture, uint16_t bit_count,
                           int32_t row) {
  const uint64_t stride = row_stride(static_cast<uint32_t>(picture.width), bit_count);
  return store + picture.offset_to_pixels + stride * static_cast<uint64_t>(row);
}

}  // namespace

int top_bit(uint32_t mask) {
  int top = 0;
  for (int bit = 31; bit > 0; --bit) {
    if (mask & (1u << bit)) {
      top = bit;
      break;
    }
  }
  return top;
}

uint64_t row_stride(uint32_t width, uint16_t bit_count) {
  switch (bit_count) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: return padded_row_bytes(width, bit_count);
    default: return 0;
  }
}

uint64_t stored_pixel_bytes(int32_t width, uint16_t bit_count, int32_t height, uint32_t compression,
                            uint32_t image_size) {
  uint64_t bytes = image_size;
  if (compression == kCompressionNone || compression == kCompressionBitFields) {
    const uint64_t rows = row_stride(static_cast<uint32_t>(width), bit_count) * dimension_magnitude(height);
    if (rows > bytes) bytes = rows;
  }
  return bytes;
}

uint32_t fetch_pixel(const uint8_t* store, const PictureDescription& picture, int32_t x, int32_t row) {
  const uint16_t bit_count = get_u16(store + kBitCountField);
  const uint8_t* line = row_address(store, picture, bit_count, row);
  const uint32_t ux = static_cast<uint32_t>(x);
  switch (bit_count) {
    case 1: {
      const bool bit = (line[ux >> 3] >> (7 - (ux & 7))) & 1;
      return bit == set_bit_is_white(store, picture) ? 0xFFFFFF : 0;
    }
    case 2: return table_colour(store, picture, (line[ux >> 2] >> (6 - 2 * (ux & 3))) & 3);
    case 4: return table_colour(store, picture, (ux & 1) ? line[ux >> 1] & 0x0F : line[ux >> 1] >> 4);
    case 8: return table_colour(store, picture, line[ux]);
    case 16: {
      const uint32_t v = get_u16(line + 2 * ux);
      return picture.mask_byte_count == kMaskBytes ? masked16(v, read_masks(store)) : plain16(v);
    }
    case 24: return line[3 * ux] | (line[3 * ux + 1] << 8) | (static_cast<uint32_t>(line[3 * ux + 2]) << 16);
    case 32: {
      const uint32_t v = get_u32(line + 4 * ux);
      return picture.mask_byte_count == kMaskBytes ? masked32(v, read_masks(store)) : v;
    }
    default: return 0;
  }
}

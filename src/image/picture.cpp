#include "image/picture.h"

#include "image/le_bytes.h"

uint32_t read_back_flag(const uint8_t* store) {
  uint32_t flag = get_u32(store + kCompressionField);
  if (flag == kCompressionBitFields) flag = 0;
  if (flag == 0 && get_u16(store + kBitCountField) == 0) flag = 0xFFFF;
  return flag;
}

bool read_info_fields(const uint8_t* bytes, size_t size, InfoFields& fields) {
  LeReader header(bytes, size);
  if (!header.holds(0, kStoreHeaderSize)) return false;
  fields.header_size = header.u32(kHeaderSizeField);
  fields.width = header.i32(kWidthField);
  fields.height = header.i32(kHeightField);
  fields.bit_count = header.u16(kBitCountField);
  fields.compression = header.u32(kCompressionField);
  fields.image_size = header.u32(kImageSizeField);
  fields.colours_used = header.u32(kColoursUsedField);
  return true;
}

uint32_t colour_count_of(uint32_t colours_used, uint16_t bit_count) {
  if (colours_used != 0) return colours_used;
  return bit_count < 16 ? uint32_t{1} << bit_count : 0;
}

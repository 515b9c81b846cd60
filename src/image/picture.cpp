#include "image/picture.h"

#include "image/le_bytes.h"

uint32_t read_back_flag(const uint8_t* store) {
  uint32_t flag = get_u32(store + kCompressionField);
  if (flag == kCompressionBitFields) flag = 0;
  if (flag == 0 && get_u16(store + kBitCountField) == 0) flag = 0xFFFF;
  return flag;
}

uint32_t colour_count_of(uint32_t colours_used, uint16_t bit_count) {
  if (colours_used != 0) return colours_used;
  return bit_count < 16 ? uint32_t{1} << bit_count : 0;
}

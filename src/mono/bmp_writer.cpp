#include "mono/bmp_writer.h"

#include "image/le_bytes.h"
#include "image/picture.h"
#include "mono/result_bitmap.h"

uint32_t result_bytes_to_write(const uint8_t* result) {
  return get_u32(result + kHeaderSizeField) + get_u32(result + kImageSizeField) + 8;
}

void build_file_header(const uint8_t* result, uint8_t* out) {
  out[0] = 'B';
  out[1] = 'M';
  put_u32(out + 2, get_u32(result + kHeaderSizeField) + get_u32(result + kImageSizeField) + 22);
  put_u16(out + 6, 0);
  put_u16(out + 8, 0);
  put_u32(out + 10, kResultPixelOffset + kFileHeaderBytes);
}

std::string temporary_sibling_name(unsigned attempt, size_t room) {
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  // Up to four base-36 digits; the decoration only where it fits.
  size_t digits = room < 4 ? room : 4;
  uint64_t candidates = 1;
  for (size_t i = 0; i < digits; ++i) candidates *= 36;
  if (digits == 0 || attempt >= candidates) return std::string();
  std::string number(digits, '0');
  for (size_t i = digits; i-- > 0; attempt /= 36) number[i] = kDigits[attempt % 36];
  if (room >= 12) return "~qvx" + number + ".tmp";
  if (room >= 5) return "~" + number;
  return number;
}

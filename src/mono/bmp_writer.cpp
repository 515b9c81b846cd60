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

#include "mono/result_bitmap.h"

#include <cstring>

#include "image/le_bytes.h"
#include "image/picture.h"
#include "image/row_size.h"

uint32_t result_stride(uint32_t width) { return static_cast<uint32_t>(padded_row_bytes(width, 1)); }

uint32_t result_block_size(uint32_t width, uint32_t height) {
  const uint64_t size = kResultPixelOffset + uint64_t{height} * result_stride(width);
  return size > UINT32_MAX ? 0 : static_cast<uint32_t>(size);
}

void prepare_result(const uint8_t* store_header, uint32_t width, uint32_t height, uint8_t* result, uint32_t size) {
  std::memset(result, 0, size);
  // Width, height (with its sign, so rows keep the store's order), planes and
  // resolutions are the source's.
  std::memcpy(result, store_header, kStoreHeaderSize);
  put_u32(result + kHeaderSizeField, kStoreHeaderSize);
  put_u16(result + kBitCountField, 1);
  put_u32(result + kCompressionField, 0);
  put_u32(result + kImageSizeField, height * result_stride(width));
  put_u32(result + kColoursUsedField, 2);
  put_u32(result + kColoursImportantField, 2);
  // Entry 0 black, entry 1 white: a set bit is white.
  put_u32(result + 40, 0);
  put_u32(result + 44, 0x00FFFFFF);
}

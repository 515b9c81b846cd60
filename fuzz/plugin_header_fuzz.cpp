// Feeds arbitrary bytes as a plug-in's result: the first two bytes give the size of
// the information block (header and colour table), the rest of the input is split
// into that block and the pixel block the plug-in delivered. The store is then built
// as the plug-in reader builds it (table copied in front, missing rows black) and
// converted, so the sanitizers check the header layout's sizes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzz_convert.h"
#include "image/bmp_reader.h"
#include "image/dib_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t rest = size - 2;
  size_t info_size = static_cast<size_t>(data[0] | (data[1] << 8));
  if (info_size > rest) info_size = rest;
  std::unique_ptr<uint8_t[]> info(new uint8_t[info_size]);
  std::memcpy(info.get(), data + 2, info_size);
  if (!within_fuzz_budget(info.get(), info_size)) return 0;
  const uint8_t* delivered = data + 2 + info_size;
  const size_t delivered_size = rest - info_size;

  PictureDescription picture;
  uint32_t pixel_bytes = 0;
  if (!lay_out_plugin_header(info.get(), static_cast<uint32_t>(info_size), picture, pixel_bytes)) return 0;
  const uint32_t offset = picture.offset_to_pixels;
  if (offset < kStoreHeaderSize || offset > info_size || picture.mask_byte_count != 0) std::abort();
  if (uint64_t{offset} + pixel_bytes > kFuzzMaxStore) return 0;
  const uint32_t store_size = offset + pixel_bytes;
  std::unique_ptr<uint8_t[]> store(new uint8_t[store_size]());
  std::memcpy(store.get(), info.get(), offset);
  std::memcpy(store.get() + offset, delivered, delivered_size < pixel_bytes ? delivered_size : pixel_bytes);
  describe_picture(store.get(), picture);
  convert_fuzzed_store(store.get(), store_size, picture, size & 1);
  return 0;
}

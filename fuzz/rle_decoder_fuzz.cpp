// Feeds arbitrary bytes to the BMP reader and decodes whatever compressed picture it
// accepts with the core's RLE decoder, so the sanitizers see every code stream.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_convert.h"
#include "image/bmp_reader.h"
#include "image/le_bytes.h"
#include "image/rle_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 14 && !within_fuzz_budget(data + 14, size - 14)) return 0;
  std::vector<uint8_t> store;
  PictureDescription picture;
  if (read_bmp_from_memory(data, size, store, picture, kFuzzMaxStore) != ReadCode::kOk) return 0;
  if (picture.read_back == 0) return 0;
  // The decoder makes a colour of every pixel: the reader's own sides are held to the budget too.
  if (static_cast<uint64_t>(picture.width) * static_cast<uint64_t>(picture.height) > kFuzzMaxPixels) return 0;
  const uint32_t image_size = get_u32(store.data() + kImageSizeField);
  const std::vector<uint32_t> colours =
      decode_rle_picture(store.data(), picture, store.data() + picture.offset_to_pixels, image_size);
  return colours.empty() ? 0 : static_cast<int>(colours[0] & 0);
}

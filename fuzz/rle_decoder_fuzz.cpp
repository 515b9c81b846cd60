// Feeds arbitrary bytes to the BMP reader and decodes whatever compressed picture it
// accepts with the core's RLE decoder, so the sanitizers see every code stream.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/bmp_reader.h"
#include "image/le_bytes.h"
#include "image/rle_decoder.h"

namespace {

constexpr uint32_t kMaxStore = 16u << 20;
constexpr uint64_t kMaxPixels = 4u << 20;  // keeps each run quick

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> store;
  PictureDescription picture;
  if (read_bmp_from_memory(data, size, store, picture, kMaxStore) != ReadCode::kOk) return 0;
  if (picture.read_back == 0) return 0;
  if (static_cast<uint64_t>(picture.width) * static_cast<uint64_t>(picture.height) > kMaxPixels) return 0;
  const uint32_t image_size = get_u32(store.data() + kImageSizeField);
  const std::vector<uint32_t> colours =
      decode_rle_picture(store.data(), picture, store.data() + picture.offset_to_pixels, image_size);
  return colours.empty() ? 0 : static_cast<int>(colours[0] & 0);
}

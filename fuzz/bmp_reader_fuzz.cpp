// Feeds arbitrary bytes to the BMP reader and converts whatever it accepts, so the
// sanitizers see every store the reader can leave behind being read by the pixel fetch.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/bmp_reader.h"
#include "mono/conversion.h"
#include "mono/result_bitmap.h"

namespace {

constexpr uint32_t kMaxStore = 16u << 20;
constexpr uint64_t kMaxPixels = 4u << 20;  // keeps each run quick

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> store;
  PictureDescription picture;
  if (read_bmp_from_memory(data, size, store, picture, kMaxStore) != kReadOk) return 0;
  // Compressed pictures are decoded by the platform, not read from the store.
  if (picture.read_back != 0) return 0;
  const uint32_t width = static_cast<uint32_t>(picture.width), height = static_cast<uint32_t>(picture.height);
  if (uint64_t{width} * height > kMaxPixels) return 0;
  std::vector<uint8_t> result(result_block_size(width, height));
  prepare_result(store.data(), width, height, result.data(), static_cast<uint32_t>(result.size()));
  RandomSource random;
  convert_picture(ConversionSource{store.data(), &picture, nullptr}, result.data(), 128, kModePhotoSoft, size & 1,
                  random, nullptr, nullptr);
  return 0;
}

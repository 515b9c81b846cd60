// Shared by the fuzz targets whose input ends up as a store: converts the picture
// the way the program would, so that the sanitizers see every pixel the fetch reads.
#ifndef QVX_FUZZ_CONVERT_H
#define QVX_FUZZ_CONVERT_H

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "image/picture.h"
#include "mono/conversion.h"
#include "mono/result_bitmap.h"

constexpr uint64_t kFuzzMaxPixels = 1u << 18;  // keeps each run quick: row-end faults show at any size

// Converts a store of store_size bytes whose description is complete. The store is
// copied into a block of exactly that size first, so that a read past its end is
// caught even where a vector's spare capacity would hide it. Compressed pictures are
// decoded by the platform, not read from the store, so they are skipped here.
inline void convert_fuzzed_store(const uint8_t* data, size_t store_size, const PictureDescription& picture,
                                 bool invert) {
  if (picture.read_back != 0 || picture.width < 0) return;
  const uint32_t width = static_cast<uint32_t>(picture.width), height = static_cast<uint32_t>(picture.height);
  if (uint64_t{width} * height > kFuzzMaxPixels) return;
  std::unique_ptr<uint8_t[]> exact(new uint8_t[store_size]);
  std::memcpy(exact.get(), data, store_size);
  const uint8_t* store = exact.get();
  std::vector<uint8_t> result(result_block_size(width, height));
  prepare_result(store, width, height, result.data(), static_cast<uint32_t>(result.size()));
  RandomSource random;
  convert_picture(ConversionSource{store, &picture, nullptr}, result.data(), 128, kModePhotoSoft, invert, random,
                  nullptr, nullptr);
}

#endif

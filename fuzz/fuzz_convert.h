// Shared by the fuzz targets whose input ends up as a store: converts the picture
// the way the program would, so that the sanitizers see every pixel the fetch reads.
#ifndef QVX_FUZZ_CONVERT_H
#define QVX_FUZZ_CONVERT_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "image/le_bytes.h"
#include "image/picture.h"
#include "mono/conversion.h"
#include "mono/result_bitmap.h"

// Keep each run quick (over ten thousand a second): row-end faults show at any size.
// Pictures claiming more than kFuzzMaxPixels are not read; of those read, pictures of
// up to kFuzzConvertPixels are converted (the conformance suite's 127 x 64 are read only).
constexpr uint64_t kFuzzMaxPixels = 1u << 14;
constexpr uint64_t kFuzzConvertPixels = 1u << 10;
// A store or block beyond this (a size field claiming more than the pixels need) is not
// allocated: zero-filling megabytes took most of each run.
constexpr uint32_t kFuzzMaxStore = 1u << 18;

// True when the information block at `info` (a BITMAPCOREHEADER's 16-bit sides or a
// larger header's 32-bit ones) claims no more than kFuzzMaxPixels pixels, or is too
// short to claim any: bigger pictures are refused before the reader allocates or decodes.
inline bool within_fuzz_budget(const uint8_t* info, size_t size) {
  LeReader r(info, size);
  const uint32_t header_size = r.u32(0);
  const uint64_t width = header_size == 12 ? r.u16(4) : static_cast<uint64_t>(std::llabs(r.i32(4)));
  const uint64_t height = header_size == 12 ? r.u16(6) : static_cast<uint64_t>(std::llabs(r.i32(8)));
  return width * height <= kFuzzMaxPixels;
}

// Converts a store of store_size bytes whose description is complete. The store is
// copied into a block of exactly that size first, so that a read past its end is
// caught even where a vector's spare capacity would hide it. Compressed pictures are
// decoded by the platform, not read from the store, so they are skipped here.
inline void convert_fuzzed_store(const uint8_t* data, size_t store_size, const PictureDescription& picture,
                                 bool invert) {
  if (picture.read_back != 0 || picture.width < 0) return;
  const uint32_t width = static_cast<uint32_t>(picture.width), height = static_cast<uint32_t>(picture.height);
  if (uint64_t{width} * height > kFuzzConvertPixels) return;
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

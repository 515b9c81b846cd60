// Feeds arbitrary bytes as a pasted packed bitmap (what CF_DIB holds) to the paste
// layout, grows the block to the size it asks for, as the paste does, and converts
// the picture: the layout's promise that its table and every row lie inside the
// block is what the sanitizers check.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzz_convert.h"
#include "image/bmp_reader.h"
#include "image/dib_layout.h"
#include "image/le_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kFuzzMaxStore || !within_fuzz_budget(data, size)) return 0;
  const uint32_t block_size = static_cast<uint32_t>(size);
  // The clipboard block is copied into one of exactly its size.
  std::unique_ptr<uint8_t[]> block(new uint8_t[block_size]);
  std::memcpy(block.get(), data, block_size);
  PictureDescription picture;
  const uint32_t needed = lay_out_pasted_dib(block.get(), block_size, picture);
  if (needed == 0 || needed > kFuzzMaxStore) return 0;
  if (get_u32(block.get() + kHeaderSizeField) != kStoreHeaderSize) std::abort();
  if (picture.offset_to_pixels != kStoreHeaderSize + picture.mask_byte_count + 4 * uint64_t{picture.colour_count} ||
      picture.offset_to_pixels > needed)
    std::abort();
  // The paste grows the block zero-filled when the layout asks for more; it never shrinks it.
  const uint32_t store_size = needed > block_size ? needed : block_size;
  std::unique_ptr<uint8_t[]> store(new uint8_t[store_size]());
  std::memcpy(store.get(), block.get(), block_size);
  describe_picture(store.get(), picture);
  convert_fuzzed_store(store.get(), store_size, picture, size & 1);
  return 0;
}

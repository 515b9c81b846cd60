// Feeds arbitrary bytes to the BMP reader and converts whatever it accepts, so the
// sanitizers see every store the reader can leave behind being read by the pixel fetch.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_convert.h"
#include "image/bmp_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 14 && !within_fuzz_budget(data + 14, size - 14)) return 0;
  std::vector<uint8_t> store;
  PictureDescription picture;
  if (read_bmp_from_memory(data, size, store, picture, kFuzzMaxStore) != ReadCode::kOk) return 0;
  convert_fuzzed_store(store.data(), store.size(), picture, size & 1);
  return 0;
}

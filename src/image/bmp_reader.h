// Reading a BMP file (file header, 12-, 40- or 108-byte info header, masks,
// colour table, pixel data) straight into the store.
#ifndef QVX_BMP_READER_H
#define QVX_BMP_READER_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/picture.h"
#include "image/read_code.h"

// Where the file bytes come from: sequential reads and absolute seeks.
struct FileInput {
  void* context;
  uint32_t (*read)(void* context, uint8_t* destination, uint32_t count);  // bytes actually read
  void (*seek)(void* context, uint32_t offset);                            // from the start of the file
};

// How the store grows. resize returns the locked, resized store, or null when the
// block can't be resized; the previous block is then kept (and left unlocked).
struct StoreResizer {
  void* context;
  uint8_t* (*resize)(void* context, uint32_t size);
};

// Reads a BMP file into the store. `store` is the locked store (at least 40 bytes)
// and is updated when the block moves. Fills offset to pixels, mask byte count,
// colour count and source header size. Returns the outcome; on a failure `detail`
// (when given) names its cause where the reader knows it ("file shorter than its
// header says"), else null. The cause is for messages that may say more than the
// program's own.
ReadCode read_bmp(const FileInput& file, const StoreResizer& resizer, uint8_t*& store, PictureDescription& picture,
                  const char** detail = nullptr);

// Reads a BMP file up to its pixel data: the store (resized to the offset to pixels)
// holds the header, masks and colour table, the description is complete, and the
// file stands at the first pixel byte. `pixel_bytes` is how many pixel bytes
// read_bmp would require (the image size, or every uncompressed row when more).
// Returns the outcome (and `detail` as read_bmp does); short pixel data is for the
// caller to find.
ReadCode read_bmp_head(const FileInput& file, const StoreResizer& resizer, uint8_t*& store, PictureDescription& picture,
                       uint32_t& pixel_bytes, const char** detail = nullptr);

// Sets width, height and read-back flag from a filled store header.
void describe_picture(const uint8_t* store, PictureDescription& picture);

// Reads a BMP file held in memory into a byte vector used as the store, refusing
// stores above max_store bytes as the platform would refuse an allocation.
ReadCode read_bmp_from_memory(const uint8_t* data, size_t size, std::vector<uint8_t>& store,
                              PictureDescription& picture, uint32_t max_store = 256u << 20,
                              const char** detail = nullptr);

#endif

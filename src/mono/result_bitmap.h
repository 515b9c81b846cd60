// The result: a 1-bit packed device-independent bitmap (40-byte header, black and
// white colour entries, rows from byte 48) that conversion writes and the save,
// the clipboard copy and the result pane read.
#ifndef QVX_RESULT_BITMAP_H
#define QVX_RESULT_BITMAP_H

#include <cstdint>

constexpr uint32_t kResultPixelOffset = 48;
constexpr uint32_t kInitialResultSize = 48;

// Returns the bytes per result row: ((width + 31) >> 5) * 4.
uint32_t result_stride(uint32_t width);

// Returns the result block size 48 + height * stride, or 0 when it does not fit 32 bits.
uint32_t result_block_size(uint32_t width, uint32_t height);

// Zeroes the block and writes the header (from the store header) and the two colours.
void prepare_result(const uint8_t* store_header, uint32_t width, uint32_t height, uint8_t* result, uint32_t size);

#endif

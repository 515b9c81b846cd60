// The size of a stored row: rows are padded to whole 32-bit words.
#ifndef QVX_ROW_SIZE_H
#define QVX_ROW_SIZE_H

#include <cstdint>

// Returns the bytes of one stored row for any bit count, in 64 bits so that huge
// widths cannot wrap.
inline uint64_t padded_row_bytes(uint64_t width, uint32_t bit_count) {
  return ((width * bit_count + 31) & ~uint64_t{31}) / 8;
}

#endif

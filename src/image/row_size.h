// The size of a stored row: rows are padded to whole 32-bit words.
#ifndef QVX_ROW_SIZE_H
#define QVX_ROW_SIZE_H

#include <cstdint>

// Returns the bytes of one stored row for any bit count, in 64 bits so that huge
// widths cannot wrap.
inline uint64_t padded_row_bytes(uint64_t width, uint32_t bit_count) {
  return ((width * bit_count + 31) & ~uint64_t{31}) / 8;
}

// Returns |value| of a stored dimension without overflow for INT32_MIN.
inline uint64_t dimension_magnitude(int32_t value) {
  return value < 0 ? uint64_t{0} - static_cast<uint64_t>(static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
}

#endif

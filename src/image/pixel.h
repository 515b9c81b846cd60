// Pixel access at every depth the store can hold, and the luminance rule every
// threshold test uses.
#ifndef QVX_PIXEL_H
#define QVX_PIXEL_H

#include <cstdint>

#include "image/picture.h"

// Returns (299 R + 587 G + 114 B) / 1000 of a 0xRRGGBB colour, truncated: 0..255.
inline int luminance(uint32_t colour) {
  const uint32_t r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
  return static_cast<int>((299 * r + 587 * g + 114 * b) / 1000);
}

// Returns the bytes per stored row for a width and bit count (0 for depths the
// fetch does not read), in 64 bits so that huge widths cannot wrap.
uint64_t row_stride(uint32_t width, uint16_t bit_count);

// Returns the 0xRRGGBB colour of pixel x of storage row `row`; the caller keeps
// x and row inside the picture.
uint32_t fetch_pixel(const uint8_t* store, const PictureDescription& picture, int32_t x, int32_t row);

// Fills luminance[0 .. width-1] for one storage row through a row decoder made for
// this call (bulk readers keep one decoder); exactly luminance(fetch_pixel(...)).
void luminance_row(const uint8_t* store, const PictureDescription& picture, int32_t row, uint8_t* out);

// Fills out[0 .. count-1] with the luminance of 0xRRGGBB colours (read-back rows).
void luminance_of_colours(const uint32_t* colours, int32_t count, uint8_t* out);

// Returns the position of the highest set bit (0 for 0).
int top_bit(uint32_t mask);

#endif

// Pixel access at every depth the store can hold, and the luminance rule every
// threshold test uses.
#ifndef QVX_PIXEL_H
#define QVX_PIXEL_H

#include <cstdint>

#include "image/luminance.h"
#include "image/picture.h"

// Returns the bytes per stored row for a width and bit count (0 for depths the
// fetch does not read), in 64 bits so that huge widths cannot wrap.
uint64_t row_stride(uint32_t width, uint16_t bit_count);

// Returns the pixel bytes a store must hold behind its table: the declared image
// size, and for uncompressed rows (which are fetched directly) never less than all
// of them, even when the header declares less.
uint64_t stored_pixel_bytes(int32_t width, uint16_t bit_count, int32_t height, uint32_t compression,
                            uint32_t image_size);

// Returns the 0xRRGGBB colour of pixel x of storage row `row`; the caller keeps
// x and row inside the picture.
uint32_t fetch_pixel(const uint8_t* store, const PictureDescription& picture, int32_t x, int32_t row);

// Returns the position of the highest set bit (0 for 0).
int top_bit(uint32_t mask);

#endif

// Layout rules for pictures that arrive as packed bitmaps from the clipboard or
// from a plug-in, rather than as files.
#ifndef QVX_DIB_LAYOUT_H
#define QVX_DIB_LAYOUT_H

#include <cstdint>

#include "image/picture.h"


// Returns stride x |height| for the header's dimensions, or false when it exceeds 32 bits.
bool rows_byte_count(int32_t width, uint16_t bit_count, int32_t height, uint32_t& bytes);

// Takes a pasted packed bitmap of `size` bytes in place: writes 40 as its header
// size and the colour count as its colours used, and fills the four description
// values. Returns the size the block needs so that its table and every row lie
// inside it (more than `size` when it must grow), or 0 when the block holds no
// usable picture. A header larger than 40 bytes is cut to 40 in place.
uint32_t lay_out_pasted_dib(uint8_t* block, uint32_t size, PictureDescription& picture);

// Fills a 40-byte header for a device bitmap of the given size and depth, bottom-up,
// and the description. Returns the size of the whole packed bitmap, or 0 when it
// can't be described in 32 bits.
uint32_t lay_out_device_bitmap(uint8_t* header, int32_t width, int32_t height, uint16_t bit_count,
                               PictureDescription& picture);

constexpr uint32_t kGreyRampSize = 1064 + 65536;

// Writes the 256 x 256 grey ramp (white on the left, black on the right) into a
// block of kGreyRampSize bytes and fills the description.
void fill_grey_ramp(uint8_t* block, PictureDescription& picture);

// Completes a plug-in's header in place (colours used, image size) and fills the
// description. `info_size` is the size of the information block, header and table.
// Sets pixel_bytes to the number of pixel bytes the store needs behind the table (0
// for a picture of zero width or height, which is taken like such a BMP file).
// Returns false when the header describes no picture or its table lies beyond the block.
bool lay_out_plugin_header(uint8_t* info, uint32_t info_size, PictureDescription& picture, uint32_t& pixel_bytes);

#endif

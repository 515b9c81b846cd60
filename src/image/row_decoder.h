// The one bulk reader of stored rows: the depth, colour-table and mask rules are
// worked out once per picture, and each row is then decoded with one kernel call.
// The pixel fetch stays the per-pixel reference that this reader matches exactly.
#ifndef QVX_ROW_DECODER_H
#define QVX_ROW_DECODER_H

#include <cstdint>

#include "image/luma_kernels.h"
#include "image/picture.h"

enum class RowKind { kIndexed1, kIndexed2, kIndexed4, kIndexed8, kFields16, kBgr24, kBgrx32, kFields32, kBlack };

// Valid while the store it was made from stays locked.
struct RowDecoder {
  RowKind kind = RowKind::kBlack;
  int32_t width = 0;
  uint64_t stride = 0;
  const uint8_t* pixels = nullptr;
  FieldShifts fields{};
  alignas(16) uint8_t table_luma[256 + 4] = {};  // index to luminance (1-bit: bit value to 0 or 255); 4 spare bytes for gathers
  uint32_t table_colour[256] = {};  // index to 0xRRGGBB, indices past the table black
};

// What a decoder is made for: colours need no luminance table, so a decoder made for a
// few samples costs little more than the pixel fetch.
enum class RowUse { kLuminance, kColours };

// Returns the decoder of the picture in a locked store (not for read-back pictures).
RowDecoder make_row_decoder(const uint8_t* store, const PictureDescription& picture, RowUse use);

// Fills out[0 .. width-1] with the luminance of every pixel of a storage row (a
// decoder made for luminance).
void decode_luminance_row(const RowDecoder& decoder, int32_t row, uint8_t* out);

// Fills out[i] with the 0xRRGGBB colour of pixel columns[i] of a storage row (either use).
void decode_colours(const RowDecoder& decoder, int32_t row, const int32_t* columns, int32_t count, uint32_t* out);

// Fills luminance[0 .. width-1] for one storage row through a row decoder made for
// this call (bulk readers keep one decoder); exactly luminance(fetch_pixel(...)).
void luminance_row(const uint8_t* store, const PictureDescription& picture, int32_t row, uint8_t* out);

// Fills out[0 .. count-1] with the luminance of 0xRRGGBB colours (read-back rows).
void luminance_of_colours(const uint32_t* colours, int32_t count, uint8_t* out);

#endif

// Decoding of RLE8 and RLE4 pixel data into 0xRRGGBB rows, one storage row at a
// time, the way the platform decodes them into a fresh device bitmap: runs and
// absolute runs are cut at the right edge, end of line, delta and end of bitmap
// move the pen, and every pixel no run reached (skipped by a delta, after the end
// of the bitmap, or in a run the data ended inside) stays black.
#ifndef QVX_RLE_DECODER_H
#define QVX_RLE_DECODER_H

#include <cstdint>
#include <vector>

#include "image/picture.h"

// Where the compressed bytes come from: a window [at, end) of them, which `refill`
// (when given) moves on to the next bytes, returning false when none are left. The
// decoder advances `at` past every byte it takes.
struct RleInput {
  const uint8_t* at = nullptr;
  const uint8_t* end = nullptr;
  void* context = nullptr;
  bool (*refill)(void* context, RleInput& input) = nullptr;
};

struct RleDecoder {
  bool four_bit = false;
  bool decodable = false;  // false: the platform refuses the data, every pixel is black
  int32_t width = 0;
  int32_t height = 0;
  uint32_t left = 0;  // bytes of compressed data not yet taken
  uint32_t colours[256] = {};
  // The pen: x and the storage row it is on (storage row 0 is the bottom row).
  int32_t x = 0;
  int32_t row = 0;
  bool done = false;
  // The pixels written since the pen last moved; they become visible when an escape
  // code closes them.
  int32_t span_left = 0, span_right = 0;
  int32_t buffer_row = 0;  // the storage row the pen may still write, -1 when none
  // While a row is decoded: where its colours go, and how far they are final.
  uint32_t* out = nullptr;
  int32_t closed_until = 0;
};

// Returns true when the store holds RLE8 (8 bits) or RLE4 (4 bits) data the decoder reads.
bool is_rle_picture(const uint8_t* store);

// Prepares a decoder for the picture in the store (header and colour table); the
// compressed data is the header's image size in bytes.
void start_rle(RleDecoder& decoder, const uint8_t* store, const PictureDescription& picture);

// Writes storage row `row` (rows must be asked for in order, 0 first) as picture-width
// 0xRRGGBB colours, decoding as far as that row needs. Between rows the decoder's
// scalars and the input position are its whole state.
void decode_rle_row(RleDecoder& decoder, RleInput& input, int32_t row, uint32_t* out);

// Decodes a whole picture from memory: width x height colours, storage row 0 first.
std::vector<uint32_t> decode_rle_picture(const uint8_t* store, const PictureDescription& picture,
                                         const uint8_t* data, uint32_t size);

#endif

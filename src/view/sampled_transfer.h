// A stretch or one-to-one transfer worked out ahead of the platform: every destination
// pixel inside a clip rectangle takes its nearest source pixel, in the source's own
// pixel format, so the platform only has to copy a pane-sized block one to one. The
// platform's own transfers walk the whole source picture, however little of it shows.
#ifndef QVX_SAMPLED_TRANSFER_H
#define QVX_SAMPLED_TRANSFER_H

#include <cstdint>

#include "view/view_mapping.h"

// An uncompressed packed picture: rows padded to 32 bits, stored bottom row first
// unless top_down.
struct PackedPixels {
  const uint8_t* bits = nullptr;
  int32_t width = 0, height = 0;
  bool top_down = false;
  uint16_t bit_count = 0;
};

// The destination block the transfer covers: pane position and size, and the
// bytes of one padded row in the source's format.
struct SampledBlock {
  int32_t x = 0, y = 0, width = 0, height = 0;
  uint64_t stride = 0;
  uint64_t bytes() const { return stride * static_cast<uint64_t>(height); }
};

// Returns true when the transfer can be worked out ahead: positive rectangles, a bit
// count the sampler copies, and a source whose row direction is unambiguous (the
// whole height of a top-down picture, any part of a bottom-up one).
bool can_sample_transfer(const Transfer& t, const PackedPixels& source);

// Returns the block of the transfer's destination inside clip whose source pixels
// lie inside the picture; empty (width or height 0) when nothing is drawn.
SampledBlock sampled_block(const Transfer& t, const PackedPixels& source, const PaintRect& clip);

// Fills the block's pixels, bottom row first, `block.bytes()` bytes at out.
void fill_sampled_block(const Transfer& t, const PackedPixels& source, const SampledBlock& block, uint8_t* out);

#endif

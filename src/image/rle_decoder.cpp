#include "image/rle_decoder.h"

#include <algorithm>
#include <cstring>

#include "image/le_bytes.h"

namespace {

// A byte past the end of the data reads as 0, and still counts against `left`.
inline int next_byte(RleDecoder& d, RleInput& input) {
  --d.left;
  if (input.at == input.end && !(input.refill && input.refill(input.context, input))) return 0;
  return *input.at++;
}

// Pixels become visible only when an escape code (end of line, end of bitmap,
// delta) closes the run of pixels written since the pen last moved; what lies
// between the last closed pixels and this span was never reached and is black.
// Spans on a row only move right.
void close_span(RleDecoder& d) {
  if (d.span_right <= d.span_left) return;
  std::fill(d.out + d.closed_until, d.out + d.span_left, 0u);
  d.closed_until = d.span_right;
}

void move_pen(RleDecoder& d, int32_t x, uint32_t rows_up) {
  d.x = x;
  d.span_left = d.span_right = x;
  if (static_cast<int64_t>(d.row) + rows_up >= d.height) {
    d.done = true;
  } else {
    d.row += static_cast<int32_t>(rows_up);
  }
}

// n pixels of a run from the pen: one colour, or two alternating for 4 bits.
void write_run(RleDecoder& d, int data, int32_t n) {
  uint32_t* out = d.out + d.x;
  if (!d.four_bit) {
    std::fill(out, out + n, d.colours[data]);
    return;
  }
  const uint32_t first = d.colours[data >> 4], second = d.colours[data & 0x0F];
  for (int32_t k = 0; k + 1 < n; k += 2) {
    out[k] = first;
    out[k + 1] = second;
  }
  if (n & 1) out[n - 1] = first;
}

// An absolute run's `bytes` bytes, of whose pixels the first n are written.
void write_absolute(RleDecoder& d, RleInput& input, uint32_t bytes, int32_t n) {
  uint32_t* out = d.out + d.x;
  if (!d.four_bit) {
    int32_t k = 0;
    if (static_cast<size_t>(input.end - input.at) >= bytes) {
      // All in the window: no byte reads past the data.
      for (; k < n; ++k) out[k] = d.colours[input.at[k]];
      input.at += bytes;
      d.left -= bytes;
      return;
    }
    for (uint32_t i = 0; i < bytes; ++i) {
      const int b = next_byte(d, input);
      if (k < n) out[k++] = d.colours[b];
    }
    return;
  }
  for (uint32_t i = 0; i < bytes; ++i) {
    const int b = next_byte(d, input);
    const int32_t k = static_cast<int32_t>(2 * i);
    if (k < n) out[k] = d.colours[b >> 4];
    if (k + 1 < n) out[k + 1] = d.colours[b & 0x0F];
  }
}

// Takes one code (a run, an escape, or an absolute run with its data).
void step(RleDecoder& d, RleInput& input) {
  if (d.left < 2) {
    d.done = true;
    return;
  }
  const int count = next_byte(d, input);
  const int data = next_byte(d, input);
  if (count != 0) {
    const int32_t n = std::min<int32_t>(count, d.width - d.x);
    write_run(d, data, n);
    d.x += n;
    d.span_right = d.x;
    return;
  }
  if (data < 3) {
    close_span(d);
    if (data == 0) {
      move_pen(d, 0, 1);
    } else if (data == 1) {
      d.done = true;
    } else if (d.left < 2) {
      d.done = true;
    } else {
      const int dx = next_byte(d, input);
      const int dy = next_byte(d, input);
      move_pen(d, std::min<int32_t>(d.x + dx, d.width), static_cast<uint32_t>(dy));
    }
    return;
  }
  // Absolute run: `data` pixels follow, padded to a whole number of 16-bit words.
  const uint32_t bytes = d.four_bit ? (static_cast<uint32_t>(data) + 1) / 2 : static_cast<uint32_t>(data);
  if (bytes > d.left) {
    d.done = true;
    return;
  }
  const int32_t n = std::min<int32_t>(data, d.width - d.x);
  write_absolute(d, input, bytes, n);
  d.x += n;
  d.span_right = d.x;
  if ((bytes & 1) != 0 && d.left > 0) next_byte(d, input);
}

}  // namespace

bool is_rle_picture(const uint8_t* store) {
  const uint32_t compression = get_u32(store + kCompressionField);
  const uint16_t bit_count = get_u16(store + kBitCountField);
  return (compression == kCompressionRle8 && bit_count == 8) || (compression == kCompressionRle4 && bit_count == 4);
}

void start_rle(RleDecoder& d, const uint8_t* store, const PictureDescription& picture) {
  d = RleDecoder();
  d.width = picture.width;
  d.height = picture.height;
  d.four_bit = get_u16(store + kBitCountField) == 4;
  d.left = get_u32(store + kImageSizeField);
  // The platform decodes only bottom-up pictures of the depth their compression names.
  d.decodable = is_rle_picture(store) && get_i32(store + kHeightField) > 0 && d.width > 0 && d.left > 0;
  d.done = !d.decodable;
  const uint32_t entries = std::min<uint32_t>(picture.colour_count, 256);
  for (uint32_t i = 0; i < entries; ++i) d.colours[i] = get_u32(store + kStoreHeaderSize + 4 * i) & 0xFFFFFF;
  d.buffer_row = d.decodable ? 0 : -1;
}

void decode_rle_row(RleDecoder& d, RleInput& input, int32_t row, uint32_t* out) {
  const int32_t width = d.width > 0 ? d.width : 0;
  // Only the row the pen is on can still be written; every other row is black.
  if (!d.decodable || d.buffer_row != row) {
    std::fill(out, out + width, 0u);
    return;
  }
  d.out = out;
  d.closed_until = 0;
  while (!d.done && d.row == row) step(d, input);
  // The pen has left the row, or the data is over: what was not closed stays black.
  std::fill(out + d.closed_until, out + width, 0u);
  d.out = nullptr;
  d.buffer_row = d.done ? -1 : d.row;
}

std::vector<uint32_t> decode_rle_picture(const uint8_t* store, const PictureDescription& picture,
                                         const uint8_t* data, uint32_t size) {
  std::vector<uint32_t> colours;
  if (picture.width <= 0 || picture.height <= 0) return colours;
  colours.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
  RleDecoder decoder;
  start_rle(decoder, store, picture);
  RleInput input{data, data + size};
  for (int32_t row = 0; row < picture.height; ++row) {
    decode_rle_row(decoder, input, row, colours.data() + static_cast<size_t>(row) * static_cast<size_t>(picture.width));
  }
  return colours;
}

#include "image/rle_decoder.h"

#include <algorithm>
#include <cstring>

#include "image/le_bytes.h"

namespace {

int next_byte(RleDecoder& d, const RleInput& input) {
  --d.left;
  const int b = input.next(input.context);
  return b < 0 ? 0 : b;
}

// Pixels become visible only when an escape code (end of line, end of bitmap,
// delta) closes the run of pixels written since the pen last moved.
void close_span(RleDecoder& d) {
  if (d.span_right > d.span_left) {
    std::fill(d.reached.begin() + d.span_left, d.reached.begin() + d.span_right, uint8_t{1});
  }
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

uint8_t run_index(const RleDecoder& d, uint8_t data, int32_t k) {
  if (!d.four_bit) return data;
  return static_cast<uint8_t>((k & 1) ? data & 0x0F : data >> 4);
}

// Takes one code (a run, an escape, or an absolute run with its data).
void step(RleDecoder& d, const RleInput& input) {
  if (d.left < 2) {
    d.done = true;
    return;
  }
  const int count = next_byte(d, input);
  const int data = next_byte(d, input);
  if (count != 0) {
    const int32_t n = std::min<int32_t>(count, d.width - d.x);
    for (int32_t k = 0; k < n; ++k) d.indices[static_cast<size_t>(d.x + k)] = run_index(d, static_cast<uint8_t>(data), k);
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
  uint8_t packed[256];
  for (uint32_t i = 0; i < bytes; ++i) packed[i] = static_cast<uint8_t>(next_byte(d, input));
  for (int32_t k = 0; k < n; ++k) {
    const uint8_t b = packed[d.four_bit ? k / 2 : k];
    d.indices[static_cast<size_t>(d.x + k)] = d.four_bit ? run_index(d, b, k) : b;
  }
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
  if (d.decodable) {
    d.indices.assign(static_cast<size_t>(d.width), 0);
    d.reached.assign(static_cast<size_t>(d.width), 0);
  }
}

void decode_rle_row(RleDecoder& d, const RleInput& input, int32_t row, uint32_t* out) {
  const size_t width = d.width > 0 ? static_cast<size_t>(d.width) : 0;
  while (!d.done && d.row == row) step(d, input);
  // The pen has left the row, or the data is over: what the row holds is final.
  if (!d.decodable || d.buffer_row != row) {
    std::fill(out, out + width, 0u);
    return;
  }
  for (size_t x = 0; x < width; ++x) out[x] = d.reached[x] ? d.colours[d.indices[x]] : 0u;
  std::fill(d.indices.begin(), d.indices.end(), uint8_t{0});
  std::fill(d.reached.begin(), d.reached.end(), uint8_t{0});
  d.buffer_row = d.done ? -1 : d.row;
}

namespace {

struct MemoryBytes {
  const uint8_t* data;
  uint32_t size;
  uint32_t position;
};

int memory_next(void* context) {
  auto* m = static_cast<MemoryBytes*>(context);
  return m->position < m->size ? m->data[m->position++] : -1;
}

}  // namespace

std::vector<uint32_t> decode_rle_picture(const uint8_t* store, const PictureDescription& picture,
                                         const uint8_t* data, uint32_t size) {
  std::vector<uint32_t> colours;
  if (picture.width <= 0 || picture.height <= 0) return colours;
  colours.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
  RleDecoder decoder;
  start_rle(decoder, store, picture);
  MemoryBytes bytes{data, size, 0};
  const RleInput input{&bytes, memory_next};
  for (int32_t row = 0; row < picture.height; ++row) {
    decode_rle_row(decoder, input, row, colours.data() + static_cast<size_t>(row) * static_cast<size_t>(picture.width));
  }
  return colours;
}

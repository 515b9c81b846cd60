#include "view/sampled_transfer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/row_size.h"

namespace {

// The source column of a destination column: the source pixel under the centre of the
// destination pixel, so that 1:1 is an exact copy and a reduction samples evenly.
int64_t source_column(const Transfer& t, int64_t x) {
  return t.src_x + (2 * (x - t.dest_x) + 1) * t.src_width / (2 * static_cast<int64_t>(t.dest_width));
}

// The storage row of a destination row. The transfer's source y counts rows upward
// from the picture's bottom row.
int64_t source_row(const Transfer& t, const PackedPixels& p, int64_t y) {
  const int64_t from_top = (2 * (y - t.dest_y) + 1) * t.src_height / (2 * static_cast<int64_t>(t.dest_height));
  const int64_t upward = t.src_y + t.src_height - 1 - from_top;
  return p.top_down ? p.height - 1 - upward : upward;
}

bool inside(int64_t v, int32_t extent) { return v >= 0 && v < extent; }

// Narrows [begin, end) to the positions whose source lies inside the picture; the
// mapping is monotonic, so they form one run.
template <typename Inside>
void narrow(int64_t& begin, int64_t& end, Inside is_inside) {
  while (begin < end && !is_inside(begin)) ++begin;
  while (end > begin && !is_inside(end - 1)) --end;
}

}  // namespace

bool can_sample_transfer(const Transfer& t, const PackedPixels& source) {
  switch (source.bit_count) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  if (source.width <= 0 || source.height <= 0) return false;
  if (t.dest_width <= 0 || t.dest_height <= 0 || t.src_width <= 0 || t.src_height <= 0) return false;
  return !source.top_down || (t.src_y == 0 && t.src_height == source.height);
}

SampledBlock sampled_block(const Transfer& t, const PackedPixels& source, const PaintRect& clip) {
  int64_t left = std::max<int64_t>(t.dest_x, clip.left);
  int64_t right = std::min<int64_t>(static_cast<int64_t>(t.dest_x) + t.dest_width, clip.right);
  int64_t top = std::max<int64_t>(t.dest_y, clip.top);
  int64_t bottom = std::min<int64_t>(static_cast<int64_t>(t.dest_y) + t.dest_height, clip.bottom);
  SampledBlock block;
  if (left >= right || top >= bottom) return block;
  narrow(left, right, [&](int64_t x) { return inside(source_column(t, x), source.width); });
  narrow(top, bottom, [&](int64_t y) { return inside(source_row(t, source, y), source.height); });
  if (left >= right || top >= bottom) return block;
  block.x = static_cast<int32_t>(left);
  block.y = static_cast<int32_t>(top);
  block.width = static_cast<int32_t>(right - left);
  block.height = static_cast<int32_t>(bottom - top);
  block.stride = padded_row_bytes(static_cast<uint64_t>(block.width), source.bit_count);
  return block;
}

void fill_sampled_block(const Transfer& t, const PackedPixels& source, const SampledBlock& block, uint8_t* out) {
  const uint32_t bits = source.bit_count;
  const uint64_t source_stride = padded_row_bytes(static_cast<uint64_t>(source.width), bits);
  std::vector<int64_t> columns(static_cast<size_t>(block.width));
  for (int32_t i = 0; i < block.width; ++i) columns[i] = source_column(t, static_cast<int64_t>(block.x) + i);
  const size_t pixel_bytes = bits / 8;
  for (int32_t k = 0; k < block.height; ++k) {
    // Block rows are stored bottom row first.
    const int64_t y = static_cast<int64_t>(block.y) + block.height - 1 - k;
    const uint8_t* from = source.bits + source_stride * static_cast<uint64_t>(source_row(t, source, y));
    uint8_t* to = out + block.stride * static_cast<uint64_t>(k);
    std::memset(to, 0, static_cast<size_t>(block.stride));
    if (bits >= 8) {
      for (int32_t i = 0; i < block.width; ++i)
        std::memcpy(to + i * pixel_bytes, from + static_cast<uint64_t>(columns[i]) * pixel_bytes, pixel_bytes);
      continue;
    }
    // Pixels below a byte: the leftmost pixel sits in the high bits.
    const unsigned mask = (1u << bits) - 1;
    for (int32_t i = 0; i < block.width; ++i) {
      const uint64_t at = static_cast<uint64_t>(columns[i]) * bits;
      const unsigned value = (from[at / 8] >> (8 - bits - at % 8)) & mask;
      const uint64_t put = static_cast<uint64_t>(i) * bits;
      to[put / 8] = static_cast<uint8_t>(to[put / 8] | (value << (8 - bits - put % 8)));
    }
  }
}

#include "image/rle_rows.h"

#include <algorithm>
#include <new>

bool RleRows::start(const uint8_t* store, const PictureDescription& picture, const uint8_t* data, uint32_t size,
                    size_t group_bytes) {
  data_ = data;
  size_ = size;
  position_ = 0;
  width_ = std::max(picture.width, 0);
  height_ = std::max(picture.height, 0);
  next_row_ = 0;
  group_ = -1;
  const size_t row_bytes = std::max<size_t>(static_cast<size_t>(width_), 1) * sizeof(uint32_t);
  group_rows_ = static_cast<int32_t>(std::clamp<size_t>(group_bytes / row_bytes, 1, std::max(height_, 1)));
  checkpoint_rows_ = group_rows_;
  const size_t groups = static_cast<size_t>(height_) / group_rows_ + 1;
  if (groups > kRleCheckpoints) {
    // Fewer states, each a whole number of groups apart.
    const size_t per = (groups + kRleCheckpoints - 1) / kRleCheckpoints;
    checkpoint_rows_ = static_cast<int32_t>(std::min<size_t>(per * group_rows_, static_cast<size_t>(INT32_MAX)));
  }
  try {
    start_rle(decoder_, store, picture);
    checkpoints_.assign(static_cast<size_t>(height_) / checkpoint_rows_ + 2, Checkpoint());
    colours_.assign(static_cast<size_t>(group_rows_) * static_cast<size_t>(width_), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  keep_state(0);
  return true;
}

void RleRows::keep_state(int32_t row) {
  if (row % checkpoint_rows_ != 0) return;
  Checkpoint& c = checkpoints_[static_cast<size_t>(row / checkpoint_rows_)];
  if (c.kept) return;
  const RleDecoder& d = decoder_;
  c = Checkpoint{true, position_, d.left, d.x, d.row, d.span_left, d.span_right, d.buffer_row, d.done};
}

// Between rows the decoder's scalars and the input position are its whole state.
void RleRows::restore(const Checkpoint& c, int32_t row) {
  RleDecoder& d = decoder_;
  position_ = c.position;
  d.left = c.left;
  d.x = c.x;
  d.row = c.row;
  d.span_left = c.span_left;
  d.span_right = c.span_right;
  d.buffer_row = c.buffer_row;
  d.done = c.done;
  next_row_ = row;
}

void RleRows::decode_group(int32_t group) {
  const int32_t first = group * group_rows_;
  if (next_row_ > first) {
    // Back to the nearest kept state at or before the group.
    size_t k = static_cast<size_t>(first / checkpoint_rows_);
    while (!checkpoints_[k].kept) --k;
    restore(checkpoints_[k], static_cast<int32_t>(k) * checkpoint_rows_);
  } else {
    // Forward from the decoder's row or from a kept state nearer the group.
    const size_t k = static_cast<size_t>(first / checkpoint_rows_);
    if (checkpoints_[k].kept && static_cast<int32_t>(k) * checkpoint_rows_ > next_row_)
      restore(checkpoints_[k], static_cast<int32_t>(k) * checkpoint_rows_);
  }
  RleInput input{data_ + position_, data_ + size_};
  const int32_t last = std::min(first + group_rows_, height_);
  // Rows before the group are decoded into its first row and overwritten.
  for (; next_row_ < last; ++next_row_) {
    keep_state(next_row_);
    const int32_t slot = next_row_ < first ? 0 : next_row_ - first;
    decode_rle_row(decoder_, input, next_row_, colours_.data() + static_cast<size_t>(slot) * width_);
    position_ = static_cast<uint32_t>(input.at - data_);
  }
  keep_state(next_row_);
  group_ = group;
}

const uint32_t* RleRows::row(int32_t row) {
  if (row < 0 || row >= height_ || width_ == 0) return nullptr;
  const int32_t group = row / group_rows_;
  if (group != group_) decode_group(group);
  return colours_.data() + static_cast<size_t>(row - group * group_rows_) * width_;
}

// Any storage row of an RLE picture held in memory, decoded as the platform decodes
// it (rle_decoder.h), in bounded memory: a group of rows at a time is decoded into
// colours, and the decoder's state is kept at regular rows, so a row far back is
// decoded again from the nearest kept state instead of from the picture's start.
#ifndef QVX_RLE_ROWS_H
#define QVX_RLE_ROWS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/picture.h"
#include "image/rle_decoder.h"

// At most this many decoder states are kept, whatever the picture's height.
constexpr size_t kRleCheckpoints = 4096;

class RleRows {
 public:
  // Prepares for the picture in the store, whose compressed data is `size` bytes at
  // `data`; at most `group_bytes` of colours (and never less than one row) are held.
  // Returns false when the memory can't be had.
  bool start(const uint8_t* store, const PictureDescription& picture, const uint8_t* data, uint32_t size,
             size_t group_bytes);

  // Returns storage row `row` as picture-width 0xRRGGBB colours, valid until the next
  // call; null for a row outside the picture.
  const uint32_t* row(int32_t row);

  int32_t group_rows() const { return group_rows_; }

  // Points at the compressed data again, for a store that was locked anew.
  void rebind(const uint8_t* data) { data_ = data; }

 private:
  struct Checkpoint {
    bool kept = false;
    uint32_t position = 0;  // the next compressed byte
    uint32_t left = 0;
    int32_t x = 0, row = 0, span_left = 0, span_right = 0, buffer_row = 0;
    bool done = false;
  };
  void keep_state(int32_t row);
  void restore(const Checkpoint& c, int32_t row);
  void decode_group(int32_t group);

  const uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t position_ = 0;
  int32_t width_ = 0, height_ = 0;
  RleDecoder decoder_;
  int32_t next_row_ = 0;  // the row the decoder takes next
  int32_t group_rows_ = 1;
  int32_t checkpoint_rows_ = 1;  // kept states lie at multiples of this many rows
  std::vector<Checkpoint> checkpoints_;
  std::vector<uint32_t> colours_;  // the decoded group
  int32_t group_ = -1;             // the group colours_ holds, -1 when none
};

#endif

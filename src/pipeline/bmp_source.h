// A BMP file read with the program's own reader, its rows taken in file order a
// strip at a time, or top row first (uncompressed bottom-up rows read back to front);
// compressed rows decoded as the platform decodes them, always in file order.
#ifndef QVX_PIPELINE_BMP_SOURCE_H
#define QVX_PIPELINE_BMP_SOURCE_H

#include <cstdint>
#include <cstdio>
#include <vector>

#include "pipeline/mapped_file.h"
#include "pipeline/strip.h"
#include "image/read_code.h"
#include "image/rle_decoder.h"

struct BmpSource {
  FILE* file = nullptr;  // not owned
  bool top_first = false;  // set before opening: strips from the top row down where the rows allow
  bool map_rows = false;   // set before opening: uncompressed rows handed on where they lie in a mapping
  bool backwards = false;  // uncompressed bottom-up rows read from the file's end
  off_t pixel_start = 0;   // the file offset of the first pixel byte
  std::vector<uint8_t> store;  // header, masks, colour table, then one strip of rows
  PictureDescription picture;
  uint32_t pixel_bytes = 0;  // pixel bytes the file must hold
  uint64_t consumed = 0;     // pixel bytes read from the file so far
  uint64_t stride = 0;
  int32_t strip_rows = 0;
  int32_t next_row = 0;
  RleDecoder rle;
  std::vector<uint32_t> colours;  // decoded rows of a read-back picture
  uint8_t input_buffer[4096];
  RleInput input;  // the compressed bytes read ahead into input_buffer
  // Rows handed on top row first (next_bmp_rgb_row): the strip they come from.
  Strip rgb_strip;
  int32_t rgb_next = 0;        // the next row from the top
  std::vector<uint8_t> whole;  // a compressed picture, decoded whole: its rows come bottom row first
  RowDecoder rgb_decoder;
  std::vector<int32_t> columns;
  // The mapped file: every strip's store is the header laid just before the pixel rows,
  // its offset to pixels moved on to the strip's first row.
  MappedFile mapping;
  const uint8_t* mapped_store = nullptr;
  uint64_t handed_from = 0, handed_to = 0;  // the file bytes of the strip last handed on
  // After a failure: its cause where the reader knows it ("file shorter than its
  // header says"), for messages that may say more than the program's own; else null.
  const char* failure_detail = nullptr;
};

// Reads the file's head; returns a reader code (ReadCode::kNoSignature for a file that
// is not a BMP file: the file then stands after its first 14 bytes; ReadCode::kTooLarge
// for a picture of more than max_pixels pixels, before anything is allocated).
ReadCode open_bmp_source(FILE* file, uint64_t max_pixels, BmpSource& source);

// Fills the next strip (storage order, or from the top when reading backwards: the
// strip's first_row then falls from strip to strip); returns false when every row has been
// given. code becomes ReadCode::kShortData when the pixel data proves short at the end.
bool next_bmp_strip(BmpSource& source, Strip& strip, ReadCode& code);

// Fills `all` with every row of a mapped picture as one strip, its memory given back
// only when the source closes; false for a picture not mapped or too large to hold so.
bool whole_bmp_strip(const BmpSource& source, Strip& all);

// Says whether the file is long enough for every pixel byte its header claims, from
// its size alone: a small file claiming a huge picture fails before anything is allocated.
bool bmp_source_holds_pixels(const BmpSource& source);

// Fills `rgb` with the next row from the top, 3 bytes a pixel (red first), for a
// picture handed on to be prepared (opened with top_first). Uncompressed rows are
// read a strip at a time; compressed ones are decoded whole at the first row.
// Returns false with code set when the file proves short.
bool next_bmp_rgb_row(BmpSource& source, uint8_t* rgb, ReadCode& code);

#endif

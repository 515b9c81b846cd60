// A BMP file read with the program's own reader, its rows taken in file order a
// strip at a time; compressed rows decoded as the platform decodes them.
#ifndef QVX_CLI_BMP_SOURCE_H
#define QVX_CLI_BMP_SOURCE_H

#include <cstdint>
#include <cstdio>
#include <vector>

#include "cli/strip.h"
#include "image/read_code.h"
#include "image/rle_decoder.h"

struct BmpSource {
  FILE* file = nullptr;  // not owned
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
};

// Reads the file's head; returns a reader code (ReadCode::kNoSignature for a file that
// is not a BMP file: the file then stands after its first 14 bytes; ReadCode::kTooLarge
// for a picture of more than max_pixels pixels, before anything is allocated).
ReadCode open_bmp_source(FILE* file, uint64_t max_pixels, BmpSource& source);

// Fills the next strip (storage order); returns false when every row has been
// given. code becomes ReadCode::kShortData when the pixel data proves short at the end.
bool next_bmp_strip(BmpSource& source, Strip& strip, ReadCode& code);

#endif

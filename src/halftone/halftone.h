// Halftoning beyond a fixed or drawn threshold: error diffusion, ordered dither with
// Bayer matrices or a blue-noise array, and local thresholds for text. Every method
// takes luminance rows top row first, left to right, and gives 1-bit rows packed as the
// result bitmap stores them (pixel 0 in bit 7, a set bit white), streaming: memory
// holds a few rows, or the window's band of rows for the local thresholds.
//
// Source values: s = clamp(L + 127 - density, 0, 255), so the default density 127
// leaves L as it is and a higher density darkens. With `linear`, s is mapped through
// the sRGB decoding curve to 0..65535, and every level and threshold scales with it
// (127 and 255 become 32767 and 65535). Invert swaps the final bit.
#ifndef QVX_HALFTONE_H
#define QVX_HALFTONE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "halftone/halftone_params.h"
#include "halftone/halftone_scratch.h"

// Receives each finished row, top row first: (width + 7) / 8 bytes, the bits past
// the width zero.
using HalftoneSink = void (*)(void* context, int32_t row, const uint8_t* bits);

// A conversion in progress: rows go in with halftone_rows, come out through the sink.
struct HalftoneConverter {
  HalftoneMethod method = HalftoneMethod::kFloydSteinberg;
  HalftoneParams params;
  int32_t width = 0;
  int32_t rows_in = 0;    // rows received
  int32_t rows_out = 0;   // rows given to the sink
  uint16_t tone[256] = {};  // L to s (0..255, or 0..65535 in linear light)
  int32_t white = 255;      // the white level: 255, or 65535 in linear light
  std::vector<uint8_t> bits;  // one output row
  // Ordered dither: per matrix row, 128 thresholds repeating with the matrix' period,
  // in terms of clamp(L + 127 - density): white when that value is above the entry.
  int32_t period = 0;
  std::vector<uint8_t> ordered;
  // Error diffusion: the errors carried to the next rows, each with two spare
  // columns on either side where shares leaving the picture fall.
  std::vector<int32_t> errors;  // kErrorRows rows of width + 4
  std::vector<int32_t> values;  // one row of s
  // Floyd-Steinberg on a vector level: rows wait here to be diffused a band at a time.
  int banded = 0;  // rows per band, 0: one row at a time
  int32_t waiting = 0;
  std::vector<uint8_t> waiting_rows;
  std::vector<uint8_t> band_bits;
  DiffusionBandScratch band_scratch;
  bool chained = false;  // rows one at a time on diffuse_row_chain, not the reference
  ChainScratch chain_scratch;
  // Local thresholds: the band of rows of s, and sums down each column over the band.
  std::vector<std::vector<uint16_t>> band;  // a ring of band_rows rows
  int32_t band_rows = 0;
  std::vector<int64_t> column_sums, column_squares, row_sums, row_squares;
  bool narrow = false;  // 32-bit sums on the AVX2 path
  std::vector<uint32_t> narrow_sums, narrow_squares, pre_sums, pre_squares;
  double k = 0;
};

constexpr int kErrorRows = 3;

// Sets up a converter for pictures `width` pixels wide; kNone, or what is wrong with
// the parameters (nothing is set up then).
HalftoneError start_halftone(HalftoneMethod method, const HalftoneParams& params, int32_t width,
                             HalftoneConverter& converter);

// Feeds `rows` rows of luminance, row r at luma + r * stride; every row that can be
// finished goes to the sink, in order.
void halftone_rows(HalftoneConverter& converter, const uint8_t* luma, size_t stride, int32_t rows, HalftoneSink sink,
                   void* context);

// Ends the picture: the rows still waiting for rows below them go to the sink.
void finish_halftone(HalftoneConverter& converter, HalftoneSink sink, void* context);

#endif

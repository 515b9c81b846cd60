// Halftoning a picture strip by strip: each strip's luminance goes to the core's
// converter top row first, whatever order the strips come in, and the converter's
// rows go to the output a batch at a time.
#ifndef QVX_PIPELINE_HALFTONE_STRIPS_H
#define QVX_PIPELINE_HALFTONE_STRIPS_H

#include <cstdint>
#include <vector>

#include "pipeline/result_output.h"
#include "pipeline/strip.h"
#include "halftone/halftone.h"

struct HalftoneStrips {
  HalftoneConverter converter;
  ResultOutput* out = nullptr;
  int32_t width = 0, height = 0;
  int32_t next_top = 0;        // the next row from the top the converter takes
  std::vector<uint8_t> luma;   // one strip's luminance, top row first
  std::vector<uint8_t> held;   // every row's luminance, once a strip came before the rows above it
  std::vector<uint8_t> batch;  // converted rows for the output, in storage order
  int32_t batch_top = 0, batch_rows = 0, batch_capacity = 0;
  bool failed = false;  // the output refused rows
};

// Starts halftoning a picture into an output that begin_output has started; kNone,
// or what is wrong with the parameters.
HalftoneError start_halftone_strips(HalftoneStrips& h, HalftoneMethod method, const HalftoneParams& params,
                                    ResultOutput& out, int32_t width, int32_t height);

// Takes a strip of the picture (storage rows, as the sources give them); false when
// the output failed.
bool halftone_strip(HalftoneStrips& h, const Strip& strip);

// Converts what is still held or waiting and hands the last rows to the output;
// false when the output failed.
bool finish_halftone_strips(HalftoneStrips& h);

#endif

// Halftoning a picture strip by strip: each strip's luminance goes to the core's
// converter top row first, whatever order the strips come in, and the converter's
// rows go to the output a batch at a time.
#ifndef QVX_PIPELINE_HALFTONE_STRIPS_H
#define QVX_PIPELINE_HALFTONE_STRIPS_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "pipeline/band_threads.h"
#include "pipeline/band_wave.h"
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
  // On several threads (ordered dither and the local thresholds): each band of rows
  // gets a copy of the converter as started, fed from the rows its windows reach.
  std::unique_ptr<BandThreads> bands;  // null: one thread, the converter above
  HalftoneConverter model;
  std::vector<HalftoneConverter> band_converters;
  std::vector<std::vector<uint8_t>> band_bits;  // per band, its rows' bits
  int32_t reach = 0;          // rows above and below an output row its window takes
  std::vector<uint8_t> ahead;  // luminance of rows ahead_top .. next_top - 1, top row first
  int32_t ahead_top = 0;
  int32_t next_out = 0;  // the next row from the top given to the output
  // Error diffusion on several threads: a wavefront, row y on thread y % count a few
  // pixels behind row y - 1, the errors carried in a ring of rows.
  bool wavefront = false;
  bool serial_rows = false;  // error diffusion on the converter, the luminance alone in bands
  std::vector<int32_t> ring;  // ring_rows rows of width + 4
  int32_t ring_rows = 0;
  std::vector<std::vector<int32_t>> band_values;  // per thread, one row of s
  std::vector<ChainScratch> band_chains;          // per thread, the row path's scratch
  std::vector<uint8_t> wave_bits;                 // the rows' bits, in order
  std::unique_ptr<std::atomic<int64_t>[]> progress;  // per thread: row * (width + 1) + pixels done
  std::unique_ptr<BandWave> wave;  // null: not on the vector bands side by side
  void (*rows_done)(void*, int32_t, int32_t) = nullptr;  // told of each batch given to the output
  void* rows_context = nullptr;
};

// Starts halftoning a picture into an output that begin_output has started; kNone,
// or what is wrong with the parameters.
// `threads` above 1 converts bands of rows side by side where the method allows; the
// bytes are the same.
HalftoneError start_halftone_strips(HalftoneStrips& h, HalftoneMethod method, const HalftoneParams& params,
                                    ResultOutput& out, int32_t width, int32_t height, int threads = 1);

// Takes a strip of the picture (storage rows, as the sources give them); false when
// the output failed.
bool halftone_strip(HalftoneStrips& h, const Strip& strip);

// Takes every row of the picture at once where the error diffusion runs on the vector
// bands of several threads, each band making its own rows' luminance from `all` (the
// whole picture as one strip, in memory); false, and nothing taken, elsewhere.
// rows_done (when given) hears of the rows as they go to the output.
bool halftone_whole_picture(HalftoneStrips& h, const Strip& all, void (*rows_done)(void*, int32_t, int32_t),
                            void* rows_context);

// Converts what is still held or waiting and hands the last rows to the output;
// false when the output failed.
bool finish_halftone_strips(HalftoneStrips& h);

#endif

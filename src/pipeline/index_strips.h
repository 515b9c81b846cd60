// Grey levels and palettes strip by strip: each strip's luminance (levels) or colours
// (palettes) go to the core's converter top row first, whatever order the strips come
// in, and each finished row of indexes to the output: an index output (index_output.h),
// or, for two colours in a 1-bit format, the result's bits, the darker colour black.
#ifndef QVX_PIPELINE_INDEX_STRIPS_H
#define QVX_PIPELINE_INDEX_STRIPS_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "halftone/colour_palette.h"
#include "halftone/grey_levels.h"
#include "image/row_decoder.h"
#include "pipeline/band_threads.h"
#include "pipeline/conversion_request.h"
#include "pipeline/result_output.h"
#include "pipeline/strip.h"

// The conversion of a picture's rows to indexes on one thread or several: rows that
// don't depend on each other in bands, error diffusion as a wavefront (row y on thread
// y % count a few pixels behind row y - 1, the errors carried in a ring of rows), the
// rest by the converter alone (serpentine rows, the vector bands, the local thresholds).
struct IndexRows {
  bool palette = false;  // colours to a palette, else luminance to grey levels
  GreyLevelsConverter levels;
  PaletteConverter colours;
  int32_t width = 0;
  size_t pixel_bytes = 1;  // luminance 1, colours 3
  IndexSink sink = nullptr;
  void* context = nullptr;
  enum class Split { kRows, kWavefront, kConverter };
  std::unique_ptr<BandThreads> bands;  // null: one thread
  Split split = Split::kConverter;
  std::vector<uint8_t> indexes;  // the indexes of the rows being converted
  std::vector<int32_t> ring;     // ring_rows rows of (width + 4) * pixel_bytes
  int32_t ring_rows = 0;
  std::vector<std::vector<int32_t>> band_values;  // per thread, one row of toned values
  std::unique_ptr<std::atomic<int64_t>[]> progress;  // per thread: row * (width + 1) + pixels done
};

// Starts converting rows `width` pixels wide on up to `threads` threads, each finished
// row to sink, top row first: r.levels or r.colours (as `palette` says) started before.
void start_index_rows(IndexRows& r, bool palette, int32_t width, int threads, IndexSink sink, void* context);

// Converts `count` rows (luminance, or colours 3 bytes a pixel), row k at rows + k *
// stride, the first `top` rows from the top, every row above it given before.
void index_rows(IndexRows& r, const uint8_t* rows, size_t stride, int32_t top, int32_t count);

// Ends the picture: what still waits goes to the sink.
void finish_index_rows(IndexRows& r);

struct IndexStrips {
  bool palette = false;  // colours to a palette, else luminance to grey levels
  IndexRows convert;
  ResultOutput* out = nullptr;
  bool to_bits = false;    // two colours into a 1-bit format
  uint8_t white_index = 1;  // the index that is white there
  int32_t width = 0, height = 0;
  int32_t next_top = 0;       // the next row from the top the converter takes
  size_t pixel_bytes = 1;     // luminance 1, colours 3
  std::vector<uint8_t> rows;  // one row for the converter
  std::vector<uint8_t> held;  // every row, once a strip came before the rows above it
  std::vector<int32_t> columns;
  std::vector<uint32_t> decoded;
  std::vector<uint8_t> bits;  // one result row
  bool failed = false;        // the output refused rows
  // On several threads each strip's rows are read in bands, then converted; where the
  // converter works alone, it converts the strip before while the others read.
  std::vector<uint8_t> ahead;    // a strip's rows, top first
  std::vector<uint8_t> pending;  // the rows read but not converted yet
  int32_t pending_top = 0, pending_rows = 0;
  std::vector<std::vector<uint32_t>> band_decoded;  // per thread, decoded colours
};

// Starts converting a picture of width x height whose header (40 bytes) the output
// copies, and begins the output; returns "" or the message. request.threads above 1
// converts on that many threads where the method allows; the bytes are the same. A failed output's reason
// is in out.error, or errno.
std::string start_index_strips(IndexStrips& s, const ConversionRequest& request, int density, ResultOutput& out,
                               const uint8_t* header40, int32_t width, int32_t height, bool& output_failed);

// Takes a strip of the picture (storage rows); false when the output failed.
bool index_strip(IndexStrips& s, const Strip& strip);

// Converts what is still held or waiting and completes the output; false when it failed.
bool finish_index_strips(IndexStrips& s);

#endif

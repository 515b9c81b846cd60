// Converting a picture strip by strip into a started output: the three modes through
// the core's conversion, the halftoning methods through the core's converter, grey
// levels and palettes through theirs (index_strips.h). The
// command and the page both convert this way, so their files are the same.
#ifndef QVX_PIPELINE_CONVERT_STRIPS_H
#define QVX_PIPELINE_CONVERT_STRIPS_H

#include <cstdint>
#include <string>

#include "pipeline/conversion_request.h"
#include "pipeline/result_output.h"
#include "pipeline/strip.h"
#include "image/read_code.h"

// Where the strips come from: next fills the next strip and returns false at the end,
// setting code when the rows proved unreadable.
struct StripReader {
  void* context = nullptr;
  bool (*next)(void* context, Strip& strip, ReadCode& code) = nullptr;
  int32_t width = 0, height = 0;
  const uint8_t* header = nullptr;  // the 40 header bytes the outputs copy
  // Fills `all` with every row of the picture as one strip where they all lie in
  // memory (a mapped file), so that threads may take any of them; null or false: strips only.
  bool (*whole)(void* context, Strip& all) = nullptr;
};

// Told how many rows of the picture are done.
using RowsDone = void (*)(void* context, int32_t done, int32_t height);

// Converts every strip into `out` (not yet begun) with the density given. Returns an
// empty string, or the whole message of what failed (the target named); a reader
// failure, or memory running out (ReadCode::kNoMemory), leaves read_code set and the
// message empty, for the caller to word.
std::string convert_strips(const StripReader& reader, int density, const ConversionRequest& request, ResultOutput& out,
                           const std::string& target, ReadCode& read_code, RowsDone rows_done = nullptr,
                           void* rows_context = nullptr);

// Returns "can't write 'target': reason".
std::string write_failure(const std::string& target, const std::string& reason);

#endif

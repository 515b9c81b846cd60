// Writing a converted picture held in memory (0 black, 1 white, any strides) in the
// command's formats, through the command's writers.
#ifndef QVX_PY_RESULT_FILE_H
#define QVX_PY_RESULT_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "pipeline/result_output.h"

struct ResultPicture {
  const uint8_t* data = nullptr;
  int32_t width = 0, height = 0;
  ptrdiff_t row_step = 0, pixel_step = 1;
  int32_t x_resolution = 0, y_resolution = 0;  // pixels per metre, 0 unknown
};

// Points the output at the PNG and TIFF writers, linked into the module (the command
// loads them from a module of their own); `codecs` must outlive the output.
void link_codecs(ResultOutput& out, CodecAccess& codecs);

// Returns the file's bytes in options.format, or sets error (a value other than 0 or 1,
// or the writer's reason). `target` names the device formats' array as the command does.
bool encode_result(const ResultPicture& picture, const CliOptions& options, const std::string& target,
                   std::vector<uint8_t>& bytes, std::string& error);

// Writes the file to target, replacing it only when whole; returns an empty string or
// the reason, and whether the reason is the picture's (a value other than 0 or 1).
std::string save_result(const ResultPicture& picture, const CliOptions& options, const std::string& target,
                        bool& bad_value);

#endif

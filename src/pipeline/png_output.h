// libpng's writer for the outputs, 1-bit and indexed alike: libpng's reason becomes
// the output's error, its long jumps stay inside these calls.
#ifndef QVX_PIPELINE_PNG_OUTPUT_H
#define QVX_PIPELINE_PNG_OUTPUT_H

#include <cstdint>

#include "pipeline/result_output.h"

#ifdef QVX_CLI_PNG
// Starts a PNG of out.width x out.height into out.file: grey samples of `bits` bits,
// or, with `colours` entries of red, green and blue, indexes into them; the resolution
// from out. False with out.error set by libpng when it fails.
bool begin_png(ResultOutput& out, int bits, const uint8_t (*colours)[3], int count);

// Writes the next row from the top, packed at the PNG's depth.
bool write_png_row(ResultOutput& out, const uint8_t* row);

// Writes what ends the file.
bool end_png(ResultOutput& out);

// Releases the writer (any time after begin_png, also after a failure).
void free_png(ResultOutput& out);
#endif

#endif

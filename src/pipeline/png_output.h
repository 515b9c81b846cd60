// libpng's writer for the outputs, 1-bit and indexed alike, reached through the
// codecs' table (codec_module.h): libpng's reason becomes the output's error, its long
// jumps stay inside these calls.
#ifndef QVX_PIPELINE_PNG_OUTPUT_H
#define QVX_PIPELINE_PNG_OUTPUT_H

#include <cstdint>
#include <cstdio>
#include <string>

#ifdef QVX_CLI_PNG
// Starts a PNG of width x height into file, its writer left in *codec: grey samples of
// `bits` bits, or, with `colours` entries of red, green and blue, indexes into them; a
// resolution in pixels a metre (0: none); levels and colours at zlib's fastest. False
// with *error set by libpng when it fails (*error must outlive the writer).
bool begin_png(void** codec, std::string* error, FILE* file, int32_t width, int32_t height, int32_t x_resolution,
               int32_t y_resolution, int bits, const uint8_t (*colours)[3], int count);

// Writes the next row from the top, packed at the PNG's depth.
bool write_png_row(void* codec, const uint8_t* row);

// Writes what ends the file.
bool end_png(void* codec);

// Releases the writer (any time after begin_png, also after a failure); *codec becomes null.
void free_png(void** codec);
#endif

#endif

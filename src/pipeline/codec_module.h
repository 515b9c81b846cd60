// The PNG and CCITT G4 TIFF writers as one table of functions. The command has them in
// a module beside it, quillvex-cli-codecs.so, loaded for its first PNG or TIFF output:
// libpng, and libtiff with the seven libraries it needs, took a millisecond of every
// start, a tenth of a BMP conversion. The Python module links them in. A writer the
// build has no library for is null.
#ifndef QVX_PIPELINE_CODEC_MODULE_H
#define QVX_PIPELINE_CODEC_MODULE_H

#include <cstdint>
#include <cstdio>
#include <string>

struct CodecFunctions {
  // libpng's writer (png_output.h).
  bool (*begin_png)(void** codec, std::string* error, FILE* file, int32_t width, int32_t height,
                    int32_t x_resolution, int32_t y_resolution, int bits, const uint8_t (*colours)[3], int count);
  bool (*write_png_row)(void* codec, const uint8_t* row);
  bool (*end_png)(void* codec);
  void (*free_png)(void** codec);
  // Starts a 1-bit G4 TIFF of width x height into file (a set bit is white), its writer
  // left in *codec; a resolution in pixels a metre (0: none).
  bool (*begin_tiff)(void** codec, FILE* file, int32_t width, int32_t height, int32_t x_resolution,
                     int32_t y_resolution);
  // Writes row number `top` from the top, rows in order.
  bool (*write_tiff_row)(void* codec, int32_t top, const uint8_t* row);
  // Writes what is left of the file.
  bool (*end_tiff)(void* codec);
  // Releases the writer (any time after begin_tiff); *codec becomes null.
  void (*free_tiff)(void** codec);
};

extern "C" const CodecFunctions* qvx_codec_functions();

#endif

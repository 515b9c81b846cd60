// Writing the 1-bit result as it is converted, strip by strip: a BMP by the core's
// writer, PBM, PGM (maxval 1), PPM (black and white), the device formats by the device
// writer, and where the libraries are present 1-bit PNG and CCITT G4 TIFF (their
// writers reached through a CodecAccess the program owns). Rows of grey levels or
// palette indexes go through the same struct (index_output.h).
#ifndef QVX_PIPELINE_RESULT_OUTPUT_H
#define QVX_PIPELINE_RESULT_OUTPUT_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "device/device_writer.h"
#include "pipeline/codec_module.h"

// How a program reaches the PNG and TIFF writers: linked in (the Python module), or a
// module loaded for the first PNG or TIFF output (the command, whose other outputs so
// never load libpng or libtiff). Owned by the program's top, one to a thread.
struct CodecAccess {
  // Returns the writers, or null when they can't be had; called once, at the first
  // PNG or TIFF output.
  const CodecFunctions* (*load)() = nullptr;
  const char* missing = nullptr;  // the output's error when load gives nothing
  bool loaded = false;
  const CodecFunctions* functions = nullptr;
};

struct ResultOutput {
  int format = 0;
  FILE* file = nullptr;  // the temporary file, seekable; not owned
  int32_t width = 0, height = 0;
  bool bottom_up = true;  // storage row 0 is the bottom row
  int32_t x_resolution = 0, y_resolution = 0;  // pixels per metre
  uint8_t result_header[48] = {};  // the result block's header and colours (BMP)
  uint32_t stride = 0;             // result stride
  int32_t next_top = 0;            // the next row from the top a top-down format takes
  std::vector<uint8_t> held;       // every row, when they come in the other order
  CodecAccess* codecs = nullptr;   // null: no PNG or TIFF writer
  void* codec = nullptr;           // the PNG or TIFF writer
  DeviceSettings device_settings;  // for the device formats, set before begin_output
  DeviceWriter device;
  bool failed = false;
  std::string error;
  // Index outputs (index_output.h): how many levels or colours, 0 for 1-bit rows, and
  // each one's red, green and blue.
  int colours = 0;
  bool grey = false;  // grey levels: PGM and grey PNG take the index itself
  uint8_t table[16][3] = {};
  int bits = 0;                // bits a pixel in a PNG or BMP
  std::vector<uint8_t> line;   // one row as the file holds it
  std::vector<uint8_t> batch;  // BMP: rows waiting to be written, the lowest first
  int32_t batch_top = 0, batch_rows = 0, batch_capacity = 0;
  uint32_t pixels_at = 0;      // BMP: where the rows begin in the file
};

// Returns true when this build writes the format.
bool can_write_format(int format);

// Starts the output for a picture; header40 is the source header the BMP result
// copies (width, height with its sign, planes, resolution).
bool begin_output(ResultOutput& out, int format, FILE* file, const uint8_t* header40, int32_t width, int32_t height);

// Takes converted storage rows first_row .. first_row + rows - 1 (result-stride rows).
bool put_result_rows(ResultOutput& out, int32_t first_row, int32_t rows, const uint8_t* bits);

// Completes the file; false when anything could not be written.
bool finish_output(ResultOutput& out);

// Releases what a failed output still holds.
void abandon_output(ResultOutput& out);

// The steps the 1-bit and the index outputs share (index_output.cpp):
// takes the format, the file, the size, and from the source's header the row order
// and resolution;
void take_output_picture(ResultOutput& out, int format, FILE* file, const uint8_t* header40, int32_t width,
                         int32_t height);
// returns true when the device writer failed, with out.error saying why unless the
// file itself could not be written;
bool device_output_failed(ResultOutput& out, DeviceError error);
// starts the device writer on out.file (out.device_settings set before); false when it can't;
bool begin_device_output_file(ResultOutput& out);
// starts the PNG writer on out.file, grey samples of `bits` bits or, with colours,
// indexes into them; false with out.error set when the writer can't be had or fails;
bool begin_png_output(ResultOutput& out, int bits, const uint8_t (*colours)[3], int count);
// writes the next PNG row from the top, packed at its depth;
bool write_png_output_row(ResultOutput& out, const uint8_t* row);
// ends the PNG (a failed one too) and releases its writer; false when the end could not be written.
bool end_png_output(ResultOutput& out, bool ok);

#endif

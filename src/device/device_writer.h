// Writing a 1-bit picture in the forms displays and printers take: XBM, a C array
// or its raw bytes in one of four layouts, ESC/POS raster bands, a ZPL label; and a
// picture of indexes (grey levels or palette entries) as a C array or raw bytes
// packed 2 or 4 bits a pixel or in two planes.
//
// The writer takes the picture as the conversion stores its result: packed rows,
// the leftmost pixel in the most significant bit, a set bit white, the bits past
// the width of no meaning. A ZPL label holds one ^GFA field per band of rows that
// fits a field's byte limit, each placed below the one before with ^FO. Rows come top row first, one at a time or a strip at a
// time; the bytes go to a sink as they are ready. Most outputs stream row by row
// (rows-msb, rows-lsb, xbm, escpos, zpl); `pages` holds one band of 8 rows and
// `columns-msb` holds the whole packed picture until its last row, since every
// column runs from top to bottom.
//
// Index rows (one byte a pixel) go to any layout: the 1-bit ones take pictures of
// two levels or colours, index 1 the set bit when on is white. 1-bit rows go to the
// index layouts as black (index 0) and white (the last grey level, a palette's 1). `planes` writes plane
// 0 as the rows come and keeps plane 1 (an eighth of the index rows) until the last
// row: in memory up to PlaneSpill::memory_limit, the rest in a temporary file, so a
// large picture never needs more than that much memory.
#ifndef QVX_DEVICE_WRITER_H
#define QVX_DEVICE_WRITER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/device_format.h"

// Takes `size` bytes of output; returns false when they could not be written.
using ByteSink = std::function<bool(const uint8_t* bytes, size_t size)>;

// Returns a sink that appends to `out` (which must outlive the writer).
ByteSink append_to(std::vector<uint8_t>& out);

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

// Plane 1's rows while plane 0 is written: the first in memory, the rest in a file.
// The page (WASI) has no temporary files: its memory is the only limit.
#ifdef __wasi__
constexpr size_t kSpillMemoryBytes = SIZE_MAX;
#else
constexpr size_t kSpillMemoryBytes = size_t{8} << 20;
#endif

struct PlaneSpill {
  std::vector<uint8_t> memory;
  std::unique_ptr<FILE, FileCloser> file;
  uint64_t file_bytes = 0;
  size_t memory_limit = kSpillMemoryBytes;  // lowered by a test
};

struct DeviceWriter {
  DeviceSettings settings;
  uint32_t width = 0, height = 0;
  uint32_t rows_taken = 0;
  size_t row_bytes = 0;            // (width + 7) / 8
  ByteSink sink;
  std::vector<uint8_t> row;        // the current row: polarity applied, padding bits clear
  std::vector<uint8_t> held;       // pages: the band so far; columns-msb: every row
  std::string pending;             // output not yet given to the sink
  uint64_t array_bytes = 0;        // bytes of the C or XBM array written so far
  uint32_t field_rows = 0;         // zpl: rows of each ^GFA field but the last
  std::vector<uint8_t> packed;     // an index row packed for its layout (planes: plane 0, then plane 1)
  std::vector<uint8_t> indexes;    // a 1-bit row given to an index layout, a byte a pixel
  PlaneSpill spill;
  DeviceError error = DeviceError::kNone;
};

// Returns how many rows the writer keeps before it writes them: 1 for the streaming
// outputs, 8 for pages, the height for columns-msb.
uint32_t device_rows_held(const DeviceSettings& settings, uint32_t height);

// Starts a picture of width x height; writes the format's opening.
DeviceError begin_device_output(DeviceWriter& writer, const DeviceSettings& settings, uint32_t width,
                                uint32_t height, ByteSink sink);

// Takes `rows` rows from the top down, the first at `top_row`, each `stride` bytes
// after the one before (negative for rows stored bottom-up).
DeviceError put_device_rows(DeviceWriter& writer, const uint8_t* top_row, ptrdiff_t stride, uint32_t rows);

// Takes `rows` rows of indexes (a byte a pixel, each below settings.meaning.count),
// from the top down like put_device_rows.
DeviceError put_device_index_rows(DeviceWriter& writer, const uint8_t* top_row, ptrdiff_t stride, uint32_t rows);

// Writes what is held and the format's closing; an error when rows are missing.
DeviceError finish_device_output(DeviceWriter& writer);

// Returns the whole output for a picture in memory, appended to `out`.
DeviceError encode_device_picture(const DeviceSettings& settings, const uint8_t* top_row, ptrdiff_t stride,
                                  uint32_t width, uint32_t height, std::vector<uint8_t>& out);

// Returns the whole output for a picture of indexes in memory, appended to `out`.
DeviceError encode_device_indexes(const DeviceSettings& settings, const uint8_t* top_row, ptrdiff_t stride,
                                  uint32_t width, uint32_t height, std::vector<uint8_t>& out);

#endif

// Writing rows of grey levels or palette indexes as they are converted, top row first:
// PGM (P5, maxval N-1, the level itself), PPM (P6, each pixel its colour), PNG (grey of
// 2 or 4 bits for 4 or 16 levels, else indexed at the least depth of 1, 2, 4 or 8 bits
// that holds N) and BMP (indexed, 1 or 4 bits, the colours as its table; rows
// bottom-up, placed a batch at a time), c and bin in their index layouts. Grey level k is stored as level_grey(N, k).
#ifndef QVX_PIPELINE_INDEX_OUTPUT_H
#define QVX_PIPELINE_INDEX_OUTPUT_H

#include <cstdint>
#include <cstdio>

#include "pipeline/result_output.h"

// Returns true for the formats that hold grey levels and palettes (PGM grey levels only).
bool writes_indexes(int format, bool grey);

// Returns true when the output is c or bin in a layout of indexes (out.device_settings):
// the device writer packs the rows.
bool writes_device_indexes(const ResultOutput& out, int format);

// Starts the output of `count` (2..16) levels or colours, `table` their red, green and
// blue (greys for levels); header40 is the source's header, its resolution kept.
bool begin_index_output(ResultOutput& out, int format, FILE* file, const uint8_t* header40, int32_t width,
                        int32_t height, int count, const uint8_t (*table)[3], bool grey);

// Takes the next row from the top: `width` indexes, one byte each.
bool put_index_row(ResultOutput& out, int32_t top, const uint8_t* indexes);

// Completes the file; false when anything could not be written.
bool finish_index_output(ResultOutput& out);

#endif

// The bytes of a saved 1-bit BMP file: a 14-byte file header, then the result block.
#ifndef QVX_BMP_WRITER_H
#define QVX_BMP_WRITER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/picture.h"

// Fills the 14-byte file header for a result block.
void build_file_header(const uint8_t* result, uint8_t* out);

// Returns how many bytes of the result block follow the file header:
// its header size + image size + 8 (the two colour entries).
uint32_t result_bytes_to_write(const uint8_t* result);

// Returns the name of candidate `attempt` for the temporary file written beside the
// target, at most `room` characters long so that the folder and the name still fit
// the file-name buffer ("~qvx0000.tmp" where there is room, shorter names in a
// crowded path), or an empty name when that many candidates don't fit in `room`.
std::string temporary_sibling_name(unsigned attempt, size_t room);

#endif

// The bytes of a saved 1-bit BMP file: a 14-byte file header, then the result block.
#ifndef QVX_BMP_WRITER_H
#define QVX_BMP_WRITER_H

#include <cstdint>

constexpr uint32_t kFileHeaderBytes = 14;

// Fills the 14-byte file header for a result block.
void build_file_header(const uint8_t* result, uint8_t* out);

// Returns how many bytes of the result block follow the file header:
// its header size + image size + 8 (the two colour entries).
uint32_t result_bytes_to_write(const uint8_t* result);

#endif

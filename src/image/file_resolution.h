// The resolution a picture file records itself, found the way the shipped imaging
// plug-in finds it: a PNG's pHYs figures exactly, and for JPEG and TIFF only whether
// the file records one (the decoder's inch figures are then used).
#ifndef QVX_FILE_RESOLUTION_H
#define QVX_FILE_RESOLUTION_H

#include <cstddef>
#include <cstdint>

struct FileResolution {
  bool recorded = false;
  bool exact = false;  // x and y are the file's own pixels per metre
  int32_t x = 0, y = 0;
};

// Reads the first `size` bytes of a file.
FileResolution file_resolution(const uint8_t* bytes, size_t size);

// Returns dots per inch as pixels per metre, truncated; 0 for no usable figure.
int32_t pixels_per_metre(double dpi);

#endif

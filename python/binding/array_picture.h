// A picture handed over in memory (a numpy array or any buffer of bytes): rows of
// 1 to 4 samples a pixel, grey, grey and alpha, RGB or RGBA, at any strides.
#ifndef QVX_PY_ARRAY_PICTURE_H
#define QVX_PY_ARRAY_PICTURE_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "pipeline/strip.h"

struct ArrayPicture {
  const uint8_t* data = nullptr;  // sample 0 of pixel 0 of the top row
  int32_t width = 0, height = 0;
  int bands = 1;
  ptrdiff_t row_step = 0, pixel_step = 1, band_step = 1;  // in bytes, any sign
};

// Row buffers for array_luminance_row, sized for one picture.
struct LumaScratch {
  std::vector<uint8_t> samples;    // one row gathered from a strided array
  std::vector<uint32_t> colours;   // one row laid over white
};

// Fills out[0 .. width-1] with the luminance of row `top`, exactly as the command
// takes it from a file holding the same samples.
void array_luminance_row(const ArrayPicture& picture, int32_t top, LumaScratch& scratch, uint8_t* out);

// Returns row `top` as red, green, blue bytes laid over white: the array's own row when
// it holds packed RGB, else rgb (3 x width bytes) filled.
const uint8_t* array_rgb_row(const ArrayPicture& picture, int32_t top, LumaScratch& scratch, uint8_t* rgb);

// Returns true when the picture is grey with its rows packed top to bottom: its own
// samples are the luminance rows the converters take, read where they lie.
bool grey_rows_in_order(const ArrayPicture& picture);

// Hands the picture's luminance to take(rows, row_step, count), top row first: the
// array's own rows when they are grey and in order, else strips gathered in scratch.
template <typename Take>
void for_each_luma_strip(const ArrayPicture& p, LumaScratch& scratch, Take&& take) {
  if (grey_rows_in_order(p)) {
    take(p.data, static_cast<size_t>(p.row_step), p.height);
    return;
  }
  const size_t width = static_cast<size_t>(p.width);
  const int32_t strip = rows_per_strip(width, p.height);
  std::vector<uint8_t> luma(static_cast<size_t>(strip) * width);
  for (int32_t top = 0; top < p.height; top += strip) {
    const int32_t rows = std::min(strip, p.height - top);
    for (int32_t k = 0; k < rows; ++k) array_luminance_row(p, top + k, scratch, luma.data() + k * width);
    take(luma.data(), width, rows);
  }
}

// Converts the picture into out (height x width bytes, 0 black, 1 white), as the
// command converts a picture read from a file (rows stored bottom-up). Returns an
// empty string or what failed.
std::string convert_array_picture(const ArrayPicture& picture, const CliOptions& options, int density, uint8_t* out);

// Returns Otsu's threshold of the picture's luminance, the command's automatic density.
int array_otsu(const ArrayPicture& picture);

#endif

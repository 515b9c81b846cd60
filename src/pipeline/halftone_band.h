// One band of a picture's rows halftoned on its own copy of the started converter,
// beside the other bands on other threads: ordered dither, whose rows depend only on
// their place, and the local thresholds, whose band is also fed the rows its windows
// reach above and below it and drops them. Error diffusion carries errors from band
// to band and has paths of its own.
#ifndef QVX_PIPELINE_HALFTONE_BAND_H
#define QVX_PIPELINE_HALFTONE_BAND_H

#include <cstddef>
#include <cstdint>

#include "halftone/halftone.h"

struct HalftoneBand {
  HalftoneConverter* converter = nullptr;
  int32_t first = 0, last = 0;  // the band's own rows, from the top
  int32_t from = 0, to = 0;     // the rows it is fed: its own and those its windows reach
  int32_t height = 0;
  int32_t offset = 0;  // the picture's row of the converter's row 0
  int32_t fed = 0;     // rows fed so far, from `from` on
  HalftoneSink sink = nullptr;  // takes the band's own rows, numbered from the picture's top
  void* context = nullptr;
};

// The rows a band of a local threshold's windows reach past it (its radius), 0 for
// the methods whose rows stand alone.
int32_t halftone_band_reach(const HalftoneConverter& model);

// Makes `copy` the started converter `model` for a band fed at most `rows` rows, with
// everything it will write into allocated: a band runs on a thread that may not
// allocate.
void copy_band_converter(const HalftoneConverter& model, int32_t rows, HalftoneConverter& copy);

// Starts band rows first .. last - 1 of a picture `height` rows tall on `copy` (made
// by copy_band_converter); the band is then fed rows band.from .. band.to - 1.
HalftoneBand start_halftone_band(HalftoneConverter& copy, int32_t first, int32_t last, int32_t height,
                                 int32_t reach, HalftoneSink sink, void* context);

// Feeds the band's next `rows` rows of luminance, row r at luma + r * stride; the
// band's own rows go to its sink once their windows are whole, the last ones when the
// picture's last row comes in.
void feed_halftone_band(HalftoneBand& band, const uint8_t* luma, size_t stride, int32_t rows);

// A sink that keeps a band's rows in one block: row `first` + i at bits + i * bytes.
struct BandBits {
  int32_t first = 0;
  uint8_t* bits = nullptr;
  size_t bytes = 0;  // a row's bytes, (width + 7) / 8
};

void keep_band_bits(void* band_bits, int32_t row, const uint8_t* bits);

#endif

// Grey levels beyond black and white: rows of luminance in, rows of level indexes
// 0..N-1 out (0 the darkest, one byte a pixel), streaming like the 1-bit converter.
//
// With s = clamp(L + 127 - density, 0, 255), or its linear-light value 0..65535, and U
// the white (255 or 65535), level k stands for q_k = (2 U k + N - 1) div (2 (N - 1)):
//   nearest: the level with the least |s - q_k|, a tie to the darker one;
//   error diffusion: the nearest level to w = s + carried error (no clamp), the rest
//     e = w - q_k shared as the 1-bit rule shares it;
//   ordered (matrix value M of an n x n matrix): k = floor(s (N-1) / U) and
//     f = s (N-1) - U k; one level up when k < N-1 and 2 n^2 f > U (2 M + 1);
//   invert turns level k into N-1-k.
// With two levels every rule is the 1-bit one; the local thresholds take two levels only.
#ifndef QVX_GREY_LEVELS_H
#define QVX_GREY_LEVELS_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "halftone/halftone.h"

constexpr int kMinLevels = 2;
constexpr int kMaxLevels = 16;

enum class LevelsError {
  kNone,
  kBadLevels,         // outside 2..16
  kBadParams,         // check_halftone_params tells which
  kTwoLevelsOnly,     // a local threshold with more than two levels
  kNoScanDirection,   // serpentine with the nearest level or colour
  kNotForPalettes,    // ordered dither or a local threshold with a colour palette
  kNoPaletteInvert,   // invert with a colour palette
};

// Returns a short English text for an error (for kBadParams, halftone_error_text says more).
const char* levels_error_text(LevelsError error);

// Receives each finished row, top row first: `width` indexes, one byte each.
using IndexSink = void (*)(void* context, int32_t row, const uint8_t* indexes);

// Returns q_k, the value level k of `levels` stands for on 0..white.
int32_t level_value(int levels, int k, int32_t white);

// Returns the 8-bit grey a level is stored as: (2 * 255 k + N - 1) div (2 (N - 1)).
inline uint8_t level_grey(int levels, int k) { return static_cast<uint8_t>(level_value(levels, k, 255)); }

// Packs indexes of `bits` bits each (1, 2, 4 or 8) into bytes, the first pixel in the
// high bits, the bits past the width zero; writes (width * bits + 7) / 8 bytes (nothing
// for another number of bits).
void pack_indexes(const uint8_t* indexes, int32_t width, int bits, uint8_t* packed);

// Scratch of the vector Floyd-Steinberg to grey levels (grey_levels_x86.cpp).
struct LevelsBandScratch {
  std::vector<int16_t> values;   // kDiffusionBandRows rows of width + 2 kBandPad
  std::vector<uint8_t> indexes;  // the same
  std::vector<int16_t> last_errors;  // e of the band's last row, index 0 at kBandPad
  int error_limit = 2000;  // the largest |e| the band may meet (lowered by a test)
};

struct GreyLevelsConverter {
  std::optional<HalftoneMethod> method;  // nothing: the nearest level
  HalftoneFamily family = HalftoneFamily::kErrorDiffusion;
  HalftoneParams params;
  int levels = 2;
  int32_t width = 0;
  int32_t rows_in = 0;
  int32_t rows_out = 0;
  int32_t white = 255;
  uint16_t tone[256] = {};         // L to s
  int32_t values_of[kMaxLevels] = {};  // q_k
  std::vector<uint8_t> nearest;    // w in 0..white to its nearest level
  std::vector<uint8_t> out;        // one row of indexes
  // Ordered dither: per L, k and f; per matrix cell, U (2 M + 1).
  int32_t period = 0;
  uint8_t floor_level[256] = {};
  int32_t fraction[256] = {};
  std::vector<int64_t> limits;
  // Error diffusion: kErrorRows rows of width + 4 carried errors, one row of s.
  std::vector<int32_t> errors;
  std::vector<int32_t> values;
  // Floyd-Steinberg on AVX2: rows wait in the band's values to be diffused a band at a time.
  bool banded = false;
  int32_t waiting = 0;
  LevelsBandScratch band;
  // A local threshold (two levels): the 1-bit converter, its rows unpacked.
  HalftoneConverter one_bit;
};

// Sets up a converter to `levels` grey levels for pictures `width` pixels wide; method
// nothing is the nearest level. kNone, or what is wrong (nothing is set up then).
LevelsError start_grey_levels(std::optional<HalftoneMethod> method, const HalftoneParams& params, int levels,
                              int32_t width, GreyLevelsConverter& converter);

// Feeds `rows` rows of luminance, row r at luma + r * stride; every row that can be
// finished goes to the sink, in order.
void grey_level_rows(GreyLevelsConverter& converter, const uint8_t* luma, size_t stride, int32_t rows,
                     IndexSink sink, void* context);

// Ends the picture: the rows still waiting go to the sink.
void finish_grey_levels(GreyLevelsConverter& converter, IndexSink sink, void* context);

// Converts row y (from the top) of luminance on its own where no row depends on
// another (the nearest level, ordered dither); false, nothing written, for the others.
// Reads the converter only, so threads may share it.
bool grey_level_row_alone(const GreyLevelsConverter& converter, const uint8_t* luma, int32_t y, uint8_t* indexes);

// Error diffusion (not serpentine) of pixels x0 .. x1 - 1 of one row, left to right:
// errors[0..2] point at pixel 0 of the carried errors of the row and the two below it
// (two spare pixels either side), values is a row of scratch. Running the spans of a
// row in order gives what the converter gives; reads the converter only.
void diffuse_level_span(const GreyLevelsConverter& converter, const uint8_t* luma, int32_t* const* errors,
                        int32_t x0, int32_t x1, int32_t* values, uint8_t* indexes);

// Returns the n x n Bayer matrix value at (x, y), n a power of two up to 16.
int bayer_value(int n, int x, int y);

#endif

// Halftoning beyond a fixed or drawn threshold: error diffusion, ordered dither with
// Bayer matrices or a blue-noise array, and local thresholds for text. Every method
// takes luminance rows top row first, left to right, and gives 1-bit rows packed as the
// result bitmap stores them (pixel 0 in bit 7, a set bit white), streaming: memory
// holds a few rows, or the window's band of rows for the local thresholds.
//
// Source values: s = clamp(L + 127 - density, 0, 255), so the default density 127
// leaves L as it is and a higher density darkens. With `linear`, s is mapped through
// the sRGB decoding curve to 0..65535, and every level and threshold scales with it
// (127 and 255 become 32767 and 65535). Invert swaps the final bit.
#ifndef QVX_HALFTONE_H
#define QVX_HALFTONE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

enum class HalftoneMethod : int {
  kFloydSteinberg,
  kJarvis,
  kStucki,
  kBurkes,
  kSierra,
  kSierra2,
  kSierraLite,
  kAtkinson,
  kBayer2,
  kBayer4,
  kBayer8,
  kBayer16,
  kBlueNoise,
  kBradley,
  kSauvola,
  kNiblack,
};

enum class HalftoneFamily { kErrorDiffusion, kOrdered, kLocalThreshold };

struct HalftoneMethodInfo {
  HalftoneMethod method;
  HalftoneFamily family;
  const char* name;         // as typed after -m
  const char* description;  // for --list-methods: a line, or lines parted by '\n'
};

// Returns the table of every method, in the order --list-methods prints them.
const std::vector<HalftoneMethodInfo>& halftone_methods();

// Returns the entry of a method.
const HalftoneMethodInfo& halftone_method_info(HalftoneMethod method);

// Returns the method with this exact name, or nothing.
std::optional<HalftoneMethod> parse_method_name(const char* name);

// A method's parameters; radius, k and percent are ignored by methods without a
// window, serpentine is refused by those without a scan direction. The exact rules of
// every method (the shares' rounding, the Bayer test, the local thresholds' arithmetic)
// are given beside the code: halftone_rows.h, and prepare_ordered in halftone.cpp.
struct HalftoneParams {
  int density = 127;          // 0..254
  bool invert = false;
  bool serpentine = false;    // error diffusion only: odd rows run right to left
  bool linear = false;        // dither in linear light
  int radius = 7;             // local thresholds: the window is (2 radius + 1) squared
  std::optional<double> k;    // sauvola (default 0.2) and niblack (default -0.2)
  int percent = 15;           // bradley: how far below the window's mean a pixel turns black
};

constexpr int kMaxHalftoneRadius = 10000;

enum class HalftoneError {
  kNone,
  kUnknownMethod,
  kBadDensity,         // outside 0..254
  kBadRadius,          // outside 1..kMaxHalftoneRadius
  kBadK,               // not a finite number
  kBadPercent,         // outside 0..100
  kNoScanDirection,    // serpentine with a method that has no scan direction
};

// Returns the first thing wrong with parameters for a method, or kNone.
HalftoneError check_halftone_params(HalftoneMethod method, const HalftoneParams& params);

// Returns a short English text for an error ("--radius must be 1..10000").
const char* halftone_error_text(HalftoneError error);

// Reads a whole decimal number for --k into *k; kBadK when the text is not one.
HalftoneError parse_halftone_k(const char* text, double* k);

// Receives each finished row, top row first: (width + 7) / 8 bytes, the bits past
// the width zero.
using HalftoneSink = void (*)(void* context, int32_t row, const uint8_t* bits);

// A conversion in progress: rows go in with halftone_rows, come out through the sink.
// Scratch of the vector Floyd-Steinberg (halftone_rows.h).
struct DiffusionBandScratch {
  std::vector<int16_t> values, below;
  std::vector<uint8_t> whites;
  int error_limit = 255;  // the largest |e| the band may meet (lowered by a test)
};

struct HalftoneConverter {
  HalftoneMethod method = HalftoneMethod::kFloydSteinberg;
  HalftoneParams params;
  int32_t width = 0;
  int32_t rows_in = 0;    // rows received
  int32_t rows_out = 0;   // rows given to the sink
  uint16_t tone[256] = {};  // L to s (0..255, or 0..65535 in linear light)
  int32_t white = 255;      // the white level: 255, or 65535 in linear light
  std::vector<uint8_t> bits;  // one output row
  // Ordered dither: per matrix row, 128 thresholds repeating with the matrix' period,
  // in terms of clamp(L + 127 - density): white when that value is above the entry.
  int32_t period = 0;
  std::vector<uint8_t> ordered;
  // Error diffusion: the errors carried to the next rows, each with two spare
  // columns on either side where shares leaving the picture fall.
  std::vector<int32_t> errors;  // kErrorRows rows of width + 4
  std::vector<int32_t> values;  // one row of s
  // Floyd-Steinberg on a vector level: rows wait here to be diffused a band at a time.
  int banded = 0;  // rows per band, 0: one row at a time
  int32_t waiting = 0;
  std::vector<uint8_t> waiting_rows;
  std::vector<uint8_t> band_bits;
  DiffusionBandScratch band_scratch;
  // Local thresholds: the band of rows of s, and sums down each column over the band.
  std::vector<std::vector<uint16_t>> band;  // a ring of band_rows rows
  int32_t band_rows = 0;
  std::vector<int64_t> column_sums, column_squares, row_sums, row_squares;
  bool narrow = false;  // 32-bit sums on the AVX2 path
  std::vector<uint32_t> narrow_sums, narrow_squares, pre_sums, pre_squares;
  double k = 0;
};

constexpr int kErrorRows = 3;

// Sets up a converter for pictures `width` pixels wide; kNone, or what is wrong with
// the parameters (nothing is set up then).
HalftoneError start_halftone(HalftoneMethod method, const HalftoneParams& params, int32_t width,
                             HalftoneConverter& converter);

// Feeds `rows` rows of luminance, row r at luma + r * stride; every row that can be
// finished goes to the sink, in order.
void halftone_rows(HalftoneConverter& converter, const uint8_t* luma, size_t stride, int32_t rows, HalftoneSink sink,
                   void* context);

// Ends the picture: the rows still waiting for rows below them go to the sink.
void finish_halftone(HalftoneConverter& converter, HalftoneSink sink, void* context);

#endif

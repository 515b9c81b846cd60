// Colour palettes of 2..16 entries for colour e-paper: the built-in ones by name, a
// parser for lists "#rrggbb,#rrggbb,...", and the conversion of RGB rows to palette
// indexes, streaming like the 1-bit converter.
//
// Each channel c is toned like the luminance: t = clamp(c + 127 - density, 0, 255), or
// its linear-light value (the entries go through the same table, without the density).
// With U the white (255 or 65535), the distance to entry j is
//   D_j = 299 (wR - PjR)^2 + 587 (wG - PjG)^2 + 114 (wB - PjB)^2, in 64-bit integers,
// and the entry with the least D_j is chosen, a tie to the lower index.
//   nearest: w = t;
//   error diffusion: per channel w = clamp(t + carried error, -(U div 2), U + U div 2),
//     so that colours the palette cannot make do not smear; e = w - Pj per channel,
//     each shared as the grey rule shares it.
// A palette of greys follows this rule too, not the grey-level one.
#ifndef QVX_COLOUR_PALETTE_H
#define QVX_COLOUR_PALETTE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "halftone/grey_levels.h"

constexpr int kMinPaletteEntries = 2;
constexpr int kMaxPaletteEntries = 16;

struct Palette {
  int count = 0;
  uint8_t rgb[kMaxPaletteEntries][3] = {};  // red, green, blue
};

struct NamedPalette {
  const char* name;
  const char* colours;  // as --palette takes them
};

// Returns the built-in palettes, in the order --list-palettes prints them.
const std::vector<NamedPalette>& builtin_palettes();

// Reads a built-in name or a list "#rrggbb,#rrggbb,..." (index = position) into
// *palette; false with one message naming the bad entry in *error.
bool parse_palette(const std::string& given, Palette* palette, std::string* error);

// Returns the palette as a list "#rrggbb,...", lower case.
std::string palette_text(const Palette& palette);

// Scratch of the vector Floyd-Steinberg to a palette (colour_palette_x86.cpp).
constexpr int kPaletteBandRows = 16;
struct PaletteBandScratch {
  std::vector<uint8_t> rgb;      // kPaletteBandRows rows of (width + 2 kBandPad) pixels
  std::vector<int32_t> above;    // per channel, the errors carried into the band's first row
  std::vector<int32_t> below;    // per channel, the errors the band leaves to the row after it
  std::vector<uint8_t> indexes;  // kPaletteBandRows rows of width + 2 kBandPad
};

struct PaletteConverter {
  std::optional<HalftoneMethod> method;  // nothing: the nearest colour
  HalftoneParams params;
  Palette palette;
  int32_t width = 0;
  int32_t rows_in = 0;
  int32_t rows_out = 0;
  int32_t white = 255;
  int32_t low = 0, high = 255;  // the bounds of w: -(U div 2), U + U div 2
  uint16_t tone[256] = {};      // channel value to t
  int32_t entries[kMaxPaletteEntries][3] = {};  // the palette toned (linear-light) when `linear`
  // Error diffusion: kErrorRows rows of (width + 4) * 3 carried errors, one row of t.
  std::vector<int32_t> errors;
  std::vector<int32_t> values;
  std::vector<uint8_t> out;  // one row of indexes
  bool vector_nearest = false;  // the nearest colour on AVX2
  // Floyd-Steinberg on AVX2: rows wait to be diffused a band at a time.
  bool banded = false;
  int32_t waiting = 0;
  PaletteBandScratch band;
};

// Sets up a converter to a palette for pictures `width` pixels wide; method nothing is
// the nearest colour. kNone, or what is wrong (nothing is set up then).
LevelsError start_palette(std::optional<HalftoneMethod> method, const HalftoneParams& params, const Palette& palette,
                          int32_t width, PaletteConverter& converter);

// Feeds `rows` rows of colour (red, green, blue: 3 bytes a pixel), row r at
// rgb + r * stride; every finished row goes to the sink, in order.
void palette_rows(PaletteConverter& converter, const uint8_t* rgb, size_t stride, int32_t rows, IndexSink sink,
                  void* context);

// Ends the picture.
void finish_palette(PaletteConverter& converter, IndexSink sink, void* context);

// The nearest entries of one row of colours (the converter without a method); reads
// the converter only, so threads may share it.
void nearest_palette_row(const PaletteConverter& converter, const uint8_t* rgb, uint8_t* indexes);

// Error diffusion (not serpentine) of pixels x0 .. x1 - 1 of one row of colours, left to
// right: errors[0..2] point at pixel 0 of the carried errors (3 a pixel) of the row and
// the two below it (two spare pixels either side), values is a row of scratch (3 a
// pixel). Running the spans of a row in order gives what the converter gives.
void diffuse_palette_span(const PaletteConverter& converter, const uint8_t* rgb, int32_t* const* errors, int32_t x0,
                          int32_t x1, int32_t* values, uint8_t* indexes);

#endif

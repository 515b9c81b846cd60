// Grey levels and colour palettes for a picture held in memory: per pixel the level
// (0 black .. N-1 white) or the palette entry, through the core's converters.
#ifndef QVX_PY_INDEXED_PICTURE_H
#define QVX_PY_INDEXED_PICTURE_H

#include <cstdint>
#include <optional>
#include <string>

#include "array_picture.h"
#include "halftone/colour_palette.h"
#include "pipeline/conversion_request.h"

// What a request's indexes stand for: `levels` greys, or the palette's colours.
struct IndexedTarget {
  int levels = 2;
  std::optional<Palette> palette;
  int count() const { return palette ? palette->count : levels; }
};

// Reads the levels or palette of a request (which the command's check has passed);
// false with the parser's message when its palette is not one.
bool indexed_target_of(const ConversionRequest& request, IndexedTarget& target, std::string& error);

// Fills table with each index's red, green and blue: the palette's, or the greys the
// levels are stored as. Returns the number of entries.
int indexed_colours(const IndexedTarget& target, uint8_t (*table)[3]);

// Converts the picture into out (height x width indexes, top row first) with the density
// given. Returns an empty string or what failed.
std::string convert_array_indexed(const ArrayPicture& picture, const ConversionRequest& request, int density,
                                  const IndexedTarget& target, uint8_t* out);

#endif

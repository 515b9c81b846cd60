// Grey levels and colour palettes for a picture held in memory: per pixel the level
// (0 black .. N-1 white) or the palette entry, through the core's converters.
#ifndef QVX_PY_INDEXED_PICTURE_H
#define QVX_PY_INDEXED_PICTURE_H

#include <cstdint>
#include <optional>
#include <string>

#include "array_picture.h"
#include "pipeline/conversion_request.h"
#include "halftone/colour_palette.h"

struct IndexedTarget {
  int levels = 0;  // 0 when not given
  std::optional<Palette> palette;
};

// Returns why the command refuses these options with levels or a palette, or "".
std::string indexed_refusal(const ConversionRequest& options, const IndexedTarget& target);

// Converts the picture into out (height x width indexes, top row first) with the density
// given. Returns an empty string or what failed.
std::string convert_array_indexed(const ArrayPicture& picture, const ConversionRequest& options, int density,
                                  const IndexedTarget& target, uint8_t* out);

#endif

// The opening comment of the C header: the picture's size and all a reader needs to
// turn the array back into indexes (layout, what the indexes mean, polarity, code
// map), in words a person reads too, e.g.
//   /* panel: 5 x 2 pixels, preset spectra6, layout 4bpp-msb, 6 colours of palette
//      spectra6-measured, codes 0,1,2,3,5,6; 10 bytes,
// (one line in the file). A 1-bit picture of two grey levels names no levels.
#ifndef QVX_DEVICE_COMMENT_H
#define QVX_DEVICE_COMMENT_H

#include <cstdint>
#include <string>
#include <string_view>

#include "device/device_format.h"

// Returns the comment for a picture of width x height written with `settings`,
// "/* ... */" and its line break included.
std::string c_header_comment(const DeviceSettings& settings, uint32_t width, uint32_t height);

// What a comment says.
struct HeaderFacts {
  std::string name;
  uint32_t width = 0, height = 0;
  DeviceSettings settings;  // format C; layout, on, meaning, codes, planes' polarities, preset
};

enum class CommentRead {
  kNotOurs,    // the text does not begin "NAME: W x H pixels"
  kRead,
  kMalformed,  // it does, but a clause is unknown, missing or contradicts another
};

// Reads the text between "/*" and "*/" as c_header_comment writes it.
CommentRead read_c_header_comment(std::string_view text, HeaderFacts& facts);

#endif

// The files a conversion can write, and the words that name them: -f's names, the
// extensions an output name chooses a format by.
#ifndef QVX_PIPELINE_OUTPUT_FORMAT_H
#define QVX_PIPELINE_OUTPUT_FORMAT_H

#include <string>

#include "device/device_format.h"

// The device formats follow the pictures, in the order of the device format table;
// the grey and colour maps (PGM, PPM) came later and follow them.
enum OutputFormat : int {
  kFormatUnset = -1,
  kFormatBmp = 0,
  kFormatPng = 1,
  kFormatTiff = 2,
  kFormatPbm = 3,
  kFormatXbm = 4,
  kFormatC = 5,
  kFormatBin = 6,
  kFormatEscPos = 7,
  kFormatZpl = 8,
  kFormatPgm = 9,
  kFormatPpm = 10,
};

// Returns the format a -f value names (a format's name or one of its extensions,
// any case), or kFormatUnset.
int parse_format(const std::string& text);

// Returns the format an output name's extension names (any case), or kFormatUnset.
int format_of_name(const std::string& name);

// Returns the part of a name after its last dot, when the dot is in the file's own
// name and does not start it; "" otherwise.
std::string name_extension(const std::string& name);

// Returns true for the formats the device writer writes (xbm, c, bin, escpos, zpl).
bool is_device_format(int format);
DeviceFormat device_format_of(int format);

// Return true and set `format` for a name whose extension is that of a device format
// read back as an input: xbm, c (.h, .c), bin.
bool device_input_named(const std::string& name, DeviceFormat& format);

// Returns the format's name as -f takes it ("tiff", "pgm").
std::string format_name(int format);

// Returns the extension written for a format, with its dot.
std::string format_extension(int format);

#endif

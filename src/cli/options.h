// The command line of quillvex-cli: a plain options struct filled by a pure parser
// that follows the option table (option_table.h).
#ifndef QVX_CLI_OPTIONS_H
#define QVX_CLI_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "halftone/halftone.h"
#include "mono/conversion.h"

// One gigapixel: more than an A0 drawing scanned at 600 dots per inch (0.56).
constexpr uint64_t kDefaultMaxPixels = 1000000000;

#include "cli/device_options.h"

// The device formats follow the pictures, in the order of the device format table.
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
};

struct CliOptions {
  int density = kDensityDefault;  // kDensityMin..kDensityMax
  int mode = 0;       // 0 letter, 1 hard, 2 soft
  std::optional<HalftoneMethod> method;  // -m naming a halftoning method instead of a mode
  HalftoneParams halftone;               // its options; density and invert come from the above
  unsigned halftone_given = 0;           // which halftoning options were given (halftone_options.cpp)
  bool invert = false;
  bool automatic = false;  // density from Otsu's threshold of each picture
  int format = kFormatUnset;
  bool quiet = false;
  uint64_t max_pixels = kDefaultMaxPixels;  // width x height of the largest picture read
  std::vector<std::string> inputs;  // "-" is standard input
  std::string output;               // -o; "-" is standard output
  std::string folder;               // -d
  DeviceRequest device;             // --layout, --on, --name, --band (the format is set from -f)
  Preparation prepare;              // --size, --fit, --background, --rotate, --flip
};

enum class ParseOutcome { Run, Help, Version, ListMethods, Usage };

// Fills options from argv[1..]; on Usage, error says what is wrong.
ParseOutcome parse_cli_options(const std::vector<std::string>& args, CliOptions& options, std::string& error);

// Returns the --help text: the usage line, each section's options under its heading,
// and the notes on inputs.
std::string cli_help_text();

// Returns the --list-methods text: every name -m takes, with a line on each.
std::string method_list_text();

// Returns what is said of a value a parameter's option does not take, before ": VALUE":
// "--radius must be a whole number from 1 to 10000".
std::string param_refusal(const ParamDescriptor& param, const std::string& option);

// Returns the format a -f value names (a format's name or one of its extensions,
// any case), or kFormatUnset.
int parse_format(const std::string& text);

// Returns the format an output name's extension names (any case), or kFormatUnset.
int format_of_name(const std::string& name);

// Returns true for the formats the device writer writes (xbm, c, bin, escpos, zpl).
bool is_device_format(int format);
DeviceFormat device_format_of(int format);

// Returns the extension written for a format, with its dot.
std::string format_extension(int format);

// Returns the output path for one input: -o as given, or the folder joined with the
// input's base name whose extension is replaced by the format's.
std::string output_path_for(const CliOptions& options, const std::string& input, int format);

#endif

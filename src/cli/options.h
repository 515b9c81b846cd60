// The command line of quillvex-cli: a plain options struct filled by a pure parser
// that follows the option table (option_table.h).
#ifndef QVX_CLI_OPTIONS_H
#define QVX_CLI_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

// One gigapixel: more than an A0 drawing scanned at 600 dots per inch (0.56).
constexpr uint64_t kDefaultMaxPixels = 1000000000;

enum OutputFormat : int { kFormatUnset = -1, kFormatBmp = 0, kFormatPng = 1, kFormatTiff = 2, kFormatPbm = 3 };

struct CliOptions {
  int density = 127;  // 0..254
  int mode = 0;       // 0 letter, 1 hard, 2 soft
  bool invert = false;
  bool automatic = false;  // density from Otsu's threshold of each picture
  int format = kFormatUnset;
  bool quiet = false;
  uint64_t max_pixels = kDefaultMaxPixels;  // width x height of the largest picture read
  std::vector<std::string> inputs;  // "-" is standard input
  std::string output;               // -o; "-" is standard output
  std::string folder;               // -d
};

enum class ParseOutcome { Run, Help, Version, Usage };

// Fills options from argv[1..]; on Usage, error says what is wrong.
ParseOutcome parse_cli_options(const std::vector<std::string>& args, CliOptions& options, std::string& error);

// Returns the --help text: the usage line, each section's options under its heading,
// and the notes on inputs.
std::string cli_help_text();

// Returns the format an output name's extension names (.bmp .png .tif .tiff .pbm,
// any case), or kFormatUnset.
int format_of_name(const std::string& name);

// Returns the extension written for a format, with its dot.
const char* format_extension(int format);

// Returns the output path for one input: -o as given, or the folder joined with the
// input's base name whose extension is replaced by the format's.
std::string output_path_for(const CliOptions& options, const std::string& input, int format);

#endif

// The command line of quillvex-cli: a plain options struct filled by a pure parser
// that follows the option table (option_table.h).
#ifndef QVX_CLI_OPTIONS_H
#define QVX_CLI_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/parse_outcome.h"
#include "pipeline/conversion_request.h"

// One gigapixel: more than an A0 drawing scanned at 600 dots per inch (0.56).
constexpr uint64_t kDefaultMaxPixels = 1000000000;

// The command's options: the conversion's settings, and what only the command has.
struct CliOptions : ConversionRequest {
  bool quiet = false;
  int jobs = 0;  // -j: threads converting; 0 the machine's cores
  uint64_t max_pixels = kDefaultMaxPixels;  // width x height of the largest picture read
  std::vector<std::string> inputs;  // "-" is standard input
  std::string output;               // -o; "-" is standard output
  std::string folder;               // -d
};

// Fills options from argv[1..]; on kUsage, error says what is wrong.
ParseOutcome parse_cli_options(const std::vector<std::string>& args, CliOptions& options, std::string& error);

// Returns the --help text: the usage line, each section's options under its heading,
// and the notes on inputs.
std::string cli_help_text();

// Returns the --list-methods text: every name -m takes, with a line on each.
std::string method_list_text();

// Returns the --list-palettes text: each built-in palette's name and its colours.
std::string palette_list_text();

// Returns what is said of a value a parameter's option does not take, before ": VALUE":
// "--radius must be a whole number from 1 to 10000".
std::string param_refusal(const ParamDescriptor& param, const std::string& option);

// Returns the output path for one input: -o as given, or the folder joined with the
// input's base name whose extension is replaced by the format's.
std::string output_path_for(const CliOptions& options, const std::string& input, int format);

#endif

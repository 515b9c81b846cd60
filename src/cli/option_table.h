// The options of quillvex-cli as data: one row per option, grouped in sections.
// The parser, --help and the README's option list all follow these rows.
//
// A module adds its options as a section of its own: a file with its rows, their
// setters and an optional check, and one line in the section list (options.cpp);
// the fields its setters fill go into CliOptions. The parser itself does not change:
// it refuses any option given twice, and any two options a row declares exclusive.
#ifndef QVX_CLI_OPTION_TABLE_H
#define QVX_CLI_OPTION_TABLE_H

#include <cstddef>
#include <string>

#include "cli/parse_outcome.h"

struct CliOptions;

// Stores an option's value (an empty string for a flag) in the options; false when
// the value is not one the option takes.
using OptionSetter = bool (*)(const std::string& value, CliOptions& options);

struct CliOption {
  const char* long_name;  // without its dashes, or nullptr
  char short_name;        // 0 when the option has none
  const char* argument;   // the value's name in --help (N, MODE), or nullptr for a flag
  const char* help;       // a line, or lines parted by '\n'
  OptionSetter set;       // nullptr for the options that end the parse with an outcome
  const char* invalid;    // for options with a value: the message for a bad one, before ": VALUE"
  ParseOutcome outcome = ParseOutcome::kRun;  // kHelp, kVersion: the parse stops at this option
  bool after_inputs_end = false;  // still an option after '--' (-o and -d, spelt apart from their value)
  const char* excludes = nullptr;  // an option ("-t") that contradicts this one; refused in either order
};

struct CliOptionSection {
  const char* heading;  // the --help heading, without its colon
  const CliOption* rows;
  size_t count;
  // Checks the options once every word is read; returns an empty string or the usage error.
  std::string (*check)(CliOptions& options);
};

template <size_t N>
constexpr CliOptionSection option_section(const char* heading, const CliOption (&rows)[N],
                                          std::string (*check)(CliOptions&) = nullptr) {
  return CliOptionSection{heading, rows, N, check};
}

// The sections in --help order.
extern const CliOptionSection kGeneralOptions;
extern const CliOptionSection kPreparationOptions;  // device_options.cpp
extern const CliOptionSection kDeviceOptions;       // device_options.cpp
extern const CliOptionSection kHalftoneOptions;  // halftone_options.cpp

struct CliOptionSections {
  const CliOptionSection* const* list;
  size_t count;
};
CliOptionSections cli_option_sections();

#endif

// The command line: splitting it into words and scanning the start-up options.
#ifndef QVX_COMMAND_LINE_H
#define QVX_COMMAND_LINE_H

#include <cstddef>
#include <string>
#include <vector>

#include "mono/conversion.h"
#include "res/resource_ids.h"

constexpr int kMaxCommandWords = 15;

// Tells whether a byte starts a double-byte character in the system's ANSI code page.
using LeadByteTest = bool (*)(unsigned char c);

// Returns true for the first byte of a Shift-JIS double-byte character (code page 932).
bool is_shift_jis_lead_byte(unsigned char c);

// Returns false: single-byte code pages such as 1252 have no lead bytes.
bool is_single_byte_lead_byte(unsigned char c);

// Returns the words of the whole command line (the program's path first), at most
// kMaxCommandWords, with quoting removed. An empty or null line gives no words.
// is_lead_byte follows the system's ANSI code page, so that the second byte of a
// double-byte character is never taken for a backslash or a quote.
std::vector<std::string> split_command_line(const char* line, LeadByteTest is_lead_byte);

struct StartOptions {
  int arrangement = IDM_TILE;  // IDM_VIEWER after /V
  int initial_density = kDensityDefault;  // density option, limited to kDensityMin..kDensityMax
  std::string file;           // the file word; may exceed the 260-byte file-name buffer
  bool batch = false;         // /O
  int mode = 0;               // 0 Letter (/M), 1 photo Hard (/H), 2 photo Soft (/S)
  bool invert = false;        // /R
};

// Scans viewer, density, file, batch, mode and invert options, each at most once
// and in that order, from word 1; returns the index of the first word not consumed.
size_t scan_options(const std::vector<std::string>& words, StartOptions& options);

// Consumes an optional mode option then an optional invert option from index;
// returns the next index.
size_t scan_mode_and_invert(const std::vector<std::string>& words, size_t index, StartOptions& options);

// Consumes the batch conversion's optional output name (a word not beginning with
// '/'; output stays empty without one), then mode and invert again; returns the next index.
size_t scan_batch_output(const std::vector<std::string>& words, size_t index, StartOptions& options,
                         std::string& output);

#endif

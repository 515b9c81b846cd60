#include "cli/cli_texts.h"

std::string read_failure_reason(int code, const std::string& file) {
  switch (code) {
    case 1: return "Can't open file " + file + ".";
    case 2: return "Can't read bitmap file header.";
    case 3: return "This file is not a bitmap file.";
    case 4: return "Can't read bitmap info header.";
    case 5: return "This file format is not supported.";
    case 6: return "File is too large.";
    case 7: return "Read error.";
    default: return "bitmap read failed.";
  }
}

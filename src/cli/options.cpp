#include "cli/options.h"

#include "cli/option_table.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

bool parse_density(const std::string& text, int& density) {
  if (text.empty() || text.size() > 3) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  const int value = std::atoi(text.c_str());
  if (value > 254) return false;
  density = value;
  return true;
}

bool parse_max_pixels(const std::string& text, uint64_t& pixels) {
  if (text.empty() || text.size() > 18) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  const uint64_t value = std::strtoull(text.c_str(), nullptr, 10);
  if (value == 0) return false;
  pixels = value;
  return true;
}

bool parse_mode(const std::string& text, int& mode) {
  static const char* const names[] = {"letter", "hard", "soft"};
  for (int i = 0; i < 3; ++i) {
    if (text == names[i]) {
      mode = i;
      return true;
    }
  }
  return false;
}

bool parse_format(const std::string& text, int& format) {
  static const char* const names[] = {"bmp", "png", "tiff", "pbm"};
  for (int i = 0; i < 4; ++i) {
    if (text == names[i]) {
      format = i;
      return true;
    }
  }
  if (text == "tif") {
    format = kFormatTiff;
    return true;
  }
  return false;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The part of a name after its last dot, when the dot is in the file's own name.
std::string extension_of(const std::string& name) {
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  if (dot == (slash == std::string::npos ? 0 : slash + 1)) return "";  // a hidden file's name
  return name.substr(dot + 1);
}

bool has_extension(const std::string& name) { return !extension_of(name).empty(); }

bool set_density(const std::string& value, CliOptions& o) { return parse_density(value, o.density); }
bool set_mode(const std::string& value, CliOptions& o) { return parse_mode(value, o.mode); }
bool set_format(const std::string& value, CliOptions& o) { return parse_format(lower(value), o.format); }
bool set_max_pixels(const std::string& value, CliOptions& o) { return parse_max_pixels(value, o.max_pixels); }
bool set_invert(const std::string&, CliOptions& o) {
  o.invert = true;
  return true;
}

bool set_automatic(const std::string&, CliOptions& o) {
  o.automatic = true;
  return true;
}

bool set_quiet(const std::string&, CliOptions& o) {
  o.quiet = true;
  return true;
}


bool set_output(const std::string& value, CliOptions& o) {
  o.output = value;
  return true;
}

bool set_folder(const std::string& value, CliOptions& o) {
  o.folder = value;
  return true;
}

// The inputs and the output name agree, and the format is known.
std::string check_general(CliOptions& o) {
  if (o.inputs.empty()) return "no input named";
  if (!o.output.empty() && !o.folder.empty()) return "-o and -d exclude each other";
  if (o.output.empty() && o.folder.empty()) return "no output named (-o OUTPUT or -d FOLDER)";
  if (!o.output.empty() && o.inputs.size() > 1) return "-o takes one input; use -d FOLDER for several";
  if (std::count(o.inputs.begin(), o.inputs.end(), "-") > 1) return "standard input can be read once";
  if (o.format == kFormatUnset) {
    const int named = o.output.empty() ? kFormatUnset : format_of_name(o.output);
    if (named == kFormatUnset && has_extension(o.output)) {
      return "can't tell the format from the name " + o.output + "; use .bmp, .png, .tif or .pbm, or -f";
    }
    o.format = named == kFormatUnset ? kFormatBmp : named;
  }
  return "";
}

// clang-format off
constexpr CliOption kGeneralRows[] = {
  // long        short  argument  help
  {"density",    't', "N",      "threshold 0..254 (default 127)",
   set_density, "density must be a number from 0 to 254"},
  {"mode",       'm', "MODE",   "letter | hard | soft (default letter)",
   set_mode, "mode must be letter, hard or soft"},
  {"invert",     'i', nullptr,  "white for dark pixels, black for light ones", set_invert, nullptr},
  {"auto",       'a', nullptr,  "the density from the picture (Otsu's threshold), printed", set_automatic, nullptr},
  {"format",     'f', "FMT",    "bmp | png | tiff | pbm, any case\n(default: the output name's extension, else bmp)",
   set_format, "format must be bmp, png, tiff or pbm"},
  {nullptr,      'o', "OUTPUT", "the output file for one input ('-' for standard output)",
   set_output, nullptr, ParseOutcome::Run, true},
  {nullptr,      'd', "FOLDER", "a folder for the outputs, named after the inputs",
   set_folder, nullptr, ParseOutcome::Run, true},
  {"quiet",      'q', nullptr,  "no progress bar", set_quiet, nullptr},
  {"max-pixels", 0,   "N",      "refuse pictures of more than N pixels (default 1000000000)",
   set_max_pixels, "--max-pixels must be a number from 1"},
  {"help",       'h', nullptr,  "print this help", nullptr, nullptr, ParseOutcome::Help},
  {"version",    0,   nullptr,  "print the version", nullptr, nullptr, ParseOutcome::Version},
};
// clang-format on

}  // namespace

extern const CliOptionSection kGeneralOptions = option_section("General options", kGeneralRows, check_general);

// The sections in --help order; a module's options come in as one more line here.
CliOptionSections cli_option_sections() {
  static const CliOptionSection* const sections[] = {&kGeneralOptions};
  return {sections, sizeof sections / sizeof sections[0]};
}

int format_of_name(const std::string& name) {
  const std::string ext = lower(extension_of(name));
  int format = kFormatUnset;
  return parse_format(ext, format) ? format : kFormatUnset;
}

const char* format_extension(int format) {
  switch (format) {
    case kFormatPng: return ".png";
    case kFormatTiff: return ".tif";
    case kFormatPbm: return ".pbm";
    default: return ".bmp";
  }
}

std::string output_path_for(const CliOptions& options, const std::string& input, int format) {
  if (!options.output.empty()) return options.output;
  std::string base = input == "-" ? "stdin" : input;
  const size_t slash = base.find_last_of('/');
  if (slash != std::string::npos) base = base.substr(slash + 1);
  const size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
  std::string folder = options.folder;
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder + base + format_extension(format);
}


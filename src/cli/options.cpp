#include "cli/options.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

const char kCliUsage[] =
    "usage: quillvex-cli [options] INPUT... [-o OUTPUT | -d FOLDER]\n"
    "  -t, --density N   threshold 0..254 (default 127)\n"
    "  -m, --mode MODE   letter | hard | soft (default letter)\n"
    "  -i, --invert      white for dark pixels, black for light ones\n"
    "  -a, --auto        choose the density from the picture (Otsu's method) and print it\n"
    "  -f, --format FMT  bmp | png | tiff | pbm (default: from the output name, else bmp)\n"
    "  -o OUTPUT         the output file for one input ('-' for standard output)\n"
    "  -d FOLDER         a folder for the outputs, named after the inputs\n"
    "  -q, --quiet       no progress bar\n"
    "      --max-pixels N  refuse pictures of more than N pixels (default 1000000000)\n"
    "      --version, --help\n"
    "An INPUT of '-' is standard input. After '--' every word is an input, however it\n"
    "begins, except -o and -d with their values.\n";

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

}  // namespace

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

int parse_cli_options(const std::vector<std::string>& args, CliOptions& options, std::string& error) {
  options = CliOptions();
  bool only_inputs = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // The output may follow the inputs, after '--' too.
    const bool output_option = a == "-o" || a == "-d";
    if ((only_inputs && !output_option) || a == "-" || a.empty() || a[0] != '-') {
      options.inputs.push_back(a);
      continue;
    }
    if (a == "--") {
      only_inputs = true;
      continue;
    }
    // A value comes as the next word, glued to a short option (-t200) or after '=' (--density=200).
    std::string name = a, value;
    bool has_value = false;
    if (a.compare(0, 2, "--") == 0) {
      const size_t eq = a.find('=');
      if (eq != std::string::npos) {
        name = a.substr(0, eq);
        value = a.substr(eq + 1);
        has_value = true;
      }
    } else if (a.size() > 2) {
      name = a.substr(0, 2);
      value = a.substr(2);
      has_value = true;
    }
    const bool takes_value = name == "-t" || name == "--density" || name == "-m" || name == "--mode" ||
                             name == "-f" || name == "--format" || name == "-o" || name == "-d" ||
                             name == "--max-pixels";
    if (takes_value && !has_value) {
      if (i + 1 >= args.size()) {
        error = "option " + name + " needs a value";
        return kParseUsage;
      }
      value = args[++i];
      has_value = true;
    }
    if (!takes_value && has_value) {
      // Short flags may be grouped: -iq.
      if (a[1] != '-') {
        std::vector<std::string> split;
        for (size_t k = 1; k < a.size(); ++k) split.push_back(std::string("-") + a[k]);
        bool all_flags = true;
        for (const std::string& f : split) {
          if (f != "-i" && f != "-a" && f != "-q") all_flags = false;
        }
        if (all_flags) {
          for (const std::string& f : split) {
            if (f == "-i") options.invert = true;
            if (f == "-a") options.automatic = true;
            if (f == "-q") options.quiet = true;
          }
          continue;
        }
      }
      error = "unknown option " + a;
      return kParseUsage;
    }
    if (name == "--help" || name == "-h") return kParseHelp;
    if (name == "--version") return kParseVersion;
    if (name == "-t" || name == "--density") {
      if (!parse_density(value, options.density)) {
        error = "density must be a number from 0 to 254: " + value;
        return kParseUsage;
      }
    } else if (name == "-m" || name == "--mode") {
      if (!parse_mode(value, options.mode)) {
        error = "mode must be letter, hard or soft: " + value;
        return kParseUsage;
      }
    } else if (name == "-f" || name == "--format") {
      if (!parse_format(lower(value), options.format)) {
        error = "format must be bmp, png, tiff or pbm: " + value;
        return kParseUsage;
      }
    } else if (name == "--max-pixels") {
      if (!parse_max_pixels(value, options.max_pixels)) {
        error = "--max-pixels must be a number from 1: " + value;
        return kParseUsage;
      }
    } else if (name == "-o") {
      options.output = value;
    } else if (name == "-d") {
      options.folder = value;
    } else if (name == "-i" || name == "--invert") {
      options.invert = true;
    } else if (name == "-a" || name == "--auto") {
      options.automatic = true;
    } else if (name == "-q" || name == "--quiet") {
      options.quiet = true;
    } else {
      error = "unknown option " + a;
      return kParseUsage;
    }
  }
  if (options.inputs.empty()) {
    error = "no input named";
    return kParseUsage;
  }
  if (!options.output.empty() && !options.folder.empty()) {
    error = "-o and -d exclude each other";
    return kParseUsage;
  }
  if (options.output.empty() && options.folder.empty()) {
    error = "no output named (-o OUTPUT or -d FOLDER)";
    return kParseUsage;
  }
  if (!options.output.empty() && options.inputs.size() > 1) {
    error = "-o takes one input; use -d FOLDER for several";
    return kParseUsage;
  }
  size_t stdin_count = 0;
  for (const std::string& in : options.inputs) stdin_count += in == "-";
  if (stdin_count > 1) {
    error = "standard input can be read once";
    return kParseUsage;
  }
  if (options.format == kFormatUnset) {
    const int named = options.output.empty() ? kFormatUnset : format_of_name(options.output);
    if (named == kFormatUnset && has_extension(options.output)) {
      error = "can't tell the format from the name " + options.output + "; use .bmp, .png, .tif or .pbm, or -f";
      return kParseUsage;
    }
    options.format = named == kFormatUnset ? kFormatBmp : named;
  }
  return kParseRun;
}

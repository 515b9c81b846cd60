#include "cli/options.h"

#include "cli/option_table.h"
#include "cli/temp_files.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

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

// -j: 1..kMaxPendingThreads threads.
bool set_jobs(const std::string& value, CliOptions& o) {
  if (value.empty() || value.size() > 4) return false;
  for (char c : value) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  const int jobs = std::atoi(value.c_str());
  if (jobs < 1 || jobs > kMaxPendingThreads) return false;
  o.jobs = jobs;
  return true;
}

bool has_extension(const std::string& name) { return !name_extension(name).empty(); }

const ParamDescriptor& kDensityParam = param_descriptor(HalftoneParam::kDensity);

bool set_density(const std::string& value, CliOptions& o) {
  double density = 0;
  if (!parse_param_text(kDensityParam, value.c_str(), &density)) return false;
  o.density = static_cast<int>(density);
  return true;
}

// -m names a mode or a halftoning method.
bool set_mode(const std::string& value, CliOptions& o) {
  const MethodDescriptor* m = find_method(value.c_str());
  o.method.reset();
  if (!m) return false;
  if (m->family == HalftoneFamily::kThreshold) {
    o.mode = m->mode;
  } else {
    o.method = m->method;
  }
  return true;
}
bool set_format(const std::string& value, CliOptions& o) {
  o.format = parse_format(value);
  return o.format != kFormatUnset;
}
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

// A size of both sides is the prepared picture's size whatever the fit, so a size
// beyond the limit is refused before any picture is read.
std::string check_size_limit(const CliOptions& o) {
  const uint64_t pixels = uint64_t{o.prepare.size.width} * o.prepare.size.height;
  if (!o.prepare.resize || pixels <= o.max_pixels) return "";
  return "--size " + std::to_string(o.prepare.size.width) + "x" + std::to_string(o.prepare.size.height) + " is " +
         std::to_string(pixels) + " pixels, more than --max-pixels (" + std::to_string(o.max_pixels) + ")";
}

// The inputs and the output name agree, and the format is known.
std::string check_general(CliOptions& o) {
  if (o.inputs.empty()) return "no input named";
  // One picture on -j threads, for those who convert through the parser alone; the
  // command shares them out between its pictures.
  if (o.jobs > 0) o.threads = o.jobs;
  if (o.output.empty() && o.folder.empty()) return "no output named (-o OUTPUT or -d FOLDER)";
  if (!o.output.empty() && o.inputs.size() > 1) return "-o takes one input; use -d FOLDER for several";
  if (std::count(o.inputs.begin(), o.inputs.end(), "-") > 1) return "standard input can be read once";
  // The format: -f, else the output name's extension, else the preset's, else bmp.
  if (o.format == kFormatUnset) {
    const int named = o.output.empty() ? kFormatUnset : format_of_name(o.output);
    if (named == kFormatUnset && has_extension(o.output)) {
      return "can't tell the format from the name " + o.output + "; use a format's extension, or -f";
    }
    o.format = named;
  }
  apply_device_preset(o);
  if (o.format == kFormatUnset) o.format = kFormatBmp;
  for (const std::string& input : o.inputs) {
    DeviceFormat format;
    if (device_input_named(input, format)) o.reads_device = true;
  }
  return check_size_limit(o);
}

// -t's and -i's letters and help, and -t's refusal, from their descriptors.
const std::string kDensityHelp = std::string(kDensityParam.help) + " " + param_number_text(kDensityParam.min) + ".." +
                                 param_number_text(kDensityParam.max) + " (default " +
                                 param_number_text(kDensityParam.default_value) + ")";
const std::string kDensityInvalid = param_refusal(kDensityParam, kDensityParam.name);
const ParamDescriptor& kInvertParam = param_descriptor(HalftoneParam::kInvert);

// clang-format off
const CliOption kGeneralRows[] = {
  // long        short  argument  help
  {"density",    kDensityParam.short_name, "N", kDensityHelp.c_str(),
   set_density, kDensityInvalid.c_str()},
  {"mode",       'm', "MODE",   "letter | hard | soft, or a halftoning method\n(--list-methods; default letter;\n"
                                "niblack turns a blank white page black)",
   set_mode, "mode must be letter, hard, soft or a method --list-methods prints"},
  {"invert",     kInvertParam.short_name, nullptr, kInvertParam.help, set_invert, nullptr},
  {"auto",       'a', nullptr,  "the density from the picture (Otsu's threshold), printed", set_automatic, nullptr,
   ParseOutcome::kRun, false, "-t"},
  {"format",     'f', "FMT",    "bmp | png | tiff | pbm | pgm | ppm, or for devices\n"
                                "xbm | c | bin | escpos | zpl, any case\n"
                                "(default: the output name's extension, else bmp)",
   set_format, "format must be bmp, png, tiff, pbm, pgm, ppm, xbm, c, bin, escpos or zpl"},
  {nullptr,      'o', "OUTPUT", "the output file for one input ('-' for standard output)",
   set_output, nullptr, ParseOutcome::kRun, true},
  {nullptr,      'd', "FOLDER", "a folder for the outputs, named after the inputs",
   set_folder, nullptr, ParseOutcome::kRun, true, "-o"},
  {"quiet",      'q', nullptr,  "no progress bar", set_quiet, nullptr},
  {"max-pixels", 0,   "N",      "refuse pictures of more than N pixels (default 1000000000)",
   set_max_pixels, "--max-pixels must be a whole number from 1"},
  {"jobs",       'j', "N",      "convert N pictures side by side, or one picture on N\n"
                                "threads (default: the machine's cores)",
   set_jobs, "--jobs must be a whole number from 1 to 256"},
  {"help",       'h', nullptr,  "print this help", nullptr, nullptr, ParseOutcome::kHelp},
  {"version",    0,   nullptr,  "print the version", nullptr, nullptr, ParseOutcome::kVersion},
};
// clang-format on

}  // namespace

extern const CliOptionSection kGeneralOptions = option_section("General options", kGeneralRows, check_general);

// The sections in --help order; a module's options come in as one more line here.
CliOptionSections cli_option_sections() {
  static const CliOptionSection* const sections[] = {&kGeneralOptions, &kHalftoneOptions, &kPreparationOptions,
                                                     &kDeviceOptions};
  return {sections, sizeof sections / sizeof sections[0]};
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


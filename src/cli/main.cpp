// quillvex-cli: converts pictures to 1-bit black and white from the command line,
// with the program's own reader, conversion and writer.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "cli/batch_plan.h"
#include "cli/input_file.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "device/device_presets.h"
#include "pipeline/convert_strips.h"
#include "pipeline/device_input.h"
#include "pipeline/picture_source.h"
#include "pipeline/pipeline_texts.h"
#include "pipeline/result_output.h"
#ifdef QVX_CLI_VIPS
#include "cli/vips_loader.h"
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
// GLib keeps its type system and thread pools until the process ends.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
#endif
#endif

#ifndef QVX_VERSION
#define QVX_VERSION "1.0"
#endif

namespace {

const char kProgram[] = "quillvex-cli";

void report(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "%s: %s: %s\n", kProgram, quoted_name(file).c_str(), reason.c_str());
}

// The progress bar, on standard error when it is a terminal.
struct Progress {
  bool shown = false;
  std::string name;
  int last = -1;
};

void show_progress(Progress& p, uint64_t done, uint64_t total) {
  if (!p.shown || total == 0) return;
  const int percent = static_cast<int>(100 * done / total);
  if (percent == p.last) return;
  p.last = percent;
  char bar[41];
  const int filled = percent * 40 / 100;
  for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
  bar[40] = '\0';
  std::fprintf(stderr, "\r%s [%s] %3d%%", p.name.c_str(), bar, percent);
  std::fflush(stderr);
}

void end_progress(Progress& p) {
  if (p.shown && p.last >= 0) std::fprintf(stderr, "\r\033[K");
  p.last = -1;
}

// One input: its file, and the reader of its rows.
struct Input {
  InputFile file;
  PictureSource source;
  bool device = false;  // a device file, read back as it is
  DeviceFormat device_format = DeviceFormat::kBin;
};

void on_rows_done(void* context, int32_t done, int32_t height) {
  show_progress(*static_cast<Progress*>(context), static_cast<uint64_t>(done), static_cast<uint64_t>(height));
}

// With -a, reads the input once for its density and prints it (on standard error when
// the picture goes to standard output); the reader then stands at the first row again.
std::string measure_density(Input& in, const CliOptions& options, bool to_stdout, int& density) {
  const std::string reason = measure_picture_density(in.source, options, options.max_pixels, density);
  if (!reason.empty()) return reason;
  FILE* shown = to_stdout ? stderr : stdout;
  std::fprintf(shown, "%s: density %d\n", quoted_name(in.source.shown).c_str(), density);
  std::fflush(shown);
  return "";
}

// What tells an input's kind from its first bytes: its name too, for device files.
struct HeadContext {
  VipsAccess* vips;
  const std::string* name;
};

bool reads_head(void* context, const std::vector<uint8_t>& head) {
  const HeadContext& c = *static_cast<HeadContext*>(context);
  DeviceFormat format;
  return device_input_format(*c.name, head, format) || reads_picture_head(c.vips, head);
}

// Opens the reader of an opened input (a device file is read whole later), and sets
// the density to convert it with; returns an empty string or the reason.
std::string open_step(const std::string& name, const std::string& target, const CliOptions& options,
                      VipsAccess& vips, Input& in, int& density) {
  if (in.device) return "";
  in.source.file = in.file.file;
  in.source.path = in.file.path;
  in.source.head = &in.file.head;
  in.source.shown = name;
  in.source.top_first = takes_rows_top_first(options);
  in.source.vips = &vips;
  const std::string reason = open_picture_source(in.source, options, options.max_pixels);
  if (!reason.empty()) return reason;
  density = options.density;
  return options.automatic ? measure_density(in, options, target == "-", density) : "";
}

// Converts the opened input into a temporary file of the target, showing progress;
// on failure nothing of it is left.
std::string convert_step(Input& in, int density, const std::string& target, const CliOptions& options,
                         OutputFile& output) {
  const std::string reason = open_output_file(target, output);
  if (!reason.empty()) return write_failure(target, reason);
  Progress progress;
  progress.shown = !options.quiet && isatty(2);
  progress.name = quoted_name(in.source.shown);
  ResultOutput out;
  out.file = output.file;
  if (is_device_format(options.format)) out.device_settings = device_settings_for(options, target, in.source.shown);
  const StripReader reader = picture_strip_reader(in.source);
  ReadCode code = ReadCode::kOk;
  std::string failure = convert_strips(reader, density, options, out, target, code, on_rows_done, &progress);
  if (code != ReadCode::kOk) failure = picture_read_failure(in.source, code);
  end_progress(progress);
  if (!failure.empty()) abandon_output(out);
  return failure;
}

// Gives the complete temporary file the target's name.
std::string commit_step(OutputFile& output, const std::string& target) {
  const std::string reason = commit_output_file(output);
  return reason.empty() ? "" : write_failure(target, reason);
}

// Reads a device file back into a temporary file of the target, as it is.
std::string read_back_step(Input& in, const std::string& name, const std::string& target, const CliOptions& options,
                           OutputFile& output) {
  std::string reason = check_read_back_request(options);
  DevicePicture picture;
  if (reason.empty()) reason = read_device_input(in.file.file, in.device_format, options, options.max_pixels, picture);
  if (!reason.empty()) return reason;
  reason = open_output_file(target, output);
  if (!reason.empty()) return write_failure(target, reason);
  ResultOutput out;
  out.file = output.file;
  reason = write_device_picture(picture, options, target, name, out);
  if (!reason.empty()) abandon_output(out);
  return reason;
}

// Converts one input into its target; returns an empty string or the reason.
std::string convert_one(const std::string& name, const std::string& target, const CliOptions& options,
                        VipsAccess& vips) {
  Input in;
  int density = 0;
  HeadContext head{&vips, &name};
  std::string reason = open_input_file(name, input_copy_cap(options.max_pixels), HeadCheck{&head, reads_head}, in.file);
  if (reason.empty()) in.device = device_input_format(name, in.file.head, in.device_format);
  if (reason.empty()) reason = open_step(name, target, options, vips, in, density);
  OutputFile output;
  if (reason.empty()) {
    reason = in.device ? read_back_step(in, name, target, options, output)
                       : convert_step(in, density, target, options, output);
  }
  if (reason.empty()) reason = commit_step(output, target);
  return reason;
}

// Converts one input, reporting its failure; true on success.
bool convert_and_report(const std::string& name, const std::string& target, const CliOptions& options,
                        VipsAccess& vips) {
  std::string reason;
  try {
    reason = convert_one(name, target, options, vips);
  } catch (const std::bad_alloc&) {
    reason = kNotEnoughMemory;
  }
  if (!reason.empty()) report(name, reason);
  return reason.empty();
}

// The exit status: every input converted, some failed, or the command line was wrong.
enum class ExitStatus { kOk = 0, kSomeFailed = 1, kUsage = 2 };

// Reports what makes parsed options impossible to run here; true when none does.
bool can_run(const CliOptions& options) {
  if (!can_write_format(options.format)) {
    std::fprintf(stderr, "%s: this build can't write %s files\n", kProgram, format_extension(options.format).c_str() + 1);
    return false;
  }
#ifndef QVX_CLI_VIPS
  if (prepares(options.prepare)) {
    std::fprintf(stderr, "%s: this build can't resize, rotate or flip pictures (it has no libvips)\n", kProgram);
    return false;
  }
#endif
  if (options.output == "-" && isatty(1)) {
    std::fprintf(stderr, "%s: standard output is a terminal; name an output file or redirect it\n", kProgram);
    return false;
  }
  if (!options.folder.empty()) {
    const std::string reason = folder_failure(options.folder);
    if (!reason.empty()) {
      std::fprintf(stderr, "%s: %s: %s\n", kProgram, quoted_name(options.folder).c_str(), reason.c_str());
      return false;
    }
  }
  return true;
}

ExitStatus convert_batch(const CliOptions& options) {
  std::vector<std::string> targets;
  for (const std::string& input : options.inputs) targets.push_back(output_path_for(options, input, options.format));
  // Nothing is written before every output is known to replace no input and no other output.
  const std::vector<std::string> refused = check_batch(options.inputs, targets);
  ExitStatus status = ExitStatus::kOk;
  VipsAccess vips;
#ifdef QVX_CLI_VIPS
  vips.load = load_vips_module;
  vips.missing = kNoVipsModule;
#endif
  for (size_t i = 0; i < options.inputs.size(); ++i) {
    if (!refused[i].empty()) {
      report(options.inputs[i], refused[i]);
      status = ExitStatus::kSomeFailed;
    } else if (!convert_and_report(options.inputs[i], targets[i], options, vips)) {
      status = ExitStatus::kSomeFailed;
    }
  }
  end_vips_access(vips);
  return status;
}

ExitStatus run(const std::vector<std::string>& args) {
  CliOptions options;
  std::string error;
  switch (parse_cli_options(args, options, error)) {
    case ParseOutcome::kHelp: std::fputs(cli_help_text().c_str(), stdout); return ExitStatus::kOk;
    case ParseOutcome::kVersion: std::printf("%s %s\n", kProgram, QVX_VERSION); return ExitStatus::kOk;
    case ParseOutcome::kListMethods: std::fputs(method_list_text().c_str(), stdout); return ExitStatus::kOk;
    case ParseOutcome::kListPalettes: std::fputs(palette_list_text().c_str(), stdout); return ExitStatus::kOk;
    case ParseOutcome::kListPresets: std::fputs(device_presets_text().c_str(), stdout); return ExitStatus::kOk;
    case ParseOutcome::kUsage:
      // One line that stays on screen; the help is a command away.
      std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                   first_line(quoted_name(error)).c_str(), kProgram);
      return ExitStatus::kUsage;
    case ParseOutcome::kRun: break;
  }
  if (!can_run(options)) return ExitStatus::kUsage;
  return convert_batch(options);
}

}  // namespace

int main(int argc, char** argv) { return static_cast<int>(run(std::vector<std::string>(argv + 1, argv + argc))); }

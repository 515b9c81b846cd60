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
#include "pipeline/bmp_source.h"
#include "pipeline/pipeline_texts.h"
#include "pipeline/convert_strips.h"
#include "cli/input_file.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "mono/otsu.h"
#include "pipeline/result_output.h"
#include "image/bmp_reader.h"
#include "image/row_decoder.h"
#include "image/pixel.h"
#include "mono/conversion.h"
#ifdef QVX_CLI_VIPS
#include "pipeline/vips_source.h"
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

// Where the rows of one input come from: the BMP reader, or libvips.
struct Input {
  std::string shown;  // the name in messages
  InputFile file;
  BmpSource bmp;
  bool is_bmp = false;
  bool top_first = false;  // halftoning: strips from the top row down where the file allows
#ifdef QVX_CLI_VIPS
  VipsPicture* vips = nullptr;
  ReadCode prepared_code = ReadCode::kOk;  // why the BMP reader failed under libvips' preparation
#endif
  ~Input() { close_reader(); }
  void close_reader() {
#ifdef QVX_CLI_VIPS
    close_vips_source(vips);
    vips = nullptr;
#endif
  }
};

bool is_bmp_head(const std::vector<uint8_t>& head) {
  return head.size() >= 2 && head[0] == 'B' && (head[1] == 'M' || head[1] == 'A');
}

bool is_picture_head(const std::vector<uint8_t>& head) {
#ifdef QVX_CLI_VIPS
  if (!is_bmp_head(head)) return vips_reads_head(head);
#endif
  return is_bmp_head(head);
}

const char kNotAPicture[] = "not a picture in a format this build reads";

// The reason a reader failed: the BMP reader's message, or libvips' own reason.
std::string reader_failure(Input& in, ReadCode code = ReadCode::kShortData) {
#ifdef QVX_CLI_VIPS
  if (in.prepared_code != ReadCode::kOk) return read_failure_reason(in.prepared_code, in.shown);
  if (!in.is_bmp) {
    const std::string reason = vips_failure_reason(in.file.path, in.shown);
    return reason.empty() ? read_failure_reason(code, in.shown) : "can't decode: " + reason;
  }
#endif
  return read_failure_reason(code, in.shown);
}

#ifdef QVX_CLI_VIPS
const char kNoModule[] = "the picture reader module quillvex-cli-vips.so is missing beside the command or won't load";

// Gives libvips the next row of a BMP picture being prepared.
bool next_prepared_row(void* context, uint8_t* rgb) {
  Input& in = *static_cast<Input*>(context);
  ReadCode code = ReadCode::kOk;
  if (next_bmp_rgb_row(in.bmp, rgb, code)) return true;
  in.prepared_code = code == ReadCode::kOk ? ReadCode::kShortData : code;
  return false;
}

// A BMP picture to be prepared goes to libvips row by row from the program's own reader.
std::string prepare_bmp(Input& in, const CliOptions& options) {
  // A file too short for the rows its header claims fails before anything is allocated for them.
  if (!bmp_source_holds_pixels(in.bmp)) return read_failure_reason(ReadCode::kShortData, in.shown);
  RefusedSize refused;
  switch (open_vips_rows(RowSource{&in, next_prepared_row}, in.bmp.picture.width, in.bmp.picture.height,
                         in.bmp.store.data(), options.max_pixels, options.prepare, in.vips, refused)) {
    case ReadCode::kOk: in.is_bmp = false; return "";
    case ReadCode::kTooLarge: return too_many_pixels_reason(refused.width, refused.height, options.max_pixels);
    case ReadCode::kUnsupported: return "can't prepare: " + std::string(kNoModule);
    default: {
      if (in.prepared_code != ReadCode::kOk) return read_failure_reason(in.prepared_code, in.shown);
      const std::string reason = vips_failure_reason(in.file.path, in.shown);
      return "can't prepare: " + (reason.empty() ? std::string("libvips gave no reason") : reason);
    }
  }
}
#endif

// Starts the reader of an opened input at its first row; returns the reason it can't.
std::string open_reader(Input& in, const CliOptions& options) {
  if (!rewind_input_file(in.file)) return std::string("can't read: ") + std::strerror(errno);
  in.is_bmp = is_bmp_head(in.file.head);
  if (in.is_bmp) {
    in.bmp = BmpSource();
    in.bmp.top_first = in.top_first;
#ifdef QVX_CLI_VIPS
    in.prepared_code = ReadCode::kOk;
    // Rows handed to the preparation come top row first.
    if (prepares(options.prepare)) in.bmp.top_first = true;
#endif
    const ReadCode code = open_bmp_source(in.file.file, options.max_pixels, in.bmp);
    const uint64_t pixels = static_cast<uint64_t>(std::max(in.bmp.picture.width, 0)) *
                            static_cast<uint64_t>(std::max(in.bmp.picture.height, 0));
    if (code == ReadCode::kTooLarge && pixels > options.max_pixels) {
      return too_many_pixels_reason(static_cast<uint64_t>(in.bmp.picture.width),
                                    static_cast<uint64_t>(in.bmp.picture.height), options.max_pixels);
    }
    if (code != ReadCode::kOk) return read_failure_reason(code, in.shown);
#ifdef QVX_CLI_VIPS
    if (prepares(options.prepare)) return prepare_bmp(in, options);
#endif
    return "";
  }
#ifdef QVX_CLI_VIPS
  RefusedSize refused;
  switch (open_vips_source(in.file.path, in.file.head, options.max_pixels, options.prepare, in.vips, refused)) {
    case ReadCode::kOk: return "";
    case ReadCode::kTooLarge: return too_many_pixels_reason(refused.width, refused.height, options.max_pixels);
    case ReadCode::kUnsupported: return kNotAPicture;
    default: return reader_failure(in);
  }
#else
  return kNotAPicture;
#endif
}

bool next_strip(Input& in, Strip& strip, ReadCode& code) {
#ifdef QVX_CLI_VIPS
  if (!in.is_bmp) return next_vips_strip(in.vips, strip, code);
#endif
  return next_bmp_strip(in.bmp, strip, code);
}

int32_t input_width(const Input& in) {
#ifdef QVX_CLI_VIPS
  if (!in.is_bmp) return vips_source_width(in.vips);
#endif
  return in.bmp.picture.width;
}

int32_t input_height(const Input& in) {
#ifdef QVX_CLI_VIPS
  if (!in.is_bmp) return vips_source_height(in.vips);
#endif
  return in.bmp.picture.height;
}

void input_header(const Input& in, uint8_t* header) {
#ifdef QVX_CLI_VIPS
  if (!in.is_bmp) {
    vips_source_header(in.vips, header);
    return;
  }
#endif
  std::memcpy(header, in.bmp.store.data(), kStoreHeaderSize);
}

// Otsu's threshold over every pixel's luminance; a first pass over the input.
int automatic_density(Input& in, ReadCode& code) {
  uint64_t histogram[256] = {};
  std::vector<uint8_t> luma(static_cast<size_t>(std::max(input_width(in), 0)));
  Strip strip;
  while (next_strip(in, strip, code)) {
    for (int32_t r = 0; r < strip.rows; ++r) {
      strip_luminance(strip, r, luma.data());
      for (uint8_t v : luma) ++histogram[v];
    }
  }
  return otsu_threshold(histogram);
}

const char kNoMemory[] = "not enough memory";

void on_rows_done(void* context, int32_t done, int32_t height) {
  show_progress(*static_cast<Progress*>(context), static_cast<uint64_t>(done), static_cast<uint64_t>(height));
}

bool next_input_strip(void* context, Strip& strip, ReadCode& code) {
  return next_strip(*static_cast<Input*>(context), strip, code);
}

// A standard-input copy may hold an uncompressed picture of the largest size allowed.
uint64_t copy_cap(const CliOptions& options) {
  const uint64_t most = (UINT64_MAX - (64u << 20)) / 4;
  return 4 * std::min(options.max_pixels, most) + (64u << 20);
}

// With -a, reads the input once for its density, prints it (on standard error when the
// picture goes to standard output) and starts the reader again at the first row.
std::string measure_density(Input& in, const CliOptions& options, bool to_stdout, int& density) {
  ReadCode code = ReadCode::kOk;
  density = automatic_density(in, code);
  if (code != ReadCode::kOk) return reader_failure(in, code);
  in.close_reader();
  const std::string reason = open_reader(in, options);
  if (!reason.empty()) return reason;
  FILE* shown = to_stdout ? stderr : stdout;
  std::fprintf(shown, "%s: density %d\n", quoted_name(in.shown).c_str(), density);
  std::fflush(shown);
  return "";
}

// Opens an input and its reader, and sets the density to convert it with; returns an
// empty string or the reason.
std::string open_step(const std::string& name, const std::string& target, const CliOptions& options, Input& in,
                      int& density) {
  in.shown = name;
  in.top_first = takes_rows_top_first(options);
  std::string reason = open_input_file(name, copy_cap(options), is_picture_head, in.file);
  if (reason.empty()) reason = open_reader(in, options);
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
  progress.name = quoted_name(in.shown);
  ResultOutput out;
  out.file = output.file;
  if (is_device_format(options.format)) out.device_settings = device_settings_for(options, target, in.shown);
  uint8_t header[kStoreHeaderSize];
  input_header(in, header);
  const StripReader reader{&in, next_input_strip, input_width(in), input_height(in), header};
  ReadCode code = ReadCode::kOk;
  std::string failure = convert_strips(reader, density, options, out, target, code, on_rows_done, &progress);
  if (code != ReadCode::kOk) failure = reader_failure(in, code);
  end_progress(progress);
  if (!failure.empty()) abandon_output(out);
  return failure;
}

// Gives the complete temporary file the target's name.
std::string commit_step(OutputFile& output, const std::string& target) {
  const std::string reason = commit_output_file(output);
  return reason.empty() ? "" : write_failure(target, reason);
}

// Converts one input into its target; returns an empty string or the reason.
std::string convert_one(const std::string& name, const std::string& target, const CliOptions& options) {
  Input in;
  int density = 0;
  std::string reason = open_step(name, target, options, in, density);
  OutputFile output;
  if (reason.empty()) reason = convert_step(in, density, target, options, output);
  if (reason.empty()) reason = commit_step(output, target);
  return reason;
}

// Converts one input, reporting its failure; true on success.
bool convert_and_report(const std::string& name, const std::string& target, const CliOptions& options) {
  std::string reason;
  try {
    reason = convert_one(name, target, options);
  } catch (const std::bad_alloc&) {
    reason = kNoMemory;
  }
  if (!reason.empty()) report(name, reason);
  return reason.empty();
}

// The exit status: every input converted, some failed, or the command line was wrong.
enum class ExitStatus { Ok = 0, SomeFailed = 1, Usage = 2 };

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
  ExitStatus status = ExitStatus::Ok;
  for (size_t i = 0; i < options.inputs.size(); ++i) {
    if (!refused[i].empty()) {
      report(options.inputs[i], refused[i]);
      status = ExitStatus::SomeFailed;
    } else if (!convert_and_report(options.inputs[i], targets[i], options)) {
      status = ExitStatus::SomeFailed;
    }
  }
  return status;
}

ExitStatus run(const std::vector<std::string>& args) {
  CliOptions options;
  std::string error;
  switch (parse_cli_options(args, options, error)) {
    case ParseOutcome::Help: std::fputs(cli_help_text().c_str(), stdout); return ExitStatus::Ok;
    case ParseOutcome::Version: std::printf("%s %s\n", kProgram, QVX_VERSION); return ExitStatus::Ok;
    case ParseOutcome::ListMethods: std::fputs(method_list_text().c_str(), stdout); return ExitStatus::Ok;
    case ParseOutcome::ListPalettes: std::fputs(palette_list_text().c_str(), stdout); return ExitStatus::Ok;
    case ParseOutcome::Usage:
      // One line that stays on screen; the help is a command away.
      std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                   first_line(quoted_name(error)).c_str(), kProgram);
      return ExitStatus::Usage;
    case ParseOutcome::Run: break;
  }
  if (!can_run(options)) return ExitStatus::Usage;
  return convert_batch(options);
}

}  // namespace

int main(int argc, char** argv) { return static_cast<int>(run(std::vector<std::string>(argv + 1, argv + argc))); }

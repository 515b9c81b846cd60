// quillvex-cli: converts pictures to 1-bit black and white from the command line,
// with the program's own reader, conversion and writer.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/batch_plan.h"
#include "cli/input_file.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "cli/temp_files.h"
#include "cli/worker_gate.h"
#include "device/device_presets.h"
#include "pipeline/convert_strips.h"
#include "pipeline/device_input.h"
#include "pipeline/picture_source.h"
#include "pipeline/pipeline_texts.h"
#include "pipeline/result_output.h"
#ifdef QVX_CLI_VIPS
#include "cli/vips_loader.h"
#endif
#if defined(QVX_CLI_PNG) || defined(QVX_CLI_TIFF)
#include "cli/codec_loader.h"
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

std::string failure_line(const std::string& file, const std::string& reason) {
  return std::string(kProgram) + ": " + quoted_name(file) + ": " + reason + "\n";
}

// What one input says: its lines, each printed whole once the inputs before it have
// printed theirs, so a batch converted side by side reads as one converted in turn.
struct Said {
  FILE* stream;
  std::string line;
};
using Messages = std::vector<Said>;

// The progress bar of the whole batch, on standard error when it is a terminal: each
// input counts one share, split by its rows while it converts.
struct Progress {
  bool shown = false;
  std::string name;  // shown when the batch is one input; else "done/total"
  size_t total = 0;
  size_t done = 0;                   // inputs finished
  std::vector<uint32_t> parts;       // per worker: permille of its input's rows
  int last = -1;
};

// Everything the workers share, behind one lock.
struct Batch {
  std::mutex lock;
  Progress progress;
  std::vector<Messages> said;      // per input
  std::vector<char> finished;      // per input
  size_t printed = 0;              // inputs whose lines are out
  size_t next = 0;                 // the next input a worker takes
  size_t workers = 1;
  WorkerGate gate;                 // holds its own lock
};

void draw_progress(Progress& p) {
  if (!p.shown || p.total == 0) return;
  uint64_t parts = 0;
  for (uint32_t part : p.parts) parts += part;
  const int percent = static_cast<int>(std::min<uint64_t>(100, (1000 * p.done + parts) / (10 * p.total)));
  if (percent == p.last) return;
  p.last = percent;
  char bar[41];
  const int filled = percent * 40 / 100;
  for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
  bar[40] = '\0';
  const std::string name = p.total == 1 ? p.name : std::to_string(p.done) + "/" + std::to_string(p.total);
  std::fprintf(stderr, "\r%s [%s] %3d%%", name.c_str(), bar, percent);
  std::fflush(stderr);
}

void clear_progress(Progress& p) {
  if (p.shown && p.last >= 0) std::fprintf(stderr, "\r\033[K");
  p.last = -1;
}

// Marks an input done and prints, in input order, the lines of every input whose turn has come.
void finish_input(Batch& batch, size_t input, size_t worker) {
  std::lock_guard<std::mutex> hold(batch.lock);
  batch.finished[input] = 1;
  batch.progress.parts[worker] = 0;
  ++batch.progress.done;
  bool cleared = false;
  while (batch.printed < batch.finished.size() && batch.finished[batch.printed]) {
    for (const Said& said : batch.said[batch.printed]) {
      if (!cleared) clear_progress(batch.progress);
      cleared = true;
      std::fputs(said.line.c_str(), said.stream);
      std::fflush(said.stream);
    }
    Messages().swap(batch.said[batch.printed]);
    ++batch.printed;
  }
  if (batch.progress.done == batch.progress.total) {
    clear_progress(batch.progress);
  } else {
    draw_progress(batch.progress);
  }
}

// A worker's place in the progress bar.
struct WorkerProgress {
  Batch* batch;
  size_t worker;
};

// One input: its file, and the reader of its rows.
struct Input {
  InputFile file;
  PictureSource source;
  bool device = false;  // a device file, read back as it is
  DeviceFormat device_format = DeviceFormat::kBin;
};

void on_rows_done(void* context, int32_t done, int32_t height) {
  const WorkerProgress& w = *static_cast<WorkerProgress*>(context);
  if (!w.batch->progress.shown || height <= 0) return;
  std::lock_guard<std::mutex> hold(w.batch->lock);
  w.batch->progress.parts[w.worker] = static_cast<uint32_t>(1000 * static_cast<uint64_t>(done) / height);
  draw_progress(w.batch->progress);
}

// With -a, reads the input once for its density and prints it (on standard error when
// the picture goes to standard output); the reader then stands at the first row again.
std::string measure_density(Input& in, const CliOptions& options, bool to_stdout, int& density, Messages& said) {
  const std::string reason = measure_picture_density(in.source, options, options.max_pixels, density);
  if (!reason.empty()) return reason;
  said.push_back({to_stdout ? stderr : stdout, quoted_name(in.source.shown) + ": density " + std::to_string(density) + "\n"});
  return "";
}

// A worker's way to the modules beside the command, each loaded when first needed:
// the libvips reader, and the PNG and TIFF writers.
struct Modules {
  VipsAccess vips;
  CodecAccess codecs;
};

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
                      VipsAccess& vips, Input& in, int& density, Messages& said) {
  if (in.device) return "";
  in.source.file = in.file.file;
  in.source.path = in.file.path;
  in.source.head = &in.file.head;
  in.source.shown = name;
  in.source.top_first = takes_rows_top_first(options);
  in.source.map_rows = true;
  in.source.vips = &vips;
  const std::string reason = open_picture_source(in.source, options, options.max_pixels);
  if (!reason.empty()) return reason;
  density = options.density;
  return options.automatic ? measure_density(in, options, target == "-", density, said) : "";
}

// Converts the opened input into a temporary file of the target, showing progress;
// on failure nothing of it is left.
std::string convert_step(Input& in, int density, const std::string& target, const CliOptions& options,
                         CodecAccess& codecs, OutputFile& output, WorkerProgress& progress) {
  const std::string reason = open_output_file(target, output);
  if (!reason.empty()) return write_failure(target, reason);
  ResultOutput out;
  out.file = output.file;
  out.codecs = &codecs;
  if (is_device_format(options.format)) out.device_settings = device_settings_for(options, target, in.source.shown);
  const StripReader reader = picture_strip_reader(in.source);
  ReadCode code = ReadCode::kOk;
  std::string failure = convert_strips(reader, density, options, out, target, code, on_rows_done, &progress);
  if (code != ReadCode::kOk) failure = picture_read_failure(in.source, code);
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
                           CodecAccess& codecs, OutputFile& output) {
  std::string reason = check_read_back_request(options);
  DevicePicture picture;
  if (reason.empty()) reason = read_device_input(in.file.file, in.device_format, options, options.max_pixels, picture);
  if (!reason.empty()) return reason;
  reason = open_output_file(target, output);
  if (!reason.empty()) return write_failure(target, reason);
  ResultOutput out;
  out.file = output.file;
  out.codecs = &codecs;
  reason = write_device_picture(picture, options, target, name, out);
  if (!reason.empty()) abandon_output(out);
  return reason;
}

// Opens the picture of an opened input and converts it into its target; returns an
// empty string or the reason.
std::string convert_input(Input& in, const std::string& name, const std::string& target, const CliOptions& options,
                          Modules& modules, WorkerProgress& progress, Messages& said) {
  int density = 0;
  std::string reason = open_step(name, target, options, modules.vips, in, density, said);
  OutputFile output;
  if (reason.empty()) {
    reason = in.device ? read_back_step(in, name, target, options, modules.codecs, output)
                       : convert_step(in, density, target, options, modules.codecs, output, progress);
  }
  if (reason.empty()) reason = commit_step(output, target);
  return reason;
}

// Converts one input into its target; returns an empty string or the reason.
std::string convert_one(Input& in, const std::string& name, const std::string& target, const CliOptions& options,
                        Modules& modules, WorkerProgress& progress, Messages& said) {
  HeadContext head{&modules.vips, &name};
  std::string reason = open_input_file(name, input_copy_cap(options.max_pixels), HeadCheck{&head, reads_head}, in.file);
  if (!reason.empty()) return reason;
  in.device = device_input_format(name, in.file.head, in.device_format);
  return convert_input(in, name, target, options, modules, progress, said);
}

// Converts one input, keeping its failure among its lines; true on success. With
// other workers beside it (`gate` not null), a picture libvips failed on is
// converted again alone: another worker's picture may have cleared libvips' reason.
bool convert_and_report(const std::string& name, const std::string& target, const CliOptions& options,
                        Modules& modules, WorkerProgress& progress, WorkerGate* gate, Messages& said) {
  Input in;
  std::string reason;
  const size_t said_before = said.size();
  try {
    if (gate) {
      GateHold hold(*gate, false);
      reason = convert_one(in, name, target, options, modules, progress, said);
    } else {
      reason = convert_one(in, name, target, options, modules, progress, said);
    }
  } catch (const std::bad_alloc&) {
    reason = kNotEnoughMemory;
  }
  if (!reason.empty() && gate && in.source.functions != nullptr && in.file.file != nullptr) {
    said.resize(said_before);
    try {
      GateHold alone(*gate, true);
      reason = convert_input(in, name, target, options, modules, progress, said);
    } catch (const std::bad_alloc&) {
      reason = kNotEnoughMemory;
    }
  }
  if (!reason.empty()) said.push_back({stderr, failure_line(name, reason)});
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

// The threads to use: -j, else the machine's cores.
int job_count(const CliOptions& options) {
  if (options.jobs > 0) return options.jobs;
  const long cores = sysconf(_SC_NPROCESSORS_ONLN);
  return static_cast<int>(std::max(1L, std::min<long>(cores, kMaxPendingThreads)));
}

// A worker takes the next input until none is left; each has its own libvips session
// and its own way to the modules.
// Returns false when one of its inputs failed.
bool run_worker(Batch& batch, size_t worker, const CliOptions& options, const std::vector<std::string>& targets,
                const std::vector<std::string>& refused) {
  Modules modules;
#ifdef QVX_CLI_VIPS
  modules.vips.load = load_vips_module;
  modules.vips.missing = kNoVipsModule;
#endif
#if defined(QVX_CLI_PNG) || defined(QVX_CLI_TIFF)
  modules.codecs.load = load_codec_module;
  modules.codecs.missing = kNoCodecModule;
#endif
  WorkerProgress progress{&batch, worker};
  bool ok = true;
  for (;;) {
    size_t i;
    {
      std::lock_guard<std::mutex> hold(batch.lock);
      if (batch.next == options.inputs.size()) break;
      i = batch.next++;
    }
    Messages said;
    if (!refused[i].empty()) {
      said.push_back({stderr, failure_line(options.inputs[i], refused[i])});
      ok = false;
    } else if (!convert_and_report(options.inputs[i], targets[i], options, modules, progress,
                                   batch.workers > 1 ? &batch.gate : nullptr, said)) {
      ok = false;
    }
    {
      std::lock_guard<std::mutex> hold(batch.lock);
      batch.said[i] = std::move(said);
    }
    finish_input(batch, i, worker);
  }
  end_vips_access(modules.vips);
  return ok;
}

ExitStatus convert_batch(const CliOptions& given) {
  std::vector<std::string> targets;
  for (const std::string& input : given.inputs) targets.push_back(output_path_for(given, input, given.format));
  // Nothing is written before every output is known to replace no input and no other output.
  const std::vector<std::string> refused = check_batch(given.inputs, targets);
  // Pictures side by side, and the threads left over shared out within each picture.
  const size_t jobs = static_cast<size_t>(job_count(given));
  const size_t workers = std::max<size_t>(1, std::min(jobs, given.inputs.size()));
  CliOptions options = given;
  options.threads = static_cast<int>(std::max<size_t>(1, jobs / workers));
  Batch batch;
  batch.workers = workers;
  batch.progress.shown = !options.quiet && isatty(2);
  batch.progress.name = options.inputs.empty() ? "" : quoted_name(options.inputs[0]);
  batch.progress.total = options.inputs.size();
  batch.progress.parts.assign(workers, 0);
  batch.said.resize(options.inputs.size());
  batch.finished.assign(options.inputs.size(), 0);
  std::vector<char> ok(workers, 1);
  std::vector<std::thread> threads;
  for (size_t w = 1; w < workers; ++w) {
    try {
      threads.emplace_back([&, w] { ok[w] = run_worker(batch, w, options, targets, refused); });
    } catch (const std::system_error&) {
      break;  // no more threads to be had: those started take every input between them
    }
  }
  ok[0] = run_worker(batch, 0, options, targets, refused);
  for (std::thread& t : threads) t.join();
  const bool all = std::all_of(ok.begin(), ok.end(), [](char k) { return k != 0; });
  return all ? ExitStatus::kOk : ExitStatus::kSomeFailed;
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
  handle_cut_inputs();
  return convert_batch(options);
}

}  // namespace

int main(int argc, char** argv) { return static_cast<int>(run(std::vector<std::string>(argv + 1, argv + argc))); }

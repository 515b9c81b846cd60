#include "picture_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "cli/input_file.h"
#include "cli/output_file.h"
#include "pipeline/convert_strips.h"
#include "pipeline/picture_source.h"
#include "pipeline/pipeline_texts.h"
#include "pipeline/result_output.h"
#include "result_file.h"

namespace {

// The module's libvips, linked in. libvips keeps the reason of a failure in one
// process-wide buffer and sends its warnings to one handler: one picture at a time goes
// through it, so that each failure gets its own reason, while BMP files and arrays
// convert in parallel. Never ended: the interpreter may read pictures until it exits.
struct ModuleVips {
  std::mutex lock;
  VipsAccess access;
};

ModuleVips& module_vips() {
  static ModuleVips* vips = [] {
    auto* v = new ModuleVips;
#ifdef QVX_PY_VIPS
    v->access.functions = qvx_vips_reader_functions();
#endif
    v->access.loaded = true;
    return v;
  }();
  return *vips;
}

bool reads_head(void*, const std::vector<uint8_t>& head) {
  if (!picture_needs_vips(head, Preparation())) return true;
  ModuleVips& vips = module_vips();
  std::lock_guard<std::mutex> hold(vips.lock);
  return reads_picture_head(&vips.access, head);
}

// One input: its file, and the reader of its rows, holding libvips while it reads through it.
struct PictureInput {
  std::unique_lock<std::mutex> vips_held;
  InputFile file;
  PictureSource source;
};

std::string open_step(const std::string& path, const std::string& shown, const CliOptions& options, PictureInput& in,
                      int& density) {
  std::string reason = open_input_file(path, input_copy_cap(options.max_pixels), HeadCheck{nullptr, reads_head}, in.file);
  if (!reason.empty()) return reason;
  ModuleVips& vips = module_vips();
  if (picture_needs_vips(in.file.head, options.prepare)) in.vips_held = std::unique_lock<std::mutex>(vips.lock);
  in.source.file = in.file.file;
  in.source.path = in.file.path;
  in.source.head = &in.file.head;
  in.source.shown = shown;
  // Halftoning takes rows from the top: uncompressed bottom-up rows are read back to front.
  in.source.top_first = takes_rows_top_first(options);
  in.source.vips = &vips.access;
  reason = open_picture_source(in.source, options, options.max_pixels);
  if (!reason.empty()) return reason;
  density = options.density;
  return options.automatic ? measure_picture_density(in.source, options, options.max_pixels, density) : "";
}

// A read failure with its cause; memory running out is thrown, as Python reports it.
FileOutcome read_failure(const PictureInput& in, const std::string& reason, ReadCode code = ReadCode::kOk) {
  if (code == ReadCode::kNoMemory || in.source.prepared_code == ReadCode::kNoMemory) throw std::bad_alloc();
  const char* detail = picture_failure_detail(in.source);
  return {FileFailure::kRead, reason, detail ? detail : ""};
}

FileOutcome written_failure(const std::string& reason) { return {FileFailure::kWrite, reason, ""}; }

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// A seekable file in memory for the writer.
std::unique_ptr<FILE, FileCloser> memory_file() {
  const int fd = memfd_create("quillvex", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  FILE* f = fdopen(fd, "w+b");
  if (!f) close(fd);
  return std::unique_ptr<FILE, FileCloser>(f);
}

// Converts the opened input into `out`, whose file is set; the outcome says which side failed.
FileOutcome convert_input(PictureInput& in, int density, const CliOptions& options, ResultOutput& out,
                          const std::string& target) {
  const StripReader reader = picture_strip_reader(in.source);
  ReadCode code = ReadCode::kOk;
  const std::string failure = convert_strips(reader, density, options, out, target, code);
  if (code != ReadCode::kOk) {
    abandon_output(out);
    return read_failure(in, picture_read_failure(in.source, code), code);
  }
  if (!failure.empty()) {
    abandon_output(out);
    return written_failure(failure);
  }
  return {};
}

// Reads back a PBM the writer made: rows of whole bytes, a set bit black.
bool read_back_pbm(FILE* file, int32_t width, int32_t height, ConvertedPicture& picture) {
  char head[64];
  const int head_size = std::snprintf(head, sizeof head, "P4\n%d %d\n", width, height);
  if (std::fseek(file, head_size, SEEK_SET) != 0) return false;
  const size_t row_bytes = (static_cast<size_t>(width) + 7) / 8;
  std::vector<uint8_t> row(row_bytes);
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    if (std::fread(row.data(), 1, row_bytes, file) != row_bytes) return false;
    uint8_t* out = picture.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int32_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>(((row[x >> 3] >> (7 - (x & 7))) & 1) ^ 1);
  }
  return true;
}

}  // namespace

FileOutcome convert_file_to_memory(const std::string& path, const std::string& shown, const CliOptions& options,
                                   ConvertedPicture& picture) {
  PictureInput in;
  int density = 0;
  const std::string reason = open_step(path, shown, options, in, density);
  if (!reason.empty()) return read_failure(in, reason);
  const auto file = memory_file();
  if (!file) return written_failure(std::string("can't hold the result: ") + std::strerror(errno));
  // The command's own PBM, read back: every mode and method converts exactly as it does.
  CliOptions pbm = options;
  pbm.format = kFormatPbm;
  ResultOutput out;
  out.file = file.get();
  const FileOutcome outcome = convert_input(in, density, pbm, out, "memory");
  if (outcome.failure != FileFailure::kNone) return outcome;
  if (std::fflush(file.get()) != 0 || !read_back_pbm(file.get(), out.width, out.height, picture)) {
    return written_failure(std::string("can't hold the result: ") + std::strerror(errno));
  }
  return {};
}

FileOutcome convert_file_to_target(const std::string& path, const std::string& target, const CliOptions& options) {
  PictureInput in;
  int density = 0;
  const std::string reason = open_step(path, path, options, in, density);
  if (!reason.empty()) return read_failure(in, reason);
  OutputFile output;
  const std::string opened = open_output_file(target, output);
  if (!opened.empty()) return written_failure(write_failure(target, opened));
  ResultOutput out;
  CodecAccess codecs;
  link_codecs(out, codecs);
  out.file = output.file;
  if (is_device_format(options.format)) out.device_settings = device_settings_for(options, target, path);
  const FileOutcome outcome = convert_input(in, density, options, out, target);
  if (outcome.failure != FileFailure::kNone) return outcome;
  const std::string committed = commit_output_file(output);
  if (!committed.empty()) return written_failure(write_failure(target, committed));
  return {};
}

FileOutcome file_otsu(const std::string& path, const std::string& shown, const CliOptions& options, int& density) {
  PictureInput in;
  CliOptions automatic = options;
  automatic.automatic = true;
  const std::string reason = open_step(path, shown, automatic, in, density);
  if (!reason.empty()) return read_failure(in, reason);
  return {};
}

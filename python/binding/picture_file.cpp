#include "picture_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "pipeline/bmp_source.h"
#include "pipeline/pipeline_texts.h"
#include "pipeline/convert_strips.h"
#include "cli/input_file.h"
#include "cli/output_file.h"
#include "pipeline/result_output.h"
#include "image/bmp_reader.h"
#include "mono/otsu.h"
#ifdef QVX_PY_VIPS
#include "pipeline/vips_source.h"
#endif

namespace {

const char kNotAPicture[] = "not a picture in a format this build reads";

#ifdef QVX_PY_VIPS
// The libvips reader keeps its last reason in process-wide strings: one picture at a
// time goes through it, while BMP files and arrays convert in parallel.
std::mutex g_vips_lock;
#endif

bool is_bmp_head(const std::vector<uint8_t>& head) {
  return head.size() >= 2 && head[0] == 'B' && (head[1] == 'M' || head[1] == 'A');
}

bool is_picture_head(const std::vector<uint8_t>& head) {
  if (is_bmp_head(head)) return true;
#ifdef QVX_PY_VIPS
  std::lock_guard<std::mutex> hold(g_vips_lock);
  return vips_reads_head(head);
#else
  return false;
#endif
}

// One input and its reader, the BMP reader or libvips.
struct PictureInput {
  std::string shown;
  InputFile file;
  BmpSource bmp;
  bool is_bmp = false;
#ifdef QVX_PY_VIPS
  VipsPicture* vips = nullptr;
  std::unique_lock<std::mutex> vips_held{g_vips_lock, std::defer_lock};
  ~PictureInput() { close_vips_source(vips); }
  void close_reader() {
    close_vips_source(vips);
    vips = nullptr;
  }
#else
  void close_reader() {}
#endif
};

std::string reader_failure(PictureInput& in, ReadCode code) {
#ifdef QVX_PY_VIPS
  if (!in.is_bmp) {
    const std::string reason = vips_failure_reason(in.file.path, in.shown);
    return reason.empty() ? read_failure_reason(code, in.shown) : "can't decode: " + reason;
  }
#endif
  return read_failure_reason(code, in.shown);
}

std::string open_reader(PictureInput& in, const CliOptions& options) {
  if (!rewind_input_file(in.file)) return std::string("can't read: ") + std::strerror(errno);
  in.is_bmp = is_bmp_head(in.file.head);
  if (in.is_bmp) {
    in.bmp = BmpSource();
    // Halftoning takes rows from the top: uncompressed bottom-up rows are read back to front.
    in.bmp.top_first = options.method.has_value();
    const ReadCode code = open_bmp_source(in.file.file, options.max_pixels, in.bmp);
    const uint64_t pixels = static_cast<uint64_t>(std::max(in.bmp.picture.width, 0)) *
                            static_cast<uint64_t>(std::max(in.bmp.picture.height, 0));
    if (code == ReadCode::kTooLarge && pixels > options.max_pixels) {
      return too_many_pixels_reason(static_cast<uint64_t>(in.bmp.picture.width),
                                    static_cast<uint64_t>(in.bmp.picture.height), options.max_pixels);
    }
    return code == ReadCode::kOk ? "" : read_failure_reason(code, in.shown);
  }
#ifdef QVX_PY_VIPS
  if (!in.vips_held.owns_lock()) in.vips_held.lock();
  RefusedSize refused;
  switch (open_vips_source(in.file.path, in.file.head, options.max_pixels, options.prepare, in.vips, refused)) {
    case ReadCode::kOk: return "";
    case ReadCode::kTooLarge: return too_many_pixels_reason(refused.width, refused.height, options.max_pixels);
    case ReadCode::kUnsupported: return kNotAPicture;
    default: return reader_failure(in, ReadCode::kShortData);
  }
#else
  return kNotAPicture;
#endif
}

bool next_strip(void* context, Strip& strip, ReadCode& code) {
  auto& in = *static_cast<PictureInput*>(context);
#ifdef QVX_PY_VIPS
  if (!in.is_bmp) return next_vips_strip(in.vips, strip, code);
#endif
  return next_bmp_strip(in.bmp, strip, code);
}

StripReader strip_reader(PictureInput& in, uint8_t* header) {
#ifdef QVX_PY_VIPS
  if (!in.is_bmp) {
    vips_source_header(in.vips, header);
    return StripReader{&in, next_strip, vips_source_width(in.vips), vips_source_height(in.vips), header};
  }
#endif
  std::memcpy(header, in.bmp.store.data(), kStoreHeaderSize);
  return StripReader{&in, next_strip, in.bmp.picture.width, in.bmp.picture.height, header};
}

// Otsu's threshold over a first pass of the reader, which then starts again.
std::string measure_density(PictureInput& in, const CliOptions& options, int& density) {
  uint8_t header[kStoreHeaderSize];
  const StripReader reader = strip_reader(in, header);
  uint64_t histogram[256] = {};
  std::vector<uint8_t> luma(static_cast<size_t>(std::max(reader.width, 0)));
  Strip strip;
  ReadCode code = ReadCode::kOk;
  while (next_strip(&in, strip, code)) {
    for (int32_t r = 0; r < strip.rows; ++r) {
      strip_luminance(strip, r, luma.data());
      for (uint8_t v : luma) ++histogram[v];
    }
  }
  if (code != ReadCode::kOk) return reader_failure(in, code);
  density = otsu_threshold(histogram);
  in.close_reader();
  return open_reader(in, options);
}

// The largest standard-input copy the command allows; a path here is a regular file
// or a copy of one in memory, so this only bounds pipes and devices named by path.
uint64_t copy_cap(const CliOptions& options) {
  const uint64_t most = (UINT64_MAX - (64u << 20)) / 4;
  return 4 * std::min(options.max_pixels, most) + (64u << 20);
}

std::string open_step(const std::string& path, const std::string& shown, const CliOptions& options, PictureInput& in,
                      int& density) {
  in.shown = shown;
  std::string reason = open_input_file(path, copy_cap(options), is_picture_head, in.file);
  if (reason.empty()) reason = open_reader(in, options);
  if (!reason.empty()) return reason;
  density = options.density;
  return options.automatic ? measure_density(in, options, density) : "";
}

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
  uint8_t header[kStoreHeaderSize];
  const StripReader reader = strip_reader(in, header);
  ReadCode code = ReadCode::kOk;
  const std::string failure = convert_strips(reader, density, options, out, target, code);
  if (code != ReadCode::kOk) {
    abandon_output(out);
    return {FileFailure::kRead, reader_failure(in, code)};
  }
  if (!failure.empty()) {
    abandon_output(out);
    return {FileFailure::kWrite, failure};
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
  if (!reason.empty()) return {FileFailure::kRead, reason};
  const auto file = memory_file();
  if (!file) return {FileFailure::kWrite, std::string("can't hold the result: ") + std::strerror(errno)};
  // The command's own PBM, read back: every mode and method converts exactly as it does.
  CliOptions pbm = options;
  pbm.format = kFormatPbm;
  ResultOutput out;
  out.file = file.get();
  const FileOutcome outcome = convert_input(in, density, pbm, out, "memory");
  if (outcome.failure != FileFailure::kNone) return outcome;
  if (std::fflush(file.get()) != 0 || !read_back_pbm(file.get(), out.width, out.height, picture)) {
    return {FileFailure::kWrite, std::string("can't hold the result: ") + std::strerror(errno)};
  }
  return {};
}

FileOutcome convert_file_to_target(const std::string& path, const std::string& target, const CliOptions& options) {
  PictureInput in;
  int density = 0;
  const std::string reason = open_step(path, path, options, in, density);
  if (!reason.empty()) return {FileFailure::kRead, reason};
  OutputFile output;
  const std::string opened = open_output_file(target, output);
  if (!opened.empty()) return {FileFailure::kWrite, write_failure(target, opened)};
  ResultOutput out;
  out.file = output.file;
  if (is_device_format(options.format)) out.device_settings = device_settings_for(options, target, path);
  const FileOutcome outcome = convert_input(in, density, options, out, target);
  if (outcome.failure != FileFailure::kNone) return outcome;
  const std::string committed = commit_output_file(output);
  if (!committed.empty()) return {FileFailure::kWrite, write_failure(target, committed)};
  return {};
}

FileOutcome file_otsu(const std::string& path, const std::string& shown, const CliOptions& options, int& density) {
  PictureInput in;
  CliOptions automatic = options;
  automatic.automatic = true;
  const std::string reason = open_step(path, shown, automatic, in, density);
  if (!reason.empty()) return {FileFailure::kRead, reason};
  return {};
}

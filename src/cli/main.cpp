// quillvex-cli: converts pictures to 1-bit black and white from the command line,
// with the program's own reader, conversion and writer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/bmp_source.h"
#include "cli/cli_texts.h"
#include "cli/options.h"
#include "cli/otsu.h"
#include "cli/result_output.h"
#include "image/bmp_reader.h"
#include "image/pixel.h"
#include "mono/conversion.h"
#include "mono/random_jump.h"
#include "mono/result_bitmap.h"
#ifdef QVX_CLI_VIPS
#include "cli/vips_source.h"
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
  std::fprintf(stderr, "%s: %s: %s\n", kProgram, file.c_str(), reason.c_str());
}

// A temporary file that becomes the output only when it is complete.
struct TempFile {
  std::string path;
  FILE* file = nullptr;
  ~TempFile() {
    if (file) std::fclose(file);
    if (!path.empty()) unlink(path.c_str());
  }
};

std::string folder_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string temp_folder() {
  const char* t = std::getenv("TMPDIR");
  return t && *t ? t : "/tmp";
}

bool make_temp(const std::string& folder, TempFile& temp) {
  std::string pattern = folder + "/.quillvex-cli-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) return false;
  temp.path = name.data();
  temp.file = fdopen(fd, "w+b");
  if (!temp.file) {
    close(fd);
    return false;
  }
  return true;
}

bool copy_stream(FILE* from, FILE* to) {
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, from)) > 0) {
    if (std::fwrite(buffer, 1, n, to) != n) return false;
  }
  return !std::ferror(from) && std::fflush(to) == 0;
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
  std::string path;   // the file read (a copy of standard input for "-")
  std::string shown;  // the name in messages
  FILE* file = nullptr;
  BmpSource bmp;
  bool is_bmp = false;
#ifdef QVX_CLI_VIPS
  VipsPicture* vips = nullptr;
#endif
  std::vector<uint8_t> head;
  ~Input() { close(); }
  void close() {
#ifdef QVX_CLI_VIPS
    close_vips_source(vips);
    vips = nullptr;
#endif
    if (file) std::fclose(file);
    file = nullptr;
  }
};

int open_input(Input& in) {
  struct stat st;
  if (stat(in.path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return kReadCantOpen;
  in.file = std::fopen(in.path.c_str(), "rb");
  if (!in.file) return kReadCantOpen;
  in.bmp = BmpSource();
  int code = open_bmp_source(in.file, in.bmp);
  in.is_bmp = code == kReadOk;
  if (code != kReadNoSignature) return code;
#ifdef QVX_CLI_VIPS
  in.head.assign(65536, 0);
  std::rewind(in.file);
  in.head.resize(std::fread(in.head.data(), 1, in.head.size(), in.file));
  return open_vips_source(in.path, in.head, in.vips);
#else
  return kReadNotBitmap;
#endif
}

bool next_strip(Input& in, Strip& strip, int& code) {
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
int automatic_density(Input& in, int& code) {
  uint64_t histogram[256] = {};
  std::vector<uint8_t> luma(static_cast<size_t>(std::max(input_width(in), 0)));
  Strip strip;
  while (next_strip(in, strip, code)) {
    for (int32_t r = 0; r < strip.rows; ++r) {
      if (strip.picture.read_back != 0) {
        luminance_of_colours(strip.source.read_back_pixels + static_cast<size_t>(r) * luma.size(),
                             static_cast<int32_t>(luma.size()), luma.data());
      } else {
        luminance_row(strip.source.store, strip.picture, r, luma.data());
      }
      for (uint8_t v : luma) ++histogram[v];
    }
  }
  return otsu_threshold(histogram);
}

struct ProgressContext {
  Progress* progress;
  int32_t first_row, done_rows, height;
};

void on_row(void* context, int32_t row, int32_t) {
  auto* c = static_cast<ProgressContext*>(context);
  show_progress(*c->progress, static_cast<uint64_t>(c->done_rows) + row + 1, static_cast<uint64_t>(c->height));
}

// Converts every strip of the input into the output. Returns a reader code, or -2
// when the output could not be written.
int convert_input(Input& in, int density, const CliOptions& options, ResultOutput& out, Progress& progress) {
  const int32_t width = input_width(in), height = input_height(in);
  uint8_t header[kStoreHeaderSize];
  input_header(in, header);
  if (!begin_output(out, options.format, out.file, header, width, height)) return -2;
  const uint32_t stride = result_stride(static_cast<uint32_t>(std::max(width, 0)));
  std::vector<uint8_t> result;
  Strip strip;
  int code = kReadOk;
  int32_t done_rows = 0;
  while (next_strip(in, strip, code)) {
    result.assign(kResultPixelOffset + static_cast<size_t>(strip.rows) * stride, 0);
    // Every pixel gets the draw it would get in a new process converting the whole
    // picture in storage order, whatever order the strips come in.
    RandomSource random = random_after(RandomSource(), static_cast<uint64_t>(strip.first_row) * static_cast<uint64_t>(width));
    ProgressContext context{&progress, strip.first_row, done_rows, height};
    convert_picture(strip.source, result.data(), density, options.mode, options.invert, random, on_row, &context);
    done_rows += strip.rows;
    if (!put_result_rows(out, strip.first_row, strip.rows, result.data() + kResultPixelOffset)) return -2;
  }
  if (code != kReadOk) return code;
  return finish_output(out) ? kReadOk : -2;
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Converts one input; returns true on success, after one message on failure.
bool convert_one(const std::string& name, const CliOptions& options) {
  Input in;
  in.shown = name;
  TempFile stdin_copy;
  if (name == "-") {
    // Standard input is kept on disk, so that reading it twice or seeking in it works.
    if (!make_temp(temp_folder(), stdin_copy) || !copy_stream(stdin, stdin_copy.file)) {
      report(name, "can't keep standard input: " + std::string(std::strerror(errno)));
      return false;
    }
    std::fclose(stdin_copy.file);
    stdin_copy.file = nullptr;
    in.path = stdin_copy.path;
  } else {
    in.path = name;
  }
  const std::string target = output_path_for(options, name, options.format);
  const bool to_stdout = target == "-";
  if (!to_stdout && same_file(in.path, target)) {
    report(name, "the output " + target + " would replace the input");
    return false;
  }
  int code = open_input(in);
  if (code != kReadOk) {
    report(name, read_failure_reason(code, name));
    return false;
  }
  int density = options.density;
  if (options.automatic) {
    density = automatic_density(in, code);
    if (code != kReadOk) {
      report(name, read_failure_reason(code, name));
      return false;
    }
    in.close();
    code = open_input(in);
    if (code != kReadOk) {
      report(name, read_failure_reason(code, name));
      return false;
    }
    std::fprintf(to_stdout ? stderr : stdout, "%s: density %d\n", name.c_str(), density);
    std::fflush(to_stdout ? stderr : stdout);
  }
  TempFile temp;
  if (!make_temp(to_stdout ? temp_folder() : folder_of(target), temp)) {
    report(name, "can't write " + target + ": " + std::strerror(errno));
    return false;
  }
  Progress progress;
  progress.shown = !options.quiet && isatty(2);
  progress.name = name;
  ResultOutput out;
  out.file = temp.file;
  code = convert_input(in, density, options, out, progress);
  end_progress(progress);
  if (code != kReadOk) {
    abandon_output(out);
    if (code == -2) {
      report(name, "can't write " + target + ": " + (out.error.empty() ? std::strerror(errno) : out.error));
    } else {
      report(name, read_failure_reason(code, name));
    }
    return false;
  }
  if (to_stdout) {
    std::rewind(temp.file);
    if (!copy_stream(temp.file, stdout)) {
      report(name, "can't write to standard output");
      return false;
    }
    return true;
  }
  // The new file gets the usual permissions rather than mkstemp's private ones.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fileno(temp.file), 0666 & ~mask);
  if (std::fclose(temp.file) != 0) {
    temp.file = nullptr;
    report(name, "can't write " + target + ": " + std::strerror(errno));
    return false;
  }
  temp.file = nullptr;
  if (std::rename(temp.path.c_str(), target.c_str()) != 0) {
    report(name, "can't write " + target + ": " + std::strerror(errno));
    return false;
  }
  temp.path.clear();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  CliOptions options;
  std::string error;
  switch (parse_cli_options(args, options, error)) {
    case kParseHelp: std::fputs(kCliUsage, stdout); return 0;
    case kParseVersion: std::printf("%s %s\n", kProgram, QVX_VERSION); return 0;
    case kParseUsage:
      std::fprintf(stderr, "%s: %s\n%s", kProgram, error.c_str(), kCliUsage);
      return 2;
    default: break;
  }
  if (!can_write_format(options.format)) {
    std::fprintf(stderr, "%s: this build can't write %s files\n", kProgram, format_extension(options.format) + 1);
    return 2;
  }
  if (options.output == "-" && isatty(1)) {
    std::fprintf(stderr, "%s: standard output is a terminal; name an output file or redirect it\n", kProgram);
    return 2;
  }
  if (!options.folder.empty()) {
    struct stat st;
    if (stat(options.folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      std::fprintf(stderr, "%s: %s: not a folder\n", kProgram, options.folder.c_str());
      return 2;
    }
  }
  int status = 0;
  for (const std::string& input : options.inputs) {
    if (!convert_one(input, options)) status = 1;
  }
  return status;
}

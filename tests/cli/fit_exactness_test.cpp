// A BMP fitted to a size gives the very pixels libvips gives the same picture read
// as a PNG: the BMP's rows are averaged while read where libvips' resize would
// start with that box shrink, and nowhere may that change a byte.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#ifdef QVX_CLI_PNG
#include <png.h>
#endif


#include "common/bmp_builder.h"
#include "common/cli_runner.h"
#include "jpeg_pictures.h"
#include "pipeline/picture_source.h"

namespace {

#if defined(QVX_CLI_VIPS) && defined(QVX_CLI_PNG)

const VipsReaderFunctions* load_reader_module() {
  std::string path = QVX_CLI;
  path = path.substr(0, path.find_last_of('/') + 1) + "quillvex-cli-vips.so";
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (module == nullptr) return nullptr;
  using Entry = const VipsReaderFunctions* (*)();
  const auto entry = reinterpret_cast<Entry>(dlsym(module, "qvx_vips_reader_functions"));
  return entry ? entry() : nullptr;
}

// Gradients with grain in every band, so that a sum rounded the other way, a box
// one row off or a kernel centred elsewhere changes some sample.
std::vector<uint8_t> grainy_rgb(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  uint32_t g = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      g = g * 1103515245u + 12345u;
      const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
      rgb[at] = static_cast<uint8_t>(x * 255 / width + (g >> 16 & 15));
      rgb[at + 1] = static_cast<uint8_t>(y * 255 / height + (g >> 20 & 31));
      rgb[at + 2] = static_cast<uint8_t>((x + y) & 0x80 ? g >> 24 : 255 - (g >> 26));
    }
  }
  return rgb;
}

std::vector<uint8_t> bmp_of(const std::vector<uint8_t>& rgb, int width, int height, bool top_down = false) {
  BmpFile f;
  f.width = width;
  f.height = top_down ? -height : height;
  f.bit_count = 24;
  std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    // rows are stored bottom-up unless the height is negative
    auto& row = rows[static_cast<size_t>(top_down ? y : height - 1 - y)];
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
      row.push_back(static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2]);
    }
  }
  f.pixels = pack_rows(24, width, rows);
  return build_bmp(f);
}

// The same pixels as a PNG, which libvips alone reads and resamples.
bool save_png(const std::vector<uint8_t>& rgb, int width, int height, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = info != nullptr;
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, &rgb[static_cast<size_t>(y) * static_cast<size_t>(width) * 3]);
    png_write_end(png, nullptr);
  } else {
    ok = false;
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && ok;
}

// The prepared picture's colours, top row first, its width first; empty with `error` set on a failure.
std::vector<uint32_t> prepared_colours(VipsAccess& vips, const std::string& path, const Preparation& prepare,
                                       int32_t& width, std::string& error) {
  const std::vector<uint8_t> head = read_file(path);
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return {};
  std::vector<uint32_t> colours;
  {
    PictureSource source;
    source.file = file;
    source.path = path;
    source.head = &head;
    source.shown = path;
    source.vips = &vips;
    ConversionRequest request;
    request.prepare = prepare;
    error = open_picture_source(source, request, 1u << 30);
    if (error.empty()) {
      const StripReader reader = picture_strip_reader(source);
      width = reader.width;
      colours.resize(static_cast<size_t>(reader.width) * static_cast<size_t>(reader.height));
      Strip strip;
      ReadCode code = ReadCode::kOk;
      while (reader.next(reader.context, strip, code)) {
        for (int32_t r = 0; r < strip.rows; ++r) {
          const size_t width = static_cast<size_t>(reader.width);
          const size_t top = static_cast<size_t>(reader.height - 1 - (strip.first_row + r));
          std::copy_n(strip.source.read_back_pixels + static_cast<size_t>(r) * width, width,
                      colours.begin() + static_cast<std::ptrdiff_t>(top * width));
        }
      }
      if (code != ReadCode::kOk) error = picture_read_failure(source, code);
    }
  }
  std::fclose(file);
  return colours;
}

std::string compare_jpeg_fits(VipsAccess& vips, const std::string& dir);

// Compares every fit of every picture below; returns a line for each that differs.
std::string compare_fits(const std::string& dir) {
  VipsAccess vips;
  vips.load = load_reader_module;
  if (vips_functions(vips) == nullptr) return "the reader module won't load\n";
  // Sides with and without the factor the rows shrink by, odd widths, a tall and a wide
  // picture; heights one row over a multiple of the shrink and one short of one (the
  // last box made whole with copies of the last row), stored either way up; a height
  // whose kernel falls half-way between two of its phases on some rows, where
  // libvips' rounding of its steps decides.
  const struct {
    int width, height;
    bool top_down;
  } pictures[] = {{300, 240, false}, {301, 239, false}, {77, 480, false},  {1000, 96, false},
                  {64, 1200, false}, {123, 600, false}, {150, 601, false}, {203, 607, true},
                  {1001, 97, false}, {90, 437, false}};
  // Contain, cover and stretch; one side given; rows shrunk hard while the width grows;
  // the width kept; a mirror (the rows' sums don't change) and a turn (read whole).
  const struct {
    const char* size;
    FitMode fit;
    Flip flip;
    unsigned rotation;
  } fits[] = {
      {"40x20", FitMode::kContain, Flip::kNone, 0},   {"x37", FitMode::kContain, Flip::kNone, 0},
      {"25x", FitMode::kContain, Flip::kNone, 0},     {"30x30", FitMode::kCover, Flip::kNone, 0},
      {"300x10", FitMode::kStretch, Flip::kNone, 0},  {"11x120", FitMode::kStretch, Flip::kNone, 0},
      {"7x5", FitMode::kContain, Flip::kNone, 0},     {"60x40", FitMode::kCover, Flip::kHorizontal, 0},
      {"1000x24", FitMode::kStretch, Flip::kNone, 0}, {"64x48", FitMode::kStretch, Flip::kNone, 0},
      {"50x50", FitMode::kContain, Flip::kVertical, 0}, {"20x40", FitMode::kCover, Flip::kNone, 90},
  };
  std::string report;
  for (const auto& picture : pictures) {
    const std::vector<uint8_t> rgb = grainy_rgb(picture.width, picture.height);
    write_file(dir + "in.bmp", bmp_of(rgb, picture.width, picture.height, picture.top_down));
    if (!save_png(rgb, picture.width, picture.height, dir + "in.png")) return "can't write in.png\n";
    for (const auto& f : fits) {
      Preparation prepare;
      prepare.resize = parse_target_size(f.size, prepare.size) == PreparationError::kNone;
      prepare.fit = f.fit;
      prepare.flip = f.flip;
      prepare.rotation = f.rotation;
      const std::string name = std::to_string(picture.width) + "x" + std::to_string(picture.height) + " to " + f.size;
      std::string bmp_error, png_error;
      int32_t bmp_width = 0, png_width = 0;
      const std::vector<uint32_t> bmp = prepared_colours(vips, dir + "in.bmp", prepare, bmp_width, bmp_error);
      const std::vector<uint32_t> png = prepared_colours(vips, dir + "in.png", prepare, png_width, png_error);
      size_t differing = 0;
      for (size_t i = 0; i < bmp.size() && i < png.size(); ++i) differing += bmp[i] != png[i];
      if (!bmp_error.empty() || !png_error.empty() || bmp_width != png_width || bmp.size() != png.size() || differing) {
        report += name + ": BMP " + std::to_string(bmp_width) + " wide, " + std::to_string(bmp.size()) + " pixels (" +
                  bmp_error + "), PNG " + std::to_string(png_width) + " wide, " + std::to_string(png.size()) +
                  " pixels (" + png_error + "), " + std::to_string(differing) + " differ\n";
      }
    }
  }
  report += compare_jpeg_fits(vips, dir);
  end_vips_access(vips);
  return report;
}

// Smooth shapes that JPEG keeps well: a dark disc on a ramp, a band along the top.
std::vector<uint8_t> smooth_rgb(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int dx = x - width / 3, dy = y - height / 2, r = std::min(width, height) / 4;
      const bool disc = dx * dx + dy * dy < r * r, band = y < height / 8;
      const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
      rgb[at] = static_cast<uint8_t>(disc ? 20 : band ? 240 : x * 255 / width);
      rgb[at + 1] = static_cast<uint8_t>(disc ? 30 : band ? 60 : y * 255 / height);
      rgb[at + 2] = static_cast<uint8_t>(disc ? 200 : band ? 60 : 128);
    }
  }
  return rgb;
}

// A JPEG fitted much smaller is decoded at a fraction of its size, so its pixels are
// not the PNG's: they must still have the same size and lie in the same places.
std::string compare_jpeg_fits(VipsAccess& vips, const std::string& dir) {
  const struct {
    int width, height, orientation;
    const char* size;
    FitMode fit;
    unsigned rotation;
  } cases[] = {
      {1600, 1200, 1, "200x150", FitMode::kContain, 0}, {1203, 901, 1, "300x", FitMode::kContain, 0},
      {1601, 1199, 1, "100x100", FitMode::kCover, 0},   {900, 1600, 1, "160x90", FitMode::kStretch, 90},
      {1600, 900, 6, "90x160", FitMode::kContain, 0},   {1600, 900, 6, "100x40", FitMode::kCover, 270},
  };
  std::string report;
  for (const auto& c : cases) {
    const std::vector<uint8_t> rgb = smooth_rgb(c.width, c.height);
    if (!save_jpeg(rgb, c.width, c.height, c.orientation, dir + "in.jpg") ||
        !save_jpeg(rgb, c.width, c.height, c.orientation, dir + "whole.v.jpg")) {
      return "can't write a JPEG\n";
    }
    Preparation prepare;
    prepare.resize = parse_target_size(c.size, prepare.size) == PreparationError::kNone;
    prepare.fit = c.fit;
    prepare.rotation = c.rotation;
    // The reference: the same JPEG decoded whole, as a PNG of its pixels.
    int up_width = 0, up_height = 0;
    const std::vector<uint8_t> upright = decode_jpeg_upright(dir + "whole.v.jpg", up_width, up_height);
    if (upright.empty() || !save_png(upright, up_width, up_height, dir + "whole.png")) return "can't decode the JPEG\n";
    std::string jpeg_error, png_error;
    int32_t jpeg_width = 0, png_width = 0;
    const std::vector<uint32_t> jpeg = prepared_colours(vips, dir + "in.jpg", prepare, jpeg_width, jpeg_error);
    const std::vector<uint32_t> png = prepared_colours(vips, dir + "whole.png", prepare, png_width, png_error);
    uint64_t difference = 0;
    for (size_t i = 0; i < jpeg.size() && i < png.size(); ++i) {
      for (int shift = 0; shift < 24; shift += 8) {
        difference += static_cast<uint64_t>(std::abs(static_cast<int>(jpeg[i] >> shift & 0xFF) -
                                                     static_cast<int>(png[i] >> shift & 0xFF)));
      }
    }
    // Placed wrong, the disc or the band would differ by a hundred or so over many pixels.
    const double mean = png.empty() ? 0.0 : static_cast<double>(difference) / (3.0 * static_cast<double>(png.size()));
    if (!jpeg_error.empty() || !png_error.empty() || jpeg_width != png_width || jpeg.size() != png.size() ||
        mean > 4.0) {
      report += std::string("JPEG ") + std::to_string(c.width) + "x" + std::to_string(c.height) + " to " + c.size +
                ": " + std::to_string(jpeg_width) + " wide, " + std::to_string(jpeg.size()) + " pixels (" + jpeg_error +
                "), whole " + std::to_string(png_width) + " wide, " + std::to_string(png.size()) + " pixels (" +
                png_error + "), mean difference " + std::to_string(mean) + "\n";
    }
  }
  return report;
}

// The comparison runs in a fresh run of this test program: libvips' buffers would
// otherwise stay in this process, whose size the commands of later tests inherit,
// and a fork of it would inherit libvips' thread pool without its threads.
TEST_F(CliRun, FittedBmpPixelsAreLibvipsOwn) {
  if (const char* report = std::getenv("QVX_FIT_REPORT")) {
    const std::string text = compare_fits(dir);
    write_file(report, std::vector<uint8_t>(text.begin(), text.end()));
    return;
  }
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  const std::string report = dir + "report.txt";
  const int status = std::system(("QVX_FIT_REPORT=" + shell_word(report) + " " + shell_word(std::string(self, n)) +
                                  " --gtest_filter=CliRun.FittedBmpPixelsAreLibvipsOwn >/dev/null 2>&1")
                                     .c_str());
  EXPECT_EQ(status, 0);
  ASSERT_TRUE(exists(report));
  const std::vector<uint8_t> text = read_file(report);
  EXPECT_EQ(std::string(text.begin(), text.end()), "");
}

#endif

}  // namespace

// quillvex-cli -m METHOD: every halftoning method with its options, into every
// output format, gives the bits the core gives for the same luminance taken top row
// first, whatever the input's row order and however it comes in strips.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "common/batch_pictures.h"
#include "common/bmp_builder.h"
#include "common/cli_runner.h"
#include "common/result_pixels.h"
#include "halftone/halftone.h"
#include "image/pixel.h"

namespace {

using batch_pictures::next_value;

// The core's result for luminance rows given top row first, one 0/1 value a pixel.
std::vector<int> core_pixels(HalftoneMethod method, const HalftoneParams& params, const std::vector<uint8_t>& luma,
                             int32_t width, int32_t height) {
  struct Sink {
    int32_t width;
    std::vector<int> pixels;
  } sink{width, {}};
  const auto take = [](void* context, int32_t, const uint8_t* bits) {
    auto* s = static_cast<Sink*>(context);
    for (int32_t x = 0; x < s->width; ++x) s->pixels.push_back((bits[x >> 3] >> (7 - (x & 7))) & 1);
  };
  HalftoneConverter converter;
  EXPECT_EQ(start_halftone(method, params, width, converter), HalftoneError::kNone);
  halftone_rows(converter, luma.data(), static_cast<size_t>(width), height, take, &sink);
  finish_halftone(converter, take, &sink);
  return sink.pixels;
}

std::vector<int> output_pixels(const std::string& path) {
  const std::string ext = path.substr(path.size() - 4);
  if (ext == ".bmp") return bmp_pixels(read_file(path));
  if (ext == ".pbm") return pbm_pixels(read_file(path));
#ifdef QVX_CLI_VIPS
  double xres = 0;
  return vips_pixels(path, xres);
#else
  return {};
#endif
}

// Colours of a picture, top row first, and their luminance.
struct Colours {
  int32_t width, height;
  std::vector<std::vector<uint32_t>> top_rows;
  std::vector<uint8_t> luma;
};

std::vector<uint32_t> random_palette(int count, uint32_t seed) {
  std::vector<uint32_t> palette;
  for (int i = 0; i < count; ++i) palette.push_back(next_value(seed) & 0xFFFFFF);
  return palette;
}

Colours random_colours(int32_t width, int32_t height, const std::vector<uint32_t>& palette, uint32_t seed) {
  Colours c{width, height, {}, {}};
  for (int32_t y = 0; y < height; ++y) {
    std::vector<uint32_t> row;
    for (int32_t x = 0; x < width; ++x) {
      // A diagonal ramp with noise, so that windows and diffused errors meet some structure.
      const uint32_t index = (static_cast<uint32_t>(x + y) / 4 + next_value(seed) % 24) % palette.size();
      row.push_back(palette[index]);
      c.luma.push_back(static_cast<uint8_t>(luminance(row.back())));
    }
    c.top_rows.push_back(row);
  }
  return c;
}

// The picture as a BMP of 24 or 32 bits, rows bottom-up or top-down.
std::vector<uint8_t> bmp_of(const Colours& c, uint16_t bit_count, bool top_down) {
  BmpFile f;
  f.width = c.width;
  f.height = top_down ? -c.height : c.height;
  f.bit_count = bit_count;
  std::vector<std::vector<uint32_t>> storage = c.top_rows;
  if (!top_down) std::reverse(storage.begin(), storage.end());
  f.pixels = pack_rows(bit_count, f.width, storage);
  return build_bmp(f);
}

struct MethodCase {
  HalftoneMethod method;
  const char* options;
  HalftoneParams params;  // what the options and the shared "-i -t 90" ask for
};

HalftoneParams with(bool serpentine, int radius = 7, std::optional<double> k = std::nullopt, int percent = 15) {
  HalftoneParams p;
  p.density = 90;
  p.invert = true;
  p.linear = true;
  p.serpentine = serpentine;
  p.radius = radius;
  p.k = k;
  p.percent = percent;
  return p;
}

#ifdef QVX_CLI_VIPS
TEST_F(CliRun, EveryMethodIntoEveryFormatIsTheCoresResult) {
  ASSERT_EQ(VIPS_INIT("qvx_cli_tests"), 0);
  vips_cache_set_max(0);
  const std::vector<uint32_t> palette = random_palette(200, 5);
  const Colours c = random_colours(67, 45, palette, 17);
  write_file(dir + "in.bmp", bmp_of(c, 24, false));
  std::vector<MethodCase> cases;
  for (const MethodDescriptor& m : halftone_methods()) {
    switch (m.family) {
      case HalftoneFamily::kErrorDiffusion: cases.push_back({m.method, "--serpentine", with(true)}); break;
      case HalftoneFamily::kOrdered: cases.push_back({m.method, "", with(false)}); break;
      case HalftoneFamily::kLocalThreshold:
        if (m.method == HalftoneMethod::kBradley) {
          cases.push_back({m.method, "--radius 3 --percent 9", with(false, 3, std::nullopt, 9)});
        } else {
          cases.push_back({m.method, "--radius 3 --k -0.31", with(false, 3, -0.31)});
        }
        break;
      case HalftoneFamily::kThreshold: break;
    }
  }
  ASSERT_EQ(cases.size(), 16u);
  for (const MethodCase& m : cases) {
    const char* name = halftone_method_info(m.method).name;
    const std::vector<int> expected = core_pixels(m.method, m.params, c.luma, c.width, c.height);
    for (const char* format : {".bmp", ".png", ".tif", ".pbm"}) {
      const std::string args = std::string("-q -i -t 90 --linear -m ") + name + " " + m.options + " " +
                               shell_word(dir + "in.bmp") + " -o " + shell_word(dir + "out" + format);
      const Outcome o = run(args);
      ASSERT_EQ(o.status, 0) << args << "\n" << o.errors;
      EXPECT_EQ(output_pixels(dir + "out" + format), expected) << args;
    }
  }
}

// One picture as a top-down BMP (read in order), a bottom-up one (read back to
// front), RLE8 (decoded bottom row first, its luminance held) and a PNG (libvips),
// each three or more strips tall (strips of a mebibyte: 512 rows of 32 bits or of
// decoded colours, 256 rows from libvips) and written in two batches of 64 KiB:
// every input gives the core's bits for the picture.
TEST_F(CliRun, HalftoningDoesNotDependOnTheInputsRowOrderOrStrips) {
  ASSERT_EQ(VIPS_INIT("qvx_cli_tests"), 0);
  vips_cache_set_max(0);
  const std::vector<uint32_t> palette = random_palette(256, 9);
  const Colours c = random_colours(512, 1100, palette, 23);
  write_file(dir + "down.bmp", bmp_of(c, 32, true));
  write_file(dir + "up.bmp", bmp_of(c, 32, false));
  BmpFile rle;
  rle.width = c.width;
  rle.height = c.height;
  rle.bit_count = 8;
  rle.compression = 1;
  rle.colours = palette;
  std::vector<std::vector<uint32_t>> indices;
  for (auto row = c.top_rows.rbegin(); row != c.top_rows.rend(); ++row) {
    indices.emplace_back();
    for (uint32_t colour : *row) indices.back().push_back(static_cast<uint32_t>(
        std::find(palette.begin(), palette.end(), colour) - palette.begin()));
  }
  rle.pixels = batch_pictures::encode_rle(indices, false);
  rle.image_size = static_cast<uint32_t>(rle.pixels.size());
  write_file(dir + "rle.bmp", build_bmp(rle));
  std::vector<uint8_t> rgb;
  for (const auto& row : c.top_rows)
    for (uint32_t colour : row) rgb.insert(rgb.end(), {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour)});
  VipsImage* image = vips_image_new_from_memory_copy(rgb.data(), rgb.size(), c.width, c.height, 3, VIPS_FORMAT_UCHAR);
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(vips_pngsave(image, (dir + "in.png").c_str(), nullptr), 0);
  g_object_unref(image);
  const struct {
    HalftoneMethod method;
    const char* options;
    bool serpentine;
  } methods[] = {{HalftoneMethod::kFloydSteinberg, "", false},
                 {HalftoneMethod::kJarvis, "--serpentine", true},
                 {HalftoneMethod::kBayer8, "", false},
                 {HalftoneMethod::kSauvola, "", false}};
  const char* const inputs[] = {"down.bmp", "up.bmp", "rle.bmp", "in.png"};
  for (size_t i = 0; i < std::size(methods); ++i) {
    const auto& m = methods[i];
    HalftoneParams params;
    params.serpentine = m.serpentine;
    const std::vector<int> expected = core_pixels(m.method, params, c.luma, c.width, c.height);
    for (size_t j = 0; j < std::size(inputs); ++j) {
      // Bottom-up (BMP) and top-down (PBM) outputs, each input and method into both.
      const char* format = (i + j) % 2 ? ".pbm" : ".bmp";
      const std::string args = std::string("-q -m ") + halftone_method_info(m.method).name + " " + m.options + " " +
                               shell_word(dir + inputs[j]) + " -o " + shell_word(dir + "out" + format);
      ASSERT_EQ(run(args).status, 0) << args;
      EXPECT_EQ(output_pixels(dir + "out" + format), expected) << args;
    }
  }
}

#endif

// A bottom-up BMP read back to front fails as one read in order fails: short rows,
// or fewer bytes than its image size claims, though every row is there.
TEST_F(CliRun, ShortBmpFilesFailAlsoWhenReadBackToFront) {
  const Colours c = random_colours(40, 30, {0x102030, 0x808080, 0xF0E0D0}, 3);
  const std::vector<uint8_t> whole = bmp_of(c, 24, false);
  write_file(dir + "short.bmp", std::vector<uint8_t>(whole.begin(), whole.end() - 1));
  std::vector<uint8_t> claims = whole;
  put_u32(claims.data() + 34, static_cast<uint32_t>(whole.size() - 54 + 4));  // the image size
  write_file(dir + "claims.bmp", claims);
  for (const char* name : {"short.bmp", "claims.bmp"}) {
    for (const char* method : {"letter", "floyd-steinberg"}) {
      const Outcome o = run(std::string("-q -m ") + method + " " + shell_word(dir + name) + " -o " + shell_word(dir + "out.bmp"));
      EXPECT_EQ(o.status, 1) << name << " " << method;
      EXPECT_EQ(o.errors, "quillvex-cli: " + dir + name + ": Read error.\n") << method;
      EXPECT_FALSE(exists(dir + "out.bmp"));
    }
  }
}

}  // namespace

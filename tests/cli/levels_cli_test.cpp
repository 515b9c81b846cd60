// quillvex-cli --levels and --palette: the refusals, --levels 2 as black and white in
// every format, the files' bytes, and strips against the whole picture. (The pixels of
// every format against a model of the rules: levels_pillow_test.py.)
#include <gtest/gtest.h>
#ifdef QVX_CLI_VIPS
#include <vips/vips.h>
#endif

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "common/batch_pictures.h"
#include "common/bmp_builder.h"
#include "common/cli_runner.h"
#include "halftone/colour_palette.h"
#include "halftone/grey_levels.h"
#include "image/le_bytes.h"
#include "image/luminance.h"
#include "image/picture.h"
#include "pipeline/index_output.h"

namespace {

std::string parse_error(std::vector<std::string> args) {
  args.insert(args.end(), {"in.bmp"});
  if (std::find(args.begin(), args.end(), "-o") == args.end()) args.insert(args.end(), {"-o", "out.bmp"});
  CliOptions o;
  std::string error;
  const ParseOutcome outcome = parse_cli_options(args, o, error);
  return outcome == ParseOutcome::kRun ? "" : outcome == ParseOutcome::kUsage ? error : "not a run";
}

TEST(LevelsOptions, WhatCantBeGivenIsRefusedWithOneMessage) {
  const std::string diffusion_or_ordered =
      "letter, an error-diffusion method or an ordered-dither method (--list-methods)";
  const std::string letter_or_diffusion = "letter or an error-diffusion method (--list-methods)";
  const std::string seventeen = "#000000,#000001,#000002,#000003,#000004,#000005,#000006,#000007,#000008,#000009,"
                                "#00000a,#00000b,#00000c,#00000d,#00000e,#00000f,#000010";
  const struct {
    std::vector<std::string> args;
    std::string error;  // empty: taken
  } cases[] = {
      {{"-m", "hard", "--levels", "4"}, "--levels 4 needs " + diffusion_or_ordered},
      {{"-m", "soft", "--levels", "3"}, "--levels 3 needs " + diffusion_or_ordered},
      {{"-m", "sauvola", "--levels", "16"}, "--levels 16 needs " + diffusion_or_ordered},
      {{"-m", "hard", "--palette", "bw"}, "--palette needs " + letter_or_diffusion},
      {{"-m", "bradley", "--palette", "bwr"}, "--palette needs " + letter_or_diffusion},
      {{"-m", "bayer4", "--palette", "bw"}, "--palette needs " + letter_or_diffusion},
      {{"-m", "blue-noise", "--palette", "acep7"}, "--palette needs " + letter_or_diffusion},
      {{"--palette", "bw", "-i"}, "--invert does not apply to a colour palette"},
      {{"--levels", "4", "--palette", "bw"}, "--levels and --palette don't go together: a palette has its own colours"},
      {{"--palette", "bw", "--levels", "2"}, "--levels and --palette don't go together: a palette has its own colours"},
      {{"--palette", "#12345"}, "palette entry 1 \"#12345\" is not a colour #rrggbb"},
      {{"--palette", "#000000,#GG0000"}, "palette entry 2 \"#GG0000\" is not a colour #rrggbb"},
      {{"--palette", seventeen}, "palette entry 17 \"#000010\" is one too many: a palette holds 2 to 16 colours"},
      {{"--palette", "#000000"}, "palette \"#000000\" has one colour: a palette holds 2 to 16 colours"},
      {{"--palette", "red"}, "unknown palette \"red\" (--list-palettes lists them)"},
      {{"--palette", ""}, "--palette needs a name or colours #rrggbb,#rrggbb,..."},
      {{"--levels", "1"}, "--levels must be a whole number from 2 to 16: 1"},
      {{"--levels", "17"}, "--levels must be a whole number from 2 to 16: 17"},
      {{"--levels", "4", "-o", "out.tif"},
       "--levels 4 needs png, bmp, pgm, ppm, c or bin (tiff holds black and white only)"},
      {{"--levels", "3", "-f", "pbm"},
       "--levels 3 needs png, bmp, pgm, ppm, c or bin (pbm holds black and white only)"},
      {{"--levels", "3", "-f", "xbm"},
       "--levels 3 needs png, bmp, pgm, ppm, c or bin (xbm holds black and white only)"},
      {{"--palette", "bwr", "-o", "out.pbm"},
       "--palette of 3 colours needs png, bmp, ppm, c or bin (pbm holds two colours only)"},
      {{"--palette", "acep7", "-f", "zpl"},
       "--palette of 7 colours needs png, bmp, ppm, c or bin (zpl holds two colours only)"},
      {{"--palette", "bw", "-o", "out.tif"},
       "--palette needs png, bmp, ppm, c or bin (tiff holds black and white only)"},
      {{"--palette", "bwr", "-o", "out.pgm"}, "--palette needs png, bmp, ppm, c or bin (pgm holds grey levels)"},
      // What each method and format does take.
      {{"-m", "hard", "--levels", "2"}, ""},
      {{"-m", "niblack", "--levels", "2", "-o", "out.tif"}, ""},
      {{"--palette", "bw", "-o", "out.pbm"}, ""},
      {{"--palette", "#ff0000,#0000ff", "-f", "escpos"}, ""},
      {{"-m", "blue-noise", "--levels", "16", "-i", "-o", "out.pgm"}, ""},
      {{"-m", "sierra-lite", "--palette", "spectra6", "--serpentine", "--linear", "-o", "out.ppm"}, ""},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += a + " ";
    EXPECT_EQ(parse_error(c.args), c.error) << line;
  }
}

// The page and the Python module fill the request's fields without the command's words.
TEST(LevelsOptions, FieldsFilledStraightAreCheckedToo) {
  ConversionRequest hard;
  hard.mode = kModePhotoHard;
  hard.levels = 4;
  hard.format = kFormatPng;
  EXPECT_EQ(check_conversion_request(hard, "out.png"),
            "--levels 4 needs letter, an error-diffusion method or an ordered-dither method (--list-methods)");
  ConversionRequest ordered;
  ordered.method = HalftoneMethod::kBayer2;
  ordered.palette = "bwy";
  ordered.format = kFormatPng;
  EXPECT_EQ(check_conversion_request(ordered, "out.png"),
            "--palette needs letter or an error-diffusion method (--list-methods)");
  ConversionRequest both;
  both.levels = 3;
  both.palette = "bw";
  both.format = kFormatBmp;
  EXPECT_EQ(check_conversion_request(both, "out.bmp"),
            "--levels and --palette don't go together: a palette has its own colours");
  ConversionRequest past;
  past.levels = 40;
  past.format = kFormatBmp;
  EXPECT_EQ(check_conversion_request(past, "out.bmp"), "--levels must be 2..16");
}

class LevelsRun : public CliRun {};

TEST_F(LevelsRun, AUsageErrorIsOneLineAndStatusTwo) {
  for (const char* args : {"-m hard --levels 4", "--palette '#12345'", "--palette acep7 -f pbm"}) {
    const Outcome o = run(std::string(args) + " in.bmp -o " + shell_word(dir + "out.pbm"));
    EXPECT_EQ(o.status, 2) << args;
    EXPECT_EQ(std::count(o.errors.begin(), o.errors.end(), '\n'), 2) << o.errors;  // the message, then "Try ..."
    EXPECT_FALSE(exists(dir + "out.pbm"));
  }
}

// A picture of ramps and noise, its rows top first as 0xRRGGBB.
std::vector<std::vector<uint32_t>> picture_rows(int32_t width, int32_t height, const std::vector<uint32_t>& colours,
                                                uint32_t seed) {
  std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      rows[y].push_back(colours[(static_cast<uint32_t>(x + 2 * y) / 5 + batch_pictures::next_value(seed) % 31) %
                                colours.size()]);
  return rows;
}

std::vector<uint8_t> bmp_of(const std::vector<std::vector<uint32_t>>& top_rows, bool top_down, uint16_t bits = 24) {
  BmpFile f;
  f.width = static_cast<int32_t>(top_rows[0].size());
  f.height = top_down ? -static_cast<int32_t>(top_rows.size()) : static_cast<int32_t>(top_rows.size());
  f.bit_count = bits;
  std::vector<std::vector<uint32_t>> storage = top_rows;
  if (!top_down) std::reverse(storage.begin(), storage.end());
  f.pixels = pack_rows(bits, f.width, storage);
  return build_bmp(f);
}

// --levels 2 is black and white: the same bytes as no --levels, for every method and
// into every format (each format with letter, each method into two formats).
TEST_F(LevelsRun, TwoLevelsAreTheOneBitResultInEveryFormat) {
  std::vector<uint32_t> colours;
  uint32_t seed = 3;
  for (int i = 0; i < 40; ++i) colours.push_back(batch_pictures::next_value(seed) & 0xFFFFFF);
  write_file(dir + "in.bmp", bmp_of(picture_rows(45, 21, colours, 7), false));
  const char* const formats[] = {"bmp", "png", "tif", "pbm", "pgm", "ppm", "xbm", "h", "bin", "escpos", "zpl"};
  std::vector<std::pair<std::string, std::string>> runs;
  for (const char* format : formats) runs.push_back({"letter", format});
  size_t i = 0;
  for (const MethodDescriptor& m : method_descriptors()) {
    runs.push_back({m.name, "bmp"});
    runs.push_back({m.name, formats[1 + i++ % (std::size(formats) - 1)]});
  }
  for (const auto& [method, format] : runs) {
    const std::string out = dir + "out." + format;
    const std::string args = "-q -t 140 -m " + method + " " + shell_word(dir + "in.bmp") + " -o " + shell_word(out);
    ASSERT_EQ(run(args).status, 0) << args;
    const std::vector<uint8_t> one_bit = read_file(out);
    std::remove(out.c_str());
    ASSERT_EQ(run(args + " --levels 2").status, 0) << args;
    EXPECT_EQ(read_file(out), one_bit) << args << " --levels 2";
    EXPECT_FALSE(one_bit.empty());
  }
}

// Two colours into a 1-bit format: the darker is black, whichever entry it is.
TEST_F(LevelsRun, TwoColoursInOneBitFormatsHaveTheDarkerBlack) {
  std::vector<uint32_t> colours;
  uint32_t seed = 11;
  for (int i = 0; i < 30; ++i) colours.push_back(batch_pictures::next_value(seed) & 0xFFFFFF);
  write_file(dir + "in.bmp", bmp_of(picture_rows(33, 17, colours, 5), false));
  for (const char* format : {"pbm", "xbm"}) {
    std::vector<uint8_t> first;
    for (const char* palette : {"bw", "'#ffffff,#000000'"}) {
      const std::string out = dir + "out." + format;
      ASSERT_EQ(run("-q -m floyd-steinberg --palette " + std::string(palette) + " " + shell_word(dir + "in.bmp") +
                    " -o " + shell_word(out)).status, 0) << palette;
      if (first.empty()) first = read_file(out);
      EXPECT_EQ(read_file(out), first) << format << " " << palette;
    }
  }
}

// The writers' bytes for a picture of 3 x 2 pixels, worked out by hand: rows of
// indexes 0 1 2 / 3 4 0 at 5 levels, greys level_grey(5, k) = 0, 64, 128, 191, 255.
TEST(IndexOutput, FilesHoldTheBytesWorkedOutByHand) {
  const uint8_t rows[2][3] = {{0, 1, 2}, {3, 4, 0}};
  uint8_t greys[16][3] = {};
  for (int k = 0; k < 5; ++k) std::fill(greys[k], greys[k] + 3, level_grey(5, k));
  uint8_t header[kStoreHeaderSize] = {};
  header[kHeightField] = 2;               // a bottom-up source of 3 x 2
  header[kXResolutionField] = 0x13;       // 2835 pixels a metre
  header[kXResolutionField + 1] = 0x0B;
  header[kYResolutionField] = 0x13;
  header[kYResolutionField + 1] = 0x0B;
  const auto write = [&](int format, const uint8_t (*table)[3], int count, bool grey) {
    FILE* file = std::tmpfile();
    ResultOutput out;
    EXPECT_TRUE(begin_index_output(out, format, file, header, 3, 2, count, table, grey));
    for (int32_t y = 0; y < 2; ++y) EXPECT_TRUE(put_index_row(out, y, rows[y]));
    EXPECT_TRUE(finish_index_output(out));
    std::vector<uint8_t> bytes(200);
    std::rewind(file);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return bytes;
  };
  const std::vector<uint8_t> bmp = {
      'B', 'M', 82, 0, 0, 0, 0, 0, 0, 0, 74, 0, 0, 0,                   // file: size 14 + 40 + 5 * 4 + 2 * 4
      40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 4, 0, 0, 0, 0, 0,      // 3 x 2, bottom-up, 4 bits
      8, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 5, 0, 0, 0, 5, 0, 0, 0,
      0, 0, 0, 0, 64, 64, 64, 0, 128, 128, 128, 0, 191, 191, 191, 0, 255, 255, 255, 0,
      0x34, 0x00, 0, 0,  // the bottom row first: 3 4 0, padded to 4 bytes
      0x01, 0x20, 0, 0};
  EXPECT_EQ(write(kFormatBmp, greys, 5, true), bmp);
  const std::string pgm = std::string("P5\n3 2\n4\n") + std::string("\0\1\2\3\4\0", 6);
  EXPECT_EQ(write(kFormatPgm, greys, 5, true), std::vector<uint8_t>(pgm.begin(), pgm.end()));
  const uint8_t colours[16][3] = {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {1, 2, 3}, {9, 8, 7}};
  const std::string ppm = "P6\n3 2\n255\n" + std::string("\0\0\0\xff\xff\xff\xff\0\0\1\2\3\x09\x08\x07\0\0\0", 18);
  EXPECT_EQ(write(kFormatPpm, colours, 5, false), std::vector<uint8_t>(ppm.begin(), ppm.end()));
}

#ifdef QVX_CLI_VIPS
// Indexes from the core's converters, the whole picture at once, top row first.
std::vector<uint8_t> core_indexes(const std::vector<std::vector<uint32_t>>& rows, std::optional<HalftoneMethod> method,
                                  bool serpentine, int levels, const std::string& palette_name) {
  const int32_t width = static_cast<int32_t>(rows[0].size()), height = static_cast<int32_t>(rows.size());
  std::vector<uint8_t> pixels, out;
  for (const auto& row : rows)
    for (uint32_t c : row) {
      if (palette_name.empty()) {
        pixels.push_back(static_cast<uint8_t>(luminance(c)));
      } else {
        pixels.insert(pixels.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
      }
    }
  struct Sink {
    std::vector<uint8_t>* out;
    int32_t width;
  } sink{&out, width};
  const auto take = [](void* context, int32_t, const uint8_t* indexes) {
    auto* s = static_cast<Sink*>(context);
    s->out->insert(s->out->end(), indexes, indexes + s->width);
  };
  HalftoneParams params;
  params.serpentine = serpentine;
  if (palette_name.empty()) {
    GreyLevelsConverter c;
    EXPECT_EQ(start_grey_levels(method, params, levels, width, c), LevelsError::kNone);
    grey_level_rows(c, pixels.data(), static_cast<size_t>(width), height, take, &sink);
    finish_grey_levels(c, take, &sink);
  } else {
    Palette palette;
    std::string error;
    EXPECT_TRUE(parse_palette(palette_name, &palette, &error));
    PaletteConverter c;
    EXPECT_EQ(start_palette(method, params, palette, width, c), LevelsError::kNone);
    palette_rows(c, pixels.data(), 3 * static_cast<size_t>(width), height, take, &sink);
    finish_palette(c, take, &sink);
  }
  return out;
}

// One picture as a top-down BMP (read in order), a bottom-up one (read back to front),
// RLE8 (decoded bottom row first, held until its last row) and a PNG (libvips), two or
// more strips tall (a mebibyte: 1024 rows of 32 bits, 256 rows from libvips): the PPM
// of each is the core's indexes for the whole picture, and a BMP (4 bits, three
// batches of 64 KiB, from one input a case) holds the same indexes.
TEST_F(LevelsRun, StripsGiveTheWholePicturesIndexes) {
  ASSERT_EQ(VIPS_INIT("qvx_cli_tests"), 0);
  vips_cache_set_max(0);
  std::vector<uint32_t> colours;
  uint32_t seed = 21;
  for (int i = 0; i < 256; ++i) colours.push_back(batch_pictures::next_value(seed) & 0xFFFFFF);
  const int32_t width = 256, height = 1100;
  const auto rows = picture_rows(width, height, colours, 29);
  write_file(dir + "down.bmp", bmp_of(rows, true, 32));
  write_file(dir + "up.bmp", bmp_of(rows, false, 32));
  BmpFile rle;
  rle.width = width;
  rle.height = height;
  rle.bit_count = 8;
  rle.compression = 1;
  rle.colours = colours;
  std::vector<std::vector<uint32_t>> indices;
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    indices.emplace_back();
    for (uint32_t c : *row)
      indices.back().push_back(static_cast<uint32_t>(std::find(colours.begin(), colours.end(), c) - colours.begin()));
  }
  rle.pixels = batch_pictures::encode_rle(indices, false);
  rle.image_size = static_cast<uint32_t>(rle.pixels.size());
  write_file(dir + "rle.bmp", build_bmp(rle));
  std::vector<uint8_t> rgb;
  for (const auto& row : rows)
    for (uint32_t c : row) rgb.insert(rgb.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
  VipsImage* image = vips_image_new_from_memory_copy(rgb.data(), rgb.size(), width, height, 3, VIPS_FORMAT_UCHAR);
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(vips_pngsave(image, (dir + "in.png").c_str(), nullptr), 0);
  g_object_unref(image);
  const struct {
    const char* options;
    std::optional<HalftoneMethod> method;
    bool serpentine;
    int levels;
    const char* palette;
  } cases[] = {
      {"--levels 5 -m floyd-steinberg", HalftoneMethod::kFloydSteinberg, false, 5, ""},
      {"--levels 9", std::nullopt, false, 9, ""},
      {"--palette spectra6 -m floyd-steinberg", HalftoneMethod::kFloydSteinberg, false, 2, "spectra6"},
      {"--palette bwy -m jarvis --serpentine", HalftoneMethod::kJarvis, true, 2, "bwy"},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> indexes = core_indexes(rows, c.method, c.serpentine, c.levels, c.palette);
    ASSERT_EQ(indexes.size(), static_cast<size_t>(width) * height);
    Palette palette;
    std::string error;
    if (*c.palette) {
      ASSERT_TRUE(parse_palette(c.palette, &palette, &error));
    } else {
      palette.count = c.levels;
      for (int k = 0; k < c.levels; ++k) std::fill(palette.rgb[k], palette.rgb[k] + 3, level_grey(c.levels, k));
    }
    std::string ppm = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    for (uint8_t k : indexes) ppm.append(reinterpret_cast<const char*>(palette.rgb[k]), 3);
    const char* const inputs[] = {"down.bmp", "up.bmp", "rle.bmp", "in.png"};
    for (const char* input : inputs) {
      const std::string args = std::string("-q ") + c.options + " " + shell_word(dir + input) + " -o ";
      ASSERT_EQ(run(args + shell_word(dir + "out.ppm")).status, 0) << args;
      const std::vector<uint8_t> written = read_file(dir + "out.ppm");
      EXPECT_TRUE(std::string(written.begin(), written.end()) == ppm) << args;
      // The BMP writer from one input a case, each case another.
      if (input != inputs[&c - cases]) continue;
      ASSERT_EQ(run(args + shell_word(dir + "out.bmp")).status, 0) << args;
      const std::vector<uint8_t> bmp = read_file(dir + "out.bmp");
      ASSERT_GE(bmp.size(), 54u);
      const uint32_t at = get_u32(&bmp[10]);
      ASSERT_EQ(bmp.size(), at + static_cast<size_t>(width / 2) * height) << args;
      bool same = true;
      for (int32_t y = 0; y < height && same; ++y)
        for (int32_t x = 0; x < width && same; ++x) {
          const uint8_t pair = bmp[at + static_cast<size_t>(height - 1 - y) * (width / 2) + x / 2];
          same = (x % 2 ? pair & 15 : pair >> 4) == indexes[static_cast<size_t>(y) * width + x];
        }
      EXPECT_TRUE(same) << args;
    }
  }
}
#endif

}  // namespace

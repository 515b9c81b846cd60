// A picture converted by several threads is the picture converted by one, byte for
// byte: every method, grey levels and a palette, in strips of a few rows so that bands
// and windows cross strip edges, for 1 to 5 threads. And a batch on several workers
// says what one worker says, in the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/bmp_builder.h"
#include "common/cli_runner.h"
#include "halftone/method_descriptors.h"
#include "pipeline/convert_strips.h"
#include "pipeline/picture_source.h"
#include "pipeline/pipeline_texts.h"

namespace {

// A 24-bit picture of random pixels over a gradient (so that every method gives both
// colours); a negative height is stored top row first.
std::vector<uint8_t> random_picture(int32_t width, int32_t height, unsigned seed) {
  BmpFile f;
  f.width = width;
  f.height = height;
  const int32_t rows = height < 0 ? -height : height;
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  f.pixels.assign(stride * static_cast<size_t>(rows), 0);
  std::mt19937 random(seed);
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < width * 3; ++x) {
      f.pixels[static_cast<size_t>(y) * stride + static_cast<size_t>(x)] =
          static_cast<uint8_t>((x * 255 / (width * 3) + static_cast<int>(random() % 96)) & 0xFF);
    }
  }
  return build_bmp(f);
}

// The converted file's bytes, or the failure.
std::string convert(const std::vector<uint8_t>& bytes, const ConversionRequest& request, int32_t strip_rows) {
  FILE* in = std::tmpfile();
  FILE* out = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), in);
  std::string result;
  {
    PictureSource source;
    source.file = in;
    source.head = &bytes;
    source.shown = "picture";
    source.top_first = takes_rows_top_first(request);
    result = open_picture_source(source, request, 1u << 30);
    if (result.empty()) {
      source.bmp.strip_rows = strip_rows;
      ResultOutput output;
      output.file = out;
      ReadCode code = ReadCode::kOk;
      result = convert_strips(picture_strip_reader(source), request.density, request, output, "out", code);
      if (code != ReadCode::kOk) result = "read code " + std::to_string(static_cast<int>(code));
    }
  }
  if (result.empty()) {
    std::fflush(out);
    std::rewind(out);
    for (int c; (c = std::fgetc(out)) != EOF;) result.push_back(static_cast<char>(c));
  } else {
    result = "failed: " + result;
  }
  std::fclose(in);
  std::fclose(out);
  return result;
}

struct Row {
  std::string name;
  ConversionRequest request;
};

std::vector<Row> rows() {
  std::vector<Row> list;
  for (const MethodDescriptor& m : method_descriptors()) {
    ConversionRequest r;
    r.format = kFormatBmp;
    r.density = 140;
    if (m.family == HalftoneFamily::kThreshold) {
      r.mode = m.mode;
    } else {
      r.method = m.method;
      // Windows that reach across a few strips.
      if (m.family == HalftoneFamily::kLocalThreshold) r.halftone.radius = 3;
    }
    list.push_back({m.name, r});
  }
  ConversionRequest levels;
  levels.format = kFormatBmp;
  levels.method = HalftoneMethod::kFloydSteinberg;
  levels.levels = 4;
  list.push_back({"floyd-steinberg, 4 levels", levels});
  ConversionRequest palette;
  palette.format = kFormatBmp;
  palette.palette = "#000000,#ffffff,#ff0000";
  list.push_back({"letter, a palette", palette});
  ConversionRequest inverted;
  inverted.format = kFormatBmp;
  inverted.method = HalftoneMethod::kBayer4;
  inverted.invert = true;
  list.push_back({"bayer4, inverted", inverted});
  // Grey levels and palettes each way they share the rows: in bands (the nearest, the
  // ordered methods, whose rows depend on the row's place in the matrix), as a wavefront
  // of error diffusion (kernels reaching two rows and two columns, linear light's wider
  // values, a palette's three channels, two colours into 1-bit rows), and on one thread
  // (serpentine rows).
  struct IndexRow {
    const char* name;
    std::optional<HalftoneMethod> method;
    int levels;
    const char* palette;
    bool invert, serpentine, linear;
    int format = kFormatBmp;
  };
  const IndexRow index_rows[] = {
      {"letter, 5 levels", std::nullopt, 5, "", false, false, false},
      {"bayer8, 3 levels, inverted", HalftoneMethod::kBayer8, 3, "", true, false, false},
      {"blue noise, 6 levels", HalftoneMethod::kBlueNoise, 6, "", false, false, false},
      {"jarvis, 4 levels, inverted", HalftoneMethod::kJarvis, 4, "", true, false, false},
      {"floyd-steinberg, 3 levels, linear", HalftoneMethod::kFloydSteinberg, 3, "", false, false, true},
      {"atkinson, 16 levels, serpentine", HalftoneMethod::kAtkinson, 16, "", false, true, false},
      {"letter, acep7", std::nullopt, 2, "acep7", false, false, false},
      {"floyd-steinberg, acep7", HalftoneMethod::kFloydSteinberg, 2, "acep7", false, false, false},
      {"stucki, spectra6", HalftoneMethod::kStucki, 2, "spectra6", false, false, false},
      {"sierra-lite, bwr, linear", HalftoneMethod::kSierraLite, 2, "bwr", false, false, true},
      {"burkes, two colours to pbm", HalftoneMethod::kBurkes, 2, "#f0e0d0,#102030", false, false, false, kFormatPbm},
      {"sierra, bwy, serpentine", HalftoneMethod::kSierra, 2, "bwy", false, true, false},
  };
  for (const IndexRow& i : index_rows) {
    ConversionRequest r;
    r.format = i.format;
    r.method = i.method;
    r.levels = i.levels;
    r.palette = i.palette;
    r.invert = i.invert;
    r.halftone.serpentine = i.serpentine;
    r.halftone.linear = i.linear;
    list.push_back({i.name, r});
  }
  return list;
}

TEST(Threads, EveryThreadCountGivesTheSingleThreadsBytes) {
  struct Picture {
    int32_t width, height, strip_rows;
  };
  // Odd sizes: bottom-up and top-down, widths that end mid-byte, strips of a few rows, and
  // rows wider than the part of a row error diffusion takes before it tells the row below,
  // and enough rows for the local thresholds to convert in several rounds.
  const Picture pictures[] = {{37, 29, 5}, {203, -61, 7}, {9, 3, 1}, {601, 23, 9}, {23, 700, 13}};
  for (const Row& row : rows()) {
    for (const Picture& p : pictures) {
      const std::vector<uint8_t> bytes = random_picture(p.width, p.height, static_cast<unsigned>(p.width));
      ConversionRequest one = row.request;
      one.threads = 1;
      const std::string expected = convert(bytes, one, p.strip_rows);
      ASSERT_EQ(expected.rfind("failed", 0), std::string::npos) << row.name << ": " << expected;
      for (int threads = 2; threads <= 5; ++threads) {
        ConversionRequest several = row.request;
        several.threads = threads;
        EXPECT_TRUE(convert(bytes, several, p.strip_rows) == expected)
            << row.name << ", " << p.width << " x " << p.height << ", " << threads << " threads";
      }
    }
  }
}

// Several workers: the first input takes longest, so the others finish before it;
// what each says still comes in input order, and the status is the worst.
TEST_F(CliRun, ABatchOnSeveralWorkersReportsInInputOrder) {
  write_file(dir + "big.bmp", random_picture(1500, 1200, 1));
  write_file(dir + "a.bmp", random_picture(31, 17, 2));
  write_file(dir + "junk.bmp", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'});
  write_file(dir + "b.bmp", random_picture(5, 40, 3));
  std::vector<uint8_t> cut = random_picture(64, 64, 4);
  cut.resize(cut.size() / 2);
  write_file(dir + "cut.bmp", cut);
  write_file(dir + "c.bmp", random_picture(90, 3, 5));
  ::mkdir((dir + "one").c_str(), 0755);
  ::mkdir((dir + "four").c_str(), 0755);
  const std::string inputs = shell_word(dir + "big.bmp") + " " + shell_word(dir + "a.bmp") + " " +
                             shell_word(dir + "junk.bmp") + " " + shell_word(dir + "b.bmp") + " " +
                             shell_word(dir + "cut.bmp") + " " + shell_word(dir + "c.bmp");
  const Outcome one = run("-q -a -m soft -j 1 " + inputs + " -d " + shell_word(dir + "one"), "/dev/null",
                          dir + "one.txt");
  const Outcome four = run("-q -a -m soft -j 4 " + inputs + " -d " + shell_word(dir + "four"), "/dev/null",
                           dir + "four.txt");
  EXPECT_EQ(one.status, 1);
  EXPECT_EQ(four.status, 1);
  const std::string junk = quoted_name(dir + "junk.bmp"), cut_name = quoted_name(dir + "cut.bmp");
  EXPECT_EQ(four.errors, "quillvex-cli: " + junk + ": not a picture in a format this build reads\n" +
                             "quillvex-cli: " + cut_name + ": Read error.\n");
  EXPECT_EQ(four.errors, one.errors);
  const std::vector<uint8_t> said_one = read_file(dir + "one.txt"), said_four = read_file(dir + "four.txt");
  EXPECT_EQ(std::string(said_four.begin(), said_four.end()), std::string(said_one.begin(), said_one.end()));
  EXPECT_EQ(std::count(said_four.begin(), said_four.end(), '\n'), 4);
  for (const char* name : {"big.bmp", "a.bmp", "b.bmp", "c.bmp"}) {
    EXPECT_FALSE(read_file(dir + "one/" + name).empty()) << name;
    EXPECT_EQ(read_file(dir + "four/" + name), read_file(dir + "one/" + name)) << name;
  }
  EXPECT_FALSE(exists(dir + "four/junk.bmp"));
  EXPECT_FALSE(exists(dir + "four/cut.bmp"));
}

#ifdef QVX_CLI_VIPS
// libvips keeps one error text per process. A damaged PNG fails on one worker while
// the other opens good ones; the library made slow after each error, the other worker
// surely clears the text in between. The reason must still be the one a lone worker gives.
TEST_F(CliRun, ALibvipsFailureKeepsItsReasonBesideOtherWorkers) {
  write_file(dir + "in.bmp", random_picture(40, 33, 7));
  ASSERT_EQ(run("-q " + shell_word(dir + "in.bmp") + " -o " + shell_word(dir + "good.png")).status, 0);
  const std::vector<uint8_t> png = read_file(dir + "good.png");
  write_file(dir + "cut.png", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2));
  std::string inputs = shell_word(dir + "cut.png");
  for (int i = 0; i < 8; ++i) {
    const std::string name = dir + "g" + std::to_string(i) + ".png";
    write_file(name, png);
    inputs += " " + shell_word(name);
  }
  ::mkdir((dir + "one").c_str(), 0755);
  ::mkdir((dir + "two").c_str(), 0755);
  const Outcome one = run("-q -j 1 " + inputs + " -d " + shell_word(dir + "one"));
  environment = std::string("LD_PRELOAD=") + QVX_SLOW_VIPS_ERRORS +
                " ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0:exitcode=98 ";
  const Outcome two = run("-q -j 2 " + inputs + " -d " + shell_word(dir + "two"));
  EXPECT_EQ(one.status, 1);
  EXPECT_EQ(two.status, 1);
  EXPECT_EQ(one.errors.rfind("quillvex-cli: " + dir + "cut.png: can't decode: pngload: ", 0), 0u) << one.errors;
  EXPECT_EQ(two.errors, one.errors);
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(exists(dir + "two/g" + std::to_string(i) + ".bmp")) << i;
}
#endif

}  // namespace

// The command line of quillvex-cli, parsed from literal argument lists.
#include <gtest/gtest.h>

#include "cli/options.h"
#include "cli/otsu.h"

#include <cstdlib>

namespace {

TEST(CliOptions, ValidLinesFillTheOptions) {
  const struct {
    std::vector<std::string> args;
    int density, mode;
    bool invert, automatic, quiet;
    int format;
    std::vector<std::string> inputs;
    std::string output, folder;
  } cases[] = {
      {{"in.bmp", "-o", "out.bmp"}, 127, 0, false, false, false, kFormatBmp, {"in.bmp"}, "out.bmp", ""},
      {{"-t", "200", "-m", "hard", "-i", "in.bmp", "-o", "out.png"}, 200, 1, true, false, false, kFormatPng, {"in.bmp"},
       "out.png", ""},
      {{"--density=0", "--mode=soft", "--invert", "--quiet", "a.png", "b.bmp", "-d", "outs"}, 0, 2, true, false, true,
       kFormatBmp, {"a.png", "b.bmp"}, "", "outs"},
      {{"-t254", "-aq", "-", "-o", "-"}, 254, 0, false, true, true, kFormatBmp, {"-"}, "-", ""},
      {{"-f", "pbm", "x.bmp", "-o", "x.png"}, 127, 0, false, false, false, kFormatPbm, {"x.bmp"}, "x.png", ""},
      {{"x.bmp", "-o", "X.TIFF"}, 127, 0, false, false, false, kFormatTiff, {"x.bmp"}, "X.TIFF", ""},
      {{"x.bmp", "-o", "dir.png/out"}, 127, 0, false, false, false, kFormatBmp, {"x.bmp"}, "dir.png/out", ""},
      // '--' makes the words after it inputs, but the output may still follow them.
      {{"--", "-t", "-o", "o.bmp"}, 127, 0, false, false, false, kFormatBmp, {"-t"}, "o.bmp", ""},
      {{"-i", "--", "-a.png", "-q", "-d", "outs"}, 127, 0, true, false, false, kFormatBmp, {"-a.png", "-q"}, "",
       "outs"},
      {{"-f", "TIFF", "x.bmp", "-o", "x.jpg"}, 127, 0, false, false, false, kFormatTiff, {"x.bmp"}, "x.jpg", ""},
      {{"x.bmp", "-o", "dir/.hidden"}, 127, 0, false, false, false, kFormatBmp, {"x.bmp"}, "dir/.hidden", ""},
  };
  for (const auto& c : cases) {
    CliOptions o;
    std::string error;
    const int outcome = parse_cli_options(c.args, o, error);
    ASSERT_EQ(outcome, kParseRun) << error;
    EXPECT_EQ(o.density, c.density);
    EXPECT_EQ(o.mode, c.mode);
    EXPECT_EQ(o.invert, c.invert);
    EXPECT_EQ(o.automatic, c.automatic);
    EXPECT_EQ(o.quiet, c.quiet);
    EXPECT_EQ(o.format, c.format);
    EXPECT_EQ(o.inputs, c.inputs);
    EXPECT_EQ(o.output, c.output);
    EXPECT_EQ(o.folder, c.folder);
  }
}

TEST(CliOptions, BadLinesAreUsageErrors) {
  const std::vector<std::vector<std::string>> lines = {
      {},
      {"-o", "out.bmp"},
      {"in.bmp"},
      {"in.bmp", "-t", "255", "-o", "o.bmp"},
      {"in.bmp", "-t", "-1", "-o", "o.bmp"},
      {"in.bmp", "-t", "12x", "-o", "o.bmp"},
      {"in.bmp", "-m", "photo", "-o", "o.bmp"},
      {"in.bmp", "-f", "gif", "-o", "o.bmp"},
      {"in.bmp", "-x", "-o", "o.bmp"},
      {"in.bmp", "-o"},
      {"a.bmp", "b.bmp", "-o", "o.bmp"},
      {"a.bmp", "-o", "o.bmp", "-d", "dir"},
      {"-", "-", "-d", "dir"},
      {"in.bmp", "-o", "out.jpg"},  // no format of that name: BMP bytes would be misnamed
      {"in.bmp", "--max-pixels", "0", "-o", "o.bmp"},
      {"in.bmp", "--max-pixels=1e9", "-o", "o.bmp"},
  };
  for (const auto& args : lines) {
    CliOptions o;
    std::string error;
    EXPECT_EQ(parse_cli_options(args, o, error), kParseUsage) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(error.empty());
  }
  CliOptions o;
  std::string error;
  EXPECT_EQ(parse_cli_options({"--help"}, o, error), kParseHelp);
  EXPECT_EQ(parse_cli_options({"--version"}, o, error), kParseVersion);
  ASSERT_EQ(parse_cli_options({"a.bmp", "-o", "b.bmp"}, o, error), kParseRun);
  EXPECT_EQ(o.max_pixels, 1000000000u);
  ASSERT_EQ(parse_cli_options({"--max-pixels=123456789012", "a.bmp", "-o", "b.bmp"}, o, error), kParseRun);
  EXPECT_EQ(o.max_pixels, 123456789012u);
}

TEST(CliOptions, FolderOutputsAreNamedAfterTheInputs) {
  CliOptions o;
  o.folder = "out";
  EXPECT_EQ(output_path_for(o, "pics/a.photo.png", kFormatBmp), "out/a.photo.bmp");
  EXPECT_EQ(output_path_for(o, "b", kFormatTiff), "out/b.tif");
  EXPECT_EQ(output_path_for(o, "-", kFormatPbm), "out/stdin.pbm");
  o.folder = "/";
  EXPECT_EQ(output_path_for(o, ".hidden", kFormatPng), "/.hidden.png");
}

// Two humps (200 pixels at 60 and at 190) over one pixel of every level 0..250: the
// histogram is symmetric about 125, so the split that maximises the between-class
// variance lies at 124.5 (classes 0..124 and 125..250, or its mirror 0..125 and 126..250).
TEST(Otsu, ASymmetricBimodalHistogramSplitsInTheMiddle) {
  uint64_t h[256] = {};
  for (int v = 0; v <= 250; ++v) h[v] = 1;
  h[60] += 200;
  h[190] += 200;
  EXPECT_NEAR(otsu_threshold(h), 124.5, 1);
  uint64_t single[256] = {};
  single[77] = 5;
  EXPECT_EQ(otsu_threshold(single), 127);
}

}  // namespace

// The command line of quillvex-cli, parsed from literal argument lists.
#include <gtest/gtest.h>

#include "cli/option_table.h"
#include "cli/options.h"
#include "mono/otsu.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

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
      {{"-t254", "-q", "-", "-o", "-"}, 254, 0, false, false, true, kFormatBmp, {"-"}, "-", ""},
      {{"-aq", "-", "-o", "-"}, 127, 0, false, true, true, kFormatBmp, {"-"}, "-", ""},
      {{"-f", "pbm", "x.bmp", "-o", "x.png"}, 127, 0, false, false, false, kFormatPbm, {"x.bmp"}, "x.png", ""},
      {{"x.bmp", "-o", "X.TIFF"}, 127, 0, false, false, false, kFormatTiff, {"x.bmp"}, "X.TIFF", ""},
      {{"x.bmp", "-o", "dir.png/out"}, 127, 0, false, false, false, kFormatBmp, {"x.bmp"}, "dir.png/out", ""},
      // '--' makes the words after it inputs, but the output may still follow them.
      {{"--", "-t", "-o", "o.bmp"}, 127, 0, false, false, false, kFormatBmp, {"-t"}, "o.bmp", ""},
      {{"-i", "--", "-a.png", "-q", "-d", "outs"}, 127, 0, true, false, false, kFormatBmp, {"-a.png", "-q"}, "",
       "outs"},
      {{"-f", "TIFF", "x.bmp", "-o", "x.jpg"}, 127, 0, false, false, false, kFormatTiff, {"x.bmp"}, "x.jpg", ""},
      {{"x.bmp", "-o", "dir/.hidden"}, 127, 0, false, false, false, kFormatBmp, {"x.bmp"}, "dir/.hidden", ""},
      // The device formats by extension (any of a format's) and by name or extension after -f.
      {{"x.bmp", "-o", "receipt.POS"}, 127, 0, false, false, false, kFormatEscPos, {"x.bmp"}, "receipt.POS", ""},
      {{"x.bmp", "-o", "logo.c"}, 127, 0, false, false, false, kFormatC, {"x.bmp"}, "logo.c", ""},
      {{"-f", "H", "x.bmp", "-o", "x.tif"}, 127, 0, false, false, false, kFormatC, {"x.bmp"}, "x.tif", ""},
  };
  for (const auto& c : cases) {
    CliOptions o;
    std::string error;
    const ParseOutcome outcome = parse_cli_options(c.args, o, error);
    ASSERT_EQ(outcome, ParseOutcome::kRun) << error;
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
    EXPECT_EQ(parse_cli_options(args, o, error), ParseOutcome::kUsage) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(error.empty());
  }
  CliOptions o;
  std::string error;
  EXPECT_EQ(parse_cli_options({"--help"}, o, error), ParseOutcome::kHelp);
  EXPECT_EQ(parse_cli_options({"--version"}, o, error), ParseOutcome::kVersion);
  ASSERT_EQ(parse_cli_options({"a.bmp", "-o", "b.bmp"}, o, error), ParseOutcome::kRun);
  EXPECT_EQ(o.max_pixels, 1000000000u);
  ASSERT_EQ(parse_cli_options({"--max-pixels=123456789012", "a.bmp", "-o", "b.bmp"}, o, error), ParseOutcome::kRun);
  EXPECT_EQ(o.max_pixels, 123456789012u);
}

// Each halftoning option refused with one message when its value is bad or the
// method chosen does not take it.
TEST(CliOptions, HalftoningOptionsThatDontApplyAreUsageErrors) {
  const char kNoScan[] = "--serpentine needs an error-diffusion method (--list-methods)";
  const char kNoLinear[] = "--linear needs a halftoning method (--list-methods)";
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"-m", "dots"}, "mode must be letter, hard, soft or a method --list-methods prints: dots"},
      {{"-m", "sauvola", "--radius", "0"}, "--radius must be a whole number from 1 to 10000: 0"},
      {{"-m", "sauvola", "--radius", "10001"}, "--radius must be a whole number from 1 to 10000: 10001"},
      {{"-m", "sauvola", "--k", "abc"}, "--k must be a number: abc"},
      {{"-m", "bradley", "--percent", "101"}, "--percent must be a whole number from 0 to 100: 101"},
      {{"-m", "bayer4", "--serpentine"}, kNoScan},
      {{"--serpentine"}, kNoScan},
      {{"-m", "hard", "--linear"}, kNoLinear},
      {{"-m", "floyd-steinberg", "--radius", "3"}, "--radius needs bradley, sauvola or niblack"},
      {{"-m", "bradley", "--k", "0.1"}, "--k needs sauvola or niblack"},
      {{"-m", "niblack", "--percent", "5"}, "--percent needs bradley"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"in.bmp", "-o", "out.bmp"});
    CliOptions o;
    std::string error;
    EXPECT_EQ(parse_cli_options(args, o, error), ParseOutcome::kUsage) << c.error;
    EXPECT_EQ(error, c.error);
  }
  CliOptions o;
  std::string error;
  ASSERT_EQ(parse_cli_options({"-m", "niblack", "--k=-0.5", "--radius=12", "a.bmp", "-o", "b.bmp"}, o, error),
            ParseOutcome::kRun);
  EXPECT_EQ(o.method, HalftoneMethod::kNiblack);
  EXPECT_EQ(o.halftone.k, -0.5);
  EXPECT_EQ(o.halftone.radius, 12);
  EXPECT_EQ(parse_cli_options({"--list-methods"}, o, error), ParseOutcome::kListMethods);
}

// Any row of the table, a module's new one too, given twice is refused: a value the
// row takes alone is found by its own setter, so no row needs listing here.
TEST(CliOptions, EveryOptionGivenTwiceIsRefused) {
  const char* const candidates[] = {"1", "1x1", "90", "4", "h", "white", "contain", "hard", "bmp", "rows-msb", "0.5", "x", "acep7"};
  const CliOptionSections sections = cli_option_sections();
  for (size_t s = 0; s < sections.count; ++s) {
    for (size_t r = 0; r < sections.list[s]->count; ++r) {
      const CliOption& row = sections.list[s]->rows[r];
      if (row.outcome != ParseOutcome::kRun) continue;
      const std::string name = row.long_name ? std::string("--") + row.long_name : std::string("-") + row.short_name;
      std::vector<std::string> once = {name};
      if (row.argument) {
        CliOptions scratch;
        const char* const* value = std::find_if(std::begin(candidates), std::end(candidates),
                                                [&](const char* v) { return row.set(v, scratch); });
        ASSERT_NE(value, std::end(candidates)) << name << " takes none of the candidate values";
        once.push_back(*value);
      }
      std::vector<std::string> args = once;
      args.insert(args.end(), once.begin(), once.end());
      args.insert(args.end(), {"in.bmp", "-o", "o.bmp"});
      CliOptions o;
      std::string error;
      EXPECT_EQ(parse_cli_options(args, o, error), ParseOutcome::kUsage) << name;
      EXPECT_EQ(error, name + " given twice");
    }
  }
}

// Repeats through other spellings and groups, the exclusive pairs in either order, and
// the size limit at its edge; inputs named twice are no repeat.
TEST(CliOptions, RepeatsContradictionsAndSizeLimit) {
  const struct {
    std::vector<std::string> args;
    std::string error;  // empty: the line runs
  } cases[] = {
      {{"-t5", "--density=5"}, "--density given twice (first as -t)"},
      {{"-iqi"}, "-i given twice"},
      {{"-q", "-iq"}, "-q given twice"},
      {{"-ia", "-t", "100"}, "-a and -t exclude each other"},
      {{"--density", "100", "--auto"}, "--density and --auto exclude each other"},
      {{"-d", "outs"}, "-o and -d exclude each other"},
      {{"--", "-o", "x.bmp"}, "-o given twice"},
      {{"--size", "1000x1001", "--max-pixels", "1000999"},
       "--size 1000x1001 is 1001000 pixels, more than --max-pixels (1000999)"},
      {{"--size", "1000x1001", "--max-pixels", "1001000"}, ""},
      {{"--size", "1000000x", "--max-pixels", "1"}, ""},  // the other side comes from the picture
      {{"--rotate", "0"}, "--rotate must be 90, 180 or 270: 0"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"in.bmp", "-o", "o.bmp"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CliOptions o;
    std::string error;
    EXPECT_EQ(parse_cli_options(args, o, error), c.error.empty() ? ParseOutcome::kRun : ParseOutcome::kUsage)
        << c.error;
    EXPECT_EQ(error, c.error);
  }
  CliOptions o;
  std::string error;
  ASSERT_EQ(parse_cli_options({"a.bmp", "a.bmp", "-d", "outs"}, o, error), ParseOutcome::kRun) << error;
  EXPECT_EQ(o.inputs.size(), 2u);
}

TEST(CliOptions, FolderOutputsAreNamedAfterTheInputs) {
  CliOptions o;
  o.folder = "out";
  EXPECT_EQ(output_path_for(o, "pics/a.photo.png", kFormatBmp), "out/a.photo.bmp");
  EXPECT_EQ(output_path_for(o, "b", kFormatTiff), "out/b.tif");
  EXPECT_EQ(output_path_for(o, "-", kFormatPbm), "out/stdin.pbm");
  EXPECT_EQ(output_path_for(o, "logo.png", kFormatC), "out/logo.h");
  EXPECT_EQ(output_path_for(o, "r.png", kFormatEscPos), "out/r.escpos");
  o.folder = "/";
  EXPECT_EQ(output_path_for(o, ".hidden", kFormatPng), "/.hidden.png");
}

// A module's rows come from its own file: two rows answering to one name would leave
// the second unreachable, a row of the run without a setter would crash the parser,
// and an exclusion naming no row would let the contradiction through.
TEST(CliOptionTable, EveryNameIsTakenOnceAndEveryRowActs) {
  std::set<std::string> names;
  std::vector<std::string> excluded;
  const CliOptionSections sections = cli_option_sections();
  for (size_t s = 0; s < sections.count; ++s) {
    for (size_t r = 0; r < sections.list[s]->count; ++r) {
      const CliOption& row = sections.list[s]->rows[r];
      ASSERT_TRUE(row.long_name || row.short_name) << row.help;
      if (row.long_name) EXPECT_TRUE(names.insert(std::string("--") + row.long_name).second) << row.long_name;
      if (row.short_name) EXPECT_TRUE(names.insert(std::string("-") + row.short_name).second) << row.short_name;
      EXPECT_EQ(row.set != nullptr, row.outcome == ParseOutcome::kRun) << row.help;
      if (row.excludes) excluded.push_back(row.excludes);
    }
  }
  for (const std::string& name : excluded) EXPECT_EQ(names.count(name), 1u) << name;
}

// The README's option list is what --help prints, line for line, so the two can't drift.
TEST(CliHelp, TheReadmeListsWhatHelpPrints) {
  FILE* pipe = popen("'" QVX_CLI "' --help", "r");
  ASSERT_NE(pipe, nullptr);
  std::string help;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) help += buffer;
  ASSERT_EQ(pclose(pipe), 0);
  std::string block;  // the help as an indented README block
  for (size_t start = 0; start < help.size();) {
    const size_t end = help.find('\n', start);
    const std::string line = help.substr(start, end - start);
    block += (line.empty() ? "" : "    " + line) + "\n";
    start = end == std::string::npos ? help.size() : end + 1;
  }
  std::ifstream readme(std::string(QVX_TESTDATA) + "/../../README.md");
  std::string line;
  while (std::getline(readme, line) && line != "    $ quillvex-cli --help") {
  }
  ASSERT_TRUE(readme) << "README.md has no line '    $ quillvex-cli --help'";
  std::string listed;
  for (size_t n = std::count(block.begin(), block.end(), '\n'); n > 0 && std::getline(readme, line); --n) {
    listed += line + "\n";
  }
  std::getline(readme, line);
  if (readme) listed += line.empty() ? "" : line + "\n";  // the block ends with the help
  EXPECT_EQ(listed, block) << "the README's block after '$ quillvex-cli --help' should read:\n" << block;
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

// quillvex-cli run as a user runs it: outputs compared with the program's own
// conversion rules, the other formats read back, failures reported once.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/batch_pictures.h"
#include "common/claimed_sizes.h"
#include "common/cli_runner.h"
#include "common/golden.h"
#include "common/result_pixels.h"
#include "mono/bmp_writer.h"
#include "mono/conversion.h"
#include "mono/result_bitmap.h"
#include "common/bmp_builder.h"
#ifdef QVX_CLI_VIPS
#include <vips/vips.h>
#endif
#ifdef QVX_CLI_TIFF
#include <tiffio.h>
#endif

namespace {

// A 37 x 21 24-bit picture, mid-grey all over.
std::vector<uint8_t> grey_picture() {
  BmpFile f;
  f.width = 37;
  f.height = 21;
  f.pixels = pack_rows(24, f.width, std::vector<std::vector<uint32_t>>(21, std::vector<uint32_t>(37, 0x808080)));
  return build_bmp(f);
}

// The file the Windows program writes for a BMP file, by the core's rules.

const char* const kModes[] = {"letter", "hard", "soft"};

TEST_F(CliRun, BmpOutputIsTheProgramsOutput) {
  using namespace batch_pictures;
  int run_number = 0;
  for (const Picture& p : kPictures) {
    const auto rows = random_rows(p, 1000u + p.bit_count + p.header_size);
    const std::vector<uint8_t> plain = build_bmp(make_file(p, rows, false));
    write_file(dir + "in.bmp", p.compression ? build_bmp(make_file(p, rows, true)) : plain);
    for (int mode = 0; mode < 3; ++mode) {
      for (bool invert : {false, true}) {
        const int density = 60 + 37 * (run_number++ % 5);
        const std::string args = "-q -t " + std::to_string(density) + " -m " + kModes[mode] + (invert ? " -i" : "") +
                                 " " + shell_word(dir + "in.bmp") + " -o " + shell_word(dir + "out.bmp");
        ASSERT_EQ(run(args).status, 0) << p.name << " " << args;
        // A compressed picture converts like its uncompressed twin.
        EXPECT_EQ(read_file(dir + "out.bmp"), expected_output(plain, density, mode, invert)) << p.name << " " << args;
      }
    }
  }
}

// The command against the golden outputs, which a model apart from the program's
// code worked out: a fault the core and its tests' expectations share shows here.
TEST_F(CliRun, BmpOutputsAreTheGoldenOnes) {
  for (size_t i = 0; i < std::size(golden::kPictures); ++i) {
    write_file(dir + "in.bmp", golden::file_of(golden::kPictures[i]));
    for (size_t k = 0; k < std::size(golden::kConversions); ++k) {
      const golden::Conversion& c = golden::kConversions[k];
      const std::string args = "-q -t " + std::to_string(c.density) + " -m " + kModes[c.mode] + (c.invert ? " -i" : "") +
                               " " + shell_word(dir + "in.bmp") + " -o " + shell_word(dir + "out.bmp");
      ASSERT_EQ(run(args).status, 0) << golden::kPictures[i].name << " " << args;
      EXPECT_EQ(golden::checksum(read_file(dir + "out.bmp")), golden::kChecksums[i][k])
          << golden::kPictures[i].name << " " << args;
    }
  }
}

// Pictures of many strips, bottom-up and top-down, compressed and not: every
// pixel gets its own random draw across the strip boundaries.
TEST_F(CliRun, LargePicturesConvertStripByStrip) {
  using namespace batch_pictures;
  uint32_t seed = 3;
  for (int32_t height : {1100, -700}) {
    BmpFile f;
    f.width = 1001;
    f.height = height;
    f.bit_count = 24;
    f.x_resolution = 3937;
    std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(std::abs(height)), std::vector<uint32_t>(1001));
    for (auto& row : rows)
      for (auto& v : row) v = next_value(seed) & 0xFFFFFF;
    f.pixels = pack_rows(24, f.width, rows);
    const std::vector<uint8_t> file = build_bmp(f);
    write_file(dir + "big.bmp", file);
    ASSERT_EQ(run("-q -m soft " + shell_word(dir + "big.bmp") + " -o " + shell_word(dir + "out.bmp")).status, 0);
    EXPECT_EQ(read_file(dir + "out.bmp"), batch_pictures::expected_output(file, 127, kModePhotoSoft, false)) << height;
  }
  // An RLE8 picture taller than one strip of decoded rows.
  BmpFile f;
  f.width = 600;
  f.height = 600;
  f.bit_count = 8;
  for (uint32_t i = 0; i < 256; ++i) f.colours.push_back(next_value(seed) & 0xFFFFFF);
  std::vector<std::vector<uint32_t>> rows(600, std::vector<uint32_t>(600));
  for (auto& row : rows)
    for (auto& v : row) v = next_value(seed) & 0xFF;
  f.compression = 1;
  f.pixels = encode_rle(rows, false);
  f.image_size = static_cast<uint32_t>(f.pixels.size());
  write_file(dir + "rle.bmp", build_bmp(f));
  ASSERT_EQ(run("-q -m hard " + shell_word(dir + "rle.bmp") + " -o " + shell_word(dir + "out.bmp")).status, 0);
  BmpFile twin = f;
  twin.compression = 0;
  twin.image_size = 0;
  twin.pixels = pack_rows(8, 600, rows);
  const std::vector<uint8_t> expected = batch_pictures::expected_output(build_bmp(twin), 127, kModePhotoHard, false);
  const std::vector<uint8_t> got = read_file(dir + "out.bmp");
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(std::equal(got.begin() + 62, got.end(), expected.begin() + 62));
}

TEST_F(CliRun, StandardInputAndOutputGiveTheSameBytes) {
  using namespace batch_pictures;
  const Picture p = {"8-bit", 8, 40, false, false, 0};
  const std::vector<uint8_t> file = build_bmp(make_file(p, random_rows(p, 9), false));
  write_file(dir + "in.bmp", file);
  ASSERT_EQ(run("-q -m hard - -o -", dir + "in.bmp", dir + "piped.bmp").status, 0);
  EXPECT_EQ(read_file(dir + "piped.bmp"), batch_pictures::expected_output(file, 127, kModePhotoHard, false));
}

// The reasons are the reader's messages; the output is never left half written.
TEST_F(CliRun, EveryFailureIsOneMessageAndNoOutput) {
  using namespace batch_pictures;
  const Picture p = {"24-bit", 24, 40, false, false, 0};
  std::vector<uint8_t> good = build_bmp(make_file(p, random_rows(p, 4), false));
  write_file(dir + "good.bmp", good);
  write_file(dir + "short.bmp", std::vector<uint8_t>(good.begin(), good.end() - 10));
  write_file(dir + "empty.bmp", {});
  write_file(dir + "tiny.bmp", {'B', 'M', 0, 0});
  std::vector<uint8_t> v5 = good;
  put_u32(v5.data() + 14, 124);
  write_file(dir + "v5.bmp", v5);
  mkdir((dir + "folder.bmp").c_str(), 0755);
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"short.bmp", "Read error."},
      {"empty.bmp", "not a picture in a format this build reads"},
      {"tiny.bmp", "Can't read bitmap file header."},
      {"v5.bmp", "This file format is not supported."},
      {"folder.bmp", "is a folder"},
      {"missing.bmp", "not found"},
      {"hello.bmp", "not a picture in a format this build reads"},
      {"new\nline.bmp", "not found"},
      {"locked.bmp", "permission denied"},
  };
  write_file(dir + "hello.bmp", {'h', 'e', 'l', 'l', 'o'});
  write_file(dir + "locked.bmp", good);
  chmod((dir + "locked.bmp").c_str(), 0);
  for (const auto& c : cases) {
    if (std::string(c.name) == "locked.bmp" && geteuid() == 0) continue;  // root reads it all the same
    write_file(dir + "out.bmp", {'o', 'l', 'd'});
    const Outcome o = run("-q " + shell_word(dir + c.name) + " -o " + shell_word(dir + "out.bmp"));
    EXPECT_EQ(o.status, 1) << c.name;
    std::string reason = c.reason;
    const size_t at = reason.find("DIR/");
    if (at != std::string::npos) reason.replace(at, 4, dir);
    const std::string shown = std::strchr(c.name, '\n') ? "\"" + dir + "new\\nline.bmp\"" : dir + c.name;
    EXPECT_EQ(o.errors, "quillvex-cli: " + shown + ": " + reason + "\n");
    EXPECT_EQ(read_file(dir + "out.bmp"), (std::vector<uint8_t>{'o', 'l', 'd'})) << c.name << " replaced the output";
  }
  // Several inputs: the good ones are still converted, the status tells of the bad one.
  mkdir((dir + "outs").c_str(), 0755);
  const Outcome o = run("-q " + shell_word(dir + "short.bmp") + " " + shell_word(dir + "good.bmp") + " -d " + shell_word(dir + "outs"));
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(read_file(dir + "outs/good.bmp"), batch_pictures::expected_output(good, 127, 0, false));
  EXPECT_FALSE(exists(dir + "outs/short.bmp"));
  for (const std::string& name : files_left()) EXPECT_EQ(name.find(".quillvex-cli-"), std::string::npos) << name;
  // An output that would replace its input is refused.
  EXPECT_EQ(run("-q " + shell_word(dir + "good.bmp") + " -d " + shell_word(dir)).status, 1);
  EXPECT_EQ(read_file(dir + "good.bmp"), good);
}

// A usage error is its message and a hint, not the whole help, so the message stays on
// screen; DIR/ stands for the test's folder.
TEST_F(CliRun, UsageErrorsAreOneLineAndAHint) {
  const char kHint[] = "Try 'quillvex-cli --help' for more information.\n";
  write_file(dir + "file", {'x'});
  const struct {
    const char* args;
    const char* message;
    bool hint;
  } cases[] = {
      {"", "no input named", true},
      {"a.bmp", "no output named (-o OUTPUT or -d FOLDER)", true},
      {"-m x a.bmp -o b.bmp", "mode must be letter, hard, soft or a method --list-methods prints: x", true},
      {"-t 300 a.bmp -o b.bmp", "density must be a whole number from 0 to 254: 300", true},
      {"--flip h --flip v a.bmp -o b.bmp", "--flip given twice", true},
      {"--rotate 90 --rotate 90 a.bmp -o b.bmp", "--rotate given twice", true},
      {"-t 10 -t 250 a.bmp -o b.bmp", "-t given twice", true},
      {"-i -i a.bmp -o b.bmp", "-i given twice", true},
      {"-a -t 100 a.bmp -o b.bmp", "-a and -t exclude each other", true},
      {"--size 65535x65535 a.png -o b.bmp", "--size 65535x65535 is 4294836225 pixels, more than --max-pixels (1000000000)",
       true},
      {"-m bradley --percent 50.5 a.bmp -o b.bmp", "--percent must be a whole number from 0 to 100: 50.5", true},
      {"--rotate 0 a.bmp -o b.bmp", "--rotate must be 90, 180 or 270: 0", true},
      {"-m sauvola --radius 0 a.bmp -o b.bmp", "--radius must be a whole number from 1 to 10000: 0", true},
      {"a.bmp -d DIR/missing", "DIR/missing: no such folder", false},
      {"a.bmp -d DIR/file", "DIR/file: not a folder", false},
  };
  for (const auto& c : cases) {
    std::string args = c.args, message = std::string("quillvex-cli: ") + c.message + "\n";
    for (std::string* text : {&args, &message}) {
      const size_t at = text->find("DIR/");
      if (at != std::string::npos) text->replace(at, 4, dir);
    }
    const Outcome o = run(args);
    EXPECT_EQ(o.status, 2) << args;
    EXPECT_EQ(o.errors, message + (c.hint ? kHint : "")) << args;
  }
  // The help itself goes whole to standard output; --list-methods warns of niblack's white pages.
  const Outcome help = run("--help", "/dev/null", dir + "help.txt");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.errors, "");
  const std::vector<uint8_t> text = read_file(dir + "help.txt");
  EXPECT_EQ(std::string(text.begin(), text.end()).rfind("usage: quillvex-cli [options]", 0), 0u);
  ASSERT_EQ(run("--list-methods", "/dev/null", dir + "methods.txt").status, 0);
  const std::vector<uint8_t> methods = read_file(dir + "methods.txt");
  EXPECT_NE(std::string(methods.begin(), methods.end()).find("a blank white page comes out all black"),
            std::string::npos);
  EXPECT_EQ(run("--version").status, 0);
}

TEST_F(CliRun, EverySuiteFileConvertsOrFailsWithOneMessage) {
  int converted = 0;
  for (const char* folder : {"g", "q", "b", "x"}) {
    const std::string directory = std::string(QVX_TESTDATA) + "/bmpsuite/" + folder;
    FILE* list = popen(("ls " + shell_word(directory)).c_str(), "r");
    char line[512];
    while (list && std::fgets(line, sizeof line, list)) {
      std::string name(line);
      name.pop_back();
      const std::string path = directory + "/" + name;
      std::remove((dir + "out.bmp").c_str());
      const Outcome o = run("-q -m soft " + shell_word(path) + " -o " + shell_word(dir + "out.bmp"));
      ASSERT_TRUE(o.status == 0 || o.status == 1) << path << " status " << o.status << "\n" << o.errors;
      if (o.status == 0) {
        ++converted;
        EXPECT_TRUE(o.errors.empty()) << path;
        EXPECT_TRUE(exists(dir + "out.bmp")) << path;
      } else {
        EXPECT_EQ(o.errors.compare(0, 16 + path.size(), "quillvex-cli: " + path + ": "), 0) << o.errors;
        EXPECT_EQ(std::count(o.errors.begin(), o.errors.end(), '\n'), 1) << o.errors;
        EXPECT_FALSE(exists(dir + "out.bmp")) << path;
      }
    }
    if (list) pclose(list);
  }
  EXPECT_GT(converted, 30);
}

// Grey pixels (luminance = grey level): one of every level 0..250 and 200 each of
// 60 and 190, symmetric about 125, so Otsu's split lies at 124.5.
TEST_F(CliRun, AutoPicksOtsusThreshold) {
  std::vector<uint32_t> row;
  for (uint32_t v = 0; v <= 250; ++v) row.push_back(v * 0x010101);
  for (int i = 0; i < 200; ++i) {
    row.push_back(60 * 0x010101);
    row.push_back(190 * 0x010101);
  }
  BmpFile f;
  f.width = static_cast<int32_t>(row.size());
  f.height = 1;
  f.pixels = pack_rows(24, f.width, {row});
  write_file(dir + "bimodal.bmp", build_bmp(f));
  const Outcome o = run("-a " + shell_word(dir + "bimodal.bmp") + " -o " + shell_word(dir + "out.bmp"), "/dev/null",
                        dir + "printed.txt");
  ASSERT_EQ(o.status, 0) << o.errors;
  const std::vector<uint8_t> printed = read_file(dir + "printed.txt");
  const std::string text(printed.begin(), printed.end());
  const size_t at = text.find("density ");
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_NEAR(std::atoi(text.c_str() + at + 8), 124.5, 1);
}

#ifdef QVX_CLI_VIPS
TEST_F(CliRun, PngTiffAndPbmHoldTheBmpPixels) {
  ASSERT_EQ(VIPS_INIT("qvx_cli_tests"), 0);
  vips_cache_set_max(0);  // the same names are read again after they changed
  using namespace batch_pictures;
  uint32_t seed = 11;
  // A bottom-up BMP with a resolution (held whole for the top-down formats) and a
  // PNG (streamed), in a photo mode.
  BmpFile f;
  f.width = 203;
  f.height = 77;
  f.x_resolution = f.y_resolution = 11811;  // 300 dots per inch
  std::vector<std::vector<uint32_t>> rows(77, std::vector<uint32_t>(203));
  for (auto& row : rows)
    for (auto& v : row) v = next_value(seed) & 0xFFFFFF;
  f.pixels = pack_rows(24, f.width, rows);
  write_file(dir + "in.bmp", build_bmp(f));
  ASSERT_EQ(run("-q -m hard " + shell_word(dir + "in.bmp") + " -o " + shell_word(dir + "in.png")).status, 0);
  for (const char* input : {"in.bmp", "in.png"}) {
    const std::string base = std::string("-q -m hard -t 90 ") + shell_word(dir + input) + " -o " + shell_word(dir + "r");
    ASSERT_EQ(run(base + ".bmp").status, 0) << input;
    const std::vector<int> reference = bmp_pixels(read_file(dir + "r.bmp"));
    ASSERT_EQ(reference.size(), 203u * 77u);
    for (const char* format : {".png", ".tif"}) {
      ASSERT_EQ(run(base + format).status, 0) << input << format;
      double xres = 0;
      EXPECT_EQ(vips_pixels(dir + "r" + format, xres), reference) << input << format;
      EXPECT_NEAR(xres, 11.811, 0.001) << input << format;  // pixels per millimetre
    }
    ASSERT_EQ(run(base + ".pbm").status, 0) << input;
    EXPECT_EQ(pbm_pixels(read_file(dir + "r.pbm")), reference) << input;
  }
}

#if defined(QVX_CLI_PNG) && defined(QVX_CLI_TIFF)
// Sizes the formats allow beyond the libraries' defaults: a PNG over a million
// pixels wide, and a TIFF in strips of a few rows, not one strip of every row.
TEST_F(CliRun, WideAndTallPicturesKeepWithinTheFormats) {
  ASSERT_EQ(VIPS_INIT("qvx_cli_tests"), 0);
  vips_cache_set_max(0);
  write_file(dir + "wide.bmp", rle8_claiming(1000001, 1));
  ASSERT_EQ(run("-q " + shell_word(dir + "wide.bmp") + " -o " + shell_word(dir + "wide.png")).status, 0);
  double xres = 0;
  EXPECT_EQ(vips_pixels(dir + "wide.png", xres), std::vector<int>(1000001, 0));
  write_file(dir + "tall.bmp", rle8_claiming(64, 3000));
  ASSERT_EQ(run("-q " + shell_word(dir + "tall.bmp") + " -o " + shell_word(dir + "tall.tif")).status, 0);
  TIFF* t = TIFFOpen((dir + "tall.tif").c_str(), "r");
  ASSERT_NE(t, nullptr);
  uint32_t rows_per_strip = 0;
  TIFFGetField(t, TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
  EXPECT_LE(rows_per_strip, 1024u);
  EXPECT_GE(TIFFNumberOfStrips(t), 3u);
  TIFFClose(t);
}

// libpng and libtiff come with their module, loaded by a PNG or TIFF output only.
TEST_F(CliRun, OnlyPngAndTiffOutputsLoadTheirWriters) {
  write_file(dir + "in.bmp", grey_picture());
  environment = "LD_DEBUG=files ";  // the loader names every library it opens on standard error
  const struct {
    const char* output;
    bool loads;
  } cases[] = {{"out.bmp", false}, {"out.pbm", false}, {"out.png", true}, {"out.tif", true}};
  for (const auto& c : cases) {
    const Outcome o = run("-q " + shell_word(dir + "in.bmp") + " -o " + shell_word(dir + c.output));
    EXPECT_EQ(o.status, 0) << c.output;
    for (const char* library : {"/quillvex-cli-codecs.so", "libpng16.so", "libtiff.so"}) {
      EXPECT_EQ(o.errors.find(library) != std::string::npos, c.loads) << c.output << " " << library;
    }
  }
  // Without the module beside the command, a PNG or TIFF output says so, and the
  // other formats are written as ever.
  mkdir((dir + "lone").c_str(), 0755);
  ASSERT_EQ(std::system(("cp " + shell_word(QVX_CLI) + " " + shell_word(dir + "lone/")).c_str()), 0);
  const struct {
    const char* options;
    const char* output;
    bool written;
  } lone[] = {{"", "out.bmp", true},
              {"", "out.png", false},
              {"", "out.tif", false},
              {"--levels 4 -m floyd-steinberg ", "out.png", false}};
  for (const auto& c : lone) {
    const std::string target = dir + "lone/" + c.output;
    const int raw = std::system(("'" + dir + "lone/quillvex-cli' -q " + c.options + shell_word(dir + "in.bmp") +
                                 " -o " + shell_word(target) + " 2>" + shell_word(dir + "lone.txt"))
                                    .c_str());
    const std::vector<uint8_t> errors = read_file(dir + "lone.txt");
    EXPECT_EQ(WEXITSTATUS(raw), c.written ? 0 : 1) << c.options << c.output;
    EXPECT_EQ(std::string(errors.begin(), errors.end()),
              c.written ? ""
                        : "quillvex-cli: " + dir + "in.bmp: can't write " + target +
                              ": the PNG and TIFF writer module quillvex-cli-codecs.so is missing beside the command "
                              "or won't load\n")
        << c.options << c.output;
    EXPECT_EQ(exists(target), c.written) << c.options << c.output;
  }
}
#endif

// Failures of the preparation name their cause: the size against the limit (known
// for a BMP to be the prepared size, as its header passed it), or the missing module.
TEST_F(CliRun, PreparationFailuresSayWhy) {
  write_file(dir + "in.bmp", grey_picture());
  ASSERT_EQ(run("-q " + shell_word(dir + "in.bmp") + " -o " + shell_word(dir + "in.png")).status, 0);
  // 100000 x round(21 * 100000 / 37) = 100000 x 56757 pixels.
  const struct {
    const char* input;
    const char* reason;
  } too_large[] = {
      {"in.bmp", "File is too large: 100000 x 56757 pixels; --max-pixels allows 1000000000."},
      {"in.png", "File is too large: 100000 x 56757 pixels; --max-pixels allows 1000000000."},
  };
  for (const auto& c : too_large) {
    const Outcome o = run("-q --size 100000x " + shell_word(dir + c.input) + " -o " + shell_word(dir + "out.bmp"));
    EXPECT_EQ(o.status, 1) << c.input;
    EXPECT_EQ(o.errors, "quillvex-cli: " + dir + c.input + ": " + c.reason + "\n");
  }
  // The command alone, without its module beside it.
  mkdir((dir + "lone").c_str(), 0755);
  ASSERT_EQ(std::system(("cp " + shell_word(QVX_CLI) + " " + shell_word(dir + "lone/")).c_str()), 0);
  const int raw = std::system(("'" + dir + "lone/quillvex-cli' -q --size 10x10 " + shell_word(dir + "in.bmp") + " -o " +
                               shell_word(dir + "out.bmp") + " 2>" + shell_word(dir + "lone.txt"))
                                  .c_str());
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  const std::vector<uint8_t> errors = read_file(dir + "lone.txt");
  EXPECT_EQ(std::string(errors.begin(), errors.end()),
            "quillvex-cli: " + dir +
                "in.bmp: can't prepare: the picture reader module quillvex-cli-vips.so is missing beside the command "
                "or won't load\n");
  EXPECT_FALSE(exists(dir + "out.bmp"));
}

TEST_F(CliRun, BrokenPicturesOfOtherFormatsFailCleanly) {
  using namespace batch_pictures;
  const Picture p = {"24-bit", 24, 40, false, false, 0};
  write_file(dir + "in.bmp", build_bmp(make_file(p, random_rows(p, 4), false)));
  ASSERT_EQ(run("-q " + shell_word(dir + "in.bmp") + " -o " + shell_word(dir + "whole.png")).status, 0);
  const std::vector<uint8_t> png = read_file(dir + "whole.png");
  write_file(dir + "half.png", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2));
  write_file(dir + "text.txt", std::vector<uint8_t>(100, 'x'));
  const struct {
    const char* name;
    const char* reason;  // the start of it: the rest is the library's
  } cases[] = {{"half.png", "can't decode: pngload: "}, {"text.txt", "not a picture in a format this build reads"}};
  for (const auto& [name, reason] : cases) {
    const Outcome o = run("-q " + shell_word(dir + name) + " -o " + shell_word(dir + "out.bmp"));
    EXPECT_EQ(o.status, 1) << name;
    EXPECT_EQ(o.errors.rfind("quillvex-cli: " + dir + name + ": " + reason, 0), 0u) << o.errors;
    EXPECT_EQ(std::count(o.errors.begin(), o.errors.end(), '\n'), 1) << o.errors;
    EXPECT_FALSE(exists(dir + "out.bmp")) << name;
  }
}
#endif

}  // namespace

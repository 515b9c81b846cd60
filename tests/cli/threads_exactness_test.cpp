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
#include "image/le_bytes.h"
#include "image/simd_level.h"
#include "pipeline/convert_strips.h"
#include "pipeline/halftone_strips.h"
#include "pipeline/output_format.h"
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
    source.map_rows = true;
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

// Error diffusion of grey rows (top first) fed straight to the strip converter in
// strips of strip_rows, as a PBM; `limit`, when not -1, lowers the vector bands' error
// limit on every thread, so that bands go one row at a time. With `abandon_at` the
// picture is given up once that many rows went in.
std::string diffuse_to_pbm(const std::vector<uint8_t>& luma, int32_t width, HalftoneMethod method, bool linear,
                           int threads, int32_t strip_rows, int limit, int32_t abandon_at = -1) {
  const int32_t height = static_cast<int32_t>(luma.size() / static_cast<size_t>(width));
  std::vector<uint32_t> colours(luma.size());
  for (size_t i = 0; i < luma.size(); ++i) colours[i] = luma[i] * 0x010101u;
  uint8_t header[40] = {};
  put_u32(header, 40);
  put_u32(header + 4, static_cast<uint32_t>(width));
  put_u32(header + 8, static_cast<uint32_t>(-height));  // top row first
  FILE* file = std::tmpfile();
  ResultOutput out;
  EXPECT_TRUE(begin_output(out, kFormatPbm, file, header, width, height));
  HalftoneParams params;
  params.linear = linear;
  std::string bytes;
  {
    HalftoneStrips h;
    EXPECT_EQ(start_halftone_strips(h, method, params, out, width, height, threads), HalftoneError::kNone);
    // Where AVX2 runs, several threads take the vector bands side by side.
    if (threads > 1 && best_simd_level() == SimdLevel::kAvx2) EXPECT_TRUE(h.wave) << threads;
    if (h.wave && limit != -1) {
      for (WaveThread& t : h.wave->threads) t.scratch.error_limit = t.scratch.wide_error_limit = limit;
    }
    // strip_rows 0: every row at once, each band making its own rows' luminance.
    const int32_t step = strip_rows == 0 ? height : strip_rows;
    for (int32_t top = 0; top < height; top += step) {
      if (abandon_at >= 0 && top >= abandon_at) {
        std::fclose(file);
        return "abandoned";
      }
      Strip strip;
      strip.rows = std::min(step, height - top);
      strip.first_row = top;
      strip.picture.width = width;
      strip.picture.height = strip.rows;
      strip.picture.read_back = 1;
      strip.source.picture = &strip.picture;
      strip.source.read_back_pixels = &colours[static_cast<size_t>(top) * static_cast<size_t>(width)];
      if (strip_rows == 0 && h.wave) {
        EXPECT_TRUE(halftone_whole_picture(h, strip, nullptr, nullptr));
      } else {
        EXPECT_TRUE(halftone_strip(h, strip));
      }
    }
    EXPECT_TRUE(finish_halftone_strips(h));
  }
  EXPECT_TRUE(finish_output(out));
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<char>(c));
  std::fclose(file);
  return bytes;
}

// The vector bands side by side past what the table above reaches, fed strips or
// every row at once: a picture longer
// than the luminance the threads hold at once (about a mebibyte), so that its ring of
// rows, bits and carried errors wraps around; and bands whose errors outgrow the
// vector range, at once or only right of a black left part, after some of their
// errors went to the band below.
TEST(Threads, ErrorDiffusionBandsPastTheRingAndTheVectorRange) {
  struct Case {
    const char* what;
    HalftoneMethod method;
    bool linear;
    int32_t width, height, black_columns, strip_rows;
    int limit;
  };
  const Case cases[] = {
      {"ring wraps", HalftoneMethod::kFloydSteinberg, false, 1999, 560, 0, 87, -1},
      {"ring wraps, linear", HalftoneMethod::kJarvis, true, 1999, 560, 0, 61, -1},
      {"every band falls back", HalftoneMethod::kFloydSteinberg, false, 301, 90, 0, 7, 0},
      {"bands fall back right of black", HalftoneMethod::kSierra, false, 700, 90, 400, 9, 0},
      {"bands fall back right of black, linear", HalftoneMethod::kStucki, true, 700, 90, 400, 9, 0},
  };
  for (const Case& c : cases) {
    std::mt19937 random(static_cast<unsigned>(c.width + c.height));
    std::vector<uint8_t> luma(static_cast<size_t>(c.width) * static_cast<size_t>(c.height));
    for (size_t i = 0; i < luma.size(); ++i) {
      const int32_t x = static_cast<int32_t>(i % static_cast<size_t>(c.width));
      luma[i] = x < c.black_columns ? 0 : static_cast<uint8_t>(x * 255 / c.width / 2 + random() % 128);
    }
    const std::string expected = diffuse_to_pbm(luma, c.width, c.method, c.linear, 1, c.strip_rows, -1);
    for (int threads : {2, 3}) {
      for (int32_t strip_rows : {c.strip_rows, 0}) {
        EXPECT_TRUE(diffuse_to_pbm(luma, c.width, c.method, c.linear, threads, strip_rows, c.limit) == expected)
            << c.what << ", " << threads << " threads" << (strip_rows ? "" : ", every row at once");
      }
    }
  }
}

// A picture given up halfway (a cut file, a failed output) lets its band threads go:
// they take no more bands, and the converter ends instead of waiting for rows.
TEST(Threads, AnAbandonedPictureEndsItsBandThreads) {
  std::vector<uint8_t> luma(300 * 200);
  for (size_t i = 0; i < luma.size(); ++i) luma[i] = static_cast<uint8_t>(i * 7);
  for (int32_t abandon_at : {0, 40, 100}) {
    EXPECT_EQ(diffuse_to_pbm(luma, 300, HalftoneMethod::kFloydSteinberg, false, 3, 20, -1, abandon_at), "abandoned");
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

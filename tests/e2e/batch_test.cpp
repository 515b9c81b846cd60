// Batch conversions of quillvex.exe compared byte for byte with the conversion rules
// applied to the same picture here.
#include <gtest/gtest.h>

#include <cstdio>

#include "../common/batch_pictures.h"
#include "../common/bmp_builder.h"
#include "../common/golden.h"
#include "mono/bmp_writer.h"
#include "mono/conversion.h"
#include "mono/result_bitmap.h"
#include "frame_probe.h"
#include "program.h"

namespace {

using namespace batch_pictures;

// The file the program must write for a picture read from `file`.


const char* const kModeOptions[] = {"/M", "/H", "/S"};

TEST(Batch, EveryDepthHeaderAndModeIsConvertedExactly) {
  struct Expected {
    std::string what;
    std::string folder;
    std::vector<uint8_t> output;
  };
  std::vector<Expected> expected;
  std::vector<std::pair<std::string, std::string>> runs;
  int run_number = 0;
  for (const Picture& p : kPictures) {
    const auto rows = random_rows(p, 1000u + p.bit_count + p.header_size);
    const std::vector<uint8_t> plain = build_bmp(make_file(p, rows, false));
    const std::vector<uint8_t> input = p.compression ? build_bmp(make_file(p, rows, true)) : plain;
    for (int mode = 0; mode < 3; ++mode) {
      for (bool invert : {false, true}) {
        const int density = 60 + 37 * (run_number++ % 5);
        const std::string folder = fresh_folder();
        EXPECT_TRUE(write_bytes(folder + "in.bmp", input));
        char arguments[128];
        std::snprintf(arguments, sizeof arguments, "/%d in.bmp /O out.bmp %s%s", density, kModeOptions[mode],
                      invert ? " /R" : "");
        runs.emplace_back(arguments, folder);
        // The result rows of a compressed picture equal those of its uncompressed twin.
        expected.push_back({std::string(p.name) + " " + arguments, folder,
                            expected_output(plain, density, mode, invert)});
      }
    }
  }
  const std::vector<int> codes = run_programs(runs, runs_at_once("QVX_RUNS_AT_ONCE", 3));
  for (size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(codes[i], 0) << expected[i].what;
    EXPECT_EQ(read_bytes(expected[i].folder + "out.bmp"), expected[i].output) << expected[i].what;
    EXPECT_FALSE(file_exists(expected[i].folder + "QUILLVEX.INI")) << "a batch run writes no settings";
  }
}

// The program against the golden outputs, which a model apart from the program's
// code worked out: a fault the core and the expectations above share shows here.
TEST(Batch, OutputsAreTheGoldenOnes) {
  for (size_t i = 0; i < std::size(golden::kPictures); ++i) {
    const std::vector<uint8_t> input = golden::file_of(golden::kPictures[i]);
    for (size_t k = 0; k < std::size(golden::kConversions); ++k) {
      const golden::Conversion& c = golden::kConversions[k];
      const std::string folder = fresh_folder();
      ASSERT_TRUE(write_bytes(folder + "in.bmp", input));
      char arguments[128];
      std::snprintf(arguments, sizeof arguments, "/%d in.bmp /O out.bmp %s%s", c.density, kModeOptions[c.mode],
                    c.invert ? " /R" : "");
      ASSERT_EQ(run_program(arguments, folder), 0) << golden::kPictures[i].name << " " << arguments;
      EXPECT_EQ(golden::checksum(read_bytes(folder + "out.bmp")), golden::kChecksums[i][k])
          << golden::kPictures[i].name << " " << arguments;
    }
  }
}

TEST(Batch, OptionsMayComeBeforeOrAfterTheOutputName) {
  const Picture p = {"24-bit", 24, 40, false, false, 0};
  const std::vector<uint8_t> input = build_bmp(make_file(p, random_rows(p, 5), false));
  const struct {
    const char* arguments;
    int density, mode;
    bool invert;
  } cases[] = {
      {"/200 in.bmp /O /H out.bmp /R", 200, 1, true},
      {"in.bmp /O out.bmp /S", 127, 2, false},
      {"/300 in.bmp /O out.bmp /R", 254, 0, true},
      {"/0 in.bmp /O out.bmp", 0, 0, false},
  };
  for (const auto& c : cases) {
    const std::string folder = fresh_folder();
    ASSERT_TRUE(write_bytes(folder + "in.bmp", input));
    ASSERT_EQ(run_program(c.arguments, folder), 0) << c.arguments;
    EXPECT_EQ(read_bytes(folder + "out.bmp"), expected_output(input, c.density, c.mode, c.invert)) << c.arguments;
  }
}

TEST(Batch, InvertBeforeTheBatchOptionLeavesTheRestUnread) {
  // /R is taken by the last step of the scan, so the /O after it is never seen:
  // the picture opens in a window and nothing is written.
  const Picture p = {"24-bit", 24, 40, false, false, 0};
  const std::string folder = fresh_folder();
  ASSERT_TRUE(write_bytes(folder + "in.bmp", build_bmp(make_file(p, random_rows(p, 6), false))));
  ProgramRun run = start_program("in.bmp /R /O out.bmp", folder);
  HWND frame = wait_for_frame(run, 20000);
  ASSERT_NE(frame, nullptr);
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(wait_for_exit(run, 20000), 0);
  EXPECT_FALSE(file_exists(folder + "out.bmp"));
}

TEST(Batch, TinyPictureGivesKnownBytes) {
  // 2 x 1, 24 bits: white then a grey of luminance 128, Letter at density 128.
  BmpFile f;
  f.width = 2;
  f.height = 1;
  f.pixels = pack_rows(24, 2, {{0xFFFFFF, 0x808080}});
  const std::string folder = fresh_folder();
  ASSERT_TRUE(write_bytes(folder + "in.bmp", build_bmp(f)));
  ASSERT_EQ(run_program("/128 in.bmp /O out.bmp", folder), 0);
  const std::vector<uint8_t> expected = {
      'B', 'M', 66, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0,                // file header
      40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0,   // size, width, height, planes, bits, compression
      4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,    // image size, resolutions, colours
      0, 0, 0, 0, 255, 255, 255, 0,                                  // black, white
      0x80, 0, 0, 0};                                                // white, then black (128 is not above 128)
  EXPECT_EQ(read_bytes(folder + "out.bmp"), expected);
}

// The input is never changed by a run (its header, as read, differs from the file's:
// image size and colours used are filled in), and it may itself be the output, under
// its own name or another one of the same file.
TEST(Batch, TheInputStaysAsItWasUnlessItIsTheOutput) {
  const Picture p = {"8-bit", 8, 40, false, false, 0};
  BmpFile f = make_file(p, random_rows(p, 9), false);
  f.image_size = 0;
  f.colours_used = 0;
  const std::vector<uint8_t> input = build_bmp(f);
  const std::vector<uint8_t> expected = expected_output(input, 127, 1, false);
  for (const char* output : {"out.bmp", "in.bmp", ".\\IN.BMP"}) {
    const std::string folder = fresh_folder();
    ASSERT_TRUE(write_bytes(folder + "in.bmp", input));
    ASSERT_EQ(run_program(std::string("in.bmp /O ") + output + " /H", folder), 0) << output;
    const bool in_place = std::string(output) != "out.bmp";
    EXPECT_EQ(read_bytes(folder + "in.bmp"), in_place ? expected : input) << output;
    if (!in_place) EXPECT_EQ(read_bytes(folder + "out.bmp"), expected);
  }
}

TEST(Batch, UnreadableInputEndsWithoutOutputOnceTheMessageIsAnswered) {
  const std::string folder = fresh_folder();
  ASSERT_TRUE(write_bytes(folder + "in.bmp", std::vector<uint8_t>(13, 'B')));
  ProgramRun run = start_program("in.bmp /O out.bmp", folder);
  // The reader's message box comes first; the program then waits with an empty window.
  HWND frame = wait_for_frame(run, 20000);
  ASSERT_NE(frame, nullptr);
  HWND box = wait_for_dialog(run.process.dwProcessId, 10000);
  ASSERT_NE(box, nullptr);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  Sleep(200);
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(wait_for_exit(run, 20000), 0);
  EXPECT_FALSE(file_exists(folder + "out.bmp"));
}

// A compressed picture too tall for its result: one memory message, and the program,
// which must not draw the picture meanwhile, ends normally once it is answered.
TEST(Batch, PictureTooLargeToConvertEndsWithOneMemoryMessage) {
  BmpFile f;
  f.bit_count = 4;
  f.compression = 2;
  f.width = 127;
  f.height = 0x10000000;
  f.colours = {0x000000, 0xFFFFFF};
  f.colours_used = 2;
  f.pixels = {0, 1};
  f.image_size = 2;
  const std::string folder = fresh_folder();
  ASSERT_TRUE(write_bytes(folder + "in.bmp", build_bmp(f)));
  ProgramRun run = start_program("in.bmp /O out.bmp", folder);
  HWND frame = wait_for_frame(run, 20000);
  ASSERT_NE(frame, nullptr);
  HWND box = wait_for_dialog(run.process.dwProcessId, 10000);
  ASSERT_NE(box, nullptr);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  Sleep(500);
  EXPECT_EQ(wait_for_dialog(run.process.dwProcessId, 200), nullptr);  // one message only
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(wait_for_exit(run, 20000), 0);
  EXPECT_FALSE(file_exists(folder + "out.bmp"));
}

// Waits for the run's error box, returns its text and answers it; empty when none came.
std::string answer_error_box(const ProgramRun& run) {
  HWND box = wait_for_dialog(run.process.dwProcessId, 10000);
  if (!box) return std::string();
  char text[2048] = {};
  SendMessageA(GetDlgItem(box, 0xFFFF), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  return text;
}

// Counts the files of a folder whose names match a pattern.
size_t files_matching(const std::string& folder, const char* pattern) {
  size_t count = 0;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do count += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
  while (FindNextFileA(search, &found));
  FindClose(search);
  return count;
}

// Words longer than the 260-byte file name: an input word gives the reader's "can't
// open" message; an output word gives the writer's with the whole name, and the run
// ends as after a failed save, with nothing written under a shortened name.
TEST(Batch, OverlongNamesEndWithOneMessageAndNoFile) {
  // Its first 259 characters name "out…" in the run's folder.
  std::string long_name;
  for (int i = 0; i < 120; ++i) long_name += ".\\";
  long_name += "out" + std::string(80, 'x') + ".bmp";
  const struct {
    const char* name;
    std::string arguments;
    std::string text_start;
    bool ends_by_itself;
  } cases[] = {
      {"output", "in.bmp /O " + long_name + " /H", "cant open " + long_name, true},
      {"input", long_name + " /O out.bmp", "bitmap read failed.\nCan't open file ", false},
  };
  for (const auto& c : cases) {
    const std::string folder = fresh_folder();
    BmpFile f;
    f.width = 3;
    f.pixels = {0, 0, 0, 255, 255, 255, 9, 9, 9, 0, 0, 0};
    ASSERT_TRUE(write_bytes(folder + "in.bmp", build_bmp(f)));
    ProgramRun run = start_program(c.arguments, folder);
    HWND frame = wait_for_frame(run, 20000);
    ASSERT_NE(frame, nullptr) << c.name;
    const std::string text = answer_error_box(run);
    EXPECT_EQ(text.substr(0, c.text_start.size()), c.text_start) << c.name;
    if (c.ends_by_itself) EXPECT_EQ(text, c.text_start) << c.name;
    if (!c.ends_by_itself) {
      Sleep(200);
      PostMessageA(frame, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(wait_for_exit(run, 20000), 0) << c.name;
    EXPECT_EQ(files_matching(folder, "out*"), 0u) << c.name;
    EXPECT_EQ(files_matching(folder, "*.bmp"), 1u) << c.name;  // in.bmp alone
  }
}

}  // namespace

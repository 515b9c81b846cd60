// The file reader, read-back, conversion and save through the real platform.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <psapi.h>

#include <cstring>

#include "app/frame_win32.h"
#include "image/bmp_file_win32.h"
#include "image/bmp_reader.h"
#include "image/open_picture_win32.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "mono/result_win32.h"
#include "test_frame.h"
#include "../unit/bmp_builder.h"

namespace {

// Reads a file with the program's own reader; returns its result code.
int open_file(const std::string& path) {
  set_file_name(path.c_str());
  clean_up_picture();
  return read_file();
}

std::vector<uint8_t> result_bytes() {
  const SIZE_T size = GlobalSize(g_result);
  const uint8_t* bytes = static_cast<const uint8_t*>(GlobalLock(g_result));
  std::vector<uint8_t> copy(bytes, bytes + size);
  GlobalUnlock(g_result);
  return copy;
}

// Loads a file the way open picture does, converts it and returns the result block.
std::vector<uint8_t> load_and_convert(const std::string& path, int mode) {
  set_file_name(path.c_str());
  EXPECT_EQ(open_picture(g_frame.frame, false), 1) << path;
  g_conversion.mode = mode;
  convert(g_frame.frame);
  return result_bytes();
}

class ReaderGlue : public ::testing::Test {
 protected:
  TestFrame frame;
  MessageBoxWatcher boxes;
};

TEST_F(ReaderGlue, EverySuiteFileOpensOrFailsWithAReaderCode) {
  for (const char* folder : {"g", "q", "b", "x"}) {
    const std::string directory = testdata(std::string("bmpsuite/") + folder);
    const std::vector<std::string> names = files_in(directory);
    ASSERT_FALSE(names.empty()) << directory;
    for (const std::string& name : names) {
      const int code = open_file(directory + "/" + name);
      EXPECT_GE(code, 0) << name;
      EXPECT_LE(code, 7) << name;
      if (std::strcmp(folder, "g") == 0) EXPECT_EQ(code, name == "pal8v5.bmp" ? kReadUnsupported : kReadOk) << name;
      if (code != kReadOk) continue;
      g_picture.loaded = true;
      describe_picture(static_cast<const uint8_t*>(StoreLock().get()), g_picture.description);
      ASSERT_TRUE(prepare_result_block()) << name;
      set_up_read_back(g_frame.frame);
      for (int mode : {kModeLetter, kModePhotoHard, kModePhotoSoft}) {
        g_conversion.mode = mode;
        convert(g_frame.frame);
      }
    }
  }
  g_conversion = ConversionSettings();
}

TEST_F(ReaderGlue, CompressedPicturesConvertLikeTheirUncompressedTwins) {
  const struct {
    const char* compressed;
    const char* plain;
  } pairs[] = {{"g/pal8rle.bmp", "g/pal8.bmp"}, {"g/pal4rle.bmp", "g/pal4.bmp"}};
  for (const auto& pair : pairs) {
    const std::vector<uint8_t> plain = load_and_convert(testdata(std::string("bmpsuite/") + pair.plain), kModeLetter);
    const std::vector<uint8_t> decoded =
        load_and_convert(testdata(std::string("bmpsuite/") + pair.compressed), kModeLetter);
    ASSERT_NE(g_picture.description.read_back, 0u) << pair.compressed;
    // Headers differ in the copied image size; the pixel rows must not.
    ASSERT_EQ(plain.size(), decoded.size()) << pair.compressed;
    EXPECT_TRUE(std::equal(plain.begin() + 48, plain.end(), decoded.begin() + 48)) << pair.compressed;
  }
  for (const std::string& text : boxes.texts()) ADD_FAILURE() << text;
}

TEST_F(ReaderGlue, APluginStoreIsReplacedByAGlobalBlockOnTheNextRead) {
  GlobalFree(g_picture.store);
  g_picture.store = LocalAlloc(LMEM_MOVEABLE, 64);
  g_picture.store_kind = kStoreLocal;
  EXPECT_EQ(open_file(testdata("bmpsuite/g/pal8.bmp")), kReadOk);
  EXPECT_EQ(g_picture.store_kind, kStoreGlobal);
  EXPECT_NE(GlobalSize(g_picture.store), 0u);
}

TEST_F(ReaderGlue, FailedOpenShowsOneMessageInEachLanguage) {
  const std::string directory = temp_directory();
  write_file(directory + "short.bmp", std::vector<unsigned char>(13, 'B'));
  const struct {
    bool japanese;
    std::string file;
    std::string expected;
  } cases[] = {
      {false, directory + "short.bmp", "error|bitmap read failed.\nCan't read bitmap file header."},
      {false, directory + "missing.bmp", "error|bitmap read failed.\nCan't open file " + directory + "missing.bmp."},
      {true, directory + "short.bmp",
       "\x83G\x83\x89\x81[|BMP\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x82\xC9\x8E\xB8\x94s"
       "\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81" "B\n\x83t\x83@\x83" "C\x83\x8B\x83w\x83" "b\x83_\x81[\x82\xAA\x93\xC7"
       "\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x81" "B"},
  };
  for (const auto& c : cases) {
    boxes.clear();
    g_frame.japanese = c.japanese;
    set_file_name(c.file.c_str());
    EXPECT_EQ(open_picture(g_frame.frame, false), 0);
    const std::vector<std::string> seen = boxes.texts();
    ASSERT_EQ(seen.size(), 1u) << c.file;
    EXPECT_EQ(seen[0], c.expected);
    char caption[64] = {};
    GetWindowTextA(g_frame.frame, caption, sizeof caption);
    EXPECT_STREQ(caption, "QUILLVEX");
    EXPECT_FALSE(g_picture.loaded);
  }
}

// The pixel rows lie where the file header says, however far: an offset past the
// end of the file leaves them unread, also beyond what a signed seek can reach.
TEST_F(ReaderGlue, PixelOffsetPastTheFileEndIsAShortRead) {
  const std::string directory = temp_directory();
  BmpFile f;
  f.pixels = {0x11, 0x22, 0x33, 0x00};
  std::vector<uint8_t> bytes = build_bmp(f);
  for (uint32_t offset : {0x1000u, 0x80000000u, 0xFFFFFFF0u}) {
    put_u32(bytes.data() + 10, offset);
    const std::string file = directory + "far.bmp";
    ASSERT_TRUE(write_file(file, std::vector<unsigned char>(bytes.begin(), bytes.end())));
    EXPECT_EQ(open_file(file), kReadShortData) << std::hex << offset;
  }
}

// A small file whose header claims 512 MiB of rows or of colour table is read
// without touching what it does not hold (the platform commits every page a read
// is given, and zeroing a table that long would too).
TEST_F(ReaderGlue, AShortFileClaimingHugeRowsOrTableIsReadWithoutTouchingThem) {
  BmpFile rows;
  rows.width = 0x8000;
  rows.height = 0x4000;
  rows.bit_count = 8;
  rows.colours.assign(256, 0x808080);
  rows.pixels.assign(64, 0x11);
  BmpFile table;
  table.width = 8;
  table.height = 8;
  table.bit_count = 8;
  table.colours_used = 0x8000000;
  table.colours.assign(256, 0x808080);
  table.pixels.assign(64, 0x11);
  const struct {
    const char* name;
    BmpFile file;
    int code;  // when the store could grow
  } cases[] = {{"rows", rows, kReadShortData}, {"table", table, kReadOk}};
  for (const auto& c : cases) {
    const std::string file = temp_directory() + "claims.bmp";
    ASSERT_TRUE(write_file(file, build_bmp(c.file)));
    PROCESS_MEMORY_COUNTERS before = {}, after = {};
    before.cb = after.cb = sizeof before;
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before));
    const int code = open_file(file);
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after));
    // A 32-bit process may not find 512 MiB in one piece: then the store can't grow.
    EXPECT_TRUE(code == c.code || code == kReadTooLarge) << c.name << " " << code;
    EXPECT_LT(after.WorkingSetSize, before.WorkingSetSize + (64u << 20))
        << c.name << ": working set grew by " << (after.WorkingSetSize - before.WorkingSetSize) / 1048576 << " MiB";
  }
}

TEST_F(ReaderGlue, CaptionNamesFileSizeDepthAndCompression) {
  const std::string file = testdata("bmpsuite/g/pal8rle.bmp");
  set_file_name(file.c_str());
  ASSERT_EQ(open_picture(g_frame.frame, false), 1);
  char caption[300] = {};
  GetWindowTextA(g_frame.frame, caption, sizeof caption);
  EXPECT_EQ(std::string(caption), "QUILLVEX- " + file + " 127 * 64 * 8  RLE8");
}

TEST_F(ReaderGlue, SavedFileIsTheResultBehindAFileHeader) {
  const std::string directory = temp_directory();
  const std::string target = directory + "out.bmp";
  write_file(target, std::vector<unsigned char>(100000, 0xAA));
  set_file_name(testdata("bmpsuite/g/rgb24.bmp").c_str());
  ASSERT_EQ(open_picture(g_frame.frame, false), 1);
  set_file_name(target.c_str());
  EXPECT_EQ(save_result(g_frame.frame), 1);
  const std::vector<unsigned char> saved = file_bytes(target);
  const std::vector<uint8_t> result = result_bytes();
  ASSERT_EQ(saved.size(), 14 + result.size());
  EXPECT_EQ(saved[0], 'B');
  EXPECT_EQ(saved[1], 'M');
  EXPECT_TRUE(std::equal(result.begin(), result.end(), saved.begin() + 14));
  EXPECT_EQ(files_in(directory).size(), 1u);  // no sibling file left behind
}

TEST_F(ReaderGlue, FailedSaveLeavesTheTargetAndReportsIt) {
  set_file_name(testdata("bmpsuite/g/rgb24.bmp").c_str());
  ASSERT_EQ(open_picture(g_frame.frame, false), 1);
  const std::string missing_directory = temp_directory() + "no-such-folder\\out.bmp";
  set_file_name(missing_directory.c_str());
  EXPECT_EQ(save_result(g_frame.frame), 0);
  const std::vector<std::string> seen = boxes.texts();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "error|cant open " + missing_directory);
}

}  // namespace

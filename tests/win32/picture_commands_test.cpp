// The file reader, read-back, conversion and save through the real platform.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <psapi.h>

#include <algorithm>
#include <cstring>

#include "app/frame_win32.h"
#include "image/bmp_file_win32.h"
#include "image/bmp_reader.h"
#include "app/picture_commands_win32.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "mono/result_win32.h"
#include "res/resource_ids.h"
#include "test_frame.h"
#include "../common/bmp_builder.h"

namespace {

// Reads a file with the program's own reader; returns its outcome.
ReadCode open_file(FrameState& state, const std::string& path) {
  clean_up_picture(state.picture);
  return read_file(state.picture, path.c_str(), state.version, state.plugins);
}

std::vector<uint8_t> result_bytes(FrameState& state) {
  const SIZE_T size = GlobalSize(state.picture.result);
  const uint8_t* bytes = static_cast<const uint8_t*>(GlobalLock(state.picture.result));
  std::vector<uint8_t> copy(bytes, bytes + size);
  GlobalUnlock(state.picture.result);
  return copy;
}

// Loads a file the way open picture does, converts it and returns the result block.
std::vector<uint8_t> load_and_convert(FrameState& state, const std::string& path, int mode) {
  set_file_name(state, path.c_str());
  EXPECT_EQ(open_picture(state, false), 1) << path;
  state.conversion.mode = mode;
  convert(state);
  return result_bytes(state);
}

class ReaderGlue : public ::testing::Test {
 protected:
  TestFrame frame;
  FrameState& state = frame.state;
  MessageBoxWatcher boxes;
};

TEST_F(ReaderGlue, EverySuiteFileOpensOrFailsWithAReaderCode) {
  for (const char* folder : {"g", "q", "b", "x"}) {
    const std::string directory = testdata(std::string("bmpsuite/") + folder);
    const std::vector<std::string> names = files_in(directory);
    ASSERT_FALSE(names.empty()) << directory;
    for (const std::string& name : names) {
      const ReadCode code = open_file(state, directory + "/" + name);
      EXPECT_GE(static_cast<int>(code), 0) << name;
      EXPECT_LE(static_cast<int>(code), static_cast<int>(ReadCode::kShortData)) << name;
      if (std::strcmp(folder, "g") == 0) EXPECT_EQ(code, name == "pal8v5.bmp" ? ReadCode::kUnsupported : ReadCode::kOk) << name;
      if (code != ReadCode::kOk) continue;
      state.picture.loaded = true;
      describe_picture(static_cast<const uint8_t*>(StoreLock(state.picture).get()), state.picture.description);
      ASSERT_TRUE(prepare_result_block(state.picture)) << name;
      set_up_read_back(state.picture, state.frame);
      for (int mode : {kModeLetter, kModePhotoHard, kModePhotoSoft}) {
        state.conversion.mode = mode;
        convert(state);
      }
    }
  }
  state.conversion = ConversionSettings();
}

// A file read ahead at start-up becomes the store only when it is the file opened and
// a whole BMP; anything else is read again the usual way, with the usual outcome.
TEST_F(ReaderGlue, AFileReadAheadIsTakenOnlyWhenItIsTheWholeBmpOpened) {
  const std::string picture = testdata("bmpsuite/g/rgb24.bmp");
  ASSERT_EQ(open_file(state, picture), ReadCode::kOk);
  const size_t size = GlobalSize(state.picture.store);
  const std::vector<uint8_t> read_as_usual(static_cast<const uint8_t*>(StoreLock(state.picture).get()),
                                           static_cast<const uint8_t*>(StoreLock(state.picture).get()) + size);
  const PictureDescription usual = state.picture.description;
  clean_up_picture(state.picture);

  start_read_ahead(state.read_ahead, picture.c_str(), false);
  ASSERT_TRUE(take_read_ahead(state.read_ahead, state.picture, picture.c_str()));
  ASSERT_EQ(GlobalSize(state.picture.store), size);
  const uint8_t* store = static_cast<const uint8_t*>(StoreLock(state.picture).get());
  EXPECT_TRUE(std::equal(read_as_usual.begin(), read_as_usual.end(), store));
  EXPECT_EQ(state.picture.description.offset_to_pixels, usual.offset_to_pixels);
  EXPECT_EQ(state.picture.description.colour_count, usual.colour_count);
  EXPECT_FALSE(take_read_ahead(state.read_ahead, state.picture, picture.c_str())) << "taken once";

  const std::string other = testdata("bmpsuite/g/pal8.bmp");
  const std::string folder = temp_directory();
  const std::string not_bmp = folder + "note.txt";  // for the plug-ins
  ASSERT_TRUE(write_file(not_bmp, {'n', 'o', 't', ' ', 'a', ' ', 'B', 'M', 'P'}));
  const std::string missing = folder + "missing.bmp";
  for (const std::string& ahead : {other, not_bmp, missing}) {
    start_read_ahead(state.read_ahead, ahead.c_str(), false);
    EXPECT_FALSE(take_read_ahead(state.read_ahead, state.picture, ahead == other ? picture.c_str() : ahead.c_str())) << ahead;
  }
  // Through the open: the picture read ahead converts as one read the usual way.
  const std::vector<uint8_t> usual_result = load_and_convert(state, picture, kModeLetter);
  start_read_ahead(state.read_ahead, picture.c_str(), false);
  EXPECT_EQ(load_and_convert(state, picture, kModeLetter), usual_result);
  EXPECT_TRUE(boxes.texts().empty());
}

// A file mapped ahead (as a batch run does) is the same store as one read the usual
// way, whatever the file; only files laid out as the store are mapped, and a save
// over the mapped file makes the store a copy of its own first.
TEST_F(ReaderGlue, AFileMappedAheadIsTheStoreAsRead) {
  int mapped = 0;
  for (const char* folder : {"g", "q", "b"}) {
    const std::string directory = testdata(std::string("bmpsuite/") + folder);
    for (const std::string& name : files_in(directory)) {
      const std::string path = directory + "/" + name;
      if (open_file(state, path) != ReadCode::kOk) {
        start_read_ahead(state.read_ahead, path.c_str(), true);
        EXPECT_FALSE(take_read_ahead(state.read_ahead, state.picture, path.c_str())) << name;
        continue;
      }
      const size_t size = store_size(state.picture);
      // Stores the size of a header's claims (a colour table of a gigabyte) are
      // compared as far as a real picture of the suite goes.
      const uint8_t* usual = static_cast<const uint8_t*>(StoreLock(state.picture).get());
      const std::vector<uint8_t> read_as_usual(usual, usual + std::min(size, size_t{1} << 20));
      const PictureDescription description = state.picture.description;
      clean_up_picture(state.picture);

      start_read_ahead(state.read_ahead, path.c_str(), true);
      ASSERT_TRUE(take_read_ahead(state.read_ahead, state.picture, path.c_str())) << name;
      mapped += state.picture.store_kind == kStoreFileView;
      ASSERT_EQ(store_size(state.picture), size) << name;
      const uint8_t* store = static_cast<const uint8_t*>(StoreLock(state.picture).get());
      EXPECT_TRUE(std::equal(read_as_usual.begin(), read_as_usual.end(), store)) << name;
      EXPECT_EQ(state.picture.description.offset_to_pixels, description.offset_to_pixels) << name;
      EXPECT_EQ(state.picture.description.colour_count, description.colour_count) << name;
      EXPECT_EQ(state.picture.description.mask_byte_count, description.mask_byte_count) << name;
      EXPECT_EQ(state.picture.description.source_header_size, description.source_header_size) << name;
    }
  }
  EXPECT_GT(mapped, 20);

  const std::string picture = testdata("bmpsuite/g/pal8.bmp");
  start_read_ahead(state.read_ahead, picture.c_str(), true);
  ASSERT_TRUE(take_read_ahead(state.read_ahead, state.picture, picture.c_str()));
  ASSERT_EQ(state.picture.store_kind, kStoreFileView);
  const uint8_t* view = static_cast<const uint8_t*>(StoreLock(state.picture).get());
  const std::vector<uint8_t> viewed(view, view + store_size(state.picture));
  EXPECT_TRUE(release_store_file(state.picture, testdata("bmpsuite/g/pal4.bmp").c_str()));
  EXPECT_EQ(state.picture.store_kind, kStoreFileView) << "another file";
  EXPECT_TRUE(release_store_file(state.picture, picture.c_str()));
  ASSERT_EQ(state.picture.store_kind, kStoreGlobal);
  ASSERT_EQ(store_size(state.picture), viewed.size());
  EXPECT_TRUE(std::equal(viewed.begin(), viewed.end(), static_cast<const uint8_t*>(StoreLock(state.picture).get())));
  // The next picture is read into a global block again.
  start_read_ahead(state.read_ahead, picture.c_str(), true);
  ASSERT_TRUE(take_read_ahead(state.read_ahead, state.picture, picture.c_str()));
  EXPECT_EQ(open_file(state, testdata("bmpsuite/g/rgb24.bmp")), ReadCode::kOk);
  EXPECT_EQ(state.picture.store_kind, kStoreGlobal);
  EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(ReaderGlue, CompressedPicturesConvertLikeTheirUncompressedTwins) {
  const struct {
    const char* compressed;
    const char* plain;
  } pairs[] = {{"g/pal8rle.bmp", "g/pal8.bmp"}, {"g/pal4rle.bmp", "g/pal4.bmp"}};
  for (const auto& pair : pairs) {
    const std::vector<uint8_t> plain = load_and_convert(state, testdata(std::string("bmpsuite/") + pair.plain), kModeLetter);
    const std::vector<uint8_t> decoded =
        load_and_convert(state, testdata(std::string("bmpsuite/") + pair.compressed), kModeLetter);
    ASSERT_NE(state.picture.description.read_back, 0u) << pair.compressed;
    // Headers differ in the copied image size; the pixel rows must not.
    ASSERT_EQ(plain.size(), decoded.size()) << pair.compressed;
    EXPECT_TRUE(std::equal(plain.begin() + 48, plain.end(), decoded.begin() + 48)) << pair.compressed;
  }
  for (const std::string& text : boxes.texts()) ADD_FAILURE() << text;
}

TEST_F(ReaderGlue, APluginStoreIsReplacedByAGlobalBlockOnTheNextRead) {
  GlobalFree(state.picture.store);
  state.picture.store = LocalAlloc(LMEM_MOVEABLE, 64);
  state.picture.store_kind = kStoreLocal;
  EXPECT_EQ(open_file(state, testdata("bmpsuite/g/pal8.bmp")), ReadCode::kOk);
  EXPECT_EQ(state.picture.store_kind, kStoreGlobal);
  EXPECT_NE(GlobalSize(state.picture.store), 0u);
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
    state.japanese = c.japanese;
    set_file_name(state, c.file.c_str());
    EXPECT_EQ(open_picture(state, false), 0);
    const std::vector<std::string> seen = boxes.texts();
    ASSERT_EQ(seen.size(), 1u) << c.file;
    EXPECT_EQ(seen[0], c.expected);
    char caption[64] = {};
    GetWindowTextA(state.frame, caption, sizeof caption);
    EXPECT_STREQ(caption, "QUILLVEX");
    EXPECT_FALSE(state.picture.loaded);
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
    EXPECT_EQ(open_file(state, file), ReadCode::kShortData) << std::hex << offset;
  }
}

// A small file whose header claims 512 MiB of rows or of colour table is read
// without touching what it does not hold (the platform commits every page a read
// is given, and zeroing a table that long would too).
// Rows of more than a few MiB are read while a thread readies the second half's
// pages; every byte lands where it belongs, and a file that ends in either half is a
// short read.
TEST_F(ReaderGlue, LargePixelDataIsReadWholeOrFoundShort) {
  BmpFile f;
  f.width = 2048;
  f.height = 1600;  // 9.4 MiB of rows
  f.bit_count = 24;
  uint32_t seed = 7;
  f.pixels.resize(size_t{2048} * 3 * 1600);
  for (uint8_t& b : f.pixels) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
  const std::vector<uint8_t> whole = build_bmp(f);
  const std::string file = temp_directory() + "large.bmp";
  for (const size_t kept : {whole.size(), whole.size() * 3 / 10, whole.size() * 7 / 10, whole.size() - 1}) {
    ASSERT_TRUE(write_file(file, std::vector<uint8_t>(whole.begin(), whole.begin() + kept)));
    const ReadCode code = open_file(state, file);
    if (kept < whole.size()) {
      EXPECT_EQ(code, ReadCode::kShortData) << kept;
      continue;
    }
    ASSERT_EQ(code, ReadCode::kOk);
    const uint8_t* rows = static_cast<const uint8_t*>(StoreLock(state.picture).get()) + state.picture.description.offset_to_pixels;
    EXPECT_TRUE(std::equal(f.pixels.begin(), f.pixels.end(), rows));
  }
}

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
    ReadCode code;  // when the store could grow
  } cases[] = {{"rows", rows, ReadCode::kShortData}, {"table", table, ReadCode::kOk}};
  for (const auto& c : cases) {
    const std::string file = temp_directory() + "claims.bmp";
    ASSERT_TRUE(write_file(file, build_bmp(c.file)));
    PROCESS_MEMORY_COUNTERS before = {}, after = {};
    before.cb = after.cb = sizeof before;
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before));
    const ReadCode code = open_file(state, file);
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after));
    // A 32-bit process may not find 512 MiB in one piece: then the store can't grow.
    EXPECT_TRUE(code == c.code || code == ReadCode::kTooLarge) << c.name << " " << static_cast<int>(code);
    EXPECT_LT(after.WorkingSetSize, before.WorkingSetSize + (64u << 20))
        << c.name << ": working set grew by " << (after.WorkingSetSize - before.WorkingSetSize) / 1048576 << " MiB";
  }
}

TEST_F(ReaderGlue, CaptionNamesFileSizeDepthAndCompression) {
  const std::string file = testdata("bmpsuite/g/pal8rle.bmp");
  set_file_name(state, file.c_str());
  ASSERT_EQ(open_picture(state, false), 1);
  char caption[300] = {};
  GetWindowTextA(state.frame, caption, sizeof caption);
  EXPECT_EQ(std::string(caption), "QUILLVEX- " + file + " 127 * 64 * 8  RLE8");
}

TEST_F(ReaderGlue, SavedFileIsTheResultBehindAFileHeader) {
  const std::string directory = temp_directory();
  const std::string target = directory + "out.bmp";
  write_file(target, std::vector<unsigned char>(100000, 0xAA));
  set_file_name(state, testdata("bmpsuite/g/rgb24.bmp").c_str());
  ASSERT_EQ(open_picture(state, false), 1);
  set_file_name(state, target.c_str());
  EXPECT_EQ(save_result(state), 1);
  const std::vector<unsigned char> saved = file_bytes(target);
  const std::vector<uint8_t> result = result_bytes(state);
  ASSERT_EQ(saved.size(), 14 + result.size());
  EXPECT_EQ(saved[0], 'B');
  EXPECT_EQ(saved[1], 'M');
  EXPECT_TRUE(std::equal(result.begin(), result.end(), saved.begin() + 14));
  EXPECT_EQ(files_in(directory).size(), 1u);  // no sibling file left behind
}

TEST_F(ReaderGlue, FailedSaveLeavesTheTargetAndReportsIt) {
  set_file_name(state, testdata("bmpsuite/g/rgb24.bmp").c_str());
  ASSERT_EQ(open_picture(state, false), 1);
  const std::string missing_directory = temp_directory() + "no-such-folder\\out.bmp";
  set_file_name(state, missing_directory.c_str());
  EXPECT_EQ(save_result(state), 0);
  const std::vector<std::string> seen = boxes.texts();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "error|cant open " + missing_directory);
}

// A new folder below `base` (which ends in a backslash) whose path, backslash
// included, is exactly `length` characters long.
std::string folder_of_length(const std::string& base, size_t length, char letter) {
  std::string folder = base;
  while (folder.size() < length) {
    const size_t left = length - folder.size();
    // Each part is at least two characters (a letter and the backslash).
    const size_t part = left > 120 ? 100 : left;
    folder += std::string(part - 1, letter) + "\\";
    EXPECT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder.size();
  }
  return folder;
}

// Every name the platform can create is saved, also in folders too long for the
// usual temporary-file call; nothing is left beside the target, saved or not.
TEST_F(ReaderGlue, SavesIntoLongFoldersLeaveOnlyTheTarget) {
  set_file_name(state, testdata("bmpsuite/g/rgb24.bmp").c_str());
  ASSERT_EQ(open_picture(state, false), 1);
  const std::string base = temp_directory();
  char letter = 'a';
  for (size_t folder_length : {base.size(), size_t{200}, size_t{240}, size_t{246}, size_t{247}, size_t{248}}) {
    const std::string folder = folder_of_length(base, folder_length, letter++);
    for (size_t name_length : {size_t{5}, size_t{11}, MAX_PATH - 1 - folder_length}) {
      const std::string target = folder + std::string(name_length - 4, 'n') + ".bmp";
      if (target.size() > MAX_PATH - 1) continue;
      boxes.clear();
      set_file_name(state, target.c_str());
      EXPECT_EQ(save_result(state), 1) << target.size();
      const std::vector<uint8_t> result = result_bytes(state);
      const std::vector<unsigned char> saved = file_bytes(target);
      ASSERT_EQ(saved.size(), 14 + result.size()) << target.size();
      EXPECT_TRUE(std::equal(result.begin(), result.end(), saved.begin() + 14)) << target.size();
      EXPECT_TRUE(boxes.texts().empty()) << target.size();
      DeleteFileA(target.c_str());
    }
    // A target that is a folder can't be replaced: reported, and nothing is left.
    const std::string blocked = folder + "x";
    ASSERT_TRUE(CreateDirectoryA(blocked.c_str(), nullptr)) << folder_length;
    boxes.clear();
    set_file_name(state, blocked.c_str());
    EXPECT_EQ(save_result(state), 0) << folder_length;
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"error|cant open " + blocked}) << folder_length;
    RemoveDirectoryA(blocked.c_str());
    EXPECT_TRUE(files_in(folder).empty()) << folder_length;
  }
}

// A name longer than the file-name buffer is refused whole with the writer's
// message naming it as given; nothing is written under a shortened name.
TEST_F(ReaderGlue, OverlongOutputNameIsRefusedWhole) {
  set_file_name(state, testdata("bmpsuite/g/rgb24.bmp").c_str());
  ASSERT_EQ(open_picture(state, false), 1);
  const std::string folder = temp_directory();
  for (bool japanese : {false, true}) {
    // Its first 259 characters name a file in the folder.
    const std::string name = folder + std::string(400 - folder.size(), 'o');
    boxes.clear();
    state.japanese = japanese;
    EXPECT_FALSE(set_file_name(state, name.c_str()));
    EXPECT_EQ(save_result(state), 0);
    const std::vector<std::string> seen = boxes.texts();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], japanese ? "\x83G\x83\x89\x81[|\x83t\x83@\x83" "C\x83\x8B '" + name +
                                      "' \x82\xF0\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x81" "B"
                                : "error|cant open " + name);
    EXPECT_TRUE(files_in(folder).empty());
  }
  state.japanese = false;
}

// Rows of the RLE8 picture: runs of 100 columns alternating black (0) and white (1),
// shifted by one run on every other row.
std::vector<uint8_t> striped_rle8(int32_t width, int32_t height) {
  std::vector<uint8_t> out;
  for (int32_t row = 0; row < height; ++row) {
    for (int32_t x = 0; x < width; x += 100) {
      out.push_back(static_cast<uint8_t>(std::min(100, width - x)));
      out.push_back(static_cast<uint8_t>((x / 100 + row) % 2));
    }
    out.push_back(0);
    out.push_back(0);
  }
  out.push_back(0);
  out.push_back(1);
  return out;
}

bool striped_white(int32_t x, int32_t row) { return (x / 100 + row) % 2 == 1; }

std::string write_rle8(const std::string& path, int32_t width, int32_t height, bool with_rows) {
  BmpFile f;
  f.bit_count = 8;
  f.compression = 1;
  f.width = width;
  f.height = height;
  f.colours = {0x000000, 0xFFFFFF};
  f.colours_used = 2;
  f.pixels = with_rows ? striped_rle8(width, height) : std::vector<uint8_t>{0, 1};
  f.image_size = static_cast<uint32_t>(f.pixels.size());
  const std::vector<uint8_t> bytes = build_bmp(f);
  EXPECT_TRUE(write_file(path, std::vector<unsigned char>(bytes.begin(), bytes.end())));
  return path;
}

// Compressed pictures whose decoded copy would take more than 16 MiB, by height and
// by width, convert with their real pixels while the read-back holds at most 16 MiB.
TEST_F(ReaderGlue, CompressedPicturesReadBackInBoundedBands) {
  const std::string folder = temp_directory();
  const struct {
    int32_t width, height;
  } pictures[] = {{2000, 2200}, {kDecodedSpan + 300, 3}};
  for (const auto& p : pictures) {
    const std::vector<uint8_t> result =
        load_and_convert(state, write_rle8(folder + "striped.bmp", p.width, p.height, true), kModeLetter);
    ASSERT_EQ(state.picture.description.width, p.width);
    size_t band_bytes = state.picture.band.pixels.capacity() * sizeof(uint32_t);
    if (state.picture.band.band_bitmap) {
      BITMAP record = {};
      GetObjectA(state.picture.band.band_bitmap, sizeof record, &record);
      band_bytes += static_cast<size_t>(record.bmWidthBytes) * record.bmHeight;
    }
    EXPECT_LE(band_bytes, kBandBytes) << p.width;
    const uint32_t stride = ((static_cast<uint32_t>(p.width) + 31) >> 5) * 4;
    ASSERT_GE(result.size(), 48 + size_t{stride} * p.height) << p.width;
    int wrong = 0;
    for (int32_t row = 0; row < p.height; ++row) {
      for (int32_t x = 0; x < p.width; ++x) {
        const bool white = (result[48 + size_t{stride} * row + x / 8] >> (7 - x % 8)) & 1;
        if (white != striped_white(x, row) && ++wrong < 5) ADD_FAILURE() << p.width << ": " << x << "," << row;
      }
    }
    EXPECT_EQ(wrong, 0) << p.width;
  }
  for (const std::string& text : boxes.texts()) ADD_FAILURE() << text;
}

// A picture whose decoded form the platform can't hold fails to open with the memory
// message, instead of converting black; the program goes on without a picture.
// Too wide for the platform, and so tall that not even the result can be had.
TEST_F(ReaderGlue, DecodedPictureThePlatformCantHoldFailsWithTheMemoryMessage) {
  const struct {
    const char* name;
    int32_t width, height;
  } cases[] = {{"wide", 0x8000000, 1}, {"tall", 127, 0x10000000}};
  for (const auto& c : cases) {
    const std::string file = write_rle8(temp_directory() + c.name + ".bmp", c.width, c.height, false);
    set_file_name(state, file.c_str());
    state.conversion.fast = false;
    EXPECT_EQ(open_picture(state, false), 0) << c.name;
    state.conversion = ConversionSettings();
    EXPECT_FALSE(state.picture.loaded) << c.name;
    const std::vector<std::string> seen = boxes.texts();
    ASSERT_EQ(seen.size(), 1u) << c.name;
    EXPECT_EQ(seen[0].substr(seen[0].find('|') + 1), load_string(state, IDS_NO_MEMORY)) << c.name;
    boxes.clear();
  }
  EXPECT_GE(load_and_convert(state, testdata("bmpsuite/g/pal8rle.bmp"), kModeLetter).size(), 48u + 16 * 64);
  EXPECT_TRUE(state.picture.loaded);
  EXPECT_TRUE(boxes.texts().empty());
}

}  // namespace

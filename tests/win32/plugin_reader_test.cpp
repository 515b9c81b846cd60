// The plug-in reader through real library loading, with the test plug-ins.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/frame_win32.h"
#include "image/le_bytes.h"
#include "app/picture_commands_win32.h"
#include "image/pixel.h"
#include "image/plugin_reader_win32.h"
#include "image/store_win32.h"
#include "test_frame.h"

namespace {

// A folder holding copies of test plug-ins under the given names, in this order.
std::string plugin_folder(const std::vector<std::pair<std::string, std::string>>& kind_and_name) {
  const std::string folder = temp_directory();
  for (const auto& [kind, name] : kind_and_name) {
    EXPECT_TRUE(CopyFileA((std::string(QVX_TEST_PLUGINS) + "/" + kind + ".spi").c_str(), (folder + name).c_str(),
                          FALSE))
        << kind;
  }
  return folder;
}

// Names the platform's search reports, in its order.
std::vector<std::string> search_order(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*.SPI").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

// A file the test plug-ins take: "QVXT" and its own length.
std::string test_picture_file() {
  const std::string path = temp_directory() + "picture.qvx";
  std::vector<unsigned char> bytes = {'Q', 'V', 'X', 'T', 0, 0, 0, 0, 1, 2, 3, 4, 5, 6};
  put_u32(&bytes[4], static_cast<uint32_t>(bytes.size()));
  write_file(path, bytes);
  return path;
}

bool loaded_from(const std::string& folder) {
  for (const std::string& name : search_order(folder))
    if (GetModuleHandleA((folder + name).c_str())) return true;
  return false;
}

class PluginReader : public ::testing::Test {
 protected:
  ~PluginReader() override { state.plugins = PluginSearch(); }

  int open_with(const std::string& folder, const std::string& file) {
    lstrcpynA(state.plugins.directory, folder.c_str(), MAX_PATH);
    set_file_name(state, file.c_str());
    boxes.clear();
    const int opened = open_picture(state, false);
    // Let the watcher see a box that is still closing.
    for (int i = 0; i < 100 && !opened && boxes.texts().empty(); ++i) Sleep(10);
    return opened;
  }
  std::string only_message() {
    const std::vector<std::string> seen = boxes.texts();
    return seen.size() == 1 ? seen[0] : "(" + std::to_string(seen.size()) + " messages)";
  }

  TestFrame frame;
  FrameState& state = frame.state;
  MessageBoxWatcher boxes;
};

TEST_F(PluginReader, WithoutPluginFilesAJpegIsNotABitmap) {
  const std::string file = temp_directory() + "photo.jpg";
  write_file(file, {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
  EXPECT_EQ(open_with(temp_directory(), file), 0);
  EXPECT_EQ(only_message(), "error|bitmap read failed.\nThis file is not a bitmap file.");
  EXPECT_EQ(state.picture.store_kind, kStoreGlobal);
}

TEST_F(PluginReader, PluginsThatDeliverNothingGiveUnsupported) {
  const std::string folder = plugin_folder({{"refuse", "a.spi"}, {"fail", "b.SPI"}, {"nogetpicture", "c.spi"}});
  write_file(folder + "junk.spi", std::vector<unsigned char>(300, 0x5A));
  CreateDirectoryA((folder + "dir.spi").c_str(), nullptr);
  const HANDLE store_before = state.picture.store;
  EXPECT_EQ(open_with(folder, test_picture_file()), 0);
  EXPECT_EQ(only_message(), "error|bitmap read failed.\nThis file format is not supported.");
  EXPECT_EQ(state.picture.store, store_before);
  EXPECT_EQ(state.picture.store_kind, kStoreGlobal);
  EXPECT_FALSE(loaded_from(folder));
}

TEST_F(PluginReader, AClaimThatFailsLetsTheNextPluginDeliver) {
  // Whichever name the platform reports first gets the failing plug-in.
  std::string folder = plugin_folder({{"fail", "one.spi"}, {"pic24", "two.spi"}});
  const std::vector<std::string> order = search_order(folder);
  ASSERT_EQ(order.size(), 2u);
  if (order[0] != "one.spi") {
    folder = plugin_folder({{"fail", "two.spi"}, {"pic24", "one.spi"}});
    ASSERT_EQ(search_order(folder)[0], "two.spi");
  }
  EXPECT_EQ(open_with(folder, test_picture_file()), 1);
  EXPECT_EQ(state.picture.store_kind, kStoreLocal);
  EXPECT_EQ(state.picture.description.width, 3);
  EXPECT_FALSE(loaded_from(folder));
  EXPECT_EQ(only_message(), "(0 messages)");
}

// A picture of zero width opens as the same BMP file does, with nothing to show.
TEST_F(PluginReader, APictureOfZeroWidthIsTaken) {
  const std::string folder = plugin_folder({{"empty", "a.spi"}});
  EXPECT_EQ(open_with(folder, test_picture_file()), 1);
  EXPECT_EQ(only_message(), "(0 messages)");
  EXPECT_TRUE(state.picture.loaded);
  EXPECT_EQ(state.picture.store_kind, kStoreLocal);
  EXPECT_EQ(state.picture.description.width, 0);
  EXPECT_EQ(state.picture.description.height, 2);
}

TEST_F(PluginReader, APluginOfTheOtherWordSizeFailsToLoadAndTheSearchGoesOn) {
  const std::string other = std::string(QVX_OTHER_WORD_SIZE_PLUGINS) + "/pic24.spi";
  if (GetFileAttributesA(other.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "not built: " << other;
  // The other build's plug-in goes under the name the platform reports first.
  const std::string folder = plugin_folder({{"refuse", "one.spi"}, {"refuse", "two.spi"}});
  const std::vector<std::string> order = search_order(folder);
  ASSERT_EQ(order.size(), 2u);
  ASSERT_TRUE(CopyFileA(other.c_str(), (folder + order[0]).c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((std::string(QVX_TEST_PLUGINS) + "/pic8.spi").c_str(), (folder + order[1]).c_str(), FALSE));
  EXPECT_EQ(open_with(folder, test_picture_file()), 1) << only_message();
  EXPECT_EQ(state.picture.description.colour_count, 256u);  // the 8-bit picture, not the 24-bit one
  EXPECT_EQ(only_message(), "(0 messages)");
}

TEST_F(PluginReader, DeliveredPicturesBecomeTheStore) {
  const struct {
    const char* kind;
    int32_t width, height, stored_height;
    uint32_t colour_count, offset, image_size, colours_used, compression;
    uint32_t pixel_0_0, pixel_last;  // storage row 0 column 0; last row, last column
    const char* caption_tail;
  } cases[] = {
      {"pic8", 4, 2, 2, 256, 1064, 8, 256, 0, 0x000000, 0x000000, " 4 * 2 * 8  Normal"},
      {"pic24", 3, 2, 2, 0, 40, 24, 0, 0, 0xFFFFFF, 0x808080, " 3 * 2 * 24  Normal"},
      {"topdown", 3, 2, -2, 0, 40, 24, 0, 0, 0xFFFFFF, 0x808080, " 3 * 2 * 24  Normal"},
      {"size0", 3, 2, -2, 0, 40, 24, 0, 0, 0xFFFFFF, 0x808080, " 3 * 2 * 24  Normal"},
      {"bitfields", 2, 2, 2, 0, 40, 16, 0, 3, 0xFFFFFF, 0x0AC80A, " 2 * 2 * 32  Compress"},
  };
  const std::string file = test_picture_file();
  for (const auto& c : cases) {
    const std::string folder = plugin_folder({{c.kind, "only.spi"}});
    ASSERT_EQ(open_with(folder, file), 1) << c.kind << " " << only_message();
    EXPECT_EQ(state.picture.store_kind, kStoreLocal) << c.kind;
    EXPECT_EQ(state.picture.description.colour_count, c.colour_count) << c.kind;
    EXPECT_EQ(state.picture.description.offset_to_pixels, c.offset) << c.kind;
    EXPECT_EQ(state.picture.description.mask_byte_count, 0u) << c.kind;
    EXPECT_EQ(state.picture.description.source_header_size, 40u) << c.kind;
    EXPECT_EQ(state.picture.description.width, c.width) << c.kind;
    EXPECT_EQ(state.picture.description.height, c.height) << c.kind;
    EXPECT_EQ(LocalSize(state.picture.store), c.offset + c.image_size) << c.kind;
    StoreLock lock(state.picture);
    const uint8_t* store = lock.get();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(get_i32(store + 8), c.stored_height) << c.kind;
    EXPECT_EQ(get_u32(store + 20), c.image_size) << c.kind;
    EXPECT_EQ(get_u32(store + 32), c.colours_used) << c.kind;
    EXPECT_EQ(get_u32(store + 16), c.compression) << c.kind;
    EXPECT_EQ(get_i32(store + 24), 2835) << c.kind;
    EXPECT_EQ(fetch_pixel(store, state.picture.description, 0, 0) & 0xFFFFFF, c.pixel_0_0) << c.kind;
    EXPECT_EQ(fetch_pixel(store, state.picture.description, c.width - 1, c.height - 1) & 0xFFFFFF, c.pixel_last)
        << c.kind;
    char caption[400] = {};
    GetWindowTextA(state.frame, caption, sizeof caption);
    EXPECT_EQ(std::string(caption), "QUILLVEX- " + file + c.caption_tail) << c.kind;
    EXPECT_FALSE(loaded_from(folder)) << c.kind;
  }
}

TEST_F(PluginReader, TheOldJpegPluginIsSkippedOnlyBeforePlatform4) {
  const struct {
    const char* name;
    unsigned short version;
    int opened;
  } cases[] = {
      {"IFJPEGV6.SPI", 819, 0}, {"IFJPEGV6.SPI", 1024, 1}, {"IFJPEGV6.SPI", 1537, 1},
      {"ifjpegv6.spi", 819, 1}, {"IfJpegV6.SPI", 819, 1},
  };
  const std::string file = test_picture_file();
  for (const auto& c : cases) {
    state.version = c.version;
    EXPECT_EQ(open_with(plugin_folder({{"pic24", c.name}}), file), c.opened) << c.name << " " << c.version;
  }
}

TEST_F(PluginReader, ADirectoryNamedLikeAPluginIsPassedOver) {
  std::string folder = temp_directory();
  CreateDirectoryA((folder + "A.SPI").c_str(), nullptr);
  EXPECT_EQ(open_with(folder, test_picture_file()), 0);
  EXPECT_EQ(only_message(), "error|bitmap read failed.\nThis file format is not supported.");
  CopyFileA((std::string(QVX_TEST_PLUGINS) + "/pic8.spi").c_str(), (folder + "B.SPI").c_str(), FALSE);
  EXPECT_EQ(open_with(folder, test_picture_file()), 1);
}

TEST_F(PluginReader, ABitmapAfterAPluginPictureReadsIntoAFreshGlobalBlock) {
  ASSERT_EQ(open_with(plugin_folder({{"pic24", "x.spi"}}), test_picture_file()), 1);
  ASSERT_EQ(state.picture.store_kind, kStoreLocal);
  set_file_name(state, testdata("bmpsuite/g/pal8.bmp").c_str());
  ASSERT_EQ(open_picture(state, false), 1);
  EXPECT_EQ(state.picture.store_kind, kStoreGlobal);
  EXPECT_EQ(GlobalSize(state.picture.store), 40u + 4 * 252 + 128 * 64);  // 252 colours, 127 x 64
}

}  // namespace

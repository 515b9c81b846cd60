// Copy and Paste with real clipboard data; the copied bitmap is read back by a
// second process, as another program would read it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../common/bmp_builder.h"
#include "app/frame_win32.h"
#include "base/guards_win32.h"
#include "image/clipboard_paste_win32.h"
#include "image/le_bytes.h"
#include "app/picture_commands_win32.h"
#include "image/pixel.h"
#include "image/store_win32.h"
#include "mono/clipboard_copy_win32.h"
#include "mono/conversion.h"
#include "mono/result_win32.h"
#include "test_frame.h"

namespace {

constexpr const char* kDumpVariable = "QVX_CLIPBOARD_DUMP";

HGLOBAL global_copy(const std::vector<uint8_t>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
  GlobalUnlock(block);
  return block;
}

void put_on_clipboard(FrameState& state, const std::vector<std::pair<UINT, HANDLE>>& items) {
  ASSERT_TRUE(OpenClipboard(state.frame));
  EmptyClipboard();
  for (const auto& [format, data] : items) EXPECT_NE(SetClipboardData(format, data), nullptr) << format;
  CloseClipboard();
}

// A packed bitmap: the BMP file without its 14-byte file header.
std::vector<uint8_t> packed(const BmpFile& f) {
  std::vector<uint8_t> file = build_bmp(f);
  return std::vector<uint8_t>(file.begin() + 14, file.end());
}

std::vector<uint8_t> store_bytes(FrameState& state) {
  StoreLock lock(state.picture);
  const SIZE_T size = state.picture.store_kind == kStoreLocal ? LocalSize(state.picture.store) : GlobalSize(state.picture.store);
  return std::vector<uint8_t>(lock.get(), lock.get() + size);
}

uint32_t store_pixel(FrameState& state, int32_t x, int32_t row) {
  StoreLock lock(state.picture);
  return fetch_pixel(lock.get(), state.picture.description, x, row) & 0xFFFFFF;
}

// Runs this test program again as a second process that writes the clipboard's CF_DIB to a file.
std::vector<uint8_t> clipboard_dib_from_another_process() {
  const std::string dump = temp_directory() + "dib.bin";
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = std::string("\"") + self + "\" --gtest_filter=ClipboardPeer.*";
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  SetEnvironmentVariableA(kDumpVariable, dump.c_str());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                      &process) != 0;
  SetEnvironmentVariableA(kDumpVariable, nullptr);
  if (!started) return {};
  if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return file_bytes(dump);
}

// The colour of pixel (x, y), y counted from the top, of a picture read from a packed bitmap.
struct Picture {
  Loaded loaded;
  bool top_down = false;
  uint32_t at(int32_t x, int32_t y) const {
    const int32_t row = top_down ? y : loaded.picture.height - 1 - y;
    return fetch_pixel(loaded.data(), loaded.picture, x, row) & 0xFFFFFF;
  }
};

Picture read_packed(const std::vector<uint8_t>& dib) {
  std::vector<uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // pixels follow the table
  file.insert(file.end(), dib.begin(), dib.end());
  Picture p;
  p.loaded = load_bmp(file);
  if (p.loaded.code == ReadCode::kOk) p.top_down = get_i32(p.loaded.data() + 8) < 0;
  return p;
}

TEST(ClipboardPeer, WritesTheClipboardDibWhenAsked) {
  const char* dump = std::getenv(kDumpVariable);
  if (!dump) GTEST_SKIP() << "runs only as the second process of the copy tests";
  HGLOBAL data = nullptr;
  for (int i = 0; i < 100 && !OpenClipboard(nullptr); ++i) Sleep(20);
  data = GetClipboardData(CF_DIB);
  std::vector<unsigned char> bytes;
  if (data) {
    const unsigned char* p = static_cast<const unsigned char*>(GlobalLock(data));
    bytes.assign(p, p + GlobalSize(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  write_file(dump, bytes);
}

class Clipboard : public ::testing::Test {
 protected:
  ~Clipboard() override {
    state.conversion = ConversionSettings();
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      CloseClipboard();
    }
  }
  // Opens a 13 x 5 24-bit picture of 65 different greys, bottom-up or top-down.
  void open_grey_picture(bool top_down) {
    BmpFile f;
    f.width = 13;
    f.height = top_down ? -5 : 5;
    std::vector<std::vector<uint32_t>> rows(5, std::vector<uint32_t>(13));
    for (int r = 0; r < 5; ++r)
      for (int x = 0; x < 13; ++x) {
        const uint32_t level = static_cast<uint32_t>((r * 13 + x) * 4 - (r * 13 + x) / 2);
        rows[r][x] = level * 0x010101;
      }
    f.pixels = pack_rows(24, 13, rows);
    const std::string path = temp_directory() + "grey.bmp";
    write_file(path, build_bmp(f));
    set_file_name(state, path.c_str());
    ASSERT_EQ(open_picture(state, false), 1);
    source_ = read_packed(packed(f));
  }
  TestFrame frame;
  FrameState& state = frame.state;
  MessageBoxWatcher boxes;
  Picture source_;
};

TEST_F(Clipboard, CopyPutsTheCurrentResultAsABitmap) {
  for (bool top_down : {false, true}) {
    open_grey_picture(top_down);
    for (int density : {60, 200}) {
      frame.set_density(density);
      state.conversion.fast = true;  // the copy converts first
      copy_result(state);
      const Picture copied = read_packed(clipboard_dib_from_another_process());
      ASSERT_EQ(copied.loaded.code, ReadCode::kOk) << "no CF_DIB read back";
      ASSERT_EQ(copied.loaded.picture.width, 13);
      ASSERT_EQ(copied.loaded.picture.height, 5);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x) {
          const uint32_t expected = luminance(source_.at(x, y)) > density ? 0xFFFFFF : 0;
          EXPECT_EQ(copied.at(x, y), expected) << top_down << " " << density << " " << x << "," << y;
        }
    }
  }
}

TEST_F(Clipboard, CopyInAPhotoModeMatchesTheResultBitmap) {
  open_grey_picture(false);
  state.conversion.mode = kModePhotoSoft;
  state.conversion.fast = true;
  copy_result(state);
  std::vector<uint8_t> result(GlobalSize(state.picture.result));
  std::memcpy(result.data(), GlobalLock(state.picture.result), result.size());
  GlobalUnlock(state.picture.result);
  const Picture copied = read_packed(clipboard_dib_from_another_process());
  const Picture converted = read_packed(result);
  ASSERT_EQ(copied.loaded.code, ReadCode::kOk);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 13; ++x) EXPECT_EQ(copied.at(x, y), converted.at(x, y)) << x << "," << y;
}

TEST_F(Clipboard, PastedDeviceIndependentBitmaps) {
  BmpFile grey8;
  grey8.width = 3, grey8.height = 2, grey8.bit_count = 8;
  for (uint32_t i = 0; i < 256; ++i) grey8.colours.push_back(i * 0x010101);
  grey8.pixels = pack_rows(8, 3, {{0, 128, 255}, {7, 8, 9}});
  BmpFile rgb24;
  rgb24.width = 2, rgb24.height = 2;
  rgb24.pixels = pack_rows(24, 2, {{0x102030, 0x405060}, {0x708090, 0xA0B0C0}});
  BmpFile v4 = rgb24;
  v4.header_size = 108;
  BmpFile fields16;
  fields16.width = 2, fields16.height = 2, fields16.bit_count = 16, fields16.compression = 3;
  fields16.masks = {0xF800, 0x07E0, 0x001F};
  fields16.colours_used = 2;
  fields16.colours = {0x000000, 0xFFFFFF};
  fields16.pixels = pack_rows(16, 2, {{0xF800, 0x07E0}, {0x001F, 0xFFFF}});
  const struct {
    const char* name;
    BmpFile file;
    uint32_t source_header, colour_count, mask_bytes, offset, colours_used;
    uint32_t pixel_1_0, pixel_0_1;
  } cases[] = {
      {"8-bit", grey8, 40, 256, 0, 1064, 256, 0x808080, 0x070707},
      {"24-bit", rgb24, 40, 0, 0, 40, 0, 0x405060, 0x708090},
      {"108-byte header", v4, 108, 0, 0, 40, 0, 0x405060, 0x708090},
      {"bit-fields", fields16, 40, 2, 12, 60, 2, 0x00FC00, 0x0000F8},
  };
  for (const auto& c : cases) {
    put_on_clipboard(state, {{CF_DIB, global_copy(packed(c.file))}});
    ASSERT_EQ(open_picture(state, true), 1) << c.name;
    EXPECT_EQ(state.picture.store_kind, kStoreGlobal) << c.name;
    EXPECT_EQ(state.picture.description.source_header_size, c.source_header) << c.name;
    EXPECT_EQ(state.picture.description.colour_count, c.colour_count) << c.name;
    EXPECT_EQ(state.picture.description.mask_byte_count, c.mask_bytes) << c.name;
    EXPECT_EQ(state.picture.description.offset_to_pixels, c.offset) << c.name;
    const std::vector<uint8_t> store = store_bytes(state);
    EXPECT_EQ(get_u32(&store[0]), 40u) << c.name;
    EXPECT_EQ(get_u32(&store[32]), c.colours_used) << c.name;
    EXPECT_EQ(store_pixel(state, 1, 0), c.pixel_1_0) << c.name;
    EXPECT_EQ(store_pixel(state, 0, 1), c.pixel_0_1) << c.name;
  }
  char caption[64] = {};
  GetWindowTextA(state.frame, caption, sizeof caption);
  EXPECT_STREQ(caption, "QUILLVEX-  2 * 2 * 16  BitField");
}

TEST_F(Clipboard, PastedDeviceBitmaps) {
  // The platform offers a device bitmap as CF_DIB too, so the device path is taken directly.
  const uint8_t indices[8] = {0, 1, 2, 3, 3, 2, 1, 0};  // 4 x 2, rows of 4 bytes
  HBITMAP bitmap8 = CreateBitmap(4, 2, 1, 8, indices);
  ASSERT_NE(bitmap8, nullptr);
  struct {
    LOGPALETTE header;
    PALETTEENTRY more[255];
  } palette_description = {};
  palette_description.header.palVersion = 0x300;
  palette_description.header.palNumEntries = 256;
  PALETTEENTRY* entries = palette_description.header.palPalEntry;
  for (int i = 0; i < 256; ++i) entries[i] = {static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 40, 0};
  HPALETTE palette = CreatePalette(&palette_description.header);
  put_on_clipboard(state, {{CF_BITMAP, bitmap8}, {CF_PALETTE, palette}});
  PastedPicture pasted;
  ASSERT_TRUE(paste_device_bitmap(state.frame, pasted));
  EXPECT_EQ(pasted.description.colour_count, 256u);
  EXPECT_EQ(pasted.description.offset_to_pixels, 1064u);
  EXPECT_EQ(pasted.description.source_header_size, 40u);
  {
    GlobalLockGuard bytes(pasted.block);
    for (int i : {0, 1, 2, 3}) {
      const uint8_t* entry = bytes.get() + 40 + 4 * i;
      EXPECT_EQ(entry[2], i) << i;        // red
      EXPECT_EQ(entry[1], 255 - i) << i;  // green
      EXPECT_EQ(entry[0], 40) << i;       // blue
    }
    EXPECT_EQ(get_i32(bytes.get() + 8), 2);
    EXPECT_EQ(bytes.get()[1064 + 4 + 1], 1);  // bottom-up: storage row 1 is the top row
  }
  GlobalFree(pasted.block);

  // A monochrome bitmap stays black and white whatever palette comes with it.
  const uint8_t bits1[4] = {0xA0, 0, 0x50, 0};  // 4 x 2, rows of 2 bytes
  HBITMAP bitmap1 = CreateBitmap(4, 2, 1, 1, bits1);
  HPALETTE palette1 = CreatePalette(&palette_description.header);
  put_on_clipboard(state, {{CF_BITMAP, bitmap1}, {CF_PALETTE, palette1}});
  pasted = PastedPicture();
  ASSERT_TRUE(paste_device_bitmap(state.frame, pasted));
  EXPECT_EQ(pasted.description.colour_count, 2u);
  EXPECT_EQ(pasted.description.offset_to_pixels, 48u);
  {
    GlobalLockGuard bytes(pasted.block);
    EXPECT_EQ(get_u32(bytes.get() + 40), 0x000000u);
    EXPECT_EQ(get_u32(bytes.get() + 44), 0xFFFFFFu);
    EXPECT_EQ(bytes.get()[48], 0x50);  // bottom row first
  }
  GlobalFree(pasted.block);

  const uint32_t colours[6] = {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x010203};
  HBITMAP bitmap32 = CreateBitmap(3, 2, 1, 32, colours);
  put_on_clipboard(state, {{CF_BITMAP, bitmap32}});
  pasted = PastedPicture();
  ASSERT_TRUE(paste_device_bitmap(state.frame, pasted));
  EXPECT_EQ(pasted.description.colour_count, 0u);
  EXPECT_EQ(pasted.description.offset_to_pixels, 40u);
  {
    GlobalLockGuard bytes(pasted.block);
    EXPECT_EQ(get_u32(bytes.get() + 32), 0u);
    EXPECT_EQ(get_u32(bytes.get() + 20), 24u);
    EXPECT_EQ(get_u32(bytes.get() + 40) & 0xFFFFFF, 0xAABBCCu);  // bottom row first
    EXPECT_EQ(get_u32(bytes.get() + 40 + 12) & 0xFFFFFF, 0x112233u);
  }
  GlobalFree(pasted.block);
}

TEST_F(Clipboard, OnlyTextGivesTheGreyRamp) {
  HGLOBAL text = global_copy({'h', 'i', 0});
  put_on_clipboard(state, {{CF_TEXT, text}});
  ASSERT_EQ(open_picture(state, true), 1);
  EXPECT_EQ(state.picture.description.width, 256);
  EXPECT_EQ(state.picture.description.colour_count, 256u);
  EXPECT_EQ(state.picture.description.offset_to_pixels, 1064u);
  EXPECT_EQ(store_pixel(state, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(store_pixel(state, 255, 255), 0u);
  EXPECT_EQ(store_pixel(state, 64, 9), 0xBFBFBFu);
}

TEST_F(Clipboard, APasteThatYieldsNothingChangesNothing) {
  open_grey_picture(false);
  char before[300] = {};
  GetWindowTextA(state.frame, before, sizeof before);
  const HANDLE store = state.picture.store;
  const std::vector<uint8_t> bytes = store_bytes(state);
  put_on_clipboard(state, {{CF_DIB, global_copy(std::vector<uint8_t>(20, 0))}});
  EXPECT_EQ(open_picture(state, true), 0);
  char after[300] = {};
  GetWindowTextA(state.frame, after, sizeof after);
  EXPECT_STREQ(after, before);
  EXPECT_EQ(state.picture.store, store);
  EXPECT_TRUE(state.picture.loaded);
  EXPECT_EQ(state.picture.description.width, 13);
  EXPECT_EQ(store_bytes(state), bytes);
  EXPECT_TRUE(boxes.texts().empty());
}

}  // namespace

// The Info and About dialogs opened modally on the real platform: templates as the
// platform lays them out, the texts they fill in, and the shared 3-D look item.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../common/bmp_builder.h"
#include "app/frame_win32.h"
#include "dialogs/dialogs_win32.h"
#include "app/picture_commands_win32.h"
#include "image/store_win32.h"
#include "test_frame.h"

namespace {

std::function<void(HWND)> g_inspect;

BOOL CALLBACK find_dialog(HWND window, LPARAM context) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, "#32770") != 0) return TRUE;
  *reinterpret_cast<HWND*>(context) = window;
  return FALSE;
}

HWND dialog_of_this_thread() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), find_dialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Runs inside the dialog's own modal loop: inspect, then press OK. The dialog is shown
// only once its loop first runs out of messages, so a busy machine may deliver the
// first tick before that: the next tick tries again.
VOID CALLBACK inspect_and_close(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = dialog_of_this_thread();
  if (!dialog || !IsWindowVisible(dialog)) return;
  KillTimer(nullptr, timer);
  g_inspect(dialog);
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

// Opens a dialog modally as the frame does and lets `inspect` look at it; a stuck
// dialog is cancelled after ten seconds so the test can't hang.
INT_PTR run_dialog(FrameState& state, const char* name, DLGPROC procedure, std::function<void(HWND)> inspect) {
  g_inspect = std::move(inspect);
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const DWORD thread = GetCurrentThreadId();
  std::thread watchdog([done, thread] {
    if (WaitForSingleObject(done, 10000) != WAIT_TIMEOUT) return;
    HWND found = nullptr;
    EnumThreadWindows(thread, find_dialog, reinterpret_cast<LPARAM>(&found));
    if (found) PostMessageA(found, WM_COMMAND, IDCANCEL, 0);
  });
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, inspect_and_close);
  // The frame hands its state over as its commands do.
  DialogInputs inputs = frame_dialog_inputs(state);
  const INT_PTR result =
      DialogBoxParamA(state.instance, name, state.frame, procedure, reinterpret_cast<LPARAM>(&inputs));
  KillTimer(nullptr, timer);
  SetEvent(done);
  watchdog.join();
  CloseHandle(done);
  return result;
}

std::string text_of(HWND control) {
  char text[256] = {};
  GetWindowTextA(control, text, sizeof text);
  return text;
}

// A control as the template lists it: id, kind, initial text, dialog-unit rectangle.
enum Kind { kLeft, kRight, kDefaultButton, kIcon };
struct Control {
  int id;
  Kind kind;
  std::string text;
  int x, y, width, height;
};

std::vector<Control> info_template() {
  const char* labels[] = {"biSize",          "biWidth",         "biHeight",    "biPlanes",      "biBitCount",
                          "biCompression",   "biSizeImage",     "biXPelsPerMeter", "biYPelsPerMeter",
                          "biColorUsed",     "biClrImportant"};
  std::vector<Control> controls = {{30, kLeft, "Bitmap-Info-Header", 10, 8, 90, 10}};
  for (int k = 0; k < 11; ++k) controls.push_back({-1, kRight, labels[k], 10, 22 + 10 * k, 55, 10});
  for (int k = 0; k < 11; ++k) controls.push_back({k + 1, kLeft, labels[k], 70, 22 + 10 * k, 65, 10});
  controls.push_back({31, kLeft, "Color Table", 135, 8, 90, 10});
  for (int id = 13; id <= 20; ++id) controls.push_back({id, kLeft, "", 135, 22 + 10 * (id - 13), 40, 10});
  for (int id = 21; id <= 28; ++id) controls.push_back({id, kLeft, "", 175, 22 + 10 * (id - 21), 40, 10});
  controls.push_back({1, kDefaultButton, "OK", 154, 113, 38, 14});
  return controls;
}

// The About template with the texts the dialog shows in English.
std::vector<Control> about_template(const std::string& display_line) {
  return {{-1, kIcon, "", 5, 6, 16, 14},
          {101, kLeft, "QUILLVEX  Version 0.09", 30, 7, 118, 9},
          {105, kLeft, "Quillvex team", 65, 17, 40, 9},
          {103, kLeft, sizeof(void*) == 8 ? "64 bits" : "32 bits", 30, 27, 34, 9},
          {102, kLeft, "GCC build", 93, 27, 51, 9},
          {106, kLeft, "", 30, 41, 95, 9},
          {104, kLeft, display_line, 6, 56, 105, 9},
          {1, kDefaultButton, "OK", 115, 54, 31, 14}};
}

// Compares the dialog's children, in order, with the template.
void expect_controls(HWND dialog, const std::vector<Control>& expected) {
  HWND child = GetWindow(dialog, GW_CHILD);
  for (const Control& c : expected) {
    ASSERT_NE(child, nullptr) << c.text;
    const std::string where = "control " + std::to_string(c.id) + " " + c.text;
    EXPECT_EQ(static_cast<int>(static_cast<short>(GetDlgCtrlID(child))), c.id) << where;
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    EXPECT_TRUE(style & WS_VISIBLE) << where;
    switch (c.kind) {
      case kLeft: EXPECT_EQ(style & SS_TYPEMASK, SS_LEFT) << where; break;
      case kRight: EXPECT_EQ(style & SS_TYPEMASK, SS_RIGHT) << where; break;
      case kDefaultButton: EXPECT_EQ(style & BS_TYPEMASK, BS_DEFPUSHBUTTON) << where; break;
      case kIcon: EXPECT_EQ(style & SS_TYPEMASK, SS_ICON) << where; break;
    }
    if (c.kind != kIcon) EXPECT_EQ(text_of(child), c.text) << where;
    // The platform converts position and size separately, each rounded on its own.
    RECT position = {c.x, c.y, 0, 0}, size = {0, 0, c.width, c.height};
    MapDialogRect(dialog, &position);
    MapDialogRect(dialog, &size);
    RECT got;
    GetWindowRect(child, &got);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&got), 2);
    EXPECT_EQ(got.left, position.left) << where;
    EXPECT_EQ(got.top, position.top) << where;
    if (c.kind != kIcon) {  // an icon control takes the size of its icon
      EXPECT_EQ(got.right - got.left, size.right) << where;
      EXPECT_EQ(got.bottom - got.top, size.bottom) << where;
    }
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr);
}

std::string expected_display_line() {
  HDC screen = GetDC(nullptr);
  const int depth = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
  const int palette = GetDeviceCaps(screen, SIZEPALETTE);
  ReleaseDC(nullptr, screen);
  if (depth >= 24) return "display mode 16777216 colors";
  if (depth == 16) return "display mode 65536 colors";
  if (depth == 8) return palette ? "display mode 256 colors Palette" : "display mode 256 colors No palette";
  return "unexpected depth " + std::to_string(depth);
}

// The 3-D item's state: -1 when the system menu has no such item, else 0 or 1.
int three_d_item(HWND dialog) {
  const UINT state = GetMenuState(GetSystemMenu(dialog, FALSE), 106, MF_BYCOMMAND);
  if (state == 0xFFFFFFFF) return -1;
  return (state & MF_CHECKED) ? 1 : 0;
}

bool three_d_style(HWND dialog) { return (GetWindowLongA(dialog, GWL_STYLE) & DS_3DLOOK) != 0; }

std::string three_d_item_text(HWND dialog) {
  char text[64] = {};
  GetMenuStringA(GetSystemMenu(dialog, FALSE), 106, text, sizeof text, MF_BYCOMMAND);
  return text;
}

// Writes a picture into a file and opens it as the Open command does.
void open_picture_file(FrameState& state, const BmpFile& file) {
  const std::string path = temp_directory() + "picture.bmp";
  const std::vector<uint8_t> bytes = build_bmp(file);
  ASSERT_TRUE(write_file(path, std::vector<unsigned char>(bytes.begin(), bytes.end())));
  set_file_name(state, path.c_str());
  ASSERT_EQ(open_picture(state, false), 1);
}

// No message-box watcher here: it would close the dialogs under test.
class DialogGlue : public ::testing::Test {
 protected:
  TestFrame frame;
  FrameState& state = frame.state;
};

TEST_F(DialogGlue, InfoWithoutAPictureShowsItsTemplate) {
  bool inspected = false;
  const INT_PTR result = run_dialog(state, "InfoBox", BMPINFO, [&](HWND dialog) {
    inspected = true;
    EXPECT_EQ(text_of(dialog), "BMP Information");
    expect_controls(dialog, info_template());
  });
  EXPECT_TRUE(inspected);
  EXPECT_EQ(result, 1);
}

TEST_F(DialogGlue, InfoShowsAPalettePicturesHeaderAndFirstSixteenColours) {
  BmpFile file;
  file.width = 640;
  file.height = 480;
  file.bit_count = 8;
  file.x_resolution = file.y_resolution = 3780;
  file.image_size = 640 * 480;
  file.colours_used = 256;
  for (uint32_t i = 0; i < 256; ++i) file.colours.push_back(i * 0x010101);
  file.pixels = pack_rows(8, 640, std::vector<std::vector<uint32_t>>(480));
  open_picture_file(state, file);
  bool inspected = false;
  run_dialog(state, "InfoBox", BMPINFO, [&](HWND dialog) {
    inspected = true;
    const char* values[] = {"40",       "640 (6.67in)", "480 (5.00in)", "1",   "8",  "0",
                            "307200",   "3780 (96dpi)", "3780 (96dpi)", "256", "0"};
    for (int k = 0; k < 11; ++k) EXPECT_EQ(text_of(GetDlgItem(dialog, k + 1)), values[k]) << k;
    const HGDIOBJ fixed = GetStockObject(OEM_FIXED_FONT);
    for (int i = 0; i < 16; ++i) {
      HWND cell = GetDlgItem(dialog, 13 + i);
      char want[16];
      std::snprintf(want, sizeof want, "a5%02x%02x%02x", i, i, i);
      EXPECT_EQ(text_of(cell), want) << i;
      EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(cell, WM_GETFONT, 0, 0)), fixed) << i;
    }
    // The headings are bold and as tall as the frame's text.
    TEXTMETRICA metrics = {};
    HDC dc = GetDC(state.frame);
    GetTextMetricsA(dc, &metrics);
    ReleaseDC(state.frame, dc);
    for (int id : {30, 31}) {
      LOGFONTA font = {};
      ASSERT_NE(GetObjectA(reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, id, WM_GETFONT, 0, 0)), sizeof font,
                           &font),
                0);
      EXPECT_EQ(font.lfWeight, 700);
      EXPECT_EQ(font.lfHeight, -metrics.tmHeight);
    }
    // The OK button keeps its text though the first value field shares its id.
    EXPECT_EQ(text_of(GetDlgItem(dialog, 1)), "40");
  });
  EXPECT_TRUE(inspected);
}

TEST_F(DialogGlue, InfoShowsTheMasksOfABitFieldsPictureFromAPluginsLocalBlock) {
  // A plug-in hands over a local block: the dialog must lock it with that family.
  std::vector<uint8_t> store(52 + 4, 0);
  put_u32(store.data(), 40);
  put_u32(store.data() + 4, 1);
  put_u32(store.data() + 8, static_cast<uint32_t>(-1));
  put_u16(store.data() + 12, 1);
  put_u16(store.data() + 14, 16);
  put_u32(store.data() + 16, 3);
  put_u32(store.data() + 40, 0xF800);
  put_u32(store.data() + 44, 0x07E0);
  put_u32(store.data() + 48, 0x001F);
  free_store(state.picture);
  HLOCAL block = LocalAlloc(LMEM_MOVEABLE, store.size());
  ASSERT_NE(block, nullptr);
  std::memcpy(LocalLock(block), store.data(), store.size());
  LocalUnlock(block);
  state.picture.store = block;
  state.picture.store_kind = kStoreLocal;
  state.picture.loaded = true;
  state.picture.description.source_header_size = 40;
  state.picture.description.mask_byte_count = 12;
  bool inspected = false;
  run_dialog(state, "InfoBox", BMPINFO, [&](HWND dialog) {
    inspected = true;
    EXPECT_EQ(text_of(GetDlgItem(dialog, 3)), "-1");
    EXPECT_EQ(text_of(GetDlgItem(dialog, 6)), "3");
    const char* cells[16] = {"0000f800", "000007e0", "0000001f", "", "5-6-5", "", "", "",
                             "red",      "green",    "blue",     "", "",      "", "", ""};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(text_of(GetDlgItem(dialog, 13 + i)), cells[i]) << 13 + i;
    // Labels and counts keep the dialog's font.
    const HGDIOBJ fixed = GetStockObject(OEM_FIXED_FONT);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(dialog, 13, WM_GETFONT, 0, 0)), fixed);
    EXPECT_NE(reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(dialog, 17, WM_GETFONT, 0, 0)), fixed);
    EXPECT_NE(reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(dialog, 21, WM_GETFONT, 0, 0)), fixed);
  });
  EXPECT_TRUE(inspected);
  EXPECT_EQ(LocalFlags(block) & LMEM_LOCKCOUNT, 0u);  // unlocked again
}

TEST_F(DialogGlue, AboutShowsItsLinesInEnglish) {
  bool inspected = false;
  const INT_PTR result = run_dialog(state, "ABOUT", ABOUTBOX, [&](HWND dialog) {
    inspected = true;
    EXPECT_EQ(text_of(dialog), "About QUILLVEX");
    expect_controls(dialog, about_template(expected_display_line()));
    EXPECT_EQ(three_d_item_text(dialog), "&Three dimention");
  });
  EXPECT_TRUE(inspected);
  EXPECT_EQ(result, 1);
}

TEST_F(DialogGlue, AboutShowsItsJapaneseLinesAsShiftJisBytes) {
  state.japanese = true;
  bool inspected = false;
  run_dialog(state, "ABOUT", ABOUTBOX, [&](HWND dialog) {
    inspected = true;
    EXPECT_EQ(text_of(dialog), "About QUILLVEX");
    EXPECT_EQ(text_of(GetDlgItem(dialog, 101)), "QUILLVEX  Version 0.09");
    EXPECT_EQ(text_of(GetDlgItem(dialog, 103)), sizeof(void*) == 8 ? "64 bit \x94\xC5" : "32 bit \x94\xC5");
    EXPECT_EQ(text_of(GetDlgItem(dialog, 102)), "GCC \xBA\xDD\xCA\xDF\xB2\xD9");
    EXPECT_EQ(text_of(GetDlgItem(dialog, 105)), "Quillvex \xC1\xB0\xD1");
    EXPECT_EQ(text_of(GetDlgItem(dialog, 106)), "");
    EXPECT_EQ(text_of(GetDlgItem(dialog, 104)).substr(0, 9), "\x89\xE6\x96\xCA\xD3\xB0\xC4\xDE:");
    EXPECT_EQ(three_d_item_text(dialog), "\x82\x52\x82\x63\x95\x5C\x8E\xA6(\x1ET\x1F\xBB)");
  });
  EXPECT_TRUE(inspected);
}

TEST_F(DialogGlue, InfoEndsOnlyOnAPlainOkOrCancelAboutOnTheirLowWord) {
  // A command whose high word is set: Info leaves it alone, About ends on its low word.
  const struct {
    const char* name;
    DLGPROC procedure;
    WPARAM command;
    INT_PTR handled;
    bool ends;
  } cases[] = {
      {"InfoBox", BMPINFO, MAKEWPARAM(IDOK, 1), FALSE, false},
      {"InfoBox", BMPINFO, MAKEWPARAM(IDCANCEL, 1), FALSE, false},
      {"InfoBox", BMPINFO, IDCANCEL, TRUE, true},
      {"ABOUT", ABOUTBOX, MAKEWPARAM(IDOK, 1), TRUE, true},
      {"ABOUT", ABOUTBOX, MAKEWPARAM(IDCANCEL, 1), TRUE, true},
      {"ABOUT", ABOUTBOX, MAKEWPARAM(3, 0), TRUE, false},
  };
  for (const auto& c : cases) {
    bool inspected = false;
    run_dialog(state, c.name, c.procedure, [&](HWND dialog) {
      inspected = true;
      EXPECT_EQ(c.procedure(dialog, WM_COMMAND, c.command, 0), c.handled) << c.name << " " << c.command;
      EXPECT_EQ(IsWindowVisible(dialog) == FALSE, c.ends) << c.name << " " << c.command;
    });
    EXPECT_TRUE(inspected) << c.name;
  }
}

TEST_F(DialogGlue, ThreeDLookToggledInInfoHoldsForAbout) {
  ASSERT_EQ(state.settings.dialog3d, 1);
  run_dialog(state, "InfoBox", BMPINFO, [&](HWND dialog) {
    EXPECT_EQ(three_d_item(dialog), 1);
    EXPECT_TRUE(three_d_style(dialog));
    SendMessageA(dialog, WM_SYSCOMMAND, 106, 0);
    EXPECT_EQ(state.settings.dialog3d, 0);
    EXPECT_EQ(three_d_item(dialog), 0);
    EXPECT_FALSE(three_d_style(dialog));
  });
  run_dialog(state, "ABOUT", ABOUTBOX, [](HWND dialog) {
    EXPECT_EQ(three_d_item(dialog), 0);
    EXPECT_FALSE(three_d_style(dialog));
    SendMessageA(dialog, WM_SYSCOMMAND, 106, 0);
    EXPECT_EQ(three_d_item(dialog), 1);
    EXPECT_TRUE(three_d_style(dialog));
  });
  EXPECT_EQ(state.settings.dialog3d, 1);
}

TEST_F(DialogGlue, BeforePlatform395NeitherDialogHasTheItem) {
  state.version = 819;  // 3.51
  for (const auto& dialog : {std::make_pair("InfoBox", BMPINFO), std::make_pair("ABOUT", ABOUTBOX)}) {
    bool inspected = false;
    run_dialog(state, dialog.first, dialog.second, [&](HWND window) {
      inspected = true;
      EXPECT_EQ(three_d_item(window), -1) << dialog.first;
    });
    EXPECT_TRUE(inspected) << dialog.first;
  }
}

}  // namespace

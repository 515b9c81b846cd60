// quillvex.exe started without arguments: the empty frame, and the settings at exit.
#include <gtest/gtest.h>

#include "program.h"
#include "screen.h"

namespace {

// A window of the test's own with the English menu bar, drawn by the same platform.
HWND make_reference_window(const RECT& frame_rect) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "qvxReferenceMenu";
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassA(&window_class);
  HMENU bar = CreateMenu();
  for (const char* title : {"&File", "&Option", "&Window", "&Help"}) {
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, 1, "x");
    AppendMenuA(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), title);
  }
  // Placed over the frame, whose menu bar has been captured already.
  HWND window = CreateWindowExA(0, "qvxReferenceMenu", "reference", WS_OVERLAPPEDWINDOW, frame_rect.left,
                                frame_rect.top, frame_rect.right - frame_rect.left,
                                frame_rect.bottom - frame_rect.top, nullptr, bar, GetModuleHandleA(nullptr), nullptr);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  return window;
}

TEST(GuiStart, EmptyFrameShowsTheEnglishMenuClosesWithCodeZeroAndWritesTheSettings) {
  const std::string folder = fresh_folder();
  ProgramRun run = start_program("", folder);
  HWND frame = wait_for_frame(run, 20000);
  ASSERT_NE(frame, nullptr);
  char caption[64] = {};
  GetWindowTextA(frame, caption, sizeof caption);
  EXPECT_STREQ(caption, "QUILLVEX");

  // The frame's menu bar, as the screen shows it, equals a menu bar of the four
  // English titles drawn by the same platform at the same width.
  Sleep(300);
  const Screenshot shown = capture_screen(menu_bar_area(frame));
  RECT frame_rect;
  GetWindowRect(frame, &frame_rect);
  HWND reference = make_reference_window(frame_rect);
  Sleep(300);
  const Screenshot expected = capture_screen(menu_bar_area(reference));
  DestroyWindow(reference);
  ASSERT_GT(shown.width, 0);
  EXPECT_EQ(shown.width, expected.width);
  EXPECT_EQ(shown.height, expected.height);
  const bool same = shown.pixels == expected.pixels;
  EXPECT_TRUE(same) << "menu bars differ; screenshots in " << folder;
  if (!same) {
    save_screenshot(shown, folder + "menu-shown.bmp");
    save_screenshot(expected, folder + "menu-expected.bmp");
  }
  // The bar shows text, not only its background.
  size_t dark = 0;
  for (uint32_t pixel : shown.pixels) dark += (pixel & 0xFF) < 0x40;
  EXPECT_GT(dark, 50u);

  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(wait_for_exit(run, 20000), 0);
  const std::vector<uint8_t> ini = read_bytes(folder + "QUILLVEX.INI");
  const std::string text(ini.begin(), ini.end());
  EXPECT_NE(text.find("[QUILLVEX]"), std::string::npos) << text;
  EXPECT_NE(text.find("keymode=0"), std::string::npos) << text;
  EXPECT_NE(text.find("dialog3d=1"), std::string::npos) << text;
}

}  // namespace

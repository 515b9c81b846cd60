// quillvex.exe in a real window under Xvfb: its control bar and panes read from
// outside, and keys typed through the X server.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../common/bmp_builder.h"
#include "app/control_bar.h"
#include "frame_probe.h"
#include "program.h"

namespace {

// A 24-bit picture whose grey level rises from left to right, so the density matters.
std::string write_gradient(const std::string& folder, const std::string& name, int width, int height) {
  std::vector<uint32_t> row;
  for (int x = 0; x < width; ++x) row.push_back(0x010101u * static_cast<uint32_t>(x * 255 / (width - 1)));
  BmpFile picture;
  picture.width = width;
  picture.height = height;
  picture.pixels = pack_rows(24, width, std::vector<std::vector<uint32_t>>(static_cast<size_t>(height), row));
  write_bytes(folder + name, build_bmp(picture));
  return name;
}

// The metrics the program computes from the same screen.
BarMetrics screen_metrics() {
  HDC screen = GetDC(nullptr);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(screen, &metrics);
  ReleaseDC(nullptr, screen);
  return compute_bar_metrics(true, metrics.tmHeight, metrics.tmAveCharWidth, GetSystemMetrics(SM_CXHSCROLL));
}

void expect_rect(const RECT& got, const Rect& want, const char* what) {
  EXPECT_EQ(got.left, want.x) << what;
  EXPECT_EQ(got.top, want.y) << what;
  EXPECT_EQ(got.right - got.left, want.width) << what;
  EXPECT_EQ(got.bottom - got.top, want.height) << what;
}

// Ends the program when a failed assertion leaves it running.
struct EndProgram {
  ProgramRun& run;
  ~EndProgram() {
    if (run.started) wait_for_exit(run, 0);
  }
};

// Waits until start-up has finished: the scale label exists and, with a picture, the caption names it.
bool wait_until_ready(HWND frame, bool picture) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 20000) {
    char caption[256] = {};
    GetWindowTextA(frame, caption, sizeof caption);
    const bool loaded = std::string(caption).rfind("QUILLVEX- ", 0) == 0;
    if (!control_text(frame, 9).empty() && loaded == picture) {
      Sleep(200);
      return true;
    }
    Sleep(20);
  }
  return false;
}

bool wait_for_file(const std::string& path, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    if (file_exists(path)) {
      Sleep(300);  // let the writer finish
      return true;
    }
    Sleep(50);
  }
  return false;
}

TEST(FrameGui, ControlBarKeysAndSaveAs) {
  const std::string folder = fresh_folder();
  const std::string picture = write_gradient(folder, "picture.bmp", 64, 48);
  ProgramRun run = start_program(picture, folder);
  EndProgram ending{run};
  HWND frame = wait_for_frame(run, 20000);
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(wait_until_ready(frame, true));

  const BarMetrics m = screen_metrics();
  EXPECT_EQ(control_text(frame, 7), "127");
  EXPECT_EQ(control_text(frame, 9), "scale 1");
  EXPECT_EQ(control_text(frame, 6), "Rev");
  expect_rect(child_rect(frame, 3), control_rect(kDensityBar, m), "density bar");
  expect_rect(child_rect(frame, 4), control_rect(kZoomSpin, m), "zoom spin");
  expect_rect(child_rect(frame, 6), control_rect(kInvertButton, m), "invert button");
  expect_rect(child_rect(frame, 7), control_rect(kDensityLabel, m), "density label");
  expect_rect(child_rect(frame, 8), control_rect(kScaleFrame, m), "scale frame");
  expect_rect(child_rect(frame, 9), control_rect(kScaleLabel, m), "scale label");
  RECT client;
  GetClientRect(frame, &client);
  Rect source{}, result{};
  place_pane_rects(202, client.right, client.bottom, m.bar_height, source, result);
  expect_rect(child_rect(frame, 1), source, "source pane");
  expect_rect(child_rect(frame, 2), result, "result pane");

  ASSERT_TRUE(type_keys(frame, "shift+Left"));
  EXPECT_EQ(wait_for_text(frame, 7, "126"), "126");
  ASSERT_TRUE(type_keys(frame, "shift+Up"));
  EXPECT_EQ(wait_for_text(frame, 9, "scale 2"), "scale 2");
  ASSERT_TRUE(type_keys(frame, "ctrl+F4"));
  Sleep(300);
  const RECT hidden = child_rect(frame, 2);
  EXPECT_EQ(hidden.right - hidden.left, 0);
  EXPECT_EQ(hidden.bottom - hidden.top, 0);
  EXPECT_EQ(child_rect(frame, 1).right, client.right);
  ASSERT_TRUE(type_keys(frame, "r"));

  // Save As by keys: a typed name without extension gets the extension (the registry
  // of the test prefix doesn't say whether the shell shows extensions).
  ASSERT_TRUE(type_keys(frame, "ctrl+s"));
  HWND dialog = wait_for_dialog(run.process.dwProcessId, 10000);
  ASSERT_NE(dialog, nullptr);
  // The dialog takes a moment to give its name field the focus; a lost first try is repeated.
  bool saved = false;
  for (int attempt = 0; attempt < 3 && !saved && IsWindow(dialog); ++attempt) {
    Sleep(700);
    ASSERT_TRUE(xdotool_on(dialog, "key ctrl+a BackSpace"));
    // The dialog opens in the folder it last saved to, so the name is typed with its folder.
    ASSERT_TRUE(xdotool_on(dialog, "type --delay 20 '" + folder + "typed'"));
    ASSERT_TRUE(xdotool_on(dialog, "key Return"));
    saved = wait_for_file(folder + "typed.BMP", 4000);
  }
  EXPECT_TRUE(saved);
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(wait_for_exit(run, 20000), 0);

  // The saved result is the batch conversion at density 126 with invert on.
  ASSERT_EQ(run_program("/126 picture.bmp /O reference.bmp /R", folder), 0);
  const std::vector<uint8_t> reference = read_bytes(folder + "reference.bmp");
  ASSERT_FALSE(reference.empty());
  EXPECT_EQ(read_bytes(folder + "typed.BMP"), reference);
}

BOOL CALLBACK collect_frame(HWND window, LPARAM context) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, "quillvexWClass") == 0) reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

std::vector<HWND> all_frames() {
  std::vector<HWND> frames;
  EnumWindows(collect_frame, reinterpret_cast<LPARAM>(&frames));
  return frames;
}

// Returns a visible frame window of quillvex.exe that is not among the known ones.
HWND find_new_frame(const std::vector<HWND>& known, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    for (HWND frame : all_frames())
      if (IsWindowVisible(frame) && std::find(known.begin(), known.end(), frame) == known.end()) return frame;
    Sleep(50);
  }
  return nullptr;
}

// Under the Japanese locale the screen font is Shift-JIS and every text is Japanese.
TEST(FrameGui, JapaneseLabels) {
  const std::vector<HWND> known = all_frames();
  const std::string exe = std::string(QVX_EXE).substr(2);  // the Unix path behind "Z:"
  // Wine sets USERPROFILE itself here, so this run keeps its settings in the prefix's profile.
  ASSERT_TRUE(start_from_unix("LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8", exe));
  HWND frame = find_new_frame(known, 20000);
  ASSERT_NE(frame, nullptr);
  DWORD process_id = 0;
  GetWindowThreadProcessId(frame, &process_id);
  ProgramRun run;
  run.process.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, process_id);
  run.started = run.process.hProcess != nullptr;
  EndProgram ending{run};
  ASSERT_TRUE(run.started);
  ASSERT_TRUE(wait_until_ready(frame, false));
  EXPECT_EQ(control_text(frame, 9, 932), "\xBD\xB9\xB0\xD9 1");  // ｽｹｰﾙ 1
  EXPECT_EQ(control_text(frame, 6, 932), "\x94\xBD\x93]");      // 反転
  ASSERT_TRUE(type_keys(frame, "shift+Down"));
  const DWORD start = GetTickCount();
  while (control_text(frame, 9, 932) != "\xBD\xB9\xB0\xD9" "1/2" && GetTickCount() - start < 5000) Sleep(20);
  EXPECT_EQ(control_text(frame, 9, 932), "\xBD\xB9\xB0\xD9" "1/2");
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(wait_for_exit(run, 20000), 0);
}

}  // namespace

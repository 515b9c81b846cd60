// The Info and About dialogs of a running quillvex.exe, read from outside as a
// user's screen reader would: control texts through window messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../common/bmp_builder.h"
#include "../common/window_search.h"
#include "frame_probe.h"
#include "program.h"

namespace {

// The program under test is built for the same word size as this test program.
constexpr bool kWide = sizeof(void*) == 8;

// Sends a command to the frame and returns the dialog it opens, or null.
HWND open_dialog(const ProgramRun& run, HWND frame, int command) {
  PostMessageA(frame, WM_COMMAND, static_cast<WPARAM>(command), 0);
  return wait_for_dialog(run.process.dwProcessId, 10000);
}

// A window's text as the program holds it, in Shift-JIS whatever this process's code page.
std::string text_of(HWND window) {
  wchar_t wide[256] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 5000, &copied);
  char bytes[512] = {};
  WideCharToMultiByte(932, 0, wide, -1, bytes, sizeof bytes, nullptr, nullptr);
  return bytes;
}

std::string item_text(HWND dialog, int id) { return text_of(GetDlgItem(dialog, id)); }

// Closes the dialog with OK and the program with the close box; returns the exit code.
int close_all(ProgramRun& run, HWND dialog, HWND frame) {
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 250 && IsWindow(dialog); ++i) Sleep(20);
  PostMessageA(frame, WM_CLOSE, 0, 0);
  return wait_for_exit(run, 20000);
}

// Starts the program through the Unix side with Unix variables of its own (the
// locale and the display are read from those, not from the Windows environment),
// and takes the process of the frame that appears: a frame of a process that had one
// before the start (a program of an earlier test still closing) is never taken. The
// settings go to the prefix's own profile folder.
ProgramRun start_program_with(const std::string& variables, const std::string& arguments,
                              const std::string& folder) {
  ProgramRun run;
  const std::vector<DWORD> before = processes_with_window("quillvexWClass");
  std::string line = "/usr/bin/env " + variables + " " QVX_WINE_LOADER " \"" + QVX_EXE + "\" " + arguments;
  std::vector<char> command(line.begin(), line.end());
  command.push_back(0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION launcher = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                      &launcher))
    return run;
  CloseHandle(launcher.hThread);
  CloseHandle(launcher.hProcess);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 20000) {
    if (DWORD process = newer_process_with_window("quillvexWClass", before)) {
      run.process.dwProcessId = process;
      run.process.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, process);
      run.started = run.process.hProcess != nullptr;
      return run;
    }
    Sleep(20);
  }
  return run;
}

std::string write_picture(const std::string& folder) {
  BmpFile f;
  f.width = 64;
  f.height = 36;
  f.bit_count = 8;
  f.x_resolution = 3780;
  f.y_resolution = 2835;
  f.colours_used = 3;
  f.colours = {0x808080, 0x102030, 0xFFFFFF};
  f.pixels = pack_rows(8, 64, std::vector<std::vector<uint32_t>>(36));
  const std::string path = folder + "picture.bmp";
  EXPECT_TRUE(write_bytes(path, build_bmp(f)));
  return path;
}

TEST(DialogProgram, InfoShowsTheOpenPictureAndTheToggledLookIsSavedAtExit) {
  const std::string folder = fresh_folder();
  const std::string picture = write_picture(folder);
  ProgramRun run = start_program("\"" + picture + "\"", folder);
  HWND frame = wait_for_frame(run, 20000);
  ASSERT_NE(frame, nullptr);
  HWND dialog = open_dialog(run, frame, 103);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(text_of(dialog), "BMP Information");
  const char* values[] = {"40",  "64 (0.67in)", "36 (0.50in)", "1", "8", "0", "2304", "3780 (96dpi)",
                          "2835 (72dpi)", "3", "0"};
  for (int k = 0; k < 11; ++k) EXPECT_EQ(item_text(dialog, k + 1), values[k]) << k;
  // The builder writes 0xA5 into the entries' reserved bytes.
  EXPECT_EQ(item_text(dialog, 13), "a5808080");
  EXPECT_EQ(item_text(dialog, 14), "a5102030");
  EXPECT_EQ(item_text(dialog, 15), "a5ffffff");
  EXPECT_EQ(item_text(dialog, 16), "");
  PostMessageA(dialog, WM_SYSCOMMAND, 106, 0);
  EXPECT_EQ(close_all(run, dialog, frame), 0);
  const std::vector<uint8_t> ini = read_bytes(folder + "QUILLVEX.INI");
  const std::string text(ini.begin(), ini.end());
  EXPECT_NE(text.find("dialog3d=0"), std::string::npos) << text;
}

TEST(DialogProgram, AboutUnderTheJapaneseLocaleShowsShiftJisTexts) {
  const std::string folder = fresh_folder();
  const std::string japanese = "LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8";
  ProgramRun run = start_program_with(japanese, "", folder);
  HWND frame = wait_for_frame(run, 20000);
  ASSERT_NE(frame, nullptr);
  HWND dialog = open_dialog(run, frame, 100);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(text_of(dialog), "About QUILLVEX");
  EXPECT_EQ(item_text(dialog, 101), "QUILLVEX  Version 0.09");
  EXPECT_EQ(item_text(dialog, 103), kWide ? "64 bit \x94\xC5" : "32 bit \x94\xC5");  // 版
  EXPECT_EQ(item_text(dialog, 105), "Quillvex \xC1\xB0\xD1");                 // ﾁｰﾑ
  EXPECT_EQ(item_text(dialog, 104), "\x89\xE6\x96\xCA\xD3\xB0\xC4\xDE:16777216\x90\x46");  // 画面ﾓｰﾄﾞ:…色
  EXPECT_EQ(close_all(run, dialog, frame), 0);
  // Info has no Japanese texts of its own besides its system menu.
  ProgramRun again = start_program_with(japanese, "\"" + write_picture(folder) + "\"", folder);
  frame = wait_for_frame(again, 20000);
  ASSERT_NE(frame, nullptr);
  dialog = open_dialog(again, frame, 103);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(text_of(dialog), "BMP Information");
  EXPECT_EQ(item_text(dialog, 30), "Bitmap-Info-Header");
  EXPECT_EQ(item_text(dialog, 2), "64 (0.67in)");
  EXPECT_EQ(close_all(again, dialog, frame), 0);
}

// Starts a 256-colour virtual screen of its own; it ends by itself after its last
// client or after two minutes at the most.
bool start_palette_display(const char* number) {
  const std::string lock = std::string("Z:\\tmp\\.X") + (number + 1) + "-lock";
  if (GetFileAttributesA(lock.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  // Detached from our output so that nobody waits for the server's end to read it.
  std::string line = std::string("/bin/sh -c \"exec /usr/bin/timeout 120 /usr/bin/Xvfb ") + number +
                     " -screen 0 800x600x8 -nolisten tcp -terminate </dev/null >/dev/null 2>&1\"";
  std::vector<char> command(line.begin(), line.end());
  command.push_back(0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // The lock file comes first; the server listens a moment later.
  for (int i = 0; i < 100; ++i) {
    if (GetFileAttributesA(lock.c_str()) != INVALID_FILE_ATTRIBUTES) {
      Sleep(500);
      return true;
    }
    Sleep(50);
  }
  return false;
}

TEST(DialogProgram, AboutOnAPaletteScreenCountsItsPalette) {
  if (!start_palette_display(":85")) GTEST_SKIP() << "no 256-colour virtual screen could be started";
  const std::string folder = fresh_folder();
  ProgramRun run = start_program_with("DISPLAY=:85", "", folder);
  HWND frame = wait_for_frame(run, 20000);
  ASSERT_NE(frame, nullptr);
  HWND dialog = open_dialog(run, frame, 100);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(item_text(dialog, 104), "display mode 256 colors Palette");
  EXPECT_EQ(item_text(dialog, 103), kWide ? "64 bits" : "32 bits");
  EXPECT_EQ(close_all(run, dialog, frame), 0);
}

}  // namespace

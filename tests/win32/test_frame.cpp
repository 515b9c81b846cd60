#include "test_frame.h"

#include <cstdio>

#include "../common/temp_folder.h"
#include "../common/window_search.h"

#include "app/control_bar.h"
#include "app/frame_win32.h"
#include "image/store_win32.h"
#include "mono/result_win32.h"

namespace {

LRESULT CALLBACK plain_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

TestFrame::TestFrame() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = plain_procedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "qvx_test_frame";
  RegisterClassA(&wc);
  g_frame.instance = GetModuleHandleA(nullptr);
  g_frame.version = 1537;
  g_frame.frame = CreateWindowExA(0, "qvx_test_frame", "QUILLVEX", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                  nullptr, g_frame.instance, nullptr);
  g_frame.source_pane = CreateWindowExA(0, "qvx_test_frame", "", WS_CHILD, 0, 30, 200, 200, g_frame.frame, nullptr,
                                        g_frame.instance, nullptr);
  g_frame.result_pane = CreateWindowExA(0, "qvx_test_frame", "", WS_CHILD, 200, 30, 200, 200, g_frame.frame,
                                        nullptr, g_frame.instance, nullptr);
  g_frame.controls[kDensityBar] = CreateWindowExA(0, "scrollbar", "", WS_CHILD | SBS_HORZ, 6, 6, 300, 13,
                                                  g_frame.frame, nullptr, g_frame.instance, nullptr);
  g_frame.menu = CreateMenu();
  SetScrollRange(g_frame.controls[kDensityBar], SB_CTL, 0, 254, FALSE);
  set_density(127);
  create_store(g_frame.picture);
  create_result_block(g_frame.picture);
}

TestFrame::~TestFrame() {
  clean_up_picture(g_frame.picture);
  free_store(g_frame.picture);
  free_result_block(g_frame.picture);
  DestroyMenu(g_frame.menu);
  DestroyWindow(g_frame.frame);
  g_frame = FrameState();
}

void TestFrame::set_density(int density) { SetScrollPos(g_frame.controls[kDensityBar], SB_CTL, density, FALSE); }

MessageBoxWatcher::MessageBoxWatcher() {
  InitializeCriticalSection(&lock_);
  thread_ = std::thread([this] { run(); });
}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.join();
  DeleteCriticalSection(&lock_);
}

void MessageBoxWatcher::run() {
  while (!stop_) {
    HWND box = find_visible_window(GetCurrentProcessId(), "#32770");
    if (box) {
      char title[256] = {}, text[1024] = {};
      GetWindowTextA(box, title, sizeof title);
      GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
      EnterCriticalSection(&lock_);
      seen_.push_back(std::string(title) + "|" + text);
      LeaveCriticalSection(&lock_);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      // Wait for the box to go before looking again.
      for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(5);
    }
    Sleep(5);
  }
}

std::vector<std::string> MessageBoxWatcher::texts() const {
  EnterCriticalSection(&lock_);
  std::vector<std::string> copy = seen_;
  LeaveCriticalSection(&lock_);
  return copy;
}

void MessageBoxWatcher::clear() {
  EnterCriticalSection(&lock_);
  seen_.clear();
  LeaveCriticalSection(&lock_);
}

std::string testdata(const std::string& relative) { return std::string(QVX_TESTDATA) + "/" + relative; }

std::vector<std::string> files_in(const std::string& directory) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((directory + "/*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

std::vector<unsigned char> file_bytes(const std::string& path) {
  std::vector<unsigned char> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  unsigned char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(file);
  return bytes;
}

bool write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

std::string temp_directory() { return new_temp_folder("qvx-test"); }

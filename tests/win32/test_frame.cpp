#include "test_frame.h"

#include <cstdio>

#include "../common/temp_folder.h"
#include "../common/window_search.h"

#include "app/control_bar.h"
#include "app/frame_win32.h"
#include "image/store_win32.h"
#include "mono/result_win32.h"

namespace {

// Keeps the state it is created with, as the frame's procedure does, and nothing more.
LRESULT CALLBACK plain_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE)
    keep_frame_state(window, static_cast<FrameState*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams));
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

TestFrame::TestFrame() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = plain_procedure;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "qvx_test_frame";
  RegisterClassA(&wc);
  state.instance = GetModuleHandleA(nullptr);
  state.version = 1537;
  state.frame = CreateWindowExA(0, "qvx_test_frame", "QUILLVEX", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                  nullptr, state.instance, &state);
  state.source_pane = CreateWindowExA(0, "qvx_test_frame", "", WS_CHILD, 0, 30, 200, 200, state.frame, nullptr,
                                        state.instance, nullptr);
  state.result_pane = CreateWindowExA(0, "qvx_test_frame", "", WS_CHILD, 200, 30, 200, 200, state.frame,
                                        nullptr, state.instance, nullptr);
  state.controls[kDensityBar] = CreateWindowExA(0, "scrollbar", "", WS_CHILD | SBS_HORZ, 6, 6, 300, 13,
                                                  state.frame, nullptr, state.instance, nullptr);
  state.menu = CreateMenu();
  SetScrollRange(state.controls[kDensityBar], SB_CTL, 0, 254, FALSE);
  set_density(127);
  create_store(state.picture);
  create_result_block(state.picture);
}

TestFrame::~TestFrame() {
  clean_up_picture(state.picture);
  free_store(state.picture);
  free_result_block(state.picture);
  DestroyMenu(state.menu);
  DestroyWindow(state.frame);
}

void TestFrame::set_density(int density) { SetScrollPos(state.controls[kDensityBar], SB_CTL, density, FALSE); }

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

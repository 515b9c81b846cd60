#include "frame_probe.h"

#include <cstdio>
#include <vector>

#include "../common/window_search.h"

std::string control_text(HWND frame, int child_id, UINT code_page) {
  HWND child = GetDlgItem(frame, child_id);
  wchar_t wide[256] = {};
  DWORD_PTR ignored = 0;
  // The text crosses processes as UTF-16; it is turned into the bytes of the code page asked for.
  SendMessageTimeoutW(child, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 5000, &ignored);
  char bytes[512] = {};
  WideCharToMultiByte(code_page == 0 ? CP_ACP : code_page, 0, wide, -1, bytes, sizeof bytes, nullptr, nullptr);
  return bytes;
}

RECT child_rect(HWND frame, int child_id) {
  RECT r = {};
  GetWindowRect(GetDlgItem(frame, child_id), &r);
  MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

namespace {

bool spawn_unix(const std::string& line) {
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back(0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  return CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process) != 0;
}

// Wine starts Unix programs but hands back no process handle to wait on, so the
// command leaves a marker file when it succeeded and the marker is waited for.
bool run_unix_shell(const std::string& shell_command) {
  static int counter = 0;
  char marker[64];
  std::snprintf(marker, sizeof marker, "/tmp/qvx-probe-%lu-%d.done", GetCurrentProcessId(), ++counter);
  const std::string line = "Z:\\bin\\sh -c \"" + shell_command + " && touch " + marker + "\"";
  if (!spawn_unix(line)) return false;
  const std::string windows_marker = std::string("Z:") + marker;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 15000) {
    if (GetFileAttributesA(windows_marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
      DeleteFileA(windows_marker.c_str());
      return true;
    }
    Sleep(20);
  }
  return false;
}

}  // namespace

bool start_from_unix(const std::string& assignments, const std::string& unix_exe) {
  return spawn_unix("Z:\\bin\\sh -c \"" + assignments + " exec " QVX_WINE_LOADER " '" + unix_exe + "'\"");
}

bool xdotool_on(HWND window, const std::string& arguments) {
  // Wine keeps the X window of a top-level window in this property.
  const auto x_window = reinterpret_cast<ULONG_PTR>(GetPropA(window, "__wine_x11_whole_window"));
  if (!x_window) return false;
  char command[64];
  std::snprintf(command, sizeof command, "xdotool windowfocus --sync %lu ", static_cast<unsigned long>(x_window));
  return run_unix_shell(command + arguments);
}

bool type_keys(HWND window, const std::string& keys) { return xdotool_on(window, "key --delay 50 " + keys); }

std::string wait_for_text(HWND frame, int child_id, const std::string& expected, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  std::string text = control_text(frame, child_id);
  while (text != expected && GetTickCount() - start < milliseconds) {
    Sleep(20);
    text = control_text(frame, child_id);
  }
  return text;
}

HWND wait_for_dialog(DWORD process_id, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    if (HWND dialog = find_visible_window(process_id, "#32770")) return dialog;
    Sleep(50);
  }
  return nullptr;
}

#include "app/settings_win32.h"

#include <windows.h>

#include <cstdio>

namespace {

// An open registry key, closed on every way out.
struct RegistryKey {
  HKEY handle = nullptr;
  RegistryKey(HKEY parent, const char* name) {
    if (RegOpenKeyA(parent, name, &handle) != ERROR_SUCCESS) handle = nullptr;
  }
  ~RegistryKey() {
    if (handle != nullptr) RegCloseKey(handle);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  bool is_open() const { return handle != nullptr; }

  // Reads the value into data; succeeds only when it has exactly `size` bytes,
  // so a value of another shape counts as missing.
  bool read_value(const char* name, DWORD type, void* data, DWORD size) const {
    DWORD got = size;
    return RegQueryValueExA(handle, name, nullptr, &type, static_cast<BYTE*>(data), &got) == ERROR_SUCCESS &&
           got == size;
  }
};

int read_setting(const char* path, const char* key, const char* fallback) {
  char text[32] = {};
  GetPrivateProfileStringA(kSettingsSection, key, fallback, text, sizeof text, path);
  return parse_setting_value(text);
}

void write_setting(const char* path, const char* key, int value) {
  char scratch[256];
  std::snprintf(scratch, sizeof scratch, "%d", value);
  WritePrivateProfileStringA(kSettingsSection, key, scratch, path);
}

}  // namespace

void read_settings(const char* path, bool newer_platform, Settings& s) {
  s.keymode = read_setting(path, kKeymodeKey, "0");
  if (newer_platform) s.dialog3d = read_setting(path, kDialog3dKey, "1");
}

void write_settings(const char* path, bool newer_platform, const Settings& s) {
  write_setting(path, kKeymodeKey, s.keymode);
  if (newer_platform) write_setting(path, kDialog3dKey, s.dialog3d);
}

int query_shell_extension() {
  unsigned char shell_state[16] = {};
  bool shell_state_read = false;
  {
    const RegistryKey explorer(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer");
    if (explorer.is_open())
      shell_state_read = explorer.read_value("ShellState", REG_BINARY, shell_state, sizeof shell_state);
  }
  if (shell_state_read) return shell_extension_decision(true, shell_state, false, 0);

  DWORD hide_file_ext = 0;
  bool hide_file_ext_read = false;
  const RegistryKey advanced(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced");
  if (advanced.is_open())
    hide_file_ext_read = advanced.read_value("HideFileExt", REG_DWORD, &hide_file_ext, sizeof hide_file_ext);
  return shell_extension_decision(false, nullptr, hide_file_ext_read, hide_file_ext);
}

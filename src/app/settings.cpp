#include "app/settings.h"

#include <climits>
#include <cstdio>

bool settings_file_path(const char* user_profile, char* out, size_t out_size) {
  if (out_size == 0) return false;
  if (user_profile != nullptr && *user_profile != '\0') {
    const int n = std::snprintf(out, out_size, "%s\\%s", user_profile, kSettingsFileName);
    if (n >= 0 && static_cast<size_t>(n) < out_size) return true;
    // A truncated path would name some other file; the bare name at least
    // resolves to the platform's own directory.
    std::snprintf(out, out_size, "%s", kSettingsFileName);
    return false;
  }
  const int n = std::snprintf(out, out_size, "%s", kSettingsFileName);
  return n >= 0 && static_cast<size_t>(n) < out_size;
}

int parse_setting_value(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // Accumulate towards the sign's limit so that "-2147483648" is exact.
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value >= limit) {
      value = limit;
      break;
    }
  }
  return static_cast<int>(negative ? -value : value);
}

int shell_extension_decision(bool shell_state_read, const unsigned char* shell_state, bool hide_file_ext_read,
                             unsigned long hide_file_ext) {
  if (shell_state_read && shell_state != nullptr) {
    // Bit 1 of byte 4 is the shell's "show extensions" flag.
    return (shell_state[4] & 0x02) != 0 ? kExtensionsShown : kExtensionsHidden;
  }
  if (hide_file_ext_read) return hide_file_ext != 0 ? kExtensionsHidden : kExtensionsShown;
  return kExtensionsUndetermined;
}

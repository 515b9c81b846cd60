// Feeds arbitrary bytes as the settings' outside values: a setting's text as the
// profile read hands it over (at most 31 characters), the USERPROFILE value with a
// buffer size, and the shell's 16 state bytes. The value parse is checked against
// the C library's decimal conversion, clamped to the int range.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/settings.h"

namespace {

void check_value(const std::string& text) {
  const long long expected = std::strtoll(text.c_str(), nullptr, 10);
  const long long clamped = expected < INT_MIN ? INT_MIN : expected > INT_MAX ? INT_MAX : expected;
  if (parse_setting_value(text.c_str()) != clamped) std::abort();
}

void check_path(const std::string& profile, size_t out_size) {
  std::unique_ptr<char[]> out(new char[out_size == 0 ? 1 : out_size]);
  const bool fitted = settings_file_path(profile.c_str(), out.get(), out_size);
  if (out_size == 0) return;
  const std::string got(out.get(), ::strnlen(out.get(), out_size));
  if (got.size() >= out_size) std::abort();  // always zero-terminated inside the buffer
  const std::string full = profile.empty() ? kSettingsFileName : profile + "\\" + kSettingsFileName;
  if (fitted ? got != full : std::string(kSettingsFileName).compare(0, got.size(), got) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  // The profile read keeps 31 characters of a value.
  check_value(std::string(text.c_str()).substr(0, 31));
  check_path(std::string(text.c_str()), data[0] * 2u);
  unsigned char state[16] = {};
  std::memcpy(state, data + 1, size - 1 < sizeof state ? size - 1 : sizeof state);
  const int decision = shell_extension_decision(data[0] & 1, state, data[0] & 2, data[0] >> 2);
  if (decision < kExtensionsShown || decision > kExtensionsUndetermined) std::abort();
  return 0;
}

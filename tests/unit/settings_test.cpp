#include "app/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(Settings, FilePath) {
  // 246 characters + "\" + "QUILLVEX.INI" + terminator is exactly 260 bytes.
  const std::string longest(246, 'p'), too_long(247, 'p');
  const struct {
    const char* profile;
    bool fits;
    std::string expected;
  } cases[] = {
      {"C:\\Users\\ann", true, "C:\\Users\\ann\\QUILLVEX.INI"},
      {"", true, "QUILLVEX.INI"},
      {nullptr, true, "QUILLVEX.INI"},
      {longest.c_str(), true, longest + "\\QUILLVEX.INI"},
      {too_long.c_str(), false, "QUILLVEX.INI"},
  };
  for (const auto& c : cases) {
    char out[kPathBufferSize];
    EXPECT_EQ(settings_file_path(c.profile, out, sizeof out), c.fits) << c.expected;
    EXPECT_EQ(std::string(out), c.expected);
  }
}

TEST(Settings, FilePathInTinyBuffer) {
  char out[5] = {'x', 'x', 'x', 'x', 'x'};
  EXPECT_FALSE(settings_file_path(nullptr, out, sizeof out));
  EXPECT_EQ(std::string(out), "QUIL");
}

TEST(Settings, ParseValue) {
  const struct {
    const char* text;
    int value;
  } cases[] = {
      {"0", 0},           {"1", 1},           {"  42", 42},        {"\t7", 7},
      {"-5", -5},         {"+8", 8},          {"12abc", 12},       {"abc", 0},
      {"", 0},            {"- 5", 0},         {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
      {"99999999999999999999", INT_MAX},  {"-99999999999999999999", INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_setting_value(c.text), c.value) << '"' << c.text << '"';
  EXPECT_EQ(parse_setting_value(nullptr), 0);
}

TEST(Settings, ShellExtensionDecision) {
  unsigned char shown[16] = {}, hidden[16] = {};
  shown[4] = 0x02;
  hidden[4] = 0xFD;  // every bit but the extension flag
  const struct {
    bool state_read;
    const unsigned char* state;
    bool hide_read;
    unsigned long hide;
    int expected;
  } cases[] = {
      {true, shown, true, 1, 0},  // ShellState wins over HideFileExt
      {true, hidden, true, 0, 1},
      {false, shown, true, 1, 1},
      {false, shown, true, 0, 0},
      {false, nullptr, false, 1, 2},
  };
  for (const auto& c : cases)
    EXPECT_EQ(shell_extension_decision(c.state_read, c.state, c.hide_read, c.hide), c.expected);
}

}  // namespace

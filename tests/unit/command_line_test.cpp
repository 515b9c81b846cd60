#include "app/command_line.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

namespace {

using Words = std::vector<std::string>;

struct SplitCase {
  const char* name;
  const char* line;
  Words words;
  unsigned code_page = 932;  // the system's ANSI code page: 932 Shift-JIS, 1252 single-byte
};

// Cases print as their names in test listings and failures.
void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class CommandLineSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CommandLineSplit, Words) {
  const LeadByteTest test = GetParam().code_page == 932 ? is_shift_jis_lead_byte : is_single_byte_lead_byte;
  EXPECT_EQ(split_command_line(GetParam().line, test), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, CommandLineSplit,
    ::testing::Values(
        SplitCase{"QuotedPathBatch", "prog \"C:\\a b\\x.bmp\" /O out.bmp /H",
                  {"prog", "C:\\a b\\x.bmp", "/O", "out.bmp", "/H"}},
        SplitCase{"UnquotedSpacesInFile", "prog C:\\my pics\\a b.bmp", {"prog", "C:\\my pics\\a b.bmp"}},
        SplitCase{"SlashEndsEveryWord", "prog /v/200 x.bmp", {"prog", "/v", "/200", "x.bmp"}},
        SplitCase{"FileEndsAtSlashTrimmed", "prog x.bmp  /R", {"prog", "x.bmp", "/R"}},
        SplitCase{"QuotedProgramPath", "\"C:\\Program Files\\q.exe\" /V", {"C:\\Program Files\\q.exe", "/V"}},
        SplitCase{"QuotedSlashStaysInWord", "prog \"a/b c\" /R", {"prog", "a/b c", "/R"}},
        SplitCase{"EscapedQuote", "prog a\\\"b", {"prog", "a\"b"}},
        SplitCase{"EscapedQuoteDoesNotOpenQuoting", "prog a\\\"b /R", {"prog", "a\"b", "/R"}},
        SplitCase{"TrailingSpacesMakeNoWord", "prog /R   ", {"prog", "/R"}},
        SplitCase{"EmptyQuotedWord", "prog \"\" /R", {"prog", "", "/R"}},
        // 0x95 0x5C is one character: its 0x5C is no backslash, so the quote closes.
        SplitCase{"ShiftJisTrailBackslash", "prog \"\x95\x5C\" /R", {"prog", "\x95\x5C", "/R"}},
        // 0x82 0x81 is one character; the 0x5C after it is a real backslash,
        // although 0x81 looks like a lead byte on its own.
        SplitCase{"BackslashAfterTrailThatLooksLikeLead", "prog a\x82\x81\\\"b", {"prog", "a\x82\x81\"b"}},
        SplitCase{"LeadByteAtEnd", "prog a\x95", {"prog", "a\x95"}},
        // On a single-byte code page 0xE9 is one character (e acute): the escaped quote
        // and the option after it stay what they are.
        SplitCase{"SingleByteAccentBeforeEscapedQuote", "prog caf\xE9\\\"x /R", {"prog", "caf\xE9\"x", "/R"}, 1252},
        SplitCase{"SingleByteAccentBeforeOption", "prog \"caf\xE9\" /O r\xE9s.bmp /R",
                  {"prog", "caf\xE9", "/O", "r\xE9s.bmp", "/R"}, 1252},
        SplitCase{"SingleByteTrailBackslashIsReal", "prog \"\x95\\\" /R", {"prog", "\x95\" /R"}, 1252},
        SplitCase{"Empty", "", {}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(CommandLine, KeepsOnlyFifteenWords) {
  std::string line = "prog";
  for (int i = 1; i < 20; ++i) line += " /" + std::to_string(i);
  const Words words = split_command_line(line.c_str(), is_shift_jis_lead_byte);
  ASSERT_EQ(words.size(), static_cast<size_t>(kMaxCommandWords));
  EXPECT_EQ(words.back(), "/14");
}

struct ScanCase {
  const char* name;
  Words words;
  size_t next;
  int arrangement, density;
  const char* file;
  bool batch;
  int mode;
  bool invert;
};

// Cases print as their names in test listings and failures.
void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class CommandLineScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(CommandLineScan, Options) {
  const ScanCase& c = GetParam();
  StartOptions options;
  EXPECT_EQ(scan_options(c.words, options), c.next);
  EXPECT_EQ(options.arrangement, c.arrangement);
  EXPECT_EQ(options.initial_density, c.density);
  EXPECT_EQ(options.file, c.file);
  EXPECT_EQ(options.batch, c.batch);
  EXPECT_EQ(options.mode, c.mode);
  EXPECT_EQ(options.invert, c.invert);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, CommandLineScan,
    ::testing::Values(
        ScanCase{"ProgramOnly", {"prog"}, 1, 202, 127, "", false, 0, false},
        ScanCase{"AllInOrder", {"prog", "/v", "/200", "x.bmp", "/o", "/s", "/r"}, 7, 203, 200, "x.bmp", true, 2, true},
        ScanCase{"DensityLimited", {"prog", "/300"}, 2, 202, 254, "", false, 0, false},
        ScanCase{"DensityZero", {"prog", "/0"}, 2, 202, 0, "", false, 0, false},
        ScanCase{"DensityHugeDigits", {"prog", "/99999999999999999999"}, 2, 202, 254, "", false, 0, false},
        ScanCase{"DensityStopsAtNonDigit", {"prog", "/12x"}, 2, 202, 12, "", false, 0, false},
        ScanCase{"FileThenInvert", {"prog", "x.bmp", "/R"}, 3, 202, 127, "x.bmp", false, 0, true},
        ScanCase{"InvertBeforeFileSkipsFile", {"prog", "/R", "x.bmp"}, 2, 202, 127, "", false, 0, true},
        ScanCase{"ViewerAfterInvertIgnored", {"prog", "/R", "/V"}, 2, 202, 127, "", false, 0, true},
        ScanCase{"BatchStopsAtOutputName", {"prog", "x.bmp", "/O", "out.bmp", "/H"}, 3, 202, 127, "x.bmp", true, 0,
                 false},
        ScanCase{"LongerOptionWordNotMatched", {"prog", "/VIEW", "x.bmp"}, 1, 202, 127, "", false, 0, false}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.name); });

TEST(CommandLine, BatchOutputThenModeAndInvert) {
  const Words words = split_command_line("prog \"C:\\a b\\x.bmp\" /O out.bmp /H /r", is_shift_jis_lead_byte);
  StartOptions options;
  std::string output;
  const size_t next = scan_batch_output(words, scan_options(words, options), options, output);
  EXPECT_EQ(next, words.size());
  EXPECT_EQ(options.file, "C:\\a b\\x.bmp");
  EXPECT_TRUE(options.batch);
  EXPECT_EQ(output, "out.bmp");
  EXPECT_EQ(options.mode, 1);
  EXPECT_TRUE(options.invert);
}

TEST(CommandLine, BatchWithoutOutputName) {
  const Words words = {"prog", "x.bmp", "/O", "/S", "/H"};
  StartOptions options;
  std::string output = "stale";
  const size_t next = scan_batch_output(words, scan_options(words, options), options, output);
  EXPECT_EQ(output, "");
  EXPECT_EQ(options.mode, 1);  // the second mode option wins
  EXPECT_EQ(next, words.size());
}

}  // namespace

#include "device/device_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

DeviceSettings layout_settings(DeviceLayout layout, int count, const char* palette = "",
                               std::vector<uint8_t> codes = {}) {
  DeviceSettings s;
  s.layout = layout;
  s.meaning = {count, palette};
  s.codes = std::move(codes);
  return s;
}

DeviceReadResult read_text(DeviceFormat format, const std::string& text, uint32_t w = 0, uint32_t h = 0,
                           DeviceSettings s = DeviceSettings()) {
  return read_device_bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size(), {format, w, h, s});
}

const char kOurs[] =
    "/* logo: 5 x 2 pixels, layout 2bpp-msb, 4 grey levels, value 0 is black; 4 bytes,\n   in program memory. */\n"
    "#define LOGO_WIDTH 5\n#define LOGO_HEIGHT 2\nstatic const uint8_t logo[] PROGMEM = {\n  0x1b, 0x00, 0xe4, "
    "0xc0\n};\n";

// Arrays written by hand and by other tools: X bitmaps with a hot spot, decimal
// items, a trailing comma, comments between items; a C array with no comment of ours
// read with the settings given.
TEST(DeviceReader, ReadsArraysOfOtherShapes) {
  const struct {
    DeviceFormat format;
    std::string text;
    uint32_t w, h;
    DeviceSettings settings;
    std::vector<uint8_t> indexes;
  } cases[] = {
      {DeviceFormat::kXbm,
       "#define x_width 3\n#define x_height 2\n#define x_x_hot 1\n#define x_y_hot 0\n"
       "static char x_bits[] = {\n 0x05, 0x04, };\n",
       0,
       0,
       DeviceSettings(),
       {0, 1, 0, 1, 1, 0}},
      {DeviceFormat::kXbm,
       "#define x_width 3\n#define x_height 2\nstatic char x_bits[] = { 5u, /* row 2 */ 4 };",
       0,
       0,
       DeviceSettings(),
       {0, 1, 0, 1, 1, 0}},
      {DeviceFormat::kC, kOurs, 0, 0, DeviceSettings(), {0, 1, 2, 3, 0, 3, 2, 1, 0, 3}},
      {DeviceFormat::kC, kOurs, 5, 2, DeviceSettings(), {0, 1, 2, 3, 0, 3, 2, 1, 0, 3}},
      {DeviceFormat::kC,
       "// a logo\nconst unsigned char logo[] = {0x01, 0x23, 0x50, 0x65, 0x32, 0x10};",
       5,
       2,
       layout_settings(DeviceLayout::kFourBppMsb, 6, "spectra6", {0, 1, 2, 3, 5, 6}),
       {0, 1, 2, 3, 4, 5, 4, 3, 2, 1}},
      {DeviceFormat::kC,
       "#define W_WIDTH (4 + 1)\n#define W_HEIGHT 2\nconst char w[] = {0x68, 0x90};",
       5,
       0,
       DeviceSettings(),
       {0, 1, 1, 0, 1, 1, 0, 0, 1, 0}},
  };
  for (const auto& c : cases) {
    const DeviceReadResult r = read_text(c.format, c.text, c.w, c.h, c.settings);
    ASSERT_EQ(r.error, DeviceReadError::kNone) << device_read_error_text(r) << "\n" << c.text;
    EXPECT_EQ(r.picture.indexes, c.indexes) << c.text;
  }
}

// Every way the bytes can fail to be a picture gives its own error and never reads
// past what is there (the sanitizers watch).
TEST(DeviceReader, RefusesWhatIsNotAPicture) {
  const DeviceSettings two_bits = layout_settings(DeviceLayout::kTwoBppMsb, 4);
  std::string other_size = kOurs, bad_clause = kOurs, bad_count = kOurs, no_close = kOurs;
  other_size.replace(other_size.find("LOGO_WIDTH 5"), 12, "LOGO_WIDTH 6");
  bad_clause.replace(bad_clause.find("2bpp-msb"), 8, "3bpp-msb");
  bad_count.replace(bad_count.find("4 bytes"), 7, "5 bytes");
  no_close.resize(no_close.find('}'));
  const struct {
    DeviceFormat format;
    std::string text;
    uint32_t w, h;
    DeviceSettings settings;
    DeviceReadError error;
    size_t line;
  } cases[] = {
      {DeviceFormat::kBin, std::string(3, '\0'), 5, 2, two_bits, DeviceReadError::kTruncated},
      {DeviceFormat::kBin, std::string(5, '\0'), 5, 2, two_bits, DeviceReadError::kSizeMismatch},
      {DeviceFormat::kBin, std::string(4, '\0'), 5, 0, two_bits, DeviceReadError::kNoSize},
      {DeviceFormat::kBin, std::string(4, '\0'), 5, 2, layout_settings(DeviceLayout::kRowsMsb, 4),
       DeviceReadError::kBadSettings},
      {DeviceFormat::kBin, std::string("\xF0", 1), 1, 1, layout_settings(DeviceLayout::kFourBppMsb, 8),
       DeviceReadError::kNoValue},
      {DeviceFormat::kBin, std::string("\x04\x00\x00", 3), 5, 1,
       layout_settings(DeviceLayout::kFourBppMsb, 6, "spectra6", {0, 1, 2, 3, 5, 6}), DeviceReadError::kNoValue},
      {DeviceFormat::kEscPos, std::string(4, '\0'), 8, 4, DeviceSettings(), DeviceReadError::kFormatNotRead},
      {DeviceFormat::kC, kOurs, 6, 0, DeviceSettings(), DeviceReadError::kSizeContradicts},
      {DeviceFormat::kC, other_size, 0, 0, DeviceSettings(), DeviceReadError::kSizeContradicts},
      {DeviceFormat::kC, bad_clause, 0, 0, DeviceSettings(), DeviceReadError::kMalformedComment, 1},
      {DeviceFormat::kC, bad_count, 0, 0, DeviceSettings(), DeviceReadError::kMalformedComment, 1},
      {DeviceFormat::kC, no_close, 0, 0, DeviceSettings(), DeviceReadError::kMalformedText, 7},
      {DeviceFormat::kC, "const char a[] = {\n 0x01,\n 0x100 };", 8, 2, DeviceSettings(), DeviceReadError::kMalformedText,
       3},
      {DeviceFormat::kC, "const char a[] = {\n 0x01 0x02 };", 8, 2, DeviceSettings(), DeviceReadError::kMalformedText, 2},
      {DeviceFormat::kC, "const char a[] = { 0x01 /* open", 8, 2, DeviceSettings(), DeviceReadError::kMalformedText, 1},
      {DeviceFormat::kC, "no array at all\n", 8, 2, DeviceSettings(), DeviceReadError::kMalformedText, 2},
      {DeviceFormat::kC, "const char a[] = { 0x01 };", 8, 2, DeviceSettings(), DeviceReadError::kTruncated},
      {DeviceFormat::kC, "const char a[] = { 0x01 };", 0, 0, DeviceSettings(), DeviceReadError::kNoSize},
      {DeviceFormat::kXbm, "#define a_width 0\n#define a_height 1\nchar a_bits[] = { 0 };", 0, 0, DeviceSettings(),
       DeviceReadError::kMalformedText, 1},
      {DeviceFormat::kXbm, "#define a_width 9\n#define a_height 1\nchar a_bits[] = { 0 };", 0, 0, DeviceSettings(),
       DeviceReadError::kTruncated},
      {DeviceFormat::kXbm, "#define a_width 4294967296\n", 0, 0, DeviceSettings(), DeviceReadError::kMalformedText, 2},
  };
  for (const auto& c : cases) {
    const DeviceReadResult r = read_text(c.format, c.text, c.w, c.h, c.settings);
    EXPECT_EQ(r.error, c.error) << device_read_error_text(r) << "\n" << c.text;
    if (c.line) EXPECT_EQ(r.line, c.line) << c.text;
    EXPECT_TRUE(r.picture.indexes.empty());
  }
  // The messages say what was found and what was needed.
  const DeviceReadResult cut = read_text(DeviceFormat::kBin, std::string(3, '\0'), 5, 2, two_bits);
  EXPECT_EQ(device_read_error_text(cut), "the data is cut short: 3 bytes where the size and layout take 4");
  const DeviceReadResult value = read_text(DeviceFormat::kBin, std::string("\x04\x00\x00", 3), 5, 1,
                                           layout_settings(DeviceLayout::kFourBppMsb, 6, "s", {0, 1, 2, 3, 5, 6}));
  EXPECT_EQ(device_read_error_text(value), "pixel 1 holds a value that is no level or colour of the layout");
}

}  // namespace

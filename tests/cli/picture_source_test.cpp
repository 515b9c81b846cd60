// The BMP reader's causes beside the command's messages, as the Python module and the
// page get them: the message stays the program's own, the cause says which fault.
#include "pipeline/picture_source.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/bmp_builder.h"

namespace {

// An 8 x 8 picture of `bits` bits under `compression`, with more pixel bytes than its rows need.
BmpFile picture(uint16_t bits, uint32_t compression) {
  BmpFile f;
  f.width = 8;
  f.height = 8;
  f.bit_count = bits;
  f.compression = compression;
  if (bits > 0 && bits <= 8) f.colours.assign(1u << bits, 0x808080);
  f.pixels.assign(4 * 3 * 8 * 8, 0x80);
  f.image_size = static_cast<uint32_t>(f.pixels.size());
  return f;
}

// A 24-bit 8 x 8 picture whose file ends `missing` bytes before its rows do.
std::vector<uint8_t> cut(size_t missing) {
  BmpFile f = picture(24, 0);
  f.image_size = 0;
  f.pixels.assign(24 * 8, 0x80);
  std::vector<uint8_t> bytes = build_bmp(f);
  bytes.resize(bytes.size() - missing);
  return bytes;
}

struct Case {
  const char* name;
  std::vector<uint8_t> bytes;
  const char* prepare;  // --size, or null
  std::string message;  // the command's message, after opening and reading every strip
  const char* detail;
};

TEST(PictureSource, FailuresNameTheirCauseBesideTheCommandsMessage) {
  const std::string unsupported = "This file format is not supported.";
  const Case cases[] = {
      {"7 bits", build_bmp(picture(7, 0)), nullptr, unsupported, "a depth not of 1, 2, 4, 8, 16, 24 or 32 bits"},
      {"JPEG inside", build_bmp(picture(0, 4)), nullptr, unsupported, "JPEG data inside the bitmap"},
      {"PNG inside", build_bmp(picture(0, 5)), nullptr, unsupported, "PNG data inside the bitmap"},
      {"compression 99", build_bmp(picture(24, 99)), nullptr, unsupported, "an unknown compression"},
      {"width 0", [] { BmpFile f = picture(24, 0); f.width = 0; return build_bmp(f); }(), nullptr, unsupported,
       "a side of 0 pixels"},
      {"header of 64 bytes", [] { BmpFile f = picture(24, 0); f.header_size = 64; return build_bmp(f); }(), nullptr,
       unsupported, "info header neither 12, 40 nor 108 bytes long"},
      {"rows cut", cut(5), nullptr, "Read error.", "file shorter than its header says"},
      {"rows cut, prepared", cut(5), "8x8", "Read error.", "file shorter than its header says"},
      {"whole", cut(0), nullptr, "", nullptr},
  };
  for (const Case& c : cases) {
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(c.bytes.data(), 1, c.bytes.size(), file), c.bytes.size());
    ConversionRequest request;
    if (c.prepare) {
      request.prepare.resize = parse_target_size(c.prepare, request.prepare.size) == PreparationError::kNone;
      ASSERT_TRUE(prepares(request.prepare));
    }
    std::string message;
    {
      PictureSource source;
      source.file = file;
      source.head = &c.bytes;
      source.shown = c.name;
      message = open_picture_source(source, request, 1000);
      if (message.empty()) {
        const StripReader reader = picture_strip_reader(source);
        Strip strip;
        ReadCode code = ReadCode::kOk;
        while (reader.next(reader.context, strip, code)) {
        }
        if (code != ReadCode::kOk) message = picture_read_failure(source, code);
      }
      EXPECT_STREQ(picture_failure_detail(source), c.detail) << c.name;
    }
    EXPECT_EQ(message, c.message) << c.name;
    std::fclose(file);
  }
}

}  // namespace

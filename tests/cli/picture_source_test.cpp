// The BMP reader's causes beside the command's messages, as the Python module and the
// page get them: the message stays the program's own, the cause says which fault.
#include "pipeline/picture_source.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
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

// Every strip's rows, as (first row, rows, luminance of each row).
std::vector<int32_t> strips_of(FILE* file, bool map_rows, bool top_first, bool& mapped) {
  BmpSource source;
  source.map_rows = map_rows;
  source.top_first = top_first;
  std::vector<int32_t> seen;
  std::rewind(file);
  if (open_bmp_source(file, UINT64_MAX, source) != ReadCode::kOk) return seen;
  mapped = source.mapped_store != nullptr;
  Strip strip;
  ReadCode code = ReadCode::kOk;
  std::vector<uint8_t> luma(static_cast<size_t>(source.picture.width));
  while (next_bmp_strip(source, strip, code)) {
    seen.push_back(strip.first_row);
    seen.push_back(strip.rows);
    for (int32_t r = 0; r < strip.rows; ++r) {
      strip_luminance(strip, r, luma.data());
      seen.insert(seen.end(), luma.begin(), luma.end());
    }
  }
  seen.push_back(static_cast<int32_t>(code));
  return seen;
}

// Rows handed on where they lie in the mapped file read as the rows read into the
// store: the header laid before them over the file's own head or in the room before
// it, strips of several sizes in either order, and the pages given back behind them.
TEST(BmpSource, MappedRowsReadAsTheRowsReadIn) {
  std::mt19937 random(7);
  const auto picture_of = [&](uint32_t header_size, uint16_t bits, int32_t width, int32_t height, size_t gap) {
    BmpFile f;
    f.header_size = header_size;
    f.width = width;
    f.height = height;
    f.bit_count = bits;
    if (bits <= 8) f.colours.resize(1u << bits);
    for (uint32_t& c : f.colours) c = random() & 0xFFFFFF;
    if (bits == 16) {
      f.compression = 3;
      f.masks = {0xF800, 0x07E0, 0x001F};
    }
    f.gap.assign(gap, 0x55);
    f.pixels.resize(static_cast<size_t>(row_stride(static_cast<uint32_t>(width), bits)) *
                    static_cast<size_t>(height < 0 ? -height : height));
    for (uint8_t& b : f.pixels) b = static_cast<uint8_t>(random());
    return build_bmp(f);
  };
  struct Picture {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  const Picture pictures[] = {
      // The 12-byte header's 3-byte colours: the file's head is shorter than the store's.
      {"12-byte header, 8 bits", picture_of(12, 8, 1100, 1000, 0)},
      {"24 bits, top-down", picture_of(40, 24, 1100, -1000, 0)},
      {"108-byte header, 16-bit fields, a gap", picture_of(108, 16, 1001, 1200, 3001)},
      {"4 bits, one strip", picture_of(40, 4, 333, 90, 0)},
  };
  for (const Picture& p : pictures) {
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(p.bytes.data(), 1, p.bytes.size(), file), p.bytes.size());
    for (bool top_first : {false, true}) {
      bool mapped = false, unused = false;
      const std::vector<int32_t> read = strips_of(file, false, top_first, unused);
      const std::vector<int32_t> handed = strips_of(file, true, top_first, mapped);
      EXPECT_TRUE(mapped) << p.name;
      EXPECT_GT(read.size(), 3u) << p.name;
      EXPECT_TRUE(read == handed) << p.name << (top_first ? ", top first" : "");
    }
    std::fclose(file);
  }
}

}  // namespace

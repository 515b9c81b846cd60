#include "device/device_writer.h"

#include <gtest/gtest.h>

#include "../common/device_decode.h"

#include <bitset>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A 1-bit picture as the conversion stores it (set bit white, leftmost pixel in
// bit 7, rows padded to 4 bytes) with random bits, padding included.
struct Picture {
  uint32_t width, height;
  size_t stride;
  std::vector<uint8_t> bits;
  bool white(uint32_t x, uint32_t y) const { return (bits[y * stride + x / 8] >> (7 - x % 8)) & 1; }
};

Picture random_picture(uint32_t width, uint32_t height, uint32_t seed) {
  Picture p{width, height, (width + 31) / 32 * 4, {}};
  p.bits.resize(p.stride * height);
  for (uint8_t& b : p.bits) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 16);
  }
  return p;
}

// Decodes the output back and compares each pixel with the picture.
void expect_pixels(const DeviceSettings& s, const std::vector<uint8_t>& out, const Picture& p) {
  const std::vector<uint8_t> on = device_decode::decode_device_output(s, out, p.width, p.height);
  for (uint32_t y = 0; y < p.height; ++y) {
    for (uint32_t x = 0; x < p.width; ++x) {
      const bool expected = p.white(x, y) == (s.on == DeviceOn::kWhite);
      ASSERT_EQ(on[static_cast<size_t>(y) * p.width + x], expected ? 1 : 0) << "pixel " << x << "," << y;
    }
  }
}

// Every format and layout, both polarities, for widths and heights around a byte,
// a band of 8 rows and beyond: decoded back, the output gives the picture's pixels;
// given in strips of 5 rows stored bottom-up, the bytes are the same.
TEST(DeviceWriter, RoundTripEveryFormatAndLayout) {
  const DeviceSettings configurations[] = {
      {DeviceFormat::kC, DeviceLayout::kRowsMsb, DeviceOn::kWhite, "logo", 256},
      {DeviceFormat::kC, DeviceLayout::kRowsLsb, DeviceOn::kWhite, "logo", 256},
      {DeviceFormat::kC, DeviceLayout::kPages, DeviceOn::kWhite, "logo", 256},
      {DeviceFormat::kC, DeviceLayout::kColumnsMsb, DeviceOn::kWhite, "logo", 256},
      {DeviceFormat::kBin, DeviceLayout::kRowsMsb, DeviceOn::kWhite, "image", 256},
      {DeviceFormat::kBin, DeviceLayout::kRowsLsb, DeviceOn::kWhite, "image", 256},
      {DeviceFormat::kBin, DeviceLayout::kPages, DeviceOn::kWhite, "image", 256},
      {DeviceFormat::kBin, DeviceLayout::kColumnsMsb, DeviceOn::kWhite, "image", 256},
      {DeviceFormat::kXbm, DeviceLayout::kRowsMsb, DeviceOn::kBlack, "icon", 256},
      {DeviceFormat::kEscPos, DeviceLayout::kRowsMsb, DeviceOn::kBlack, "image", 256},
      {DeviceFormat::kEscPos, DeviceLayout::kRowsMsb, DeviceOn::kBlack, "image", 7},
      {DeviceFormat::kZpl, DeviceLayout::kRowsMsb, DeviceOn::kBlack, "image", 256},
  };
  for (DeviceSettings s : configurations) {
    for (DeviceOn on : {DeviceOn::kBlack, DeviceOn::kWhite}) {
      s.on = on;
      for (uint32_t w : {1u, 7u, 8u, 9u, 127u, 128u}) {
        for (uint32_t h : {1u, 7u, 8u, 9u, 300u}) {
          SCOPED_TRACE(std::string(device_format_info(s.format).name) + " " + device_layout_name(s.layout) + " on " +
                       (on == DeviceOn::kWhite ? "white " : "black ") + std::to_string(w) + "x" + std::to_string(h) +
                       " band " + std::to_string(s.band_rows));
          const Picture p = random_picture(w, h, w * 1000 + h);
          std::vector<uint8_t> out;
          ASSERT_EQ(encode_device_picture(s, p.bits.data(), static_cast<ptrdiff_t>(p.stride), w, h, out),
                    DeviceError::kNone);
          expect_pixels(s, out, p);

          // The same picture stored bottom-up, given five rows at a time.
          std::vector<uint8_t> bottom_up(p.bits.size());
          for (uint32_t y = 0; y < h; ++y) {
            std::memcpy(&bottom_up[(h - 1 - y) * p.stride], &p.bits[y * p.stride], p.stride);
          }
          std::vector<uint8_t> streamed;
          DeviceWriter writer;
          ASSERT_EQ(begin_device_output(writer, s, w, h, append_to(streamed)), DeviceError::kNone);
          for (uint32_t top = 0; top < h; top += 5) {
            const uint8_t* row = &bottom_up[(h - 1 - top) * p.stride];
            ASSERT_EQ(put_device_rows(writer, row, -static_cast<ptrdiff_t>(p.stride), std::min(5u, h - top)),
                      DeviceError::kNone);
          }
          ASSERT_EQ(finish_device_output(writer), DeviceError::kNone);
          ASSERT_EQ(streamed, out);
        }
      }
    }
  }
}

std::string text_of(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A 3 x 2 picture, black white black over white white black, written by hand in
// every format. The padding bits of the input are set and must not show.
TEST(DeviceWriter, TinyPictureByHand) {
  const uint8_t rows[2][4] = {{0x5F, 0xFF, 0xFF, 0xFF}, {0xDF, 0x00, 0x00, 0x00}};
  struct Case {
    DeviceSettings settings;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {{DeviceFormat::kBin, DeviceLayout::kRowsMsb, DeviceOn::kWhite}, {0x40, 0xC0}},
      {{DeviceFormat::kBin, DeviceLayout::kRowsMsb, DeviceOn::kBlack}, {0xA0, 0x20}},
      {{DeviceFormat::kBin, DeviceLayout::kRowsLsb, DeviceOn::kWhite}, {0x02, 0x03}},
      {{DeviceFormat::kBin, DeviceLayout::kPages, DeviceOn::kWhite}, {0x02, 0x03, 0x00}},
      {{DeviceFormat::kBin, DeviceLayout::kPages, DeviceOn::kBlack}, {0x01, 0x00, 0x03}},
      {{DeviceFormat::kBin, DeviceLayout::kColumnsMsb, DeviceOn::kWhite}, {0x40, 0xC0, 0x00}},
      {{DeviceFormat::kEscPos, DeviceLayout::kRowsMsb, DeviceOn::kBlack, "image", 256},
       {0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x02, 0x00, 0xA0, 0x20}},
      {{DeviceFormat::kEscPos, DeviceLayout::kRowsMsb, DeviceOn::kBlack, "image", 1},
       {0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0xA0, 0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x20}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out;
    ASSERT_EQ(encode_device_picture(c.settings, rows[0], 4, 3, 2, out), DeviceError::kNone);
    EXPECT_EQ(out, c.bytes) << device_format_info(c.settings.format).name << " "
                            << device_layout_name(c.settings.layout);
  }

  std::vector<uint8_t> out;
  DeviceSettings c{DeviceFormat::kC, DeviceLayout::kRowsMsb, DeviceOn::kWhite, "tiny", 256};
  ASSERT_EQ(encode_device_picture(c, rows[0], 4, 3, 2, out), DeviceError::kNone);
  EXPECT_EQ(text_of(out),
            "/* tiny: 3 x 2 pixels, layout rows-msb, a set bit is a white pixel; 2 bytes,\n"
            "   in program memory on AVR (read them with pgm_read_byte). */\n"
            "#ifndef QUILLVEX_TINY_H\n#define QUILLVEX_TINY_H\n\n"
            "#include <stdint.h>\n\n"
            "#if defined(__AVR__)\n#include <avr/pgmspace.h>\n#else\n#ifndef PROGMEM\n#define PROGMEM\n#endif\n#endif\n\n"
            "#define TINY_WIDTH 3\n#define TINY_HEIGHT 2\n\n"
            "static const uint8_t tiny[] PROGMEM = {\n  0x40, 0xc0\n};\n\n#endif\n");

  out.clear();
  DeviceSettings xbm{DeviceFormat::kXbm, DeviceLayout::kRowsMsb, DeviceOn::kBlack, "tiny", 256};
  ASSERT_EQ(encode_device_picture(xbm, rows[0], 4, 3, 2, out), DeviceError::kNone);
  EXPECT_EQ(text_of(out),
            "#define tiny_width 3\n#define tiny_height 2\n"
            "static unsigned char tiny_bits[] = {\n   0x05, 0x04};\n");

  out.clear();
  DeviceSettings zpl{DeviceFormat::kZpl, DeviceLayout::kRowsMsb, DeviceOn::kBlack, "image", 256};
  ASSERT_EQ(encode_device_picture(zpl, rows[0], 4, 3, 2, out), DeviceError::kNone);
  EXPECT_EQ(text_of(out), "^XA\n^FO0,0^GFA,2,2,1,A0\n20\n^FS\n^XZ\n");
}

// What the command is told: the format from a name or an extension, options that
// the format does not take refused, defaults filled in, names made identifiers.
TEST(DeviceWriter, RequestsAndErrors) {
  EXPECT_EQ(find_device_format("escpos")->format, DeviceFormat::kEscPos);
  EXPECT_EQ(find_device_format("png"), nullptr);
  EXPECT_EQ(device_format_for_path("out/Logo.H")->format, DeviceFormat::kC);
  EXPECT_EQ(device_format_for_path("a.b/receipt.pos")->format, DeviceFormat::kEscPos);
  EXPECT_EQ(device_format_for_path("a.zpl/label"), nullptr);
  EXPECT_EQ(device_format_for_path(".xbm"), nullptr);

  struct Case {
    DeviceRequest request;
    const char* path;
    DeviceError error;
    DeviceLayout layout;
    DeviceOn on;
    const char* name;
  } cases[] = {
      {{DeviceFormat::kC}, "dir.v2/128x64-logo.h", DeviceError::kNone, DeviceLayout::kRowsMsb, DeviceOn::kWhite,
       "image_128x64_logo"},
      {{DeviceFormat::kXbm, {}, {}, std::string("my icon")}, "-", DeviceError::kNone, DeviceLayout::kRowsMsb,
       DeviceOn::kBlack, "my_icon"},
      {{DeviceFormat::kC}, "default.h", DeviceError::kNone, DeviceLayout::kRowsMsb, DeviceOn::kWhite, "default_"},
      {{DeviceFormat::kBin, DeviceLayout::kPages, DeviceOn::kBlack}, "-", DeviceError::kNone, DeviceLayout::kPages,
       DeviceOn::kBlack, "image"},
      {{DeviceFormat::kEscPos, DeviceLayout::kPages}, "r.pos", DeviceError::kLayoutNotForFormat},
      {{DeviceFormat::kZpl, DeviceLayout::kRowsMsb}, "r.zpl", DeviceError::kLayoutNotForFormat},
      {{DeviceFormat::kBin, {}, {}, std::string("x")}, "r.bin", DeviceError::kNameNotForFormat},
      {{DeviceFormat::kC, {}, {}, {}, 8u}, "r.h", DeviceError::kBandNotForFormat},
      {{DeviceFormat::kEscPos, {}, {}, {}, 0u}, "r.pos", DeviceError::kBandOutOfRange},
  };
  for (const Case& c : cases) {
    DeviceSettings s;
    EXPECT_EQ(resolve_device_request(c.request, c.path, "-", s), c.error) << c.path;
    if (c.error != DeviceError::kNone) continue;
    EXPECT_EQ(s.layout, c.layout);
    EXPECT_EQ(s.on, c.on);
    EXPECT_EQ(s.name, c.name);
  }
  unsigned band = 0;
  EXPECT_TRUE(parse_band_rows("2303", band));
  EXPECT_EQ(band, 2303u);
  EXPECT_FALSE(parse_band_rows("2304", band));
  EXPECT_FALSE(parse_band_rows("0", band));
  EXPECT_FALSE(parse_band_rows("1e3", band));

  // The writer's own refusals: rows beyond the height, a picture left short,
  // a row too wide for ESC/POS, a sink that fails.
  const std::vector<uint8_t> row(9000, 0);
  DeviceWriter w;
  std::vector<uint8_t> out;
  const DeviceSettings bin{DeviceFormat::kBin};
  ASSERT_EQ(begin_device_output(w, bin, 8, 2, append_to(out)), DeviceError::kNone);
  EXPECT_EQ(put_device_rows(w, row.data(), 1, 3), DeviceError::kTooManyRows);
  ASSERT_EQ(begin_device_output(w, bin, 8, 2, append_to(out)), DeviceError::kNone);
  ASSERT_EQ(put_device_rows(w, row.data(), 1, 1), DeviceError::kNone);
  EXPECT_EQ(finish_device_output(w), DeviceError::kMissingRows);
  EXPECT_EQ(begin_device_output(w, bin, 0, 2, append_to(out)), DeviceError::kEmptyPicture);
  EXPECT_EQ(begin_device_output(w, DeviceSettings{DeviceFormat::kEscPos}, 65535 * 8 + 1, 1, append_to(out)),
            DeviceError::kPictureTooLarge);
  // ESC/POS bands up to the 2303 rows of one GS v 0 image; ZPL fields of up to 99999
  // bytes placed at most 32000 rows down.
  const struct {
    DeviceSettings settings;
    uint32_t width, height;
    DeviceError error;
  } limits[] = {
      {{DeviceFormat::kEscPos, DeviceLayout::kRowsMsb, DeviceOn::kBlack, "image", 2303}, 8, 1, DeviceError::kNone},
      {{DeviceFormat::kEscPos, DeviceLayout::kRowsMsb, DeviceOn::kBlack, "image", 2304}, 8, 1,
       DeviceError::kBandOutOfRange},
      {{DeviceFormat::kZpl}, 799992, 32001, DeviceError::kNone},  // 99999-byte rows, one a field: the last at 32000
      {{DeviceFormat::kZpl}, 799992, 32002, DeviceError::kPictureTooLarge},
      {{DeviceFormat::kZpl}, 799993, 1, DeviceError::kPictureTooLarge},  // a row of 100000 bytes
      {{DeviceFormat::kZpl}, 8, 99999, DeviceError::kNone},  // a byte a row: one field of 99999 rows
      {{DeviceFormat::kZpl}, 8, 100000, DeviceError::kPictureTooLarge},  // the second would begin at row 99999
  };
  for (const auto& c : limits) {
    EXPECT_EQ(begin_device_output(w, c.settings, c.width, c.height, append_to(out)), c.error)
        << c.width << "x" << c.height;
  }
  DeviceSettings tall;
  EXPECT_EQ(resolve_device_request(DeviceRequest{DeviceFormat::kEscPos, {}, {}, {}, 2304u}, "r.pos", "-", tall),
            DeviceError::kBandOutOfRange);
  const DeviceSettings columns{DeviceFormat::kBin, DeviceLayout::kColumnsMsb};
  EXPECT_EQ(begin_device_output(w, columns, 1u << 17, (1u << 16) + 1, append_to(out)), DeviceError::kPictureTooLarge);
  ASSERT_EQ(begin_device_output(w, bin, 72000, 1, [](const uint8_t*, size_t) { return false; }), DeviceError::kNone);
  ASSERT_EQ(put_device_rows(w, row.data(), 0, 1), DeviceError::kNone);
  EXPECT_EQ(finish_device_output(w), DeviceError::kWriteFailed);
}

// The array's name never one a compiler or a standard header has taken, and never
// one whose derived names (NAME_WIDTH, the guard, the X bitmap's NAME_bits) are
// reserved; each expected name worked out by hand.
TEST(DeviceWriter, NamesNoHeaderHasTaken) {
  const struct {
    const char* text;
    const char* identifier;
  } cases[] = {
      {"logo", "logo"},
      {"uint8_t2", "uint8_t2"},
      {"my  icon.v2", "my_icon_v2"},
      {"a__b", "a_b"},  // C++ reserves every name holding "__"
      {"", "image"},
      // a keyword gets a '_' after it (the names of the headers too: the command's
      // tests build such headers and check every name the system's <stdint.h> has)
      {"default", "default_"},
      {"true", "true_"},
      // a leading '_' or digit: reserved at file scope, and NAME_WIDTH would begin "_" and a capital
      {"_logo", "image_logo"},
      {"128x64 logo", "image_128x64_logo"},
      // NAME_WIDTH a standard header defines (C23)
      {"uint8", "image_uint8"},
      {"Int_Least8", "image_Int_Least8"},
      {"int", "image_int"},
      {"wchar_", "image_wchar_"},
  };
  for (const auto& c : cases) EXPECT_EQ(c_identifier(c.text), c.identifier) << c.text;

  // The X bitmap's and the header's names leave the escape's '_' out.
  std::vector<uint8_t> out;
  const uint8_t row[4] = {};
  ASSERT_EQ(encode_device_picture({DeviceFormat::kXbm, DeviceLayout::kRowsMsb, DeviceOn::kBlack, "default_"}, row, 4, 1,
                                  1, out),
            DeviceError::kNone);
  EXPECT_EQ(text_of(out), "#define default_width 1\n#define default_height 1\nstatic unsigned char default_bits[] = {\n"
                          "   0x01};\n");
}

}  // namespace

#include "device/device_writer.h"

#include <gtest/gtest.h>

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

// Where a layout puts pixel (x, y): the byte and the bit (0 the least significant).
struct BitPlace {
  size_t byte;
  unsigned bit;
};

BitPlace place_of(DeviceLayout layout, uint32_t w, uint32_t h, uint32_t x, uint32_t y) {
  const size_t row_bytes = (w + 7) / 8, column_bytes = (h + 7) / 8;
  switch (layout) {
    case DeviceLayout::RowsMsb: return {y * row_bytes + x / 8, 7 - x % 8};
    case DeviceLayout::RowsLsb: return {y * row_bytes + x / 8, x % 8};
    case DeviceLayout::Pages: return {(y / 8) * w + x, y % 8};
    case DeviceLayout::ColumnsMsb: return {x * column_bytes + y / 8, 7 - y % 8};
  }
  return {0, 0};
}

// The "0x.." items between '{' and '}', checking that every line but the last
// holds `per_line` of them.
std::vector<uint8_t> array_items(const std::string& s, unsigned per_line) {
  std::vector<uint8_t> items;
  const size_t close = s.find('}');
  for (size_t line = s.find("{\n") + 2; line < close; line = s.find('\n', line) + 1) {
    const size_t end = std::min(s.find('\n', line), close);
    unsigned count = 0;
    for (size_t at = s.find("0x", line); at < end; at = s.find("0x", at + 2), ++count) {
      items.push_back(static_cast<uint8_t>(std::strtoul(s.substr(at + 2, 2).c_str(), nullptr, 16)));
    }
    if (end < close && s.find("0x", end) < close) EXPECT_EQ(count, per_line) << s.substr(line, end - line);
  }
  return items;
}

// ESC/POS: a GS v 0 command (mode 0, row bytes and rows low byte first) per band
// of `band` rows, the last band the rest; returns the bands' rows joined.
std::vector<uint8_t> escpos_rows(const std::vector<uint8_t>& data, uint32_t w, uint32_t h, unsigned band) {
  std::vector<uint8_t> rows;
  size_t at = 0;
  for (uint32_t top = 0; top < h && at + 8 <= data.size(); top += band) {
    const uint8_t* c = data.data() + at;
    const size_t x = c[4] | c[5] << 8, y = c[6] | c[7] << 8;
    EXPECT_TRUE(c[0] == 0x1D && c[1] == 0x76 && c[2] == 0x30 && c[3] == 0 && x == (w + 7) / 8);
    EXPECT_EQ(y, std::min(band, h - top));
    if (data.size() - at - 8 < x * y) break;
    rows.insert(rows.end(), c + 8, c + 8 + x * y);
    at += 8 + x * y;
  }
  EXPECT_EQ(at, data.size());
  return rows;
}

// ZPL: ^XA, ^FO0,0, one ^GFA field (total bytes twice, row bytes, ASCII hex with
// line breaks ignored), ^FS, ^XZ.
std::vector<uint8_t> zpl_rows(const std::string& s, uint32_t w, uint32_t h) {
  unsigned long total = 0, total_again = 0, row_bytes = 0;
  int data_at = 0;
  EXPECT_EQ(s.compare(0, 15, "^XA\n^FO0,0^GFA,"), 0);
  EXPECT_EQ(std::sscanf(s.c_str() + 15, "%lu,%lu,%lu,%n", &total, &total_again, &row_bytes, &data_at), 3);
  EXPECT_TRUE(total == total_again && row_bytes == (w + 7) / 8 && total == row_bytes * h);
  const size_t end = s.find("^FS\n^XZ\n");
  EXPECT_EQ(end + 8, s.size());
  std::string hex;
  for (size_t i = 15 + static_cast<size_t>(data_at); i < end; ++i) {
    if (s[i] != '\n') hex += s[i];
  }
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  std::vector<uint8_t> rows;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    rows.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return rows;
}

std::vector<uint8_t> xbm_items(const std::string& s, uint32_t w, uint32_t h, const std::string& n) {
  EXPECT_EQ(s.rfind("#define " + n + "_width " + std::to_string(w) + "\n#define " + n + "_height " +
                        std::to_string(h) + "\nstatic unsigned char " + n + "_bits[] = {\n",
                    0),
            0u);
  EXPECT_EQ(s.substr(s.size() - 3), "};\n");
  return array_items(s, 12);
}

std::vector<uint8_t> c_items(const std::string& s, uint32_t w, uint32_t h, const std::string& name) {
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(c));
  EXPECT_NE(s.find("#define " + upper + "_WIDTH " + std::to_string(w) + "\n"), std::string::npos);
  EXPECT_NE(s.find("#define " + upper + "_HEIGHT " + std::to_string(h) + "\n"), std::string::npos);
  EXPECT_NE(s.find("const uint8_t " + name + "[] = {\n"), std::string::npos);
  EXPECT_EQ(s.substr(s.size() - 4), "\n};\n");
  return array_items(s, 16);
}

// Decodes the output back and compares each pixel with the picture; the count of
// set bits shows that nothing else (padding, rows past the last) is set.
void expect_pixels(const DeviceSettings& s, const std::vector<uint8_t>& out, const Picture& p) {
  const uint32_t w = p.width, h = p.height;
  const std::string text(out.begin(), out.end());
  std::vector<uint8_t> bytes = out;
  DeviceLayout layout = s.layout;
  switch (s.format) {
    case DeviceFormat::Xbm: bytes = xbm_items(text, w, h, s.name), layout = DeviceLayout::RowsLsb; break;
    case DeviceFormat::EscPos: bytes = escpos_rows(out, w, h, s.band_rows), layout = DeviceLayout::RowsMsb; break;
    case DeviceFormat::Zpl: bytes = zpl_rows(text, w, h), layout = DeviceLayout::RowsMsb; break;
    case DeviceFormat::C: bytes = c_items(text, w, h, s.name); break;
    case DeviceFormat::Bin: break;
  }
  const bool rows = layout == DeviceLayout::RowsMsb || layout == DeviceLayout::RowsLsb;
  ASSERT_EQ(bytes.size(), rows ? (w + 7) / 8 * h : w * ((h + 7) / 8));
  size_t on = 0, set = 0;
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const BitPlace at = place_of(layout, w, h, x, y);
      const bool expected = p.white(x, y) == (s.on == DeviceOn::White);
      ASSERT_EQ((bytes[at.byte] >> at.bit) & 1, expected ? 1 : 0) << "pixel " << x << "," << y;
      on += expected;
    }
  }
  for (uint8_t b : bytes) set += static_cast<size_t>(std::bitset<8>(b).count());
  EXPECT_EQ(set, on) << "bits set outside the picture";
}

// Every format and layout, both polarities, for widths and heights around a byte,
// a band of 8 rows and beyond: decoded back, the output gives the picture's pixels;
// given in strips of 5 rows stored bottom-up, the bytes are the same.
TEST(DeviceWriter, RoundTripEveryFormatAndLayout) {
  const DeviceSettings configurations[] = {
      {DeviceFormat::C, DeviceLayout::RowsMsb, DeviceOn::White, "logo", 256},
      {DeviceFormat::C, DeviceLayout::RowsLsb, DeviceOn::White, "logo", 256},
      {DeviceFormat::C, DeviceLayout::Pages, DeviceOn::White, "logo", 256},
      {DeviceFormat::C, DeviceLayout::ColumnsMsb, DeviceOn::White, "logo", 256},
      {DeviceFormat::Bin, DeviceLayout::RowsMsb, DeviceOn::White, "image", 256},
      {DeviceFormat::Bin, DeviceLayout::RowsLsb, DeviceOn::White, "image", 256},
      {DeviceFormat::Bin, DeviceLayout::Pages, DeviceOn::White, "image", 256},
      {DeviceFormat::Bin, DeviceLayout::ColumnsMsb, DeviceOn::White, "image", 256},
      {DeviceFormat::Xbm, DeviceLayout::RowsMsb, DeviceOn::Black, "icon", 256},
      {DeviceFormat::EscPos, DeviceLayout::RowsMsb, DeviceOn::Black, "image", 256},
      {DeviceFormat::EscPos, DeviceLayout::RowsMsb, DeviceOn::Black, "image", 7},
      {DeviceFormat::Zpl, DeviceLayout::RowsMsb, DeviceOn::Black, "image", 256},
  };
  for (DeviceSettings s : configurations) {
    for (DeviceOn on : {DeviceOn::Black, DeviceOn::White}) {
      s.on = on;
      for (uint32_t w : {1u, 7u, 8u, 9u, 127u, 128u}) {
        for (uint32_t h : {1u, 7u, 8u, 9u, 300u}) {
          SCOPED_TRACE(std::string(device_format_info(s.format).name) + " " + device_layout_name(s.layout) + " on " +
                       (on == DeviceOn::White ? "white " : "black ") + std::to_string(w) + "x" + std::to_string(h) +
                       " band " + std::to_string(s.band_rows));
          const Picture p = random_picture(w, h, w * 1000 + h);
          std::vector<uint8_t> out;
          ASSERT_EQ(encode_device_picture(s, p.bits.data(), static_cast<ptrdiff_t>(p.stride), w, h, out),
                    DeviceError::None);
          expect_pixels(s, out, p);

          // The same picture stored bottom-up, given five rows at a time.
          std::vector<uint8_t> bottom_up(p.bits.size());
          for (uint32_t y = 0; y < h; ++y) {
            std::memcpy(&bottom_up[(h - 1 - y) * p.stride], &p.bits[y * p.stride], p.stride);
          }
          std::vector<uint8_t> streamed;
          DeviceWriter writer;
          ASSERT_EQ(begin_device_output(writer, s, w, h, append_to(streamed)), DeviceError::None);
          for (uint32_t top = 0; top < h; top += 5) {
            const uint8_t* row = &bottom_up[(h - 1 - top) * p.stride];
            ASSERT_EQ(put_device_rows(writer, row, -static_cast<ptrdiff_t>(p.stride), std::min(5u, h - top)),
                      DeviceError::None);
          }
          ASSERT_EQ(finish_device_output(writer), DeviceError::None);
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
      {{DeviceFormat::Bin, DeviceLayout::RowsMsb, DeviceOn::White}, {0x40, 0xC0}},
      {{DeviceFormat::Bin, DeviceLayout::RowsMsb, DeviceOn::Black}, {0xA0, 0x20}},
      {{DeviceFormat::Bin, DeviceLayout::RowsLsb, DeviceOn::White}, {0x02, 0x03}},
      {{DeviceFormat::Bin, DeviceLayout::Pages, DeviceOn::White}, {0x02, 0x03, 0x00}},
      {{DeviceFormat::Bin, DeviceLayout::Pages, DeviceOn::Black}, {0x01, 0x00, 0x03}},
      {{DeviceFormat::Bin, DeviceLayout::ColumnsMsb, DeviceOn::White}, {0x40, 0xC0, 0x00}},
      {{DeviceFormat::EscPos, DeviceLayout::RowsMsb, DeviceOn::Black, "image", 256},
       {0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x02, 0x00, 0xA0, 0x20}},
      {{DeviceFormat::EscPos, DeviceLayout::RowsMsb, DeviceOn::Black, "image", 1},
       {0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0xA0, 0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x20}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out;
    ASSERT_EQ(encode_device_picture(c.settings, rows[0], 4, 3, 2, out), DeviceError::None);
    EXPECT_EQ(out, c.bytes) << device_format_info(c.settings.format).name << " "
                            << device_layout_name(c.settings.layout);
  }

  std::vector<uint8_t> out;
  DeviceSettings c{DeviceFormat::C, DeviceLayout::RowsMsb, DeviceOn::White, "tiny", 256};
  ASSERT_EQ(encode_device_picture(c, rows[0], 4, 3, 2, out), DeviceError::None);
  EXPECT_EQ(text_of(out),
            "/* tiny: 3 x 2 pixels, layout rows-msb, a set bit is a white pixel */\n"
            "#include <stdint.h>\n\n"
            "#define TINY_WIDTH 3\n#define TINY_HEIGHT 2\n\n"
            "const uint8_t tiny[] = {\n  0x40, 0xc0\n};\n");

  out.clear();
  DeviceSettings xbm{DeviceFormat::Xbm, DeviceLayout::RowsMsb, DeviceOn::Black, "tiny", 256};
  ASSERT_EQ(encode_device_picture(xbm, rows[0], 4, 3, 2, out), DeviceError::None);
  EXPECT_EQ(text_of(out),
            "#define tiny_width 3\n#define tiny_height 2\n"
            "static unsigned char tiny_bits[] = {\n   0x05, 0x04};\n");

  out.clear();
  DeviceSettings zpl{DeviceFormat::Zpl, DeviceLayout::RowsMsb, DeviceOn::Black, "image", 256};
  ASSERT_EQ(encode_device_picture(zpl, rows[0], 4, 3, 2, out), DeviceError::None);
  EXPECT_EQ(text_of(out), "^XA\n^FO0,0^GFA,2,2,1,A0\n20\n^FS\n^XZ\n");
}

// What the command is told: the format from a name or an extension, options that
// the format does not take refused, defaults filled in, names made identifiers.
TEST(DeviceWriter, RequestsAndErrors) {
  EXPECT_EQ(find_device_format("escpos")->format, DeviceFormat::EscPos);
  EXPECT_EQ(find_device_format("png"), nullptr);
  EXPECT_EQ(device_format_for_path("out/Logo.H")->format, DeviceFormat::C);
  EXPECT_EQ(device_format_for_path("a.b/receipt.pos")->format, DeviceFormat::EscPos);
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
      {{DeviceFormat::C}, "dir.v2/128x64-logo.h", DeviceError::None, DeviceLayout::RowsMsb, DeviceOn::White,
       "_128x64_logo"},
      {{DeviceFormat::Xbm, {}, {}, std::string("my icon")}, "-", DeviceError::None, DeviceLayout::RowsMsb,
       DeviceOn::Black, "my_icon"},
      {{DeviceFormat::C}, "default.h", DeviceError::None, DeviceLayout::RowsMsb, DeviceOn::White, "default_"},
      {{DeviceFormat::Bin, DeviceLayout::Pages, DeviceOn::Black}, "-", DeviceError::None, DeviceLayout::Pages,
       DeviceOn::Black, "image"},
      {{DeviceFormat::EscPos, DeviceLayout::Pages}, "r.pos", DeviceError::LayoutNotForFormat},
      {{DeviceFormat::Zpl, DeviceLayout::RowsMsb}, "r.zpl", DeviceError::LayoutNotForFormat},
      {{DeviceFormat::Bin, {}, {}, std::string("x")}, "r.bin", DeviceError::NameNotForFormat},
      {{DeviceFormat::C, {}, {}, {}, 8u}, "r.h", DeviceError::BandNotForFormat},
      {{DeviceFormat::EscPos, {}, {}, {}, 0u}, "r.pos", DeviceError::BandOutOfRange},
  };
  for (const Case& c : cases) {
    DeviceSettings s;
    EXPECT_EQ(resolve_device_request(c.request, c.path, s), c.error) << c.path;
    if (c.error != DeviceError::None) continue;
    EXPECT_EQ(s.layout, c.layout);
    EXPECT_EQ(s.on, c.on);
    EXPECT_EQ(s.name, c.name);
  }
  unsigned band = 0;
  EXPECT_TRUE(parse_band_rows("65535", band));
  EXPECT_EQ(band, 65535u);
  EXPECT_FALSE(parse_band_rows("65536", band));
  EXPECT_FALSE(parse_band_rows("0", band));
  EXPECT_FALSE(parse_band_rows("1e3", band));

  // The writer's own refusals: rows beyond the height, a picture left short,
  // a row too wide for ESC/POS, a sink that fails.
  const std::vector<uint8_t> row(9000, 0);
  DeviceWriter w;
  std::vector<uint8_t> out;
  const DeviceSettings bin{DeviceFormat::Bin};
  ASSERT_EQ(begin_device_output(w, bin, 8, 2, append_to(out)), DeviceError::None);
  EXPECT_EQ(put_device_rows(w, row.data(), 1, 3), DeviceError::TooManyRows);
  ASSERT_EQ(begin_device_output(w, bin, 8, 2, append_to(out)), DeviceError::None);
  ASSERT_EQ(put_device_rows(w, row.data(), 1, 1), DeviceError::None);
  EXPECT_EQ(finish_device_output(w), DeviceError::MissingRows);
  EXPECT_EQ(begin_device_output(w, bin, 0, 2, append_to(out)), DeviceError::EmptyPicture);
  EXPECT_EQ(begin_device_output(w, DeviceSettings{DeviceFormat::EscPos}, 65535 * 8 + 1, 1, append_to(out)),
            DeviceError::PictureTooLarge);
  const DeviceSettings columns{DeviceFormat::Bin, DeviceLayout::ColumnsMsb};
  EXPECT_EQ(begin_device_output(w, columns, 1u << 17, (1u << 16) + 1, append_to(out)), DeviceError::PictureTooLarge);
  ASSERT_EQ(begin_device_output(w, bin, 72000, 1, [](const uint8_t*, size_t) { return false; }), DeviceError::None);
  ASSERT_EQ(put_device_rows(w, row.data(), 0, 1), DeviceError::None);
  EXPECT_EQ(finish_device_output(w), DeviceError::WriteFailed);
}

}  // namespace

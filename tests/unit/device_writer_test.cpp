#include "device/device_writer.h"

#include <gtest/gtest.h>

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

// What a decoder reads back: one flag per pixel, true where the bit is set.
using Pixels = std::vector<std::vector<bool>>;

struct Reader {
  const std::vector<uint8_t>& bytes;
  size_t at = 0;
  bool take(std::string_view text) {
    if (bytes.size() - at < text.size() || std::memcmp(bytes.data() + at, text.data(), text.size()) != 0) return false;
    at += text.size();
    return true;
  }
  unsigned long number() {
    const std::string rest(bytes.begin() + static_cast<ptrdiff_t>(at), bytes.end());
    char* end = nullptr;
    const unsigned long n = std::strtoul(rest.c_str(), &end, 10);
    at += static_cast<size_t>(end - rest.c_str());
    return n;
  }
};

// Rows of whole bytes, the leftmost pixel in bit 7 (msb) or bit 0.
Pixels decode_rows(const std::vector<uint8_t>& data, uint32_t w, uint32_t h, bool msb) {
  const size_t row_bytes = (w + 7) / 8;
  EXPECT_EQ(data.size(), row_bytes * h);
  Pixels p(h, std::vector<bool>(w));
  for (uint32_t y = 0; y < h && data.size() == row_bytes * h; ++y) {
    for (uint32_t x = 0; x < w; ++x) p[y][x] = (data[y * row_bytes + x / 8] >> (msb ? 7 - x % 8 : x % 8)) & 1;
    for (uint32_t x = w; x < row_bytes * 8; ++x) {
      EXPECT_EQ((data[y * row_bytes + x / 8] >> (msb ? 7 - x % 8 : x % 8)) & 1, 0) << "padding bit set";
    }
  }
  return p;
}

// Bands of 8 rows from the top, a byte per column, the band's top row in bit 0.
Pixels decode_pages(const std::vector<uint8_t>& data, uint32_t w, uint32_t h) {
  EXPECT_EQ(data.size(), size_t{w} * ((h + 7) / 8));
  Pixels p(h, std::vector<bool>(w));
  for (uint32_t y = 0; y < h && data.size() == size_t{w} * ((h + 7) / 8); ++y) {
    for (uint32_t x = 0; x < w; ++x) p[y][x] = (data[(y / 8) * w + x] >> (y % 8)) & 1;
  }
  for (uint32_t x = 0; h % 8 && x < w && data.size() == size_t{w} * ((h + 7) / 8); ++x) {
    EXPECT_EQ(data[(h / 8) * w + x] >> (h % 8), 0) << "rows past the last set";
  }
  return p;
}

// Columns from the left, each padded to whole bytes, the top pixel in bit 7.
Pixels decode_columns(const std::vector<uint8_t>& data, uint32_t w, uint32_t h) {
  const size_t column_bytes = (h + 7) / 8;
  EXPECT_EQ(data.size(), column_bytes * w);
  Pixels p(h, std::vector<bool>(w));
  for (uint32_t x = 0; x < w && data.size() == column_bytes * w; ++x) {
    for (uint32_t y = 0; y < h; ++y) p[y][x] = (data[x * column_bytes + y / 8] >> (7 - y % 8)) & 1;
  }
  return p;
}

// The "0x.." items between '{' and '}', checking that every line but the last
// holds `per_line` of them.
std::vector<uint8_t> array_items(const std::vector<uint8_t>& text, unsigned per_line) {
  const std::string s(text.begin(), text.end());
  const size_t open = s.find("{\n"), close = s.find('}');
  std::vector<uint8_t> items;
  if (open == std::string::npos || close == std::string::npos) return items;
  size_t line_start = open + 2;
  while (line_start < close) {
    const size_t line_end = s.find('\n', line_start);
    const std::string line = s.substr(line_start, std::min(line_end, close) - line_start);
    unsigned count = 0;
    for (size_t at = line.find("0x"); at != std::string::npos; at = line.find("0x", at + 2), ++count) {
      items.push_back(static_cast<uint8_t>(std::strtoul(line.substr(at + 2, 2).c_str(), nullptr, 16)));
    }
    if (line_end < close && s.find("0x", line_end) < close) EXPECT_EQ(count, per_line) << line;
    line_start = line_end + 1;
  }
  return items;
}

// ESC/POS: a GS v 0 command per band, the bands' rows joined.
std::vector<uint8_t> escpos_rows(const std::vector<uint8_t>& data, uint32_t w, uint32_t h, unsigned band) {
  std::vector<uint8_t> rows;
  size_t at = 0;
  uint32_t total = 0;
  while (at + 8 <= data.size()) {
    const uint8_t* c = data.data() + at;
    EXPECT_TRUE(c[0] == 0x1D && c[1] == 0x76 && c[2] == 0x30 && c[3] == 0);
    const size_t x = c[4] | c[5] << 8, y = c[6] | c[7] << 8;
    EXPECT_EQ(x, (w + 7) / 8);
    total += static_cast<uint32_t>(y);
    EXPECT_EQ(y, std::min<uint32_t>(band, h - (total - static_cast<uint32_t>(y))));
    if (data.size() - at - 8 < x * y) break;
    rows.insert(rows.end(), c + 8, c + 8 + x * y);
    at += 8 + x * y;
  }
  EXPECT_EQ(at, data.size());
  EXPECT_EQ(total, h);
  return rows;
}

// ZPL: ^XA, ^FO0,0, one ^GFA field of ASCII hex (line breaks ignored), ^FS, ^XZ.
std::vector<uint8_t> zpl_rows(const std::vector<uint8_t>& data, uint32_t w, uint32_t h) {
  Reader r{data};
  EXPECT_TRUE(r.take("^XA\n^FO0,0^GFA,"));
  const unsigned long total = r.number();
  EXPECT_TRUE(r.take(","));
  EXPECT_EQ(r.number(), total);
  EXPECT_TRUE(r.take(","));
  const unsigned long row_bytes = r.number();
  EXPECT_TRUE(r.take(","));
  EXPECT_EQ(row_bytes, (w + 7) / 8);
  EXPECT_EQ(total, row_bytes * h);
  std::vector<uint8_t> rows;
  int high = -1;
  for (; r.at < data.size() && data[r.at] != '^'; ++r.at) {
    const char c = static_cast<char>(data[r.at]);
    if (c == '\n') continue;
    const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    EXPECT_GE(v, 0) << "not a hex digit: " << c;
    if (high < 0) {
      high = v;
    } else {
      rows.push_back(static_cast<uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  EXPECT_TRUE(r.take("^FS\n^XZ\n"));
  EXPECT_EQ(r.at, data.size());
  return rows;
}

std::vector<uint8_t> xbm_items(const std::vector<uint8_t>& data, uint32_t w, uint32_t h, const std::string& name) {
  Reader r{data};
  EXPECT_TRUE(r.take("#define " + name + "_width "));
  EXPECT_EQ(r.number(), w);
  EXPECT_TRUE(r.take("\n#define " + name + "_height "));
  EXPECT_EQ(r.number(), h);
  EXPECT_TRUE(r.take("\nstatic unsigned char " + name + "_bits[] = {\n"));
  const std::string s(data.begin(), data.end());
  EXPECT_EQ(s.substr(s.size() - 3), "};\n");
  return array_items(data, 12);
}

std::vector<uint8_t> c_items(const std::vector<uint8_t>& data, uint32_t w, uint32_t h, const std::string& name) {
  const std::string s(data.begin(), data.end());
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(c));
  EXPECT_NE(s.find("#define " + upper + "_WIDTH " + std::to_string(w) + "\n"), std::string::npos);
  EXPECT_NE(s.find("#define " + upper + "_HEIGHT " + std::to_string(h) + "\n"), std::string::npos);
  EXPECT_NE(s.find("const uint8_t " + name + "[] = {\n"), std::string::npos);
  EXPECT_EQ(s.substr(s.size() - 4), "\n};\n");
  return array_items(data, 16);
}

Pixels decode(const DeviceSettings& s, const std::vector<uint8_t>& out, uint32_t w, uint32_t h) {
  switch (s.format) {
    case DeviceFormat::Xbm: return decode_rows(xbm_items(out, w, h, s.name), w, h, false);
    case DeviceFormat::EscPos: return decode_rows(escpos_rows(out, w, h, s.band_rows), w, h, true);
    case DeviceFormat::Zpl: return decode_rows(zpl_rows(out, w, h), w, h, true);
    case DeviceFormat::C:
    case DeviceFormat::Bin: break;
  }
  const std::vector<uint8_t> bytes = s.format == DeviceFormat::C ? c_items(out, w, h, s.name) : out;
  switch (s.layout) {
    case DeviceLayout::RowsMsb: return decode_rows(bytes, w, h, true);
    case DeviceLayout::RowsLsb: return decode_rows(bytes, w, h, false);
    case DeviceLayout::Pages: return decode_pages(bytes, w, h);
    case DeviceLayout::ColumnsMsb: return decode_columns(bytes, w, h);
  }
  return {};
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
          const Pixels got = decode(s, out, w, h);
          ASSERT_EQ(got.size(), h);
          for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
              ASSERT_EQ(got[y][x], p.white(x, y) == (on == DeviceOn::White)) << "pixel " << x << "," << y;
            }
          }

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

// Decoders of the device formats, written from each format's definition, for the
// tests of the device writer and of the command: they give back the pixels that
// an output stands for.
#ifndef QVX_TESTS_DEVICE_DECODE_H
#define QVX_TESTS_DEVICE_DECODE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/device_format.h"

namespace device_decode {

// Where a layout puts pixel (x, y): the byte and the bit (0 the least significant).
struct BitPlace {
  size_t byte;
  unsigned bit;
};

inline BitPlace place_of(DeviceLayout layout, uint32_t w, uint32_t h, uint32_t x, uint32_t y) {
  const size_t row_bytes = (w + 7) / 8, column_bytes = (h + 7) / 8;
  switch (layout) {
    case DeviceLayout::kRowsMsb: return {y * row_bytes + x / 8, 7 - x % 8};
    case DeviceLayout::kRowsLsb: return {y * row_bytes + x / 8, x % 8};
    case DeviceLayout::kPages: return {(y / 8) * w + x, y % 8};
    case DeviceLayout::kColumnsMsb: return {x * column_bytes + y / 8, 7 - y % 8};
    default: break;  // the index layouts: decode_indexes
  }
  return {0, 0};
}

// The "0x.." items between '{' and '}', checking that every line but the last
// holds `per_line` of them.
inline std::vector<uint8_t> array_items(const std::string& s, unsigned per_line) {
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
inline std::vector<uint8_t> escpos_rows(const std::vector<uint8_t>& data, uint32_t w, uint32_t h, unsigned band) {
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

// ZPL: ^XA, then ^GFA fields (total bytes twice, at most 99999, row bytes, ASCII
// hex with line breaks ignored, ^FS), each placed with ^FO at the row below the
// one before, then ^XZ; returns the fields' rows stacked. `fields` gets each
// field's total bytes.
inline std::vector<uint8_t> zpl_rows(const std::string& s, uint32_t w, uint32_t h,
                                     std::vector<unsigned long>* fields = nullptr) {
  std::vector<uint8_t> rows;
  EXPECT_EQ(s.compare(0, 4, "^XA\n"), 0);
  size_t at = 4;
  const size_t row_bytes = (w + 7) / 8;
  while (s.compare(at, 3, "^FO") == 0) {
    unsigned long x = 0, top = 0, total = 0, total_again = 0, field_row_bytes = 0;
    int data_at = 0;
    EXPECT_EQ(std::sscanf(s.c_str() + at, "^FO%lu,%lu^GFA,%lu,%lu,%lu,%n", &x, &top, &total, &total_again,
                          &field_row_bytes, &data_at),
              5);
    if (data_at == 0) break;
    EXPECT_TRUE(x == 0 && top == rows.size() / row_bytes && top <= 32000) << "^FO" << x << "," << top;
    EXPECT_TRUE(total == total_again && total >= 1 && total <= 99999 && field_row_bytes == row_bytes &&
                total % row_bytes == 0)
        << total << "," << total_again << "," << field_row_bytes;
    if (fields) fields->push_back(total);
    const size_t end = s.find("^FS\n", at);
    if (end == std::string::npos) break;
    std::string hex;
    for (size_t i = at + static_cast<size_t>(data_at); i < end; ++i) {
      if (s[i] != '\n') hex += s[i];
    }
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(hex.size(), 2 * total);
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
      rows.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    at = end + 4;
  }
  EXPECT_EQ(s.substr(at), "^XZ\n");
  EXPECT_EQ(rows.size(), row_bytes * h);
  return rows;
}

// The names derived from an identifier leave out a '_' it ends with.
inline std::string stem_of(const std::string& name) {
  return name.size() > 1 && name.back() == '_' ? name.substr(0, name.size() - 1) : name;
}

inline std::vector<uint8_t> xbm_items(const std::string& s, uint32_t w, uint32_t h, const std::string& name) {
  const std::string n = stem_of(name);
  EXPECT_EQ(s.rfind("#define " + n + "_width " + std::to_string(w) + "\n#define " + n + "_height " +
                        std::to_string(h) + "\nstatic unsigned char " + n + "_bits[] = {\n",
                    0),
            0u);
  EXPECT_EQ(s.substr(s.size() - 3), "};\n");
  return array_items(s, 12);
}

// The C header: its guard, the size macros and a static array, PROGMEM on AVR.
inline std::vector<uint8_t> c_items(const std::string& s, uint32_t w, uint32_t h, const std::string& name) {
  std::string upper = stem_of(name);
  for (char& c : upper) c = static_cast<char>(std::toupper(c));
  EXPECT_NE(s.find("\n#ifndef QUILLVEX_" + upper + "_H\n#define QUILLVEX_" + upper + "_H\n"), std::string::npos);
  EXPECT_NE(s.find("\n#define " + upper + "_WIDTH " + std::to_string(w) + "\n"), std::string::npos);
  EXPECT_NE(s.find("\n#define " + upper + "_HEIGHT " + std::to_string(h) + "\n"), std::string::npos);
  EXPECT_NE(s.find("\nstatic const uint8_t " + name + "[] PROGMEM = {\n"), std::string::npos);
  EXPECT_EQ(s.substr(s.size() - 12), "\n};\n\n#endif\n");
  return array_items(s, 16);
}

// Returns the on pixels of an output, one byte (0 or 1) a pixel, the top row first,
// checking that no bit outside the picture is set.
inline std::vector<uint8_t> decode_device_output(const DeviceSettings& s, const std::vector<uint8_t>& out, uint32_t w,
                                                 uint32_t h) {
  const std::string text(out.begin(), out.end());
  std::vector<uint8_t> bytes = out;
  DeviceLayout layout = s.layout;
  switch (s.format) {
    case DeviceFormat::kXbm: bytes = xbm_items(text, w, h, s.name), layout = DeviceLayout::kRowsLsb; break;
    case DeviceFormat::kEscPos: bytes = escpos_rows(out, w, h, s.band_rows), layout = DeviceLayout::kRowsMsb; break;
    case DeviceFormat::kZpl: bytes = zpl_rows(text, w, h), layout = DeviceLayout::kRowsMsb; break;
    case DeviceFormat::kC: bytes = c_items(text, w, h, s.name); break;
    case DeviceFormat::kBin: break;
  }
  const bool rows = layout == DeviceLayout::kRowsMsb || layout == DeviceLayout::kRowsLsb;
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h);
  EXPECT_EQ(bytes.size(), rows ? (w + 7) / 8 * h : w * ((h + 7) / 8));
  if (bytes.size() != (rows ? (w + 7) / 8 * h : w * ((h + 7) / 8))) return pixels;
  size_t on = 0, set = 0;
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) {
      const BitPlace at = place_of(layout, w, h, x, y);
      on += pixels[static_cast<size_t>(y) * w + x] = (bytes[at.byte] >> at.bit) & 1;
    }
  }
  for (uint8_t b : bytes) set += static_cast<size_t>(std::bitset<8>(b).count());
  EXPECT_EQ(set, on) << "bits set outside the picture";
  return pixels;
}

// The index layouts, from their definitions: 2bpp-msb and 4bpp-msb rows start on a
// new byte, the leftmost pixel in the high bits, the value the index's code (or the
// level counted from black, from white when on is black); planes are two rows-msb
// pictures one after the other, plane 0 first. For grey levels plane 0 holds the
// index's high bit and plane 1 its low bit; for black, white and a colour (indexes
// 0, 1, 2) plane 0 is 0 for black and plane 1 is 0 for the colour; a plane whose
// polarity is black has its bits flipped. Returns the indexes, the top row first,
// checking that the bits past each row's last pixel are clear; -1 for a value that
// stands for no index.
inline std::vector<int> decode_indexes(const DeviceSettings& s, const std::vector<uint8_t>& bytes, uint32_t w,
                                       uint32_t h) {
  std::vector<int> indexes(static_cast<size_t>(w) * h, -1);
  const int count = s.meaning.count;
  if (s.layout == DeviceLayout::kPlanes) {
    const size_t row = (w + 7) / 8, plane = row * h;
    EXPECT_EQ(bytes.size(), 2 * plane);
    if (bytes.size() != 2 * plane) return indexes;
    const bool flip[2] = {s.plane_on[0].value_or(s.on) == DeviceOn::kBlack,
                          s.plane_on[1].value_or(s.on) == DeviceOn::kBlack};
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        const int b0 = ((bytes[y * row + x / 8] >> (7 - x % 8)) & 1) ^ flip[0];
        const int b1 = ((bytes[plane + y * row + x / 8] >> (7 - x % 8)) & 1) ^ flip[1];
        int& index = indexes[static_cast<size_t>(y) * w + x];
        if (s.meaning.palette.empty()) {
          index = b0 * 2 + b1;
        } else {
          index = b0 == 0 && b1 == 0 ? -1 : b0 == 0 ? 0 : b1 == 0 ? 2 : 1;
        }
      }
      for (uint32_t x = w; x < row * 8; ++x) {
        EXPECT_EQ((bytes[y * row + x / 8] >> (7 - x % 8)) & 1, 0) << "padding of plane 0, row " << y;
        EXPECT_EQ((bytes[plane + y * row + x / 8] >> (7 - x % 8)) & 1, 0) << "padding of plane 1, row " << y;
      }
    }
    return indexes;
  }
  const unsigned bits = s.layout == DeviceLayout::kTwoBppMsb ? 2 : 4;
  const size_t row = (w * bits + 7) / 8;
  EXPECT_EQ(bytes.size(), row * h);
  if (bytes.size() != row * h) return indexes;
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < row * 8 / bits; ++x) {
      const size_t byte = y * row + x * bits / 8;
      const int value = (bytes[byte] >> (8 - bits - x * bits % 8)) & ((1 << bits) - 1);
      if (x >= w) {
        EXPECT_EQ(value, 0) << "padding of row " << y;
        continue;
      }
      int index = -1;
      if (!s.codes.empty()) {
        for (size_t i = 0; i < s.codes.size(); ++i) index = s.codes[i] == value ? static_cast<int>(i) : index;
      } else if (value < count) {
        index = s.on == DeviceOn::kBlack ? count - 1 - value : value;
      }
      indexes[static_cast<size_t>(y) * w + x] = index;
    }
  }
  return indexes;
}

}  // namespace device_decode

#endif

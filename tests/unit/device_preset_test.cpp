#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../common/device_decode.h"
#include "device/device_presets.h"
#include "device/device_reader.h"
#include "device/device_writer.h"

namespace {

// Colour names of the panels' codes and of the palettes' entries, in order.
const char* const kAcepCodes[] = {"black", "white", "green", "blue", "red", "yellow", "orange"};
const char* const kAcepPalette[] = {"black", "white", "green", "blue", "red", "yellow", "orange"};
const char* const kSpectraCodes[] = {"black", "white", "yellow", "red", "", "blue", "green"};
const char* const kSpectraPalette[] = {"black", "white", "yellow", "red", "blue", "green"};

struct Shown {
  std::vector<uint8_t> bytes;  // the device's bytes (escpos, zpl: the raster rows)
  uint32_t w, h;
};

bool bit_msb(const std::vector<uint8_t>& b, size_t row_bytes, uint32_t x, uint32_t y) {
  return (b[y * row_bytes + x / 8] >> (7 - x % 8)) & 1;
}

// What a pixel comes out as on the device, each from the layout its library or
// controller documents; compared with what its index means (index 0 black, the
// last white; a palette's entry by name).
std::string shown_pixel(const std::string& preset, const Shown& s, uint32_t x, uint32_t y) {
  const std::vector<uint8_t>& b = s.bytes;
  const size_t row_bytes = (s.w + 7) / 8, plane = row_bytes * s.h;
  // Adafruit_GFX::drawBitmap(): byteWidth = (w + 7) / 8, the byte of column i is
  // bitmap[j * byteWidth + i / 8], shifted left per pixel and drawn when bit 7 is set.
  if (preset == "adafruit-gfx") return bit_msb(b, row_bytes, x, y) ? "drawn" : "left";
  // u8g2_DrawXBM(): a mask from 1 shifted left per pixel, rows of (w + 7) / 8 bytes.
  if (preset == "u8g2-xbm") return (b[y * row_bytes + x / 8] >> (x % 8)) & 1 ? "drawn" : "left";
  // SSD1306 datasheet, page addressing: page p holds rows 8p..8p+7, a byte per
  // column, D0 the top row; a 1 lights the pixel.
  if (preset.rfind("ssd1306", 0) == 0) return (b[(y / 8) * s.w + x] >> (y % 8)) & 1 ? "lit" : "dark";
  // ESC/POS GS v 0 and ZPL ^GFA: rows of bytes, the leftmost dot in the high bit, 1 printed.
  if (preset.rfind("escpos", 0) == 0 || preset == "zpl-203dpi") return bit_msb(b, row_bytes, x, y) ? "dot" : "paper";
  // 2-bit grey frame buffers: four pixels a byte from the high bits, 0 black .. 3 white.
  if (preset == "epaper-4gray")
    return "grey " + std::to_string((b[y * ((s.w + 3) / 4) + x / 4] >> (6 - 2 * (x % 4))) & 3);
  // Two RAMs loaded one after the other: 4-grey modes take the level's high bit in
  // the first and its low bit in the second; black-white-colour controllers (UC8151
  // KWR mode) a 0 for black in the first and a 0 for the colour in the second.
  const bool p0 = bit_msb(b, row_bytes, x, y), p1 = (b[plane + y * row_bytes + x / 8] >> (7 - x % 8)) & 1;
  if (preset == "epaper-4gray-planes") return "grey " + std::to_string(p0 * 2 + p1);
  if (preset == "epaper-bwr") return !p1 ? "red" : !p0 ? "black" : "white";
  if (preset == "epaper-bwy") return !p1 ? "yellow" : !p0 ? "black" : "white";
  // 4 bits a pixel, two pixels a byte, the left one in the high nibble: ACeP and
  // Spectra 6 colour codes, Inkplate's 3-bit mode 0 black .. 7 white.
  const unsigned nibble = (b[y * ((s.w + 1) / 2) + x / 2] >> (x % 2 ? 0 : 4)) & 15;
  if (preset == "acep7") return nibble < 7 ? kAcepCodes[nibble] : "none";
  if (preset == "spectra6") return nibble < 7 ? kSpectraCodes[nibble] : "none";
  if (preset == "inkplate-3bit") return "grey " + std::to_string(nibble);
  return "unknown preset";
}

std::string meant_pixel(const std::string& preset, uint8_t index) {
  if (preset == "adafruit-gfx" || preset == "u8g2-xbm") return index == 0 ? "drawn" : "left";
  if (preset.rfind("ssd1306", 0) == 0) return index == 1 ? "lit" : "dark";
  if (preset.rfind("escpos", 0) == 0 || preset == "zpl-203dpi") return index == 0 ? "dot" : "paper";
  if (preset == "epaper-bwr") return index == 0 ? "black" : index == 1 ? "white" : "red";
  if (preset == "epaper-bwy") return index == 0 ? "black" : index == 1 ? "white" : "yellow";
  if (preset == "acep7") return kAcepPalette[index];
  if (preset == "spectra6") return kSpectraPalette[index];
  return "grey " + std::to_string(index);
}

// Every preset: a small picture's bytes, read by a decoder of its device's own
// layout, show each pixel as its index means; the bytes read back give the indexes.
TEST(DevicePresets, EachShowsThePictureAsItsDeviceReadsIt) {
  ASSERT_GE(device_preset_count(), 14u);
  for (size_t i = 0; i < device_preset_count(); ++i) {
    const DevicePreset& preset = device_preset(i);
    SCOPED_TRACE(preset.name);
    DeviceSettings s;
    ASSERT_EQ(resolve_device_request(device_request_for(preset), "panel.h", "-", s), DeviceError::kNone);
    const uint32_t w = preset.width ? preset.width : 11, h = preset.height ? preset.height : 10;
    std::vector<uint8_t> indexes(static_cast<size_t>(w) * h);
    for (size_t k = 0; k < indexes.size(); ++k) indexes[k] = static_cast<uint8_t>((k * 7 + k / 5) % preset.count);
    std::vector<uint8_t> out;
    ASSERT_EQ(encode_device_indexes(s, indexes.data(), w, w, h, out), DeviceError::kNone);

    const std::string text(out.begin(), out.end());
    Shown shown{out, w, h};
    switch (s.format) {
      case DeviceFormat::kC: shown.bytes = device_decode::c_items(text, w, h, "panel"); break;
      case DeviceFormat::kXbm: shown.bytes = device_decode::xbm_items(text, w, h, "panel"); break;
      case DeviceFormat::kEscPos: shown.bytes = device_decode::escpos_rows(out, w, h, s.band_rows); break;
      case DeviceFormat::kZpl: shown.bytes = device_decode::zpl_rows(text, w, h); break;
      case DeviceFormat::kBin: break;
    }
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        ASSERT_EQ(shown_pixel(preset.name, shown, x, y), meant_pixel(preset.name, indexes[y * w + x])) << x << "," << y;
      }
    }
    if (s.format != DeviceFormat::kC && s.format != DeviceFormat::kXbm) continue;
    const DeviceReadResult read = read_device_bytes(out.data(), out.size(), DeviceReadRequest{s.format});
    ASSERT_EQ(read.error, DeviceReadError::kNone) << device_read_error_text(read);
    EXPECT_EQ(read.picture.indexes, indexes);
    // The same settings as raw bytes: the array's bytes, read back given the size.
    DeviceSettings bin = s;
    bin.format = DeviceFormat::kBin;
    std::vector<uint8_t> raw;
    ASSERT_EQ(encode_device_indexes(bin, indexes.data(), w, w, h, raw), DeviceError::kNone);
    if (s.format == DeviceFormat::kC) EXPECT_EQ(raw, shown.bytes);
    const DeviceReadResult raw_read =
        read_device_bytes(raw.data(), raw.size(), DeviceReadRequest{DeviceFormat::kBin, w, h, bin});
    ASSERT_EQ(raw_read.error, DeviceReadError::kNone) << device_read_error_text(raw_read);
    EXPECT_EQ(raw_read.picture.indexes, indexes);
  }
}

// --list-presets names every preset with what takes it and what it sets.
TEST(DevicePresets, ListText) {
  const std::string text = device_presets_text();
  for (size_t i = 0; i < device_preset_count(); ++i) {
    EXPECT_NE(("\n" + text).find(std::string("\n") + device_preset(i).name + " "), std::string::npos)
        << device_preset(i).name;
  }
  EXPECT_NE(text.find("spectra6              Spectra 6 e-paper, 4 bits a pixel, its measured colours (code 4 unused)\n"
                      "                      c, layout 4bpp-msb, 6 colours of palette spectra6-measured, "
                      "codes 0,1,2,3,5,6\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("                      c, layout planes, 3 colours of palette bwr, planes white,white\n"),
            std::string::npos);
  EXPECT_NE(text.find("                      escpos, on black, size 576x\n"), std::string::npos);
  EXPECT_EQ(find_device_preset("acep7")->count, 7);
  EXPECT_EQ(find_device_preset("epaper"), nullptr);
}

}  // namespace

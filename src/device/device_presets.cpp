#include "device/device_presets.h"

#include <algorithm>

// The planes' polarities the common tri-colour controllers take (set bit = paper is
// "white", set bit = ink is "black", plane 0 the black plane, plane 1 the colour):
//  - UC8151 / IL0373 and the panels driven like them (the older 1.54", 2.13", 2.9"
//    and 4.2" black-white-red modules): both planes a 0 for the ink, white,white, the
//    default the epaper-bwr and epaper-bwy presets set;
//  - SSD1675 / SSD1680 / SSD1681 (most newer 1.54" to 4.2" modules): the black-white
//    RAM a 1 for white, the red RAM a 1 for red: white,black;
//  - UC8179 (7.5" black-white-red): data 1 a 1 for white, data 2 a 1 for red:
//    white,black as well.
// Grey-level planes go to the same two RAMs (4-grey modes): plane 0 the index's high
// bit, plane 1 its low bit, both white (a 1 toward white).

namespace {

constexpr DeviceFormat C = DeviceFormat::kC;
constexpr DeviceOn Black = DeviceOn::kBlack, White = DeviceOn::kWhite;

const DevicePreset kPresets[] = {
    // Adafruit GFX drawBitmap(x, y, bitmap, w, h, colour): rows of (w + 7) / 8 bytes,
    // the leftmost pixel in bit 7; a set bit is drawn in the colour, a clear one left
    // as it is. The picture's black is what it draws.
    {"adafruit-gfx", "Adafruit GFX drawBitmap(): the black pixels drawn in the colour given", C, DeviceLayout::kRowsMsb,
     Black, 2, nullptr, nullptr, 0, 0},
    // u8g2 drawXBM(): X bitmap rows, the leftmost pixel in bit 0, a set bit drawn.
    {"u8g2-xbm", "u8g2 drawXBM() / drawXBMP(): the black pixels drawn in the draw colour", DeviceFormat::kXbm,
     DeviceLayout::kRowsLsb, Black, 2, nullptr, nullptr, 0, 0},
    // SSD1306 / SH1106 display RAM in page addressing: 8-row pages from the top, a byte
    // a column, the page's top row in bit 0; a set bit lights the pixel.
    {"ssd1306", "SSD1306 / SH1106 OLED display RAM: a set bit lit (white)", C, DeviceLayout::kPages, White, 2, nullptr,
     nullptr, 0, 0},
    {"ssd1306-128x64", "the same for a 128 x 64 panel", C, DeviceLayout::kPages, White, 2, nullptr, nullptr, 128, 64},
    {"ssd1306-128x32", "the same for a 128 x 32 panel", C, DeviceLayout::kPages, White, 2, nullptr, nullptr, 128, 32},
    {"escpos-80mm", "ESC/POS receipt printer, 80 mm paper (576 dots a line)", DeviceFormat::kEscPos,
     DeviceLayout::kRowsMsb, Black, 2, nullptr, nullptr, 576, 0},
    {"escpos-58mm", "ESC/POS receipt printer, 58 mm paper (384 dots a line)", DeviceFormat::kEscPos,
     DeviceLayout::kRowsMsb, Black, 2, nullptr, nullptr, 384, 0},
    {"zpl-203dpi", "ZPL label printer at 203 dpi (8 dots a mm; give the label's size in dots)", DeviceFormat::kZpl,
     DeviceLayout::kRowsMsb, Black, 2, nullptr, nullptr, 0, 0},
    {"epaper-4gray", "4-grey e-paper, 2 bits a pixel, 0 black .. 3 white", C, DeviceLayout::kTwoBppMsb, White, 4,
     nullptr, nullptr, 0, 0},
    {"epaper-4gray-planes", "4-grey e-paper loaded as two 1-bit planes: the high bits, then the low bits", C,
     DeviceLayout::kPlanes, White, 4, nullptr, nullptr, 0, 0},
    {"epaper-bwr", "black-white-red e-paper: the black plane, then the red plane, a 0 for the ink", C,
     DeviceLayout::kPlanes, White, 3, "bwr", nullptr, 0, 0},
    {"epaper-bwy", "black-white-yellow e-paper: the black plane, then the yellow plane, a 0 for the ink", C,
     DeviceLayout::kPlanes, White, 3, "bwy", nullptr, 0, 0},
    // ACeP 7-colour panels: black, white, green, blue, red, yellow, orange as codes 0..6,
    // the palette's order.
    {"acep7", "7-colour ACeP e-paper, 4 bits a pixel, its measured colours", C, DeviceLayout::kFourBppMsb, White, 7,
     "acep7-measured", "0,1,2,3,4,5,6", 0, 0},
    // Spectra 6 panels: black 0, white 1, yellow 2, red 3, blue 5, green 6 (no 4).
    {"spectra6", "Spectra 6 e-paper, 4 bits a pixel, its measured colours (code 4 unused)", C, DeviceLayout::kFourBppMsb,
     White, 6, "spectra6-measured", "0,1,2,3,5,6", 0, 0},
    {"inkplate-3bit", "Inkplate 3-bit grey mode, 4 bits a pixel, 0 black .. 7 white", C, DeviceLayout::kFourBppMsb,
     White, 8, nullptr, nullptr, 0, 0},
};

}  // namespace

size_t device_preset_count() { return sizeof kPresets / sizeof kPresets[0]; }

const DevicePreset& device_preset(size_t i) { return kPresets[i]; }

const DevicePreset* find_device_preset(std::string_view name) {
  for (const DevicePreset& p : kPresets) {
    if (name == p.name) return &p;
  }
  return nullptr;
}

DeviceRequest device_request_for(const DevicePreset& preset) {
  DeviceRequest request;
  request.format = preset.format;
  if (device_format_info(preset.format).options & kTakesLayout) request.layout = preset.layout;
  request.on = preset.on;
  request.meaning.count = preset.count;
  request.meaning.palette = preset.palette ? preset.palette : "";
  if (preset.codes) parse_code_map(preset.codes, request.codes);
  request.preset = preset.name;
  return request;
}

std::string device_preset_settings_text(const DevicePreset& p) {
  std::string text = device_format_info(p.format).name;
  if (device_format_info(p.format).options & kTakesLayout)
    text += std::string(", layout ") + device_layout_name(p.layout);
  if (p.palette) {
    text += ", " + std::to_string(p.count) + " colours of palette " + p.palette;
  } else if (p.count != 2) {
    text += ", " + std::to_string(p.count) + " grey levels";
  }
  const bool planes = p.layout == DeviceLayout::kPlanes && (device_format_info(p.format).options & kTakesLayout);
  if (p.codes) {
    text += std::string(", codes ") + p.codes;
  } else {
    text += std::string(planes ? ", planes " : ", on ") + device_on_name(p.on) +
            (planes ? std::string(",") + device_on_name(p.on) : std::string());
  }
  if (p.width || p.height) {
    text += ", size " + (p.width ? std::to_string(p.width) : std::string()) + "x" +
            (p.height ? std::to_string(p.height) : std::string());
  }
  return text;
}

std::string device_presets_text() {
  std::string text;
  for (const DevicePreset& p : kPresets) {
    std::string name = p.name;
    name.resize(std::max<size_t>(name.size() + 2, 22), ' ');
    text += name + p.help + "\n" + std::string(22, ' ') + device_preset_settings_text(p) + "\n";
  }
  return text;
}

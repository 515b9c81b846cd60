// Presets: the device output a library or a panel takes, named once. Each sets the
// format, the layout, the polarity, what the indexes are (grey levels or a palette),
// a code map and, for one model of panel, its size. A name that stands for a family
// of panels (epaper-4gray) sets no size.
#ifndef QVX_DEVICE_PRESETS_H
#define QVX_DEVICE_PRESETS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/device_format.h"

struct DevicePreset {
  const char* name;
  const char* help;        // one line: what takes the output
  DeviceFormat format;
  DeviceLayout layout;     // for c and bin
  DeviceOn on;
  int count;               // grey levels, or the palette's colours
  const char* palette;     // a built-in palette's name; null for grey levels
  const char* codes;       // a code map as parse_code_map reads it; null: the indexes
  uint32_t width, height;  // the panel's size; 0: not fixed
};

// Returns the number of presets and the preset at `i` (in --list-presets order).
size_t device_preset_count();
const DevicePreset& device_preset(size_t i);

// Returns the preset called `name`, or null.
const DevicePreset* find_device_preset(std::string_view name);

// Returns the request a preset makes: format, layout, polarity, meaning, code map
// and its name (the options a user gives as well override them).
DeviceRequest device_request_for(const DevicePreset& preset);

// Returns what a preset sets, in words: "c, layout 4bpp-msb, 6 colours of palette ...".
std::string device_preset_settings_text(const DevicePreset& preset);

// Returns the text of --list-presets: each preset, what it sets and what takes it.
std::string device_presets_text();

#endif

// The command's options for devices: preparing the picture (size, fit, rotation,
// flip) and laying out the device formats' bits (layout, polarity, name, band).
#include "pipeline/conversion_request.h"

#include "cli/option_table.h"
#include "pipeline/device_option_texts.h"
#include "cli/options.h"
#include "device/device_presets.h"

namespace {

bool set_size(const std::string& value, CliOptions& o) {
  o.prepare.resize = parse_target_size(value, o.prepare.size) == PreparationError::kNone;
  return o.prepare.resize;
}

bool set_fit(const std::string& value, CliOptions& o) {
  o.prepare.fit_given = true;
  return parse_fit(value, o.prepare.fit) == PreparationError::kNone;
}

bool set_background(const std::string& value, CliOptions& o) {
  o.prepare.background_given = true;
  return parse_background(value, o.prepare.white_background) == PreparationError::kNone;
}

// No rotation is the default, not a value to write: --rotate 0 is most likely a slip.
bool set_rotation(const std::string& value, CliOptions& o) {
  return value != "0" && parse_rotation(value, o.prepare.rotation) == PreparationError::kNone;
}

bool set_no_autorotate(const std::string&, CliOptions& o) {
  o.prepare.autorotate = false;
  return true;
}

bool set_flip(const std::string& value, CliOptions& o) { return parse_flip(value, o.prepare.flip) == PreparationError::kNone; }

bool set_layout(const std::string& value, CliOptions& o) {
  DeviceLayout layout;
  if (!parse_device_layout(value, layout)) return false;
  o.device.layout = layout;
  return true;
}

bool set_on(const std::string& value, CliOptions& o) {
  DeviceOn on;
  if (!parse_device_on(value, on)) return false;
  o.device.on = on;
  return true;
}

// One polarity stands for both planes.
bool set_plane_on(const std::string& value, CliOptions& o) {
  DeviceOn on[2];
  if (parse_device_on(value, on[0])) {
    on[1] = on[0];
  } else if (!parse_plane_on(value, on)) {
    return false;
  }
  o.device.plane_on[0] = on[0];
  o.device.plane_on[1] = on[1];
  return true;
}

bool set_codes(const std::string& value, CliOptions& o) {
  return parse_code_map(value, o.device.codes) && !o.device.codes.empty();
}

// The preset is applied once every option is read (apply_device_preset), so the options given win.
bool set_preset(const std::string& value, CliOptions& o) {
  o.device.preset = value;
  return find_device_preset(value) != nullptr;
}

bool set_name(const std::string& value, CliOptions& o) {
  o.device.name = value;
  return !value.empty();
}

bool set_band(const std::string& value, CliOptions& o) {
  unsigned rows = 0;
  if (!parse_band_rows(value, rows)) return false;
  o.device.band_rows = rows;
  return true;
}

std::string check_preparation(CliOptions& o) { return check_preparation_request(o); }

// Runs after the general check has settled the format.
std::string check_device(CliOptions& o) { return check_device_request(o, o.output); }

// clang-format off
constexpr CliOption kPreparationRows[] = {
  // long        short  argument  help
  {"size",       0,   "WxH",    "fit the picture to W x H pixels first; Wx or xH keeps its aspect",
   set_size, "--size is WxH, Wx or xH, each side 1 to 1000000"},
  {"fit",        0,   "FIT",    "contain (default: all of it, centred on the background) |\n"
                                "cover (fills, the centre kept) | stretch",
   set_fit, "--fit must be contain, cover or stretch"},
  {"background", 0,   "COLOUR", "white | black: the margin contain leaves (default white)",
   set_background, "--background must be white or black"},
  {"rotate",     0,   "DEG",    "90 | 180 | 270 degrees clockwise, before the fit",
   set_rotation, "--rotate must be 90, 180 or 270"},
  {"flip",       0,   "DIR",    "h (left to right) | v (upside down), after the rotation",
   set_flip, "--flip must be h or v"},
  {"no-autorotate", 0, nullptr, "keep the stored orientation (default: upright as EXIF says)",
   set_no_autorotate, nullptr},
};

constexpr CliOption kDeviceRows[] = {
  {"preset",     0,   "NAME",   "a library's or a panel's output in one word: format, layout,\n"
                                "polarity, levels or palette, code map, size (--list-presets);\n"
                                "the options given beside it win",
   set_preset, kPresetRefusal},
  {"list-presets", 0, nullptr,  "print the presets and what each sets", nullptr, nullptr, ParseOutcome::kListPresets},
  {"layout",     0,   "LAYOUT", "c and bin: rows-msb (default) | rows-lsb | pages | columns-msb,\n"
                                "1 bit a pixel; 2bpp-msb | 4bpp-msb | planes for --levels and\n"
                                "--palette (planes: two 1-bit pictures, black then colour)",
   set_layout, kLayoutRefusal},
  {"on",         0,   "COLOUR", "black | white: the pixels a set bit stands for\n"
                                "(default black for xbm, escpos and zpl, white for c and bin)",
   set_on, kOnRefusal},
  {"plane-on",   0,   "ON[,ON]", "planes: what a set bit is in plane 0 and plane 1, white\n"
                                "(paper, default) or black (ink); one word for both",
   set_plane_on, kPlaneOnRefusal},
  {"codes",      0,   "LIST",   "2bpp-msb, 4bpp-msb: the code written for each index, index 0\n"
                                "first (0,1,2,3,5,6; default the index itself)",
   set_codes, kCodesRefusal},
  {"name",       0,   "NAME",   "c and xbm: the array's name (default: from the output name,\n"
                                "or the input's with -o -)",
   set_name, kNameRefusal},
  {"band",       0,   "N",      "escpos: rows per raster command, 1..2303 (default 256)",
   set_band, kBandRefusal},
};
// clang-format on

}  // namespace

extern const CliOptionSection kPreparationOptions =
    option_section("Preparation, before the conversion", kPreparationRows, check_preparation);
extern const CliOptionSection kDeviceOptions = option_section("Device formats", kDeviceRows, check_device);

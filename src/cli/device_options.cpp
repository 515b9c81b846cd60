// The command's options for devices: preparing the picture (size, fit, rotation,
// flip) and laying out the device formats' bits (layout, polarity, name, band).
#include "pipeline/conversion_request.h"

#include "cli/option_table.h"
#include "cli/options.h"

namespace {

bool set_size(const std::string& value, CliOptions& o) {
  o.prepare.resize = parse_target_size(value, o.prepare.size) == PreparationError::None;
  return o.prepare.resize;
}

bool set_fit(const std::string& value, CliOptions& o) {
  o.prepare.fit_given = true;
  return parse_fit(value, o.prepare.fit) == PreparationError::None;
}

bool set_background(const std::string& value, CliOptions& o) {
  o.prepare.background_given = true;
  return parse_background(value, o.prepare.white_background) == PreparationError::None;
}

// No rotation is the default, not a value to write: --rotate 0 is most likely a slip.
bool set_rotation(const std::string& value, CliOptions& o) {
  return value != "0" && parse_rotation(value, o.prepare.rotation) == PreparationError::None;
}

bool set_no_autorotate(const std::string&, CliOptions& o) {
  o.prepare.autorotate = false;
  return true;
}

bool set_flip(const std::string& value, CliOptions& o) { return parse_flip(value, o.prepare.flip) == PreparationError::None; }

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
  {"layout",     0,   "LAYOUT", "c and bin: rows-msb (default) | rows-lsb | pages | columns-msb",
   set_layout, "--layout must be rows-msb, rows-lsb, pages or columns-msb"},
  {"on",         0,   "COLOUR", "black | white: the pixels a set bit stands for\n"
                                "(default black for xbm, escpos and zpl, white for c and bin)",
   set_on, "--on must be black or white"},
  {"name",       0,   "NAME",   "c and xbm: the array's name (default: from the output name,\n"
                                "or the input's with -o -)",
   set_name, "--name must not be empty"},
  {"band",       0,   "N",      "escpos: rows per raster command, 1..2303 (default 256)",
   set_band, "--band must be a number from 1 to 2303"},
};
// clang-format on

}  // namespace

extern const CliOptionSection kPreparationOptions =
    option_section("Preparation, before the conversion", kPreparationRows, check_preparation);
extern const CliOptionSection kDeviceOptions = option_section("Device formats", kDeviceRows, check_device);

#include "pipeline/conversion_request.h"

#include "device/device_presets.h"
#include "halftone/colour_palette.h"
#include "halftone/method_descriptors.h"

static_assert(param_descriptor(HalftoneParam::kLevels).min == kMinLevels &&
                  param_descriptor(HalftoneParam::kLevels).max == kMaxLevels,
              "--levels takes what the grey-level converter takes");

void apply_device_preset(ConversionRequest& r) {
  const DevicePreset* p = find_device_preset(r.device.preset);
  if (!p) return;
  if (r.format == kFormatUnset) r.format = parse_format(device_format_info(p->format).name);
  if (!wants_palette(r) && !(r.halftone_given & param_given_bit(HalftoneParam::kLevels))) {
    if (p->palette) {
      r.palette = p->palette;
    } else {
      r.levels = p->count;
    }
  }
  if (!r.prepare.resize && (p->width || p->height)) {
    r.prepare.resize = true;
    r.prepare.size = TargetSize{p->width, p->height};
  }
}

IndexMeaning index_meaning(const ConversionRequest& r) {
  IndexMeaning meaning;
  meaning.count = r.levels;
  if (wants_palette(r)) {
    Palette palette;
    std::string error;
    meaning.count = parse_palette(r.palette, &palette, &error) ? palette.count : 2;
    meaning.palette = r.palette;
  }
  return meaning;
}

DeviceRequest device_request_with_preset(const ConversionRequest& r, DeviceFormat format) {
  DeviceRequest d = r.device;
  d.format = format;
  if (const DevicePreset* p = find_device_preset(r.device.preset)) {
    const bool layouts = (device_format_info(format).options & kTakesLayout) != 0;
    if (!d.layout && layouts) d.layout = p->layout;
    if (!d.on) d.on = p->on;
    // A code map names the codes of its own layout.
    if (d.codes.empty() && p->codes && layouts && d.layout == p->layout) parse_code_map(p->codes, d.codes);
  }
  d.meaning = index_meaning(r);
  return d;
}

DeviceSettings device_settings_for(const ConversionRequest& request, const std::string& target,
                                   const std::string& input) {
  DeviceSettings device;
  resolve_device_request(device_request_with_preset(request, device_format_of(request.format)), target, input, device);
  return device;
}

std::optional<double> request_param(const ConversionRequest& r, HalftoneParam param) {
  switch (param) {
    case HalftoneParam::kDensity: return r.density;
    case HalftoneParam::kInvert: return r.invert;
    case HalftoneParam::kLevels: return r.levels;
    default: return param_value(r.halftone, param);
  }
}

void set_request_param(ConversionRequest& r, HalftoneParam param, double value) {
  switch (param) {
    case HalftoneParam::kDensity: r.density = static_cast<int>(value); break;
    case HalftoneParam::kInvert: r.invert = value != 0; break;
    case HalftoneParam::kLevels: r.levels = static_cast<int>(value); break;
    default: set_param_value(r.halftone, param, value); break;
  }
}

namespace {

const MethodDescriptor& chosen_method(const ConversionRequest& r) {
  return r.method ? halftone_method_info(*r.method) : mode_descriptor(r.mode);
}

// True when the request holds a value for the parameter: given on the command line, or
// set by a front end that fills the fields straight.
bool given(const ConversionRequest& r, const ParamDescriptor& p) {
  if (r.halftone_given & param_given_bit(p.param)) return true;
  if (p.param == HalftoneParam::kPalette) return wants_palette(r);
  if (p.param == HalftoneParam::kLevels) return r.levels != static_cast<int>(p.default_value);
  return false;
}

}  // namespace

std::string check_method_request(const ConversionRequest& request) {
  const ParamDescriptor& levels = param_descriptor(HalftoneParam::kLevels);
  if (request.levels < levels.min || request.levels > levels.max) return halftone_error_text(levels.refusal);
  for (const ParamDescriptor& p : kParamDescriptors) {
    if (!given(request, p) || method_param(chosen_method(request), p.param)) continue;
    // Two levels are every method's own result.
    std::string value;
    if (p.default_for_every_method) {
      if (request.levels == static_cast<int>(p.default_value)) continue;
      value = " " + std::to_string(request.levels);
    }
    const ParamTakers takers = methods_taking(p.param);
    // A preset's levels or palette, not typed: the preset is what to change.
    const bool from_preset = !request.device.preset.empty() && !(request.halftone_given & param_given_bit(p.param));
    return std::string("--") + p.name + value + (from_preset ? " of --preset " + request.device.preset : "") +
           " needs " + takers_phrase(takers) + (takers_named_one_by_one(takers) ? "" : " (--list-methods)");
  }
  if (wants_palette(request)) {
    if (given(request, levels)) return "--levels and --palette don't go together: a palette has its own colours";
    Palette palette;
    std::string error;
    if (!parse_palette(request.palette, &palette, &error)) return error;
    if (request.invert) {
      const bool from_preset =
          !request.device.preset.empty() && !(request.halftone_given & param_given_bit(HalftoneParam::kPalette));
      return levels_error_text(LevelsError::kNoPaletteInvert) +
             (from_preset ? " (--preset " + request.device.preset + " sets one)" : std::string());
    }
  }
  if (!request.method) return "";
  HalftoneParams params = request.halftone;
  params.density = request.density;
  params.invert = request.invert;
  const HalftoneError error = check_halftone_params(*request.method, params);
  return error == HalftoneError::kNone ? "" : halftone_error_text(error);
}

std::string check_preparation_request(const ConversionRequest& request) {
  const Preparation& p = request.prepare;
  if ((p.fit_given || p.background_given) && !p.resize) return "--fit and --background go with --size";
  return "";
}

namespace {

// The options given beside a preset that change what it sets, as written: "--levels 4".
std::string preset_overrides(const ConversionRequest& r) {
  std::string text;
  const auto add = [&text](const std::string& option) { text += (text.empty() ? "" : " ") + option; };
  if (r.halftone_given & param_given_bit(HalftoneParam::kLevels)) add("--levels " + std::to_string(r.levels));
  if (r.halftone_given & param_given_bit(HalftoneParam::kPalette)) add("--palette " + r.palette);
  if (r.device.layout) add(std::string("--layout ") + device_layout_name(*r.device.layout));
  if (!r.device.codes.empty()) add("--codes " + code_map_text(r.device.codes));
  if (r.device.on) add(std::string("--on ") + device_on_name(*r.device.on));
  if (r.device.plane_on[0]) add("--plane-on");
  return text;
}

// What the conversion's indexes are, as the levels and palette refusals name them.
std::string indexes_option(const ConversionRequest& r) {
  if (!wants_palette(r)) return "--levels " + std::to_string(r.levels);
  return "--palette of " + std::to_string(index_meaning(r).count) + " colours";
}

std::string device_refusal(const ConversionRequest& r, DeviceFormat format, DeviceError error) {
  std::string text = device_error_text(error);
  if (error == DeviceError::kTwoIndexesOnly && converts_to_indexes(r)) {
    text = indexes_option(r) + " needs --layout 2bpp-msb, 4bpp-msb or planes (" +
           device_layout_name(device_request_with_preset(r, format).layout.value_or(DeviceLayout::kRowsMsb)) +
           " holds two levels or colours)";
  }
  const std::string overrides = preset_overrides(r);
  if (r.device.preset.empty() || overrides.empty()) return text;
  return "--preset " + r.device.preset + " with " + overrides + ": " + text;
}

}  // namespace

std::string check_device_request(ConversionRequest& request, const std::string& output) {
  DeviceRequest device = request.device;
  if (is_device_format(request.format)) {
    device = device_request_with_preset(request, device_format_of(request.format));
  } else if (request.reads_device) {
    // The options describe the device files read; bin takes every one of them.
    device = device_request_with_preset(request, DeviceFormat::kBin);
  } else {
    if (request.device.on) return "--on applies to the xbm, c, bin, escpos and zpl formats only";
    if (!request.device.codes.empty() || request.device.plane_on[0])
      return std::string(request.device.codes.empty() ? "--plane-on" : "--codes") +
             " applies to the c and bin formats only";
    // A format that takes none of the other options gives their own messages.
    device.format = DeviceFormat::kZpl;
  }
  DeviceSettings settings;
  const DeviceError error = resolve_device_request(device, output, "-", settings);
  if (error != DeviceError::kNone) return device_refusal(request, device.format, error);
  request.device.format = device.format;
  return "";
}

std::string check_output_request(const ConversionRequest& request) {
  if (!converts_to_indexes(request)) return "";
  // c and bin hold indexes in their index layouts: the device check says which.
  if (request.format == kFormatC || request.format == kFormatBin) return "";
  const std::string format = format_name(request.format);
  const bool one_bit =
      request.format == kFormatTiff || request.format == kFormatPbm || is_device_format(request.format);
  if (!wants_palette(request)) {
    if (!one_bit) return "";
    return "--levels " + std::to_string(request.levels) + " needs png, bmp, pgm, ppm, c or bin (" + format +
           " holds black and white only)";
  }
  Palette palette;
  std::string error;
  if (!parse_palette(request.palette, &palette, &error)) return error;
  // Two colours stand for black and white in PBM and the device formats: the darker is black.
  const bool two_colours = request.format == kFormatPbm || is_device_format(request.format);
  std::string holds;
  if (request.format == kFormatTiff) holds = "holds black and white only";
  if (request.format == kFormatPgm) holds = "holds grey levels";
  if (two_colours && palette.count > 2) holds = "holds two colours only";
  if (holds.empty()) return "";
  const std::string colours = two_colours ? "of " + std::to_string(palette.count) + " colours " : "";
  return "--palette " + colours + "needs png, bmp, ppm, c or bin (" + format + " " + holds + ")";
}

std::string check_conversion_request(ConversionRequest& request, const std::string& output) {
  std::string error = check_method_request(request);
  if (error.empty()) error = check_preparation_request(request);
  if (error.empty()) error = check_device_request(request, output);
  if (error.empty()) error = check_output_request(request);
  return error;
}

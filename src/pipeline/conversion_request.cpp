#include "pipeline/conversion_request.h"

#include "halftone/colour_palette.h"
#include "halftone/method_descriptors.h"

static_assert(param_descriptor(HalftoneParam::kLevels).min == kMinLevels &&
                  param_descriptor(HalftoneParam::kLevels).max == kMaxLevels,
              "--levels takes what the grey-level converter takes");

DeviceSettings device_settings_for(const ConversionRequest& request, const std::string& target,
                                   const std::string& input) {
  DeviceSettings device;
  resolve_device_request(request.device, target, input, device);
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
    return std::string("--") + p.name + value + " needs " + takers_phrase(takers) +
           (takers_named_one_by_one(takers) ? "" : " (--list-methods)");
  }
  if (wants_palette(request)) {
    if (given(request, levels)) return "--levels and --palette don't go together: a palette has its own colours";
    Palette palette;
    std::string error;
    if (!parse_palette(request.palette, &palette, &error)) return error;
    if (request.invert) return levels_error_text(LevelsError::kNoPaletteInvert);
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

std::string check_device_request(ConversionRequest& request, const std::string& output) {
  DeviceRequest device = request.device;
  if (!is_device_format(request.format)) {
    if (request.device.on) return "--on applies to the xbm, c, bin, escpos and zpl formats only";
    // A format that takes none of the other options gives their own messages.
    device.format = DeviceFormat::Zpl;
  } else {
    device.format = device_format_of(request.format);
  }
  DeviceSettings settings;
  const DeviceError error = resolve_device_request(device, output, "-", settings);
  if (error != DeviceError::None) return device_error_text(error);
  request.device.format = device.format;
  return "";
}

std::string check_output_request(const ConversionRequest& request) {
  if (!converts_to_indexes(request)) return "";
  const std::string format = format_name(request.format);
  const bool one_bit = request.format == kFormatTiff || request.format == kFormatPbm || is_device_format(request.format);
  if (!wants_palette(request)) {
    if (!one_bit) return "";
    return "--levels " + std::to_string(request.levels) + " needs png, bmp, pgm or ppm (" + format +
           " holds black and white only)";
  }
  Palette palette;
  std::string error;
  if (!parse_palette(request.palette, &palette, &error)) return error;
  // Two colours stand for black and white in PBM and the device formats: the darker is black.
  const bool two_colours = request.format == kFormatPbm || is_device_format(request.format);
  if (request.format == kFormatTiff || request.format == kFormatPgm || (two_colours && palette.count > 2))
    return "--palette " + (two_colours ? "of " + std::to_string(palette.count) + " colours " : std::string()) +
           "needs png, bmp or ppm (" + format +
           (request.format == kFormatPgm ? " holds grey levels)" : request.format == kFormatTiff
                                                                       ? " holds black and white only)"
                                                                       : " holds two colours only)");
  return "";
}

std::string check_conversion_request(ConversionRequest& request, const std::string& output) {
  std::string error = check_method_request(request);
  if (error.empty()) error = check_preparation_request(request);
  if (error.empty()) error = check_device_request(request, output);
  if (error.empty()) error = check_output_request(request);
  return error;
}

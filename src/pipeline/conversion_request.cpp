#include "pipeline/conversion_request.h"

#include "halftone/method_descriptors.h"

DeviceSettings device_settings_for(const ConversionRequest& request, const std::string& target,
                                   const std::string& input) {
  DeviceSettings device;
  resolve_device_request(request.device, target, input, device);
  return device;
}

namespace {

const MethodDescriptor& chosen_method(const ConversionRequest& r) {
  return r.method ? halftone_method_info(*r.method) : mode_descriptor(r.mode);
}

}  // namespace

std::string check_method_request(const ConversionRequest& request) {
  for (const ParamDescriptor& p : kParamDescriptors) {
    if (!(request.halftone_given & param_given_bit(p.param)) || method_param(chosen_method(request), p.param)) continue;
    const ParamTakers takers = methods_taking(p.param);
    return std::string("--") + p.name + " needs " + takers_phrase(takers) +
           (takers_named_one_by_one(takers) ? "" : " (--list-methods)");
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

std::string check_conversion_request(ConversionRequest& request, const std::string& output) {
  std::string error = check_method_request(request);
  if (error.empty()) error = check_preparation_request(request);
  if (error.empty()) error = check_device_request(request, output);
  return error;
}

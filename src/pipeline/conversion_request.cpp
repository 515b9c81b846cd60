#include "pipeline/conversion_request.h"

DeviceSettings device_settings_for(const ConversionRequest& request, const std::string& target,
                                   const std::string& input) {
  DeviceSettings device;
  resolve_device_request(request.device, target, input, device);
  return device;
}

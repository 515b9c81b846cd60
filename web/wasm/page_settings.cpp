#include "page_settings.h"

#include <cstring>
#include <string_view>

#include "cli/options.h"
#include "device/device_presets.h"
#include "halftone/colour_palette.h"
#include "halftone/halftone_params.h"
#include "pipeline/device_option_texts.h"

namespace {

// The options a refusal of the command's check begins with, by their field. The
// fields of the planes' polarities, the code map and the preset are named only when
// their text is refused: a check's refusal that begins with them is about the fields
// together, in the command's words.
const char* const kDeviceOptions[] = {"layout", "on", "name", "band"};

// The field a message of the command's check is about: the option it begins with.
const char* field_of(const std::string& message) {
  for (const ParamDescriptor& p : kParamDescriptors) {
    const std::string option = p.short_name ? std::string("-") + p.short_name : std::string("--") + p.name;
    if (message.compare(0, option.size() + 1, option + " ") == 0) return p.name;
  }
  for (const char* name : kDeviceOptions) {
    if (message.compare(0, std::strlen(name) + 3, std::string("--") + name + " ") == 0) return name;
  }
  return "mode";
}

// A device option's text read by the core's rule into `out`; false when it is not one.
template <class T>
bool read_option(const char* text, bool (*parse)(std::string_view, T&), std::optional<T>& out) {
  if (text == nullptr) return true;
  T value{};
  if (!parse(text, value)) return false;
  out = value;
  return true;
}

// One polarity stands for both planes, as on the command line.
bool parse_planes(std::string_view text, DeviceOn (&on)[2]) {
  if (parse_device_on(text, on[0])) {
    on[1] = on[0];
    return true;
  }
  return parse_plane_on(text, on);
}

// Reads the texts of the request: "" or what is wrong, in the command's words.
PageFailure read_texts(const PageRequest& page, ConversionRequest& request) {
  for (const ParamDescriptor& p : kParamDescriptors) {
    const char* text = page.values[static_cast<size_t>(p.param)];
    if (text == nullptr) continue;  // the core's default, as for an option not given
    if (p.kind == ParamKind::kText) {
      // The palette is the one text: the check reads it and names a bad entry.
      request.palette = text;
      request.halftone_given |= param_given_bit(p.param);
      continue;
    }
    double value = 0;
    const std::string option = p.short_name ? std::string("-") + p.short_name : std::string("--") + p.name;
    if (!parse_param_text(p, text, &value)) return {"setting", param_refusal(p, option) + ": " + text, p.name};
    set_request_param(request, p.param, value);
    if (p.param != HalftoneParam::kDensity && p.param != HalftoneParam::kInvert) {
      request.halftone_given |= param_given_bit(p.param);
    }
  }
  DeviceRequest& device = request.device;
  const auto refused = [](const char* name, const char* refusal, const char* text) {
    return PageFailure{"setting", std::string(refusal) + ": " + text, name};
  };
  if (!read_option(page.layout, parse_device_layout, device.layout)) {
    return refused("layout", kLayoutRefusal, page.layout);
  }
  if (!read_option(page.on, parse_device_on, device.on)) return refused("on", kOnRefusal, page.on);
  if (!read_option(page.band, parse_band_rows, device.band_rows)) return refused("band", kBandRefusal, page.band);
  if (page.plane_on != nullptr) {
    DeviceOn on[2];
    if (!parse_planes(page.plane_on, on)) return refused("plane-on", kPlaneOnRefusal, page.plane_on);
    device.plane_on[0] = on[0];
    device.plane_on[1] = on[1];
  }
  if (page.codes != nullptr && (!parse_code_map(page.codes, device.codes) || device.codes.empty())) {
    return refused("codes", kCodesRefusal, page.codes);
  }
  // The page's fields hold what a preset sets (its chooser fills them): the preset
  // itself names the header's comment and stands in for a field left empty.
  if (page.preset != nullptr) {
    if (!find_device_preset(page.preset)) return refused("preset", kPresetRefusal, page.preset);
    device.preset = page.preset;
    // The levels or palette the chooser filled in are the preset's, as if not typed:
    // its refusals name them as the command names a preset's own.
    const DevicePreset& preset = *find_device_preset(page.preset);
    const unsigned levels = param_given_bit(HalftoneParam::kLevels), palette = param_given_bit(HalftoneParam::kPalette);
    if (preset.palette && request.palette == preset.palette && !(request.halftone_given & levels)) {
      request.halftone_given &= ~palette;
    } else if (!preset.palette && request.levels == preset.count && !(request.halftone_given & palette)) {
      request.halftone_given &= ~levels;
    }
  }
  if (page.name != nullptr) {
    if (*page.name == '\0') return {"setting", kNameRefusal, "name"};
    device.name = page.name;
  }
  return {};
}

}  // namespace

PageFailure read_page_request(const PageRequest& page, const std::string& output, ConversionRequest& request) {
  request = ConversionRequest();
  if (page.kind >= 0 && page.kind < kFirstMethodKind) {
    bool known = false;
    for (const MethodDescriptor& m : method_descriptors()) known = known || m.mode == page.kind;
    if (!known) return {"setting", "unknown mode " + std::to_string(page.kind), "mode"};
    request.mode = page.kind;
  } else if (page.kind >= kFirstMethodKind &&
             static_cast<size_t>(page.kind - kFirstMethodKind) < halftone_methods().size()) {
    request.method = static_cast<HalftoneMethod>(page.kind - kFirstMethodKind);
  } else {
    return {"setting", "unknown mode " + std::to_string(page.kind), "mode"};
  }
  request.format = page.format;
  PageFailure failure = read_texts(page, request);
  if (failed(failure)) return failure;
  const std::string message = check_conversion_request(request, output);
  if (message.empty()) return {};
  // A palette's bad entry is named in the parser's words, which name no option.
  Palette palette;
  std::string palette_error;
  if (wants_palette(request) && !parse_palette(request.palette, &palette, &palette_error) && palette_error == message) {
    return {"setting", message, "palette"};
  }
  return {"setting", message, field_of(message)};
}

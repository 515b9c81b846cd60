#include "method_json.h"

#include <cmath>
#include <cstdio>

#include "device/device_presets.h"
#include "halftone/colour_palette.h"
#include "halftone/method_descriptors.h"
#include "page_settings.h"

namespace {

void append_string(std::string& out, const char* text) {
  if (!text) {
    out += "null";
    return;
  }
  out += '"';
  for (const char* c = text; *c; ++c) {
    if (*c == '"' || *c == '\\') {
      out += '\\';
      out += *c;
    } else if (*c == '\n') {
      out += "\\n";
    } else if (static_cast<unsigned char>(*c) >= 0x20) {
      out += *c;
    }
  }
  out += '"';
}

// Enough digits to read back the same double; JSON has no infinity.
void append_number(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  out += text;
}

// A text's default is none: the empty text.
void append_value(std::string& out, const ParamDescriptor& p, double value) {
  if (p.kind == ParamKind::kText) {
    out += "\"\"";
  } else if (p.kind == ParamKind::kFlag) {
    out += value != 0 ? "true" : "false";
  } else {
    append_number(out, value);
  }
}

const char* type_name(ParamKind kind) {
  switch (kind) {
    case ParamKind::kFlag: return "flag";
    case ParamKind::kWhole: return "whole";
    case ParamKind::kReal: return "real";
    case ParamKind::kText: return "text";
  }
  return "flag";
}

}  // namespace

std::string method_descriptors_json() {
  std::string out = "{\"params\":[";
  for (const ParamDescriptor& p : kParamDescriptors) {
    if (&p != kParamDescriptors) out += ',';
    out += "{\"name\":";
    append_string(out, p.name);
    const std::string option = p.short_name ? std::string("-") + p.short_name : std::string("--") + p.name;
    out += ",\"option\":";
    append_string(out, option.c_str());
    out += ",\"type\":";
    append_string(out, type_name(p.kind));
    out += ",\"min\":";
    append_number(out, p.min);
    out += ",\"max\":";
    append_number(out, p.max);
    out += ",\"step\":";
    append_number(out, p.step);
    out += ",\"default\":";
    append_value(out, p, p.default_value);
    out += ",\"valueName\":";
    append_string(out, p.value_name);
    out += ",\"help\":";
    append_string(out, p.help);
    out += '}';
  }
  out += "],\"methods\":[";
  for (const MethodDescriptor& m : method_descriptors()) {
    if (&m != method_descriptors().begin()) out += ',';
    const int kind = m.family == HalftoneFamily::kThreshold ? m.mode : kFirstMethodKind + static_cast<int>(m.method);
    out += "{\"name\":";
    append_string(out, m.name);
    out += ",\"family\":" + std::to_string(static_cast<int>(m.family)) + ",\"kind\":" + std::to_string(kind);
    out += ",\"description\":";
    append_string(out, m.description);
    out += ",\"params\":{";
    for (const MethodParam& taken : m.params) {
      if (&taken != m.params.begin()) out += ',';
      const ParamDescriptor& p = param_descriptor(taken.param);
      append_string(out, p.name);
      out += ':';
      append_value(out, p, param_default(m, taken.param));
    }
    out += "}}";
  }
  out += "],\"palettes\":[";
  for (const NamedPalette& p : builtin_palettes()) {
    if (&p != builtin_palettes().data()) out += ',';
    out += "{\"name\":";
    append_string(out, p.name);
    out += ",\"colours\":";
    append_string(out, p.colours);
    out += '}';
  }
  out += "],\"presets\":[";
  for (size_t i = 0; i < device_preset_count(); ++i) {
    const DevicePreset& p = device_preset(i);
    const DeviceFormatInfo& format = device_format_info(p.format);
    if (i) out += ',';
    out += "{\"name\":";
    append_string(out, p.name);
    out += ",\"help\":";
    append_string(out, p.help);
    out += ",\"settings\":";
    append_string(out, device_preset_settings_text(p).c_str());
    out += ",\"format\":";
    append_string(out, format.name);
    out += ",\"layout\":";
    append_string(out, (format.options & kTakesLayout) ? device_layout_name(p.layout) : nullptr);
    out += ",\"on\":";
    append_string(out, device_on_name(p.on));
    out += ",\"count\":" + std::to_string(p.count) + ",\"palette\":";
    append_string(out, p.palette);
    out += ",\"codes\":";
    append_string(out, p.codes);
    out += ",\"width\":" + std::to_string(p.width) + ",\"height\":" + std::to_string(p.height) + '}';
  }
  return out + "]}";
}

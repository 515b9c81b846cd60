#include "halftone/halftone_params.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// How the texts name a parameter: the general ones by their name, the others as the
// command's option.
std::string called(const ParamDescriptor& p) {
  return (methods_taking(p.param).every_method ? std::string("the ") : std::string("--")) + p.name;
}

std::string refusal_text(const ParamDescriptor& p) {
  if (p.kind == ParamKind::kText) return std::string("--") + p.name + " needs " + takers_phrase(methods_taking(p.param));
  if (p.kind == ParamKind::kFlag) return std::string("--") + p.name + " needs " + takers_phrase(methods_taking(p.param));
  if (std::isinf(p.min) && std::isinf(p.max)) return called(p) + " must be a number";
  return called(p) + " must be " + param_number_text(p.min) + ".." + param_number_text(p.max);
}

bool in_range(const ParamDescriptor& p, double value) {
  return std::isfinite(value) && value >= p.min && value <= p.max;
}

// The number of decimal digits of a whole number's largest value: longer text is refused
// before it is read, so no value overflows.
size_t digits_of(double max) {
  size_t digits = 1;
  for (double v = max; v >= 10; v /= 10) ++digits;
  return digits;
}

}  // namespace

std::optional<double> param_value(const HalftoneParams& params, HalftoneParam param) {
  switch (param) {
    case HalftoneParam::kDensity: return params.density;
    case HalftoneParam::kInvert: return params.invert;
    case HalftoneParam::kSerpentine: return params.serpentine;
    case HalftoneParam::kLinear: return params.linear;
    case HalftoneParam::kRadius: return params.radius;
    case HalftoneParam::kK: return params.k;
    case HalftoneParam::kPercent: return params.percent;
    // What the result holds is the request's, not the method's (conversion_request.h).
    case HalftoneParam::kLevels:
    case HalftoneParam::kPalette: return std::nullopt;
  }
  return std::nullopt;
}

void set_param_value(HalftoneParams& params, HalftoneParam param, double value) {
  switch (param) {
    case HalftoneParam::kDensity: params.density = static_cast<int>(value); break;
    case HalftoneParam::kInvert: params.invert = value != 0; break;
    case HalftoneParam::kSerpentine: params.serpentine = value != 0; break;
    case HalftoneParam::kLinear: params.linear = value != 0; break;
    case HalftoneParam::kRadius: params.radius = static_cast<int>(value); break;
    case HalftoneParam::kK: params.k = value; break;
    case HalftoneParam::kPercent: params.percent = static_cast<int>(value); break;
    case HalftoneParam::kLevels:
    case HalftoneParam::kPalette: break;
  }
}

HalftoneError check_halftone_params(HalftoneMethod method, const HalftoneParams& params) {
  bool known = false;
  for (const MethodDescriptor& m : halftone_methods()) known = known || m.method == method;
  if (!known) return HalftoneError::kUnknownMethod;
  // Every value is checked, taken or not: the struct always holds one. An unset k is the method's.
  for (const ParamDescriptor& p : kParamDescriptors) {
    const std::optional<double> value = param_value(params, p.param);
    if (p.kind != ParamKind::kFlag && value && !in_range(p, *value)) return p.refusal;
  }
  const MethodDescriptor& m = halftone_method_info(method);
  for (const ParamDescriptor& p : kParamDescriptors) {
    if (p.kind == ParamKind::kFlag && param_value(params, p.param) != 0.0 && !method_param(m, p.param) &&
        p.refusal != HalftoneError::kNone)
      return p.refusal;
  }
  return HalftoneError::kNone;
}

const char* halftone_error_text(HalftoneError error) {
  // Made once from the descriptors; a parameter's refusal is its own text.
  struct Texts {
    std::string of_param[kParamCount];
  };
  static const Texts texts = [] {
    Texts t;
    for (size_t i = 0; i < kParamCount; ++i) t.of_param[i] = refusal_text(kParamDescriptors[i]);
    return t;
  }();
  if (error == HalftoneError::kNone) return "no error";
  if (error == HalftoneError::kUnknownMethod) return "unknown method (--list-methods lists them)";
  for (size_t i = 0; i < kParamCount; ++i)
    if (kParamDescriptors[i].refusal == error) return texts.of_param[i].c_str();
  return "unknown error";
}

std::string param_number_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

bool parse_param_text(const ParamDescriptor& p, const char* text, double* value) {
  if (!text) return false;
  switch (p.kind) {
    case ParamKind::kFlag:
      if (*text) return false;
      *value = 1;
      return true;
    case ParamKind::kWhole: {
      const size_t length = std::strlen(text);
      if (length == 0 || length > digits_of(p.max)) return false;
      for (const char* c = text; *c; ++c)
        if (!std::isdigit(static_cast<unsigned char>(*c))) return false;
      const double number = std::atoi(text);
      if (!in_range(p, number)) return false;
      *value = number;
      return true;
    }
    case ParamKind::kReal: {
      if (!*text || std::isspace(static_cast<unsigned char>(*text))) return false;
      char* end = nullptr;
      errno = 0;
      const double number = std::strtod(text, &end);
      if (*end != '\0' || errno == ERANGE || !in_range(p, number)) return false;
      *value = number;
      return true;
    }
    case ParamKind::kText: return false;  // not a number: the request keeps the text
  }
  return false;
}

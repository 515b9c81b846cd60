#include "page_settings.h"

#include <string>

#include "cli/options.h"
#include "halftone/halftone_params.h"

const MethodDescriptor* method_of_kind(int kind) {
  if (kind >= 0 && kind < kFirstMethodKind) {
    for (const MethodDescriptor& m : method_descriptors()) {
      if (m.family == HalftoneFamily::kThreshold && m.mode == kind) return &m;
    }
    return nullptr;
  }
  const int index = kind - kFirstMethodKind;
  if (index < 0 || static_cast<size_t>(index) >= halftone_methods().size()) return nullptr;
  return &halftone_methods()[static_cast<size_t>(index)];
}

PageFailure read_page_settings(const PageRequest& request, PageSettings& settings) {
  const MethodDescriptor* method = method_of_kind(request.kind);
  if (method == nullptr) return {"setting", "unknown mode " + std::to_string(request.kind), "mode"};
  settings = PageSettings();
  settings.kind = request.kind;
  for (const ParamDescriptor& p : kParamDescriptors) {
    const char* text = request.values[static_cast<size_t>(p.param)];
    const std::string option = p.short_name ? std::string("-") + p.short_name : std::string("--") + p.name;
    if (text == nullptr) continue;  // the core's default, as for an option not given
    if (method_param(*method, p.param) == nullptr) {
      return {"setting", option + " is not an option of " + method->name, p.name};
    }
    double value = 0;
    if (!parse_param_text(p, text, &value)) return {"setting", param_refusal(p, option) + ": " + text, p.name};
    set_param_value(settings.params, p.param, value);
  }
  if (method->family != HalftoneFamily::kThreshold) {
    const HalftoneError error = check_halftone_params(method->method, settings.params);
    if (error != HalftoneError::kNone) return halftone_failure(error);
  }
  return {};
}

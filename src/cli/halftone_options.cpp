// The options of the halftoning methods (-m floyd-steinberg and the others): a row for
// each parameter the methods take beyond the general ones, made from the method
// descriptors with its setter, help and refusals, and the check that each option given
// applies to the method chosen.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cli/option_table.h"
#include "cli/options.h"
#include "halftone/colour_palette.h"

namespace {

// Help text wider than this puts its "(default ...)" on a line of its own.
constexpr size_t kHelpWidth = 64;

// A row's setter is a plain function: the compiler makes one for each parameter.
template <size_t P>
bool set_param(const std::string& value, CliOptions& o) {
  constexpr HalftoneParam param = static_cast<HalftoneParam>(P);
  o.halftone_given |= param_given_bit(param);
  if constexpr (param_descriptor(param).kind == ParamKind::kText) {
    static_assert(param == HalftoneParam::kPalette, "the palette is the one text a request holds");
    o.palette = value;  // read by the check, which names a bad entry
    return true;
  }
  double number = 0;
  if (!parse_param_text(param_descriptor(param), value.c_str(), &number)) return false;
  set_request_param(o, param, number);
  return true;
}

template <size_t... P>
constexpr std::array<OptionSetter, sizeof...(P)> param_setters(std::index_sequence<P...>) {
  return {{&set_param<P>...}};
}

constexpr std::array<OptionSetter, kParamCount> kSetters = param_setters(std::make_index_sequence<kParamCount>());

// The methods that take a parameter, before its help: "bradley, sauvola, niblack: ",
// "letter, error diffusion: ".
std::string help_prefix(const ParamTakers& takers) {
  if (takers.every_halftoning) return "";
  std::vector<std::string> names;
  if (takers_named_one_by_one(takers)) {
    for (const MethodDescriptor* m : takers.methods) names.push_back(m->name);
  } else {
    for (const MethodDescriptor* m : takers.singles) names.push_back(m->name);
    for (const FamilyDescriptor* f : takers.families) names.push_back(f->name);
  }
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text + ": ";
}

// "(default 7)", or each method's own where they differ: "(default 0.2, -0.2)".
std::string defaults_text(HalftoneParam param, const ParamTakers& takers) {
  std::vector<double> defaults;
  for (const MethodDescriptor* m : takers.methods) {
    const double value = param_default(*m, param);
    if (std::find(defaults.begin(), defaults.end(), value) == defaults.end()) defaults.push_back(value);
  }
  std::string text = "(default ";
  for (size_t i = 0; i < defaults.size(); ++i) text += (i ? ", " : "") + param_number_text(defaults[i]);
  return text + ")";
}

std::string help_text(const ParamDescriptor& p) {
  const ParamTakers takers = methods_taking(p.param);
  const std::string prefix = help_prefix(takers);
  // A long prefix stands on a line of its own.
  const std::string help = p.help;
  const bool apart = !prefix.empty() && prefix.size() + help.substr(0, help.find('\n')).size() > kHelpWidth;
  std::string text = (apart ? prefix.substr(0, prefix.size() - 1) + "\n" : prefix) + help;
  if (p.kind == ParamKind::kFlag || p.kind == ParamKind::kText) return text;
  const std::string defaults = defaults_text(p.param, takers);
  const size_t last_line = text.size() - (text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
  return text + (last_line + 1 + defaults.size() > kHelpWidth ? "\n" : " ") + defaults;
}

// The rows, made once: --list-methods, --list-palettes, then a row for every parameter
// that is not a general option (density and invert are -t and -i).
struct HalftoneRows {
  std::string help[kParamCount], invalid[kParamCount];
  CliOption rows[2 + kParamCount];
  size_t count = 0;

  HalftoneRows() {
    CliOption& list = rows[count++];
    list.long_name = "list-methods";
    list.help = "print every method -m takes, a line on each";
    list.outcome = ParseOutcome::kListMethods;
    CliOption& palettes = rows[count++];
    palettes.long_name = "list-palettes";
    palettes.help = "print the built-in palettes and their colours";
    palettes.outcome = ParseOutcome::kListPalettes;
    for (const ParamDescriptor& p : kParamDescriptors) {
      if (methods_taking(p.param).every_method) continue;
      const size_t i = static_cast<size_t>(p.param);
      help[i] = help_text(p);
      CliOption& row = rows[count++];
      row.long_name = p.name;
      row.argument = p.value_name;
      row.help = help[i].c_str();
      row.set = kSetters[i];
      if (p.kind == ParamKind::kWhole || p.kind == ParamKind::kReal) {
        invalid[i] = param_refusal(p, std::string("--") + p.name);
        row.invalid = invalid[i].c_str();
      }
    }
  }
};

const HalftoneRows kRows;

// Every halftoning option given applies to the method, and the core takes the whole;
// the levels or palette suit the format the general check settled.
std::string check_halftone(CliOptions& o) {
  const std::string error = check_method_request(o);
  return error.empty() ? check_output_request(o) : error;
}

}  // namespace

extern const CliOptionSection kHalftoneOptions{"Halftoning options (with -m METHOD), grey levels and palettes",
                                               kRows.rows, kRows.count, check_halftone};

std::string param_refusal(const ParamDescriptor& p, const std::string& option) {
  if (p.kind == ParamKind::kReal && std::isinf(p.min) && std::isinf(p.max)) return option + " must be a number";
  return option + (p.kind == ParamKind::kWhole ? " must be a whole number from " : " must be a number from ") +
         param_number_text(p.min) + " to " + param_number_text(p.max);
}

std::string method_list_text() {
  size_t width = 0;
  for (const MethodDescriptor& m : method_descriptors()) width = std::max(width, std::string(m.name).size());
  std::string text;
  for (const MethodDescriptor& m : method_descriptors()) {
    text += m.name + std::string(width + 2 - std::string(m.name).size(), ' ');
    // A description's further lines are indented to its column.
    for (const char* c = m.description; *c; ++c) text += *c == '\n' ? "\n" + std::string(width + 2, ' ') : std::string(1, *c);
    text += "\n";
  }
  return text;
}

std::string palette_list_text() {
  size_t width = 0;
  for (const NamedPalette& p : builtin_palettes()) width = std::max(width, std::strlen(p.name));
  std::string text;
  for (const NamedPalette& p : builtin_palettes())
    text += p.name + std::string(width + 2 - std::strlen(p.name), ' ') + p.colours + "\n";
  return text;
}

// The options of the halftoning methods (-m floyd-steinberg and the others): their
// rows, setters and the check that each option given applies to the method chosen.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "cli/option_table.h"
#include "cli/options.h"

namespace {

enum HalftoneOption : unsigned { kSerpentine = 1, kLinear = 2, kRadius = 4, kK = 8, kPercent = 16 };

// A whole decimal number of at most `digits` digits, from `low` to `high`.
bool parse_count(const std::string& text, size_t digits, int low, int high, int& out) {
  if (text.empty() || text.size() > digits) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  const int value = std::atoi(text.c_str());
  if (value < low || value > high) return false;
  out = value;
  return true;
}

bool set_serpentine(const std::string&, CliOptions& o) {
  o.halftone.serpentine = true;
  o.halftone_given |= kSerpentine;
  return true;
}

bool set_linear(const std::string&, CliOptions& o) {
  o.halftone.linear = true;
  o.halftone_given |= kLinear;
  return true;
}

bool set_radius(const std::string& value, CliOptions& o) {
  o.halftone_given |= kRadius;
  return parse_count(value, 5, 1, kMaxHalftoneRadius, o.halftone.radius);
}

bool set_k(const std::string& value, CliOptions& o) {
  o.halftone_given |= kK;
  double k = 0;
  if (parse_halftone_k(value.c_str(), &k) != HalftoneError::kNone) return false;
  o.halftone.k = k;
  return true;
}

bool set_percent(const std::string& value, CliOptions& o) {
  o.halftone_given |= kPercent;
  return parse_count(value, 3, 0, 100, o.halftone.percent);
}

bool is_family(const CliOptions& o, HalftoneFamily family) {
  return o.method && halftone_method_info(*o.method).family == family;
}

// Which methods each option applies to, and what is said when it does not.
struct Applies {
  unsigned option;
  bool (*applies)(const CliOptions&);
  const char* refusal;
};

const Applies kApplies[] = {
    {kSerpentine, [](const CliOptions& o) { return is_family(o, HalftoneFamily::kErrorDiffusion); },
     "--serpentine needs an error-diffusion method (--list-methods)"},
    {kLinear, [](const CliOptions& o) { return o.method.has_value(); },
     "--linear needs a halftoning method (--list-methods)"},
    {kRadius, [](const CliOptions& o) { return is_family(o, HalftoneFamily::kLocalThreshold); },
     "--radius needs bradley, sauvola or niblack"},
    {kK,
     [](const CliOptions& o) {
       return o.method == HalftoneMethod::kSauvola || o.method == HalftoneMethod::kNiblack;
     },
     "--k needs sauvola or niblack"},
    {kPercent, [](const CliOptions& o) { return o.method == HalftoneMethod::kBradley; }, "--percent needs bradley"},
};

// Every halftoning option given applies to the method, and the core takes the whole.
std::string check_halftone(CliOptions& o) {
  for (const Applies& a : kApplies) {
    if ((o.halftone_given & a.option) && !a.applies(o)) return a.refusal;
  }
  if (!o.method) return "";
  HalftoneParams params = o.halftone;
  params.density = o.density;
  params.invert = o.invert;
  const HalftoneError error = check_halftone_params(*o.method, params);
  return error == HalftoneError::kNone ? "" : halftone_error_text(error);
}

// clang-format off
constexpr CliOption kHalftoneRows[] = {
  // long          short argument help
  {"list-methods", 0,   nullptr, "print every method -m takes, a line on each",
   nullptr, nullptr, ParseOutcome::ListMethods},
  {"serpentine",   0,   nullptr, "error diffusion: odd rows run right to left", set_serpentine, nullptr},
  {"linear",       0,   nullptr, "halftone in linear light (the sRGB curve undone)", set_linear, nullptr},
  {"radius",       0,   "N",     "bradley, sauvola, niblack: a window of 2N+1 pixels square\n(default 7)",
   set_radius, "--radius must be a whole number from 1 to 10000"},
  {"k",            0,   "X",     "sauvola, niblack: the deviation's weight (default 0.2, -0.2)",
   set_k, "--k must be a number"},
  {"percent",      0,   "P",     "bradley: black when P percent below the window's mean\n(default 15)",
   set_percent, "--percent must be a whole number from 0 to 100"},
};
// clang-format on

// The three modes of the program, listed with the methods.
const struct {
  const char* name;
  const char* description;
} kModes[] = {
    {"letter", "a fixed threshold at the density, for text and line art (the default)"},
    {"hard", "a threshold drawn at random within 64 levels of the density"},
    {"soft", "a threshold drawn at random within 127 levels of the density"},
};

}  // namespace

extern const CliOptionSection kHalftoneOptions =
    option_section("Halftoning options (with -m METHOD)", kHalftoneRows, check_halftone);

std::string method_list_text() {
  size_t width = 0;
  for (const HalftoneMethodInfo& m : halftone_methods()) width = std::max(width, std::string(m.name).size());
  // A description's further lines are indented to its column.
  const auto line = [&](const char* name, const char* description) {
    std::string text = std::string(name) + std::string(width + 2 - std::string(name).size(), ' ');
    for (const char* c = description; *c; ++c) text += *c == '\n' ? "\n" + std::string(width + 2, ' ') : std::string(1, *c);
    return text + "\n";
  };
  std::string text;
  for (const auto& m : kModes) text += line(m.name, m.description);
  for (const HalftoneMethodInfo& m : halftone_methods()) text += line(m.name, m.description);
  return text;
}

#include "halftone/method_descriptors.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using P = HalftoneParam;

template <size_t N>
constexpr TableSpan<MethodParam> params_of(const MethodParam (&list)[N]) {
  return {list, N};
}

// Grey levels: the nearest level (letter), error diffusion and ordered dither; colour
// palettes: the nearest colour and error diffusion. The drawn thresholds and the local
// ones give black and white only.
constexpr MethodParam kLetterParams[] = {{P::kDensity}, {P::kInvert}, {P::kLevels}, {P::kPalette}};
constexpr MethodParam kModeParams[] = {{P::kDensity}, {P::kInvert}};
constexpr MethodParam kDiffusionParams[] = {{P::kDensity}, {P::kInvert}, {P::kSerpentine},
                                            {P::kLinear},  {P::kLevels}, {P::kPalette}};
constexpr MethodParam kOrderedParams[] = {{P::kDensity}, {P::kInvert}, {P::kLinear}, {P::kLevels}};
constexpr MethodParam kBradleyParams[] = {{P::kDensity}, {P::kInvert}, {P::kLinear}, {P::kRadius}, {P::kPercent}};
constexpr MethodParam kSauvolaParams[] = {{P::kDensity}, {P::kInvert}, {P::kLinear}, {P::kRadius}, {P::kK}};
constexpr MethodParam kNiblackParams[] = {{P::kDensity}, {P::kInvert}, {P::kLinear}, {P::kRadius}, {P::kK, -0.2}};

constexpr HalftoneMethod kNoMethod = HalftoneMethod::kFloydSteinberg;  // a mode's unused method
constexpr int kNoMode = -1;

using F = HalftoneFamily;
using M = HalftoneMethod;

// The modes first, in ConversionMode order, then the halftoning methods in HalftoneMethod order.
constexpr MethodDescriptor kMethods[] = {
    {"letter", F::kThreshold, kNoMethod, 0,
     "a fixed threshold at the density, for text and line art (the default);\n"
     "with --levels or --palette, the nearest level or colour",
     params_of(kLetterParams)},
    {"hard", F::kThreshold, kNoMethod, 1, "a threshold drawn at random within 64 levels of the density",
     params_of(kModeParams)},
    {"soft", F::kThreshold, kNoMethod, 2, "a threshold drawn at random within 127 levels of the density",
     params_of(kModeParams)},
    {"floyd-steinberg", F::kErrorDiffusion, M::kFloydSteinberg, kNoMode,
     "error diffusion to 4 neighbours (Floyd-Steinberg)", params_of(kDiffusionParams)},
    {"jarvis", F::kErrorDiffusion, M::kJarvis, kNoMode,
     "error diffusion to 12 neighbours over 3 rows (Jarvis, Judice, Ninke)", params_of(kDiffusionParams)},
    {"stucki", F::kErrorDiffusion, M::kStucki, kNoMode,
     "error diffusion to 12 neighbours over 3 rows, sharper (Stucki)", params_of(kDiffusionParams)},
    {"burkes", F::kErrorDiffusion, M::kBurkes, kNoMode, "error diffusion to 7 neighbours over 2 rows (Burkes)",
     params_of(kDiffusionParams)},
    {"sierra", F::kErrorDiffusion, M::kSierra, kNoMode, "error diffusion to 10 neighbours over 3 rows (Sierra)",
     params_of(kDiffusionParams)},
    {"sierra2", F::kErrorDiffusion, M::kSierra2, kNoMode,
     "error diffusion to 7 neighbours over 2 rows (two-row Sierra)", params_of(kDiffusionParams)},
    {"sierra-lite", F::kErrorDiffusion, M::kSierraLite, kNoMode, "error diffusion to 3 neighbours (Sierra Lite)",
     params_of(kDiffusionParams)},
    {"atkinson", F::kErrorDiffusion, M::kAtkinson, kNoMode,
     "error diffusion of three quarters of the error to 6 neighbours (Atkinson)", params_of(kDiffusionParams)},
    {"bayer2", F::kOrdered, M::kBayer2, kNoMode, "ordered dither, 2 x 2 Bayer matrix", params_of(kOrderedParams)},
    {"bayer4", F::kOrdered, M::kBayer4, kNoMode, "ordered dither, 4 x 4 Bayer matrix", params_of(kOrderedParams)},
    {"bayer8", F::kOrdered, M::kBayer8, kNoMode, "ordered dither, 8 x 8 Bayer matrix", params_of(kOrderedParams)},
    {"bayer16", F::kOrdered, M::kBayer16, kNoMode, "ordered dither, 16 x 16 Bayer matrix",
     params_of(kOrderedParams)},
    {"blue-noise", F::kOrdered, M::kBlueNoise, kNoMode,
     "ordered dither with a 64 x 64 blue-noise array (no visible pattern)", params_of(kOrderedParams)},
    {"bradley", F::kLocalThreshold, M::kBradley, kNoMode,
     "local threshold for text: black when --percent below the window's mean", params_of(kBradleyParams)},
    {"sauvola", F::kLocalThreshold, M::kSauvola, kNoMode,
     "local threshold for text from the window's mean and deviation (k 0.2)", params_of(kSauvolaParams)},
    {"niblack", F::kLocalThreshold, M::kNiblack, kNoMode,
     "local threshold: the window's mean plus k times its deviation (k -0.2);\n"
     "a blank white page comes out all black: the rule's own result, not a fault",
     params_of(kNiblackParams)},
};

constexpr size_t kMethodCount = sizeof kMethods / sizeof kMethods[0];
constexpr size_t kModeCount = 3;

constexpr bool method_table_in_order() {
  for (size_t i = 0; i < kMethodCount; ++i) {
    const MethodDescriptor& m = kMethods[i];
    if (i < kModeCount ? m.family != F::kThreshold || m.mode != static_cast<int>(i)
                       : m.family == F::kThreshold || static_cast<size_t>(m.method) != i - kModeCount)
      return false;
    for (size_t p = 1; p < m.params.count; ++p)
      if (m.params.first[p].param <= m.params.first[p - 1].param) return false;
  }
  return true;
}
static_assert(method_table_in_order(), "kMethods: the modes in their order, then HalftoneMethod's order");

constexpr FamilyDescriptor kFamilies[] = {
    {F::kErrorDiffusion, "error diffusion", "an error-diffusion method"},
    {F::kOrdered, "ordered dither", "an ordered-dither method"},
    {F::kLocalThreshold, "local threshold", "a local-threshold method"},
    {F::kThreshold, "letter, hard, soft", "letter, hard or soft"},
};

// "a, b or c"
std::string joined(const std::vector<const MethodDescriptor*>& methods, const char* last) {
  std::string text;
  for (size_t i = 0; i < methods.size(); ++i) {
    if (i) text += i + 1 == methods.size() ? last : ", ";
    text += methods[i]->name;
  }
  return text;
}

}  // namespace

TableSpan<MethodDescriptor> method_descriptors() { return {kMethods, kMethodCount}; }

TableSpan<MethodDescriptor> halftone_methods() { return {kMethods + kModeCount, kMethodCount - kModeCount}; }

const MethodDescriptor& halftone_method_info(HalftoneMethod method) {
  const size_t i = static_cast<size_t>(method);
  return i < kMethodCount - kModeCount ? kMethods[kModeCount + i] : kMethods[kModeCount];
}

const MethodDescriptor& mode_descriptor(int mode) {
  return kMethods[mode >= 0 && static_cast<size_t>(mode) < kModeCount ? mode : 0];
}

const FamilyDescriptor& family_descriptor(HalftoneFamily family) {
  for (const FamilyDescriptor& f : kFamilies)
    if (f.family == family) return f;
  return kFamilies[0];
}

const MethodDescriptor* find_method(const char* name) {
  if (!name) return nullptr;
  for (const MethodDescriptor& m : kMethods)
    if (std::strcmp(m.name, name) == 0) return &m;
  return nullptr;
}

std::optional<HalftoneMethod> parse_method_name(const char* name) {
  const MethodDescriptor* m = find_method(name);
  if (!m || m->family == F::kThreshold) return std::nullopt;
  return m->method;
}

const MethodParam* method_param(const MethodDescriptor& method, HalftoneParam param) {
  for (const MethodParam& p : method.params)
    if (p.param == param) return &p;
  return nullptr;
}

double param_default(const MethodDescriptor& method, HalftoneParam param) {
  const MethodParam* p = method_param(method, param);
  return p && !std::isnan(p->default_value) ? p->default_value : param_descriptor(param).default_value;
}

ParamTakers methods_taking(HalftoneParam param) {
  ParamTakers t;
  for (const MethodDescriptor& m : kMethods)
    if (method_param(m, param)) t.methods.push_back(&m);
  // Whole families where every member takes it; the families follow the order of their
  // first members, each single method stands where it comes.
  for (const MethodDescriptor* m : t.methods) {
    size_t members = 0, taking = 0;
    for (const MethodDescriptor& other : kMethods) {
      if (other.family != m->family) continue;
      ++members;
      taking += method_param(other, param) != nullptr;
    }
    const FamilyDescriptor* family = &family_descriptor(m->family);
    if (members > 1 && taking == members) {
      if (std::find(t.families.begin(), t.families.end(), family) == t.families.end()) t.families.push_back(family);
    } else {
      t.singles.push_back(m);
    }
  }
  size_t halftoning = 0;
  for (const MethodDescriptor* m : t.methods) halftoning += m->family != F::kThreshold;
  t.every_method = t.methods.size() == kMethodCount;
  t.every_halftoning = halftoning == t.methods.size() && halftoning == kMethodCount - kModeCount;
  return t;
}

bool takers_named_one_by_one(const ParamTakers& t) {
  return t.methods.size() <= 3 || (t.families.empty() && !t.every_halftoning);
}

std::string takers_phrase(const ParamTakers& t) {
  if (takers_named_one_by_one(t)) return joined(t.methods, " or ");
  if (t.every_halftoning) return "a halftoning method";
  std::vector<std::string> parts;
  for (const MethodDescriptor* m : t.singles) parts.push_back(m->name);
  for (const FamilyDescriptor* f : t.families) parts.push_back(f->phrase);
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) text += (i ? (i + 1 == parts.size() ? " or " : ", ") : "") + parts[i];
  return text;
}

// The conversion methods as data: each method's name, family, a line on what it does
// and every parameter it takes; each parameter's kind, range, default and help. The
// command's options, their checks and --help, and the page's fields are all made from
// these tables, so a parameter or a method is written here once.
#ifndef QVX_METHOD_DESCRIPTORS_H
#define QVX_METHOD_DESCRIPTORS_H

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/density.h"

enum class HalftoneMethod : int {
  kFloydSteinberg,
  kJarvis,
  kStucki,
  kBurkes,
  kSierra,
  kSierra2,
  kSierraLite,
  kAtkinson,
  kBayer2,
  kBayer4,
  kBayer8,
  kBayer16,
  kBlueNoise,
  kBradley,
  kSauvola,
  kNiblack,
};

// The page numbers the families in this order. The threshold family is the program's
// own modes (letter, hard, soft); every other family is a halftoning method.
enum class HalftoneFamily { kErrorDiffusion, kOrdered, kLocalThreshold, kThreshold };

enum class ParamKind { kFlag, kWhole, kReal, kText };

// Every parameter a method can take, in the order of kParamDescriptors.
// Levels and palette choose what the result holds: grey levels or a palette's colours
// instead of black and white.
enum class HalftoneParam { kDensity, kInvert, kSerpentine, kLinear, kRadius, kK, kPercent, kLevels, kPalette };

// What check_halftone_params finds wrong.
enum class HalftoneError {
  kNone,
  kUnknownMethod,
  kBadDensity,
  kBadRadius,
  kBadK,
  kBadPercent,
  kNoScanDirection,  // serpentine with a method that has no scan direction
  kBadLevels,
};

struct ParamDescriptor {
  HalftoneParam param;
  const char* name;        // the command's long option without its dashes; the page's field
  char short_name;         // the command's one-letter option (-t), or 0
  ParamKind kind;
  double min, max;         // a number's range (a real's may be infinite); a flag's 0 and 1
  double step;             // what the page's field steps by: 1 for whole numbers
  double default_value;    // for the methods that don't give their own
  const char* value_name;  // the value in --help (N, X, P); nullptr for a flag
  const char* help;        // a line on what it does, in the words of --help
  HalftoneError refusal;   // a value out of range, or a flag set for a method without it
  // Every method gives the default's result, so a method that does not take the
  // parameter still accepts its default (--levels 2 is black and white).
  bool default_for_every_method = false;
};

constexpr double kAnyNumber = std::numeric_limits<double>::infinity();

inline constexpr ParamDescriptor kParamDescriptors[] = {
    {HalftoneParam::kDensity, "density", 't', ParamKind::kWhole, kDensityMin, kDensityMax, 1, kDensityDefault, "N",
     "threshold",
     HalftoneError::kBadDensity},
    // Every method takes invert, so nothing refuses it.
    {HalftoneParam::kInvert, "invert", 'i', ParamKind::kFlag, 0, 1, 1, 0, nullptr,
     "white for dark pixels, black for light ones", HalftoneError::kNone},
    {HalftoneParam::kSerpentine, "serpentine", 0, ParamKind::kFlag, 0, 1, 1, 0, nullptr, "odd rows run right to left",
     HalftoneError::kNoScanDirection},
    // Every halftoning method takes linear, and the modes are refused it by the command.
    {HalftoneParam::kLinear, "linear", 0, ParamKind::kFlag, 0, 1, 1, 0, nullptr,
     "halftone in linear light (the sRGB curve undone)", HalftoneError::kNone},
    {HalftoneParam::kRadius, "radius", 0, ParamKind::kWhole, 1, 10000, 1, 7, "N", "a window of 2N+1 pixels square",
     HalftoneError::kBadRadius},
    {HalftoneParam::kK, "k", 0, ParamKind::kReal, -kAnyNumber, kAnyNumber, 0.05, 0.2, "X", "the deviation's weight",
     HalftoneError::kBadK},
    {HalftoneParam::kPercent, "percent", 0, ParamKind::kWhole, 0, 100, 1, 15, "P",
     "black when P percent below the window's mean", HalftoneError::kBadPercent},
    {HalftoneParam::kLevels, "levels", 0, ParamKind::kWhole, 2, 16, 1, 2, "N",
     "2..16 grey levels, black to white", HalftoneError::kBadLevels, true},
    // A text: a built-in palette's name or colours "#rrggbb,#rrggbb,..." (colour_palette.h).
    {HalftoneParam::kPalette, "palette", 0, ParamKind::kText, 0, 0, 0, 0, "COLOURS",
     "a palette of 2..16 colours: a name\n(--list-palettes) or #rrggbb,#rrggbb,...", HalftoneError::kNone},
};

constexpr size_t kParamCount = sizeof kParamDescriptors / sizeof kParamDescriptors[0];

constexpr bool param_table_in_order() {
  for (size_t i = 0; i < kParamCount; ++i)
    if (static_cast<size_t>(kParamDescriptors[i].param) != i) return false;
  return true;
}
static_assert(param_table_in_order(), "kParamDescriptors follows HalftoneParam");

// Returns a parameter's descriptor.
constexpr const ParamDescriptor& param_descriptor(HalftoneParam param) {
  return kParamDescriptors[static_cast<size_t>(param)];
}

constexpr int kMaxHalftoneRadius = static_cast<int>(param_descriptor(HalftoneParam::kRadius).max);

// A parameter as one method takes it.
struct MethodParam {
  HalftoneParam param;
  double default_value = std::numeric_limits<double>::quiet_NaN();  // NaN: the parameter's own
};

template <typename T>
struct TableSpan {
  const T* first;
  size_t count;
  const T* begin() const { return first; }
  const T* end() const { return first + count; }
  size_t size() const { return count; }
  const T& operator[](size_t i) const { return first[i]; }
};

struct MethodDescriptor {
  const char* name;         // as typed after -m
  HalftoneFamily family;
  HalftoneMethod method;    // the halftoning families
  int mode;                 // the threshold family: its ConversionMode (0 letter, 1 hard, 2 soft); else -1
  const char* description;  // for --list-methods: a line, or lines parted by '\n'
  TableSpan<MethodParam> params;  // every parameter it takes, in kParamDescriptors' order
};

struct FamilyDescriptor {
  HalftoneFamily family;
  const char* name;    // "error diffusion": the help's prefix for an option of the family alone
  const char* phrase;  // "an error-diffusion method": what an option of the family alone needs
};

// Returns every method, the threshold family first: the order --list-methods prints.
TableSpan<MethodDescriptor> method_descriptors();

// Returns the halftoning methods alone, in HalftoneMethod order.
TableSpan<MethodDescriptor> halftone_methods();

// Returns the descriptor of a halftoning method.
const MethodDescriptor& halftone_method_info(HalftoneMethod method);

// Returns the descriptor of one of the program's modes (kModeLetter and the others).
const MethodDescriptor& mode_descriptor(int mode);

const FamilyDescriptor& family_descriptor(HalftoneFamily family);

// Returns the method of any family with this exact name, or nullptr.
const MethodDescriptor* find_method(const char* name);

// Returns the halftoning method with this exact name, or nothing.
std::optional<HalftoneMethod> parse_method_name(const char* name);

// Returns how a method takes a parameter, or nullptr when it does not take it.
const MethodParam* method_param(const MethodDescriptor& method, HalftoneParam param);

// Returns a parameter's default for a method: the method's own, else the parameter's.
double param_default(const MethodDescriptor& method, HalftoneParam param);

// The methods that take a parameter, and how to name them together.
struct ParamTakers {
  std::vector<const MethodDescriptor*> methods;
  bool every_method = false;     // the modes too: a general option
  bool every_halftoning = false;  // every method but the modes
  // The same methods as whole families and single methods, in method_descriptors'
  // order: letter, then the error-diffusion family.
  std::vector<const FamilyDescriptor*> families;
  std::vector<const MethodDescriptor*> singles;
};

// Returns the methods that take a parameter, in method_descriptors' order.
ParamTakers methods_taking(HalftoneParam param);

// Returns true when the takers are named one by one ("bradley, sauvola or niblack"):
// three or fewer, or no whole family or "every halftoning method" covers them.
bool takers_named_one_by_one(const ParamTakers& takers);

// Returns what an option needs, to follow "--NAME needs ": "bradley, sauvola or
// niblack", "an error-diffusion method", "a halftoning method", "letter or an
// error-diffusion method".
std::string takers_phrase(const ParamTakers& takers);

#endif

// The values of a method's parameters, their checks and the texts of what is wrong,
// all following the descriptors (method_descriptors.h).
#ifndef QVX_HALFTONE_PARAMS_H
#define QVX_HALFTONE_PARAMS_H

#include <optional>
#include <string>

#include "halftone/method_descriptors.h"

constexpr int whole_default(HalftoneParam param) { return static_cast<int>(param_descriptor(param).default_value); }
constexpr bool flag_default(HalftoneParam param) { return param_descriptor(param).default_value != 0; }

// A method's parameters; radius, k and percent are ignored by methods without a
// window, serpentine is refused by those without a scan direction. The exact rules of
// every method (the shares' rounding, the Bayer test, the local thresholds' arithmetic)
// are given beside the code: halftone_rows.h, and prepare_ordered in halftone.cpp.
struct HalftoneParams {
  int density = whole_default(HalftoneParam::kDensity);
  bool invert = flag_default(HalftoneParam::kInvert);
  bool serpentine = flag_default(HalftoneParam::kSerpentine);  // error diffusion: odd rows run right to left
  bool linear = flag_default(HalftoneParam::kLinear);          // dither in linear light
  int radius = whole_default(HalftoneParam::kRadius);    // local thresholds: the window is (2 radius + 1) squared
  std::optional<double> k;                               // unset: the method's default
  int percent = whole_default(HalftoneParam::kPercent);  // bradley: how far below the window's mean is black
};

// Returns a parameter's value (a flag's as 0 or 1), or nothing for an unset k.
std::optional<double> param_value(const HalftoneParams& params, HalftoneParam param);

// Stores a parameter's value (a flag is set by any value but 0).
void set_param_value(HalftoneParams& params, HalftoneParam param, double value);

// Returns the first thing wrong with parameters for a method, or kNone: a value out of
// its range, or a flag set that the method does not take.
HalftoneError check_halftone_params(HalftoneMethod method, const HalftoneParams& params);

// Returns a short English text for an error ("--radius must be 1..10000").
const char* halftone_error_text(HalftoneError error);

// Reads a parameter's value as typed: a flag's is empty; a whole number is decimal
// digits alone; a real number is a whole decimal number; either in the range; a text
// is never a number.
// Returns false, and leaves *value, when the text is not one.
bool parse_param_text(const ParamDescriptor& param, const char* text, double* value);

// Returns a number as the texts write it: "7", "-0.2".
std::string param_number_text(double value);

#endif

// The settings the page converts with, as its worker writes them into the module's
// memory, read and checked by the core's own rules before anything is converted.
#ifndef QVX_WEB_PAGE_SETTINGS_H
#define QVX_WEB_PAGE_SETTINGS_H

#include <cstdint>

#include "halftone/halftone.h"
#include "page_failure.h"

// A mode of the program (0 Letter, 1 photo(Hard), 2 photo(Soft)) or, from
// kFirstMethodKind on, a halftoning method.
constexpr int kFirstMethodKind = 100;

// The page's request, filled by the worker: 32-bit fields, texts ending in a zero byte.
// A parameter's text is its field as typed (a set flag's is empty); a null text is a
// parameter not given, which takes the method's default.
struct PageRequest {
  int32_t kind;
  const char* values[kParamCount];  // in kParamDescriptors' order
  int32_t format;                   // the command's OutputFormat; exports only
  const char* layout;               // device options as typed, or null
  const char* on;
  const char* name;
  const char* band;
};

struct PageSettings {
  int kind = 0;
  HalftoneParams params;
};

// Returns the method or mode a kind names, or nullptr.
const MethodDescriptor* method_of_kind(int kind);

// Reads the settings of a request as the command reads its options: a parameter the
// method does not take, a text that is not a value of its range, or parameters the core
// refuses together are a "setting" failure naming the field. Returns the failure, or
// one with an empty code and `settings` filled.
PageFailure read_page_settings(const PageRequest& request, PageSettings& settings);

#endif

// The settings the page converts with, as its worker writes them into the module's
// memory, read into the pipeline's conversion request and checked by the command's
// own check before anything is converted.
#ifndef QVX_WEB_PAGE_SETTINGS_H
#define QVX_WEB_PAGE_SETTINGS_H

#include <cstdint>
#include <string>

#include "halftone/halftone.h"
#include "page_failure.h"
#include "pipeline/conversion_request.h"

// The page numbers a mode of the program (0 Letter, 1 photo(Hard), 2 photo(Soft)) and,
// from kFirstMethodKind on, a halftoning method: its "kind".
constexpr int kFirstMethodKind = 100;

// The page's request, filled by the worker: 32-bit fields, texts ending in a zero byte.
// A parameter's text is its field as typed (a set flag's is empty); a null text is a
// parameter not given, which takes the method's default.
struct PageRequest {
  int32_t kind;
  const char* values[kParamCount];  // in kParamDescriptors' order
  int32_t format;                   // OutputFormat; kFormatUnset for the preview
  const char* layout;               // device options as typed, or null
  const char* on;
  const char* name;
  const char* band;
  const char* plane_on;             // one polarity for both planes, or two: "white,black"
  const char* codes;
  const char* preset;               // the layout, polarity and code map where those are not given
};

// Reads a request as the command reads its options, then runs the command's check on
// the whole: a text that is not a value of its range, a parameter the method does not
// take, values the core refuses together or device options the format does not take
// are a "setting" failure naming the field. `output` names the file (a device array is
// named after it). Returns the failure, or none with `request` filled.
PageFailure read_page_request(const PageRequest& page, const std::string& output, ConversionRequest& request);

#endif

// Why the page's module could not do what it was asked: a code the page words in its
// language, the core's or the command's own text, and the setting it is about.
#ifndef QVX_WEB_PAGE_FAILURE_H
#define QVX_WEB_PAGE_FAILURE_H

#include <string>

#include "halftone/method_descriptors.h"
#include "image/read_code.h"

// The codes the page words. A reader's code keeps its own name ("too-large",
// "short-data"); "memory" is an allocation refused anywhere; "setting" is a value the
// command refuses, named by `field` (a parameter's or device option's name, or "mode");
// "write" is a file that could not be made, the writer's message in `text`.
struct PageFailure {
  const char* code = "";   // empty: no failure
  std::string text;        // English, in the command's words
  const char* field = "";  // "setting" only
};

inline bool failed(const PageFailure& failure) { return *failure.code != '\0'; }

// Out of memory has no text: there may be no memory to hold one.
inline PageFailure memory_failure() { return {"memory", std::string(), ""}; }

// Returns the failure of a reader's code (kOk gives none).
PageFailure read_failure(ReadCode code);

// Returns the failure of parameters the core refuses, naming the parameter.
PageFailure halftone_failure(HalftoneError error);

#endif

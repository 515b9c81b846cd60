#include "page_failure.h"

#include "halftone/halftone_params.h"
#include "image/image_texts.h"

PageFailure read_failure(ReadCode code) {
  const char* name = nullptr;
  switch (code) {
    case ReadCode::kOk: return {};
    case ReadCode::kCantOpen: name = "cant-open"; break;
    case ReadCode::kNoFileHeader: name = "no-file-header"; break;
    case ReadCode::kNotBitmap: name = "not-bitmap"; break;
    case ReadCode::kNoInfoHeader: name = "no-info-header"; break;
    case ReadCode::kUnsupported: name = "unsupported"; break;
    case ReadCode::kTooLarge: name = "too-large"; break;
    case ReadCode::kShortData: name = "short-data"; break;
    case ReadCode::kNoSignature: name = "not-bitmap"; break;
    case ReadCode::kNoMemory: return memory_failure();
  }
  std::string text = english_read_message(code);
  // Only "can't open" names a file; the page's picture has no path.
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, "picture");
  return {name, text, ""};
}

PageFailure halftone_failure(HalftoneError error) {
  PageFailure failure{"setting", halftone_error_text(error), "mode"};
  for (const ParamDescriptor& p : kParamDescriptors) {
    if (p.refusal == error) failure.field = p.name;
  }
  return failure;
}


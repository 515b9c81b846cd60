// What a conversion is asked to do, whichever front end asks: the mode or halftoning
// method with its parameters, the format written and the preparation of the picture.
// The command fills it from its words, the page and the Python module from theirs.
#ifndef QVX_PIPELINE_CONVERSION_REQUEST_H
#define QVX_PIPELINE_CONVERSION_REQUEST_H

#include <optional>
#include <string>

#include "device/device_format.h"
#include "device/fit.h"
#include "halftone/halftone.h"
#include "mono/conversion.h"
#include "pipeline/output_format.h"

// What is done to the colour picture before its luminance is taken. The picture is
// rotated, then flipped, then fitted to the size.
struct Preparation {
  bool resize = false;  // a size given
  TargetSize size;
  FitMode fit = FitMode::Contain;
  bool fit_given = false;
  bool white_background = true;
  bool background_given = false;
  unsigned rotation = 0;  // degrees clockwise
  Flip flip = Flip::None;
  bool autorotate = true;  // turned upright as the picture's EXIF orientation says
};

// Returns true when the picture is changed before its conversion.
inline bool prepares(const Preparation& p) { return p.resize || p.rotation != 0 || p.flip != Flip::None; }

struct ConversionRequest {
  int density = kDensityDefault;         // kDensityMin..kDensityMax
  int mode = 0;                          // 0 letter, 1 hard, 2 soft
  std::optional<HalftoneMethod> method;  // a halftoning method instead of a mode
  HalftoneParams halftone;               // its parameters; density and invert come from the above
  unsigned halftone_given = 0;           // which halftoning parameters were given, a bit per HalftoneParam
  bool invert = false;
  bool automatic = false;  // density from Otsu's threshold of each picture
  int format = kFormatUnset;
  DeviceRequest device;  // layout, polarity, name, band (the format is set from `format`)
  Preparation prepare;
};

// Returns the device writer's settings for the settings' device format, for `input`
// written to `target` (without a name the array is named after the target, or after
// the input when the target is standard output; "-" is a standard stream).
DeviceSettings device_settings_for(const ConversionRequest& request, const std::string& target,
                                   const std::string& input = "-");

#endif

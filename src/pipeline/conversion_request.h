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

// The bit of a parameter in ConversionRequest::halftone_given.
constexpr unsigned param_given_bit(HalftoneParam param) { return 1u << static_cast<unsigned>(param); }

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

// The checks of a request once all of it is known, each returning "" or the message
// that names what is wrong in the command's words ("--radius needs bradley, ...").
// Every parameter given applies to the method chosen, and the core takes its values.
std::string check_method_request(const ConversionRequest& request);
// The fit and background go with a size.
std::string check_preparation_request(const ConversionRequest& request);
// The device options suit the format; settles request.device.format. `output` is the
// output's name ("-" for standard output), which the array's name may come from.
std::string check_device_request(ConversionRequest& request, const std::string& output);
// All three, in that order: what the page and the Python module ask passes the
// command's own check.
std::string check_conversion_request(ConversionRequest& request, const std::string& output);

#endif

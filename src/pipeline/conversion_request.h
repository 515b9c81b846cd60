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
  FitMode fit = FitMode::kContain;
  bool fit_given = false;
  bool white_background = true;
  bool background_given = false;
  unsigned rotation = 0;  // degrees clockwise
  Flip flip = Flip::kNone;
  bool autorotate = true;  // turned upright as the picture's EXIF orientation says
};

// Returns true when the picture is changed before its conversion.
inline bool prepares(const Preparation& p) { return p.resize || p.rotation != 0 || p.flip != Flip::kNone; }

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
  int levels = 2;          // grey levels of the result, kMinLevels..kMaxLevels; 2 is black and white
  std::string palette;     // a palette's name or colours "#rrggbb,..." (colour_palette.h); empty: none
  int format = kFormatUnset;
  DeviceRequest device;  // layout, polarity, name, band, preset (the format is set from `format`)
  Preparation prepare;
  int threads = 1;  // threads that convert one picture's rows; the bytes are the same for any count
  // An input is a device file read back: the device options describe it, whatever the output.
  bool reads_device = false;
};

// Returns a parameter's value in a request: density and invert its own, levels its
// own, the palette none (a text), the rest the method's.
std::optional<double> request_param(const ConversionRequest& r, HalftoneParam param);

// Stores a parameter's number in a request where request_param finds it.
void set_request_param(ConversionRequest& r, HalftoneParam param, double value);

// Returns true when a palette is asked for (given empty, it is refused by the check).
inline bool wants_palette(const ConversionRequest& r) {
  return !r.palette.empty() || (r.halftone_given & param_given_bit(HalftoneParam::kPalette)) != 0;
}

// Returns true when the result is rows of level or palette indexes rather than 1-bit rows.
inline bool converts_to_indexes(const ConversionRequest& r) { return r.levels > 2 || wants_palette(r); }

// Returns true when the conversion takes the picture's rows top row first (halftoning,
// grey levels, palettes), so a reader should give them in that order where it can.
inline bool takes_rows_top_first(const ConversionRequest& r) { return r.method.has_value() || converts_to_indexes(r); }

// Applies the preset named in request.device.preset (a known name): its format when
// none is chosen, its grey levels or palette when neither is given, its size when
// none is given. The rest it sets is taken by device_request_with_preset.
void apply_device_preset(ConversionRequest& request);

// Returns the count and palette of the conversion's indexes: the palette's colours, or the levels.
IndexMeaning index_meaning(const ConversionRequest& request);

// Returns the device request for writing or reading `format`: the options given, the
// preset's layout (for its own layout also its code map) and polarity where none is
// given, and what the conversion's indexes mean.
DeviceRequest device_request_with_preset(const ConversionRequest& request, DeviceFormat format);

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
// Grey levels and palettes suit the format (settled): a TIFF holds black and white
// only, PBM and the device formats two colours, PGM grey levels.
std::string check_output_request(const ConversionRequest& request);
// All four, in that order: what the page and the Python module ask passes the
// command's own check.
std::string check_conversion_request(ConversionRequest& request, const std::string& output);

#endif

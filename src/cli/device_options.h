// The options that ready a picture for a device: how it is fitted, rotated and
// flipped before the conversion, and how the device formats lay out its bits.
#ifndef QVX_CLI_DEVICE_OPTIONS_H
#define QVX_CLI_DEVICE_OPTIONS_H

#include <string>

#include "device/device_format.h"
#include "device/fit.h"

// What is done to the colour picture before its luminance is taken. The picture is
// rotated, then flipped, then fitted to the size.
struct Preparation {
  bool resize = false;  // --size given
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

struct CliOptions;

// Returns the writer's settings for the device format of the options, for `input`
// written to `target` (without --name the array is named after the target, or after
// the input when the target is standard output; "-" is a standard stream).
DeviceSettings device_settings_for(const CliOptions& options, const std::string& target,
                                   const std::string& input = "-");

#endif

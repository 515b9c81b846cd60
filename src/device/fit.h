// The arithmetic of preparing a picture for a device before it is converted: the
// target size (WxH, or one side with the aspect kept), how the picture fits it,
// and the rotation and flip. The resampling itself is the imaging library's; this
// says to which size, which window to keep and where to place it.
//
// The picture is rotated and flipped first, then fitted, so a size names the
// panel as it will be seen.
#ifndef QVX_DEVICE_FIT_H
#define QVX_DEVICE_FIT_H

#include <cstdint>
#include <string_view>

enum class FitMode {
  kContain,  // the whole picture inside the target, centred, the margin filled
  kCover,    // the target filled, the picture's centre kept and the rest cut off
  kStretch,  // the picture resampled to the target, the aspect ratio not kept
};

enum class Flip { kNone, kHorizontal, kVertical };

// A side of 0 follows from the other one and the picture's aspect ratio.
struct TargetSize {
  uint32_t width = 0, height = 0;
};

// The largest side a size may name; more than any panel or printer has.
constexpr uint32_t kMaxTargetSide = 1000000;

enum class PreparationError {
  kNone,
  kSizeNoSeparator,    // "10": no 'x' between width and height
  kSizeNotNumber,      // "ax10", "10x", "x": a side that is not a number, or neither side
  kSizeZero,           // "0x10"
  kSizeTooLarge,       // a side beyond kMaxTargetSide
  kResultTooLarge,     // a side that follows from the aspect ratio is beyond 2^31 - 1
  kBadFit,             // not contain, cover or stretch
  kBadRotation,        // not 0, 90, 180 or 270
  kBadFlip,            // not h or v
  kBadBackground,      // not white or black
};

// Returns the one-line text of an error (no trailing full stop), for messages.
const char* preparation_error_text(PreparationError error);

// Parses "WxH", "Wx" or "xH" ('x' or 'X').
PreparationError parse_target_size(std::string_view text, TargetSize& out);
PreparationError parse_fit(std::string_view text, FitMode& out);
// Degrees clockwise: 0, 90, 180 or 270.
PreparationError parse_rotation(std::string_view text, unsigned& degrees);
// "h": mirrored left to right; "v": upside down.
PreparationError parse_flip(std::string_view text, Flip& out);
// "white" or "black": the margin that contain leaves.
PreparationError parse_background(std::string_view text, bool& white);

// Returns the picture's size after a rotation by `degrees` clockwise.
TargetSize rotated_size(uint32_t width, uint32_t height, unsigned degrees);

// How a picture reaches its target: resampled to scaled_width x scaled_height,
// then the window of width x height at (crop_x, crop_y) kept (cover), or the
// whole placed at (offset_x, offset_y) on a width x height canvas (contain). An
// odd margin or cut puts its extra pixel on the right or at the bottom.
struct FitPlan {
  uint32_t scaled_width = 0, scaled_height = 0;
  uint32_t crop_x = 0, crop_y = 0;
  uint32_t offset_x = 0, offset_y = 0;
  uint32_t width = 0, height = 0;
};

// Plans the fit of a picture of picture_width x picture_height (both at least 1);
// with one side of the target given, the other follows from the aspect ratio and
// the mode does not matter.
PreparationError plan_fit(uint32_t picture_width, uint32_t picture_height, TargetSize target, FitMode mode,
                          FitPlan& plan);

#endif

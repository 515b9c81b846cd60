#include "device/fit.h"

#include <cstdint>

#include "device/word_table.h"

namespace {

// Reads a decimal side of 1 to kMaxTargetSide pixels.
PreparationError parse_side(std::string_view text, uint32_t& out) {
  if (text.empty()) return PreparationError::kSizeNotNumber;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return PreparationError::kSizeNotNumber;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > kMaxTargetSide) return PreparationError::kSizeTooLarge;
  }
  if (value == 0) return PreparationError::kSizeZero;
  out = static_cast<uint32_t>(value);
  return PreparationError::kNone;
}

// Returns round(a * b / c), halves up, for sides of at most 2^32 (no overflow in 64 bits).
uint64_t scale_side(uint64_t a, uint64_t b, uint64_t c) { return (2 * a * b + c) / (2 * c); }

const Word<FitMode> kFits[] = {{"contain", FitMode::kContain}, {"cover", FitMode::kCover}, {"stretch", FitMode::kStretch}};
const Word<unsigned> kRotations[] = {{"0", 0}, {"90", 90}, {"180", 180}, {"270", 270}};
const Word<Flip> kFlips[] = {{"h", Flip::kHorizontal}, {"v", Flip::kVertical}};
const Word<bool> kBackgrounds[] = {{"white", true}, {"black", false}};

uint32_t clamp_side(uint64_t side, uint32_t most) {
  if (side < 1) return 1;
  return side > most ? most : static_cast<uint32_t>(side);
}

}  // namespace

const char* preparation_error_text(PreparationError error) {
  switch (error) {
    case PreparationError::kNone: return "no error";
    case PreparationError::kSizeNoSeparator: return "a size is WxH, Wx or xH";
    case PreparationError::kSizeNotNumber: return "a size is WxH, Wx or xH with whole numbers";
    case PreparationError::kSizeZero: return "a size must be at least 1 pixel";
    case PreparationError::kSizeTooLarge: return "a size must be at most 1000000 pixels";
    case PreparationError::kResultTooLarge: return "the picture would be too large at that size";
    case PreparationError::kBadFit: return "the fit is contain, cover or stretch";
    case PreparationError::kBadRotation: return "the rotation is 90, 180 or 270";
    case PreparationError::kBadFlip: return "the flip is h or v";
    case PreparationError::kBadBackground: return "the background is white or black";
  }
  return "unknown error";
}

PreparationError parse_target_size(std::string_view text, TargetSize& out) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) {
    return text.empty() ? PreparationError::kSizeNotNumber : PreparationError::kSizeNoSeparator;
  }
  const std::string_view width = text.substr(0, x), height = text.substr(x + 1);
  if (width.empty() && height.empty()) return PreparationError::kSizeNotNumber;
  TargetSize size;
  if (!width.empty()) {
    if (const PreparationError e = parse_side(width, size.width); e != PreparationError::kNone) return e;
  }
  if (!height.empty()) {
    if (const PreparationError e = parse_side(height, size.height); e != PreparationError::kNone) return e;
  }
  out = size;
  return PreparationError::kNone;
}

PreparationError parse_fit(std::string_view text, FitMode& out) {
  return find_word(kFits, text, out) ? PreparationError::kNone : PreparationError::kBadFit;
}

PreparationError parse_rotation(std::string_view text, unsigned& degrees) {
  return find_word(kRotations, text, degrees) ? PreparationError::kNone : PreparationError::kBadRotation;
}

PreparationError parse_flip(std::string_view text, Flip& out) {
  return find_word(kFlips, text, out) ? PreparationError::kNone : PreparationError::kBadFlip;
}

PreparationError parse_background(std::string_view text, bool& white) {
  return find_word(kBackgrounds, text, white) ? PreparationError::kNone : PreparationError::kBadBackground;
}

TargetSize rotated_size(uint32_t width, uint32_t height, unsigned degrees) {
  return degrees == 90 || degrees == 270 ? TargetSize{height, width} : TargetSize{width, height};
}

PreparationError plan_fit(uint32_t picture_width, uint32_t picture_height, TargetSize target, FitMode mode,
                          FitPlan& plan) {
  const uint64_t pw = picture_width ? picture_width : 1, ph = picture_height ? picture_height : 1;
  FitPlan p;
  if (target.width == 0 || target.height == 0) {
    // One side given: the other keeps the aspect ratio, nothing to fill or cut.
    const uint64_t w = target.width ? target.width : scale_side(pw, target.height, ph);
    const uint64_t h = target.height ? target.height : scale_side(ph, target.width, pw);
    if (w > INT32_MAX || h > INT32_MAX) return PreparationError::kResultTooLarge;
    p.width = p.scaled_width = clamp_side(w, INT32_MAX);
    p.height = p.scaled_height = clamp_side(h, INT32_MAX);
    plan = p;
    return PreparationError::kNone;
  }
  p.width = target.width;
  p.height = target.height;
  // The picture is relatively wider than the target when pw / ph > W / H.
  const bool wider = pw * target.height > uint64_t{target.width} * ph;
  switch (mode) {
    case FitMode::kStretch:
      p.scaled_width = target.width;
      p.scaled_height = target.height;
      break;
    case FitMode::kContain:
      if (wider) {
        p.scaled_width = target.width;
        p.scaled_height = clamp_side(scale_side(ph, target.width, pw), target.height);
      } else {
        p.scaled_height = target.height;
        p.scaled_width = clamp_side(scale_side(pw, target.height, ph), target.width);
      }
      p.offset_x = (target.width - p.scaled_width) / 2;
      p.offset_y = (target.height - p.scaled_height) / 2;
      break;
    case FitMode::kCover: {
      // The scaled side can pass the 32-bit range for an extreme aspect ratio.
      const uint64_t other = wider ? scale_side(pw, target.height, ph) : scale_side(ph, target.width, pw);
      if (other > INT32_MAX) return PreparationError::kResultTooLarge;
      if (wider) {
        p.scaled_height = target.height;
        p.scaled_width = static_cast<uint32_t>(other < target.width ? target.width : other);
      } else {
        p.scaled_width = target.width;
        p.scaled_height = static_cast<uint32_t>(other < target.height ? target.height : other);
      }
      p.crop_x = (p.scaled_width - target.width) / 2;
      p.crop_y = (p.scaled_height - target.height) / 2;
      break;
    }
  }
  plan = p;
  return PreparationError::kNone;
}

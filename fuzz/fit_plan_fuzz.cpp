// Feeds arbitrary picture sizes, target sizes and fits to the fit planner, and a
// size's text to its parser, and checks every plan against what the resampling
// relies on: sides within 1..2^31-1, the kept window inside the scaled picture,
// the placed picture inside the canvas, both centred, the aspect kept within a pixel.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "device/fit.h"
#include "image/le_bytes.h"

namespace {

void check(bool holds) {
  if (!holds) std::abort();
}

// Sides from tiny to the largest each may be: a picture's up to 2^31 - 1 (the readers'
// limit), a target's up to the parser's limit, 0 standing for the side that follows.
uint32_t picture_side(uint32_t raw) {
  const uint32_t side = (raw >> 31) ? raw & 0x7FFFFFFF : raw & ((raw >> 30) ? 0xFFFF : 0xFF);
  return side ? side : 1;
}

uint32_t target_side(uint32_t raw) { return (raw >> 31) ? raw % (kMaxTargetSide + 1) : raw & 0xFFF; }

// The derived side of w x h is within rounding of the picture's aspect: half a pixel,
// or less than one where it is raised to 1, so |pw * h - w * ph| stays below the
// picture's side along the given one (pw when the width was given, else ph).
void check_aspect(uint64_t pw, uint64_t ph, uint64_t w, uint64_t h, bool width_given) {
  const uint64_t a = pw * h, b = w * ph;
  check((a > b ? a - b : b - a) <= (width_given ? pw : ph));
}

void check_plan(uint32_t pw, uint32_t ph, TargetSize target, FitMode mode, const FitPlan& p) {
  check(p.width >= 1 && p.height >= 1 && p.width <= INT32_MAX && p.height <= INT32_MAX);
  check(p.scaled_width >= 1 && p.scaled_height >= 1 && p.scaled_width <= INT32_MAX && p.scaled_height <= INT32_MAX);
  const uint64_t w = pw ? pw : 1, h = ph ? ph : 1;
  if (target.width == 0 || target.height == 0) {
    check(target.width == 0 || p.width == target.width);
    check(target.height == 0 || p.height == target.height);
    check(p.scaled_width == p.width && p.scaled_height == p.height);
    check(p.crop_x == 0 && p.crop_y == 0 && p.offset_x == 0 && p.offset_y == 0);
    check_aspect(w, h, p.width, p.height, target.width != 0);
    return;
  }
  check(p.width == target.width && p.height == target.height);
  // Relatively wider than the target: the width is the side kept (contain) or filled (cover).
  const bool wider = w * target.height > uint64_t{target.width} * h;
  switch (mode) {
    case FitMode::kStretch:
      check(p.scaled_width == p.width && p.scaled_height == p.height);
      break;
    case FitMode::kContain:
      check(p.scaled_width <= p.width && p.scaled_height <= p.height);
      check(p.scaled_width == p.width || p.scaled_height == p.height);
      check(p.offset_x == (p.width - p.scaled_width) / 2 && p.offset_y == (p.height - p.scaled_height) / 2);
      check(p.crop_x == 0 && p.crop_y == 0);
      check_aspect(w, h, p.scaled_width, p.scaled_height, wider);
      break;
    case FitMode::kCover:
      check(p.scaled_width >= p.width && p.scaled_height >= p.height);
      check(p.scaled_width == p.width || p.scaled_height == p.height);
      check(p.crop_x == (p.scaled_width - p.width) / 2 && p.crop_y == (p.scaled_height - p.height) / 2);
      check(p.offset_x == 0 && p.offset_y == 0);
      check_aspect(w, h, p.scaled_width, p.scaled_height, !wider);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 17) return 0;
  const uint32_t pw = picture_side(get_u32(data)), ph = picture_side(get_u32(data + 4));
  TargetSize target{target_side(get_u32(data + 8)), target_side(get_u32(data + 12))};
  if (target.width == 0 && target.height == 0) target.width = 1;  // the parser never gives no side
  const FitMode mode = static_cast<FitMode>(data[16] % 3);
  FitPlan plan;
  const PreparationError error = plan_fit(pw, ph, target, mode, plan);
  if (error == PreparationError::kNone) {
    check_plan(pw, ph, target, mode, plan);
  } else {
    check(error == PreparationError::kResultTooLarge);
  }
  // The rest is a size's text: what parses is within the limits the planner is promised.
  const std::string_view text(reinterpret_cast<const char*>(data + 17), size - 17);
  TargetSize parsed{7, 7};
  if (parse_target_size(text, parsed) == PreparationError::kNone) {
    check(parsed.width <= kMaxTargetSide && parsed.height <= kMaxTargetSide);
    check(parsed.width != 0 || parsed.height != 0);
  } else {
    check(parsed.width == 7 && parsed.height == 7);  // left as it was
  }
  const TargetSize turned = rotated_size(pw, ph, 90u * (data[16] >> 6));
  check((turned.width == pw && turned.height == ph) || (turned.width == ph && turned.height == pw));
  return 0;
}

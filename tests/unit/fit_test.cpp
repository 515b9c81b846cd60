#include "device/fit.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Fit, ParsesSizesAndOptions) {
  struct Case {
    const char* text;
    PreparationError error;
    uint32_t width, height;
  } cases[] = {
      {"800x480", PreparationError::kNone, 800, 480},
      {"8X8", PreparationError::kNone, 8, 8},
      {"128x", PreparationError::kNone, 128, 0},
      {"x64", PreparationError::kNone, 0, 64},
      {"10", PreparationError::kSizeNoSeparator},
      {"0x10", PreparationError::kSizeZero},
      {"10x0", PreparationError::kSizeZero},
      {"x", PreparationError::kSizeNotNumber},
      {"", PreparationError::kSizeNotNumber},
      {"ax10", PreparationError::kSizeNotNumber},
      {"10x-5", PreparationError::kSizeNotNumber},
      {"10x10x10", PreparationError::kSizeNotNumber},
      {"1000001x1", PreparationError::kSizeTooLarge},
      {"99999999999999999999999x1", PreparationError::kSizeTooLarge},
  };
  for (const Case& c : cases) {
    TargetSize size{7, 7};
    EXPECT_EQ(parse_target_size(c.text, size), c.error) << c.text;
    if (c.error == PreparationError::kNone) {
      EXPECT_EQ(size.width, c.width) << c.text;
      EXPECT_EQ(size.height, c.height) << c.text;
    }
  }
  unsigned degrees = 0;
  EXPECT_EQ(parse_rotation("270", degrees), PreparationError::kNone);
  EXPECT_EQ(degrees, 270u);
  for (const char* bad : {"45", "-90", "360", "090", ""}) {
    EXPECT_EQ(parse_rotation(bad, degrees), PreparationError::kBadRotation) << bad;
  }
  Flip flip = Flip::kNone;
  EXPECT_EQ(parse_flip("v", flip), PreparationError::kNone);
  EXPECT_EQ(flip, Flip::kVertical);
  EXPECT_EQ(parse_flip("hv", flip), PreparationError::kBadFlip);
  FitMode mode = FitMode::kContain;
  EXPECT_EQ(parse_fit("fill", mode), PreparationError::kBadFit);
  bool white = true;
  EXPECT_EQ(parse_background("grey", white), PreparationError::kBadBackground);
  EXPECT_EQ(rotated_size(800, 480, 270).width, 480u);
}

// Plans worked out by hand: pictures wider and taller than an 800 x 480 panel in
// each mode, one side given, and aspect ratios so extreme that a side rounds to 0.
TEST(Fit, Plans) {
  struct Case {
    uint32_t picture_width, picture_height;
    TargetSize target;
    FitMode mode;
    FitPlan plan;  // scaled, crop, offset, output
  } cases[] = {
      {1600, 1200, {800, 480}, FitMode::kContain, {640, 480, 0, 0, 80, 0, 800, 480}},
      {1600, 1200, {800, 480}, FitMode::kCover, {800, 600, 0, 60, 0, 0, 800, 480}},
      {1600, 1200, {800, 480}, FitMode::kStretch, {800, 480, 0, 0, 0, 0, 800, 480}},
      {3000, 1000, {800, 480}, FitMode::kContain, {800, 267, 0, 0, 0, 106, 800, 480}},
      {3000, 1000, {800, 480}, FitMode::kCover, {1440, 480, 320, 0, 0, 0, 800, 480}},
      {400, 240, {800, 480}, FitMode::kContain, {800, 480, 0, 0, 0, 0, 800, 480}},
      {1000, 333, {128, 0}, FitMode::kCover, {128, 43, 0, 0, 0, 0, 128, 43}},
      {1000, 333, {0, 64}, FitMode::kContain, {192, 64, 0, 0, 0, 0, 192, 64}},
      {10000, 1, {100, 100}, FitMode::kContain, {100, 1, 0, 0, 0, 49, 100, 100}},
      {1, 10000, {100, 100}, FitMode::kCover, {100, 1000000, 0, 499950, 0, 0, 100, 100}},
      {10000, 1, {0, 1}, FitMode::kContain, {10000, 1, 0, 0, 0, 0, 10000, 1}},
      {1, 10000, {1, 0}, FitMode::kContain, {1, 10000, 0, 0, 0, 0, 1, 10000}},
  };
  for (const Case& c : cases) {
    FitPlan p;
    ASSERT_EQ(plan_fit(c.picture_width, c.picture_height, c.target, c.mode, p), PreparationError::kNone);
    const std::string at = std::to_string(c.picture_width) + "x" + std::to_string(c.picture_height) + " mode " +
                           std::to_string(static_cast<int>(c.mode));
    EXPECT_EQ(p.scaled_width, c.plan.scaled_width) << at;
    EXPECT_EQ(p.scaled_height, c.plan.scaled_height) << at;
    EXPECT_EQ(p.crop_x, c.plan.crop_x) << at;
    EXPECT_EQ(p.crop_y, c.plan.crop_y) << at;
    EXPECT_EQ(p.offset_x, c.plan.offset_x) << at;
    EXPECT_EQ(p.offset_y, c.plan.offset_y) << at;
    EXPECT_EQ(p.width, c.plan.width) << at;
    EXPECT_EQ(p.height, c.plan.height) << at;
  }
  FitPlan p;
  EXPECT_EQ(plan_fit(1, 0x7FFFFFFF, {1000000, 0}, FitMode::kContain, p), PreparationError::kResultTooLarge);
  EXPECT_EQ(plan_fit(0x7FFFFFFF, 1, {1000000, 1000000}, FitMode::kCover, p), PreparationError::kResultTooLarge);
}

}  // namespace

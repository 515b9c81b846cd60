#include <gtest/gtest.h>

#include "app/control_bar.h"

namespace {

::testing::AssertionResult same(const Rect& actual, const Rect& expected) {
  if (actual.x == expected.x && actual.y == expected.y && actual.width == expected.width &&
      actual.height == expected.height)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ", " << actual.width << ", "
                                       << actual.height << ") instead of (" << expected.x << ", " << expected.y
                                       << ", " << expected.width << ", " << expected.height << ")";
}

TEST(FrameControlBar, Metrics) {
  const struct {
    bool newer;
    int text_height, char_width, scroll_bar;
    int bar, unit, label;
  } cases[] = {
      {true, 16, 7, 16, 26, 8, 71},   // the worked example
      {true, 16, 7, 20, 33, 10, 87},  // a wider scroll bar wins over the text height
      {true, 12, 7, 50, 60, 18, 151}, // limited to 36 before the comparison
      {true, 20, 9, 16, 33, 10, 87},  // the text height wins
      {false, 16, 7, 99, 26, 7, 63},  // older platforms: text height and character width only
      {false, 13, 6, 0, 21, 6, 55},
  };
  for (const auto& c : cases) {
    const BarMetrics m = compute_bar_metrics(c.newer, c.text_height, c.char_width, c.scroll_bar);
    EXPECT_EQ(m.bar_height, c.bar) << c.text_height << "/" << c.scroll_bar;
    EXPECT_EQ(m.unit, c.unit) << c.text_height << "/" << c.scroll_bar;
    EXPECT_EQ(m.label_width, c.label) << c.text_height << "/" << c.scroll_bar;
  }
}

TEST(FrameControlBar, ControlRectanglesOfTheWorkedExample) {
  const BarMetrics m = compute_bar_metrics(true, 16, 7, 16);
  const struct {
    BarControl control;
    Rect expected;
  } cases[] = {
      {kDensityBar, {6, 6, 300, 13}},       {kDensityBarFrame, {5, 5, 302, 15}},
      {kZoomSpin, {431, 4, 17, 17}},        {kInvertButton, {471, 4, 34, 17}},
      {kDensityLabel, {320, 5, 35, 15}},    {kScaleFrame, {360, 4, 71, 17}},
      {kScaleLabel, {363, 5, 67, 15}},
  };
  for (const auto& c : cases) EXPECT_TRUE(same(control_rect(c.control, m), c.expected)) << c.control;
}

TEST(FrameControlBar, ControlRectanglesTruncateEachDivisionOnce) {
  // B = 33, u = 10, U = 87.
  const BarMetrics m = compute_bar_metrics(true, 20, 9, 16);
  EXPECT_TRUE(same(control_rect(kZoomSpin, m), {87 + 43 + 325, 5, 22, 22}));
  EXPECT_TRUE(same(control_rect(kInvertButton, m), {87 + 43 + 365, 5, 44, 22}));
  EXPECT_TRUE(same(control_rect(kScaleLabel, m), {43 + 2 + 326, 6, 87 - 2 - 2, 20}));
}

TEST(FrameControlBar, PanePlacementOfTheFourArrangements) {
  const struct {
    int arrangement, width, height;
    Rect source, result;
  } cases[] = {
      {202, 640, 426, {0, 26, 320, 400}, {320, 26, 320, 400}},
      {202, 641, 426, {0, 26, 320, 400}, {320, 26, 320, 400}},  // the last column stays uncovered
      {201, 640, 426, {0, 26, 640, 200}, {0, 226, 640, 200}},
      {201, 641, 427, {0, 26, 641, 200}, {0, 226, 641, 200}},   // and the last row here
      {200, 640, 426, {0, 26, 610, 370}, {30, 56, 610, 370}},
      {200, 641, 427, {0, 26, 611, 371}, {30, 56, 611, 371}},
      {203, 641, 427, {0, 26, 641, 401}, {0, 26, 0, 0}},
  };
  for (const auto& c : cases) {
    Rect source{}, result{};
    place_pane_rects(c.arrangement, c.width, c.height, 26, source, result);
    EXPECT_TRUE(same(source, c.source)) << c.arrangement << " " << c.width << "x" << c.height;
    EXPECT_TRUE(same(result, c.result)) << c.arrangement << " " << c.width << "x" << c.height;
  }
}

}  // namespace

#include "app/zoom.h"

#include <gtest/gtest.h>

#include <string>

#include "app/density_slider.h"
#include "view/view_state.h"
#include "sjis.h"

namespace {

TEST(Zoom, FactorsAndLabelsInBothLanguages) {
  const struct {
    int level;
    double factor;
    const char* english;
    const char* japanese;  // UTF-8, stored as Shift-JIS
  } cases[] = {
      {8, 8.0, "scale 8", "ｽｹｰﾙ 8"},          {2, 2.0, "scale 2", "ｽｹｰﾙ 2"},
      {1, 1.0, "scale 1", "ｽｹｰﾙ 1"},          {0, 0.5, "scale1/2", "ｽｹｰﾙ1/2"},
      {-1, 1.0 / 3, "scale1/3", "ｽｹｰﾙ1/3"},   {-6, 0.125, "scale1/8", "ｽｹｰﾙ1/8"},
      {-7, 0.0, "scale 0", "ｽｹｰﾙ 0"},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(zoom_factor_of(c.level), c.factor) << c.level;
    char label[32];
    format_scale_label(c.level, false, label, sizeof label);
    EXPECT_EQ(std::string(label), c.english);
    format_scale_label(c.level, true, label, sizeof label);
    EXPECT_EQ(std::string(label), sjis(c.japanese)) << c.english;
  }
  EXPECT_EQ(sjis("ｽｹｰﾙ 1"), "\xBD\xB9\xB0\xD9 1");  // one byte per half-width katakana
}

TEST(Zoom, InAndOutSteps) {
  const struct {
    bool in;
    int level;
    bool ctrl;
    bool applies;
    int next;
  } cases[] = {
      {true, 1, false, true, 2},    {true, 7, false, true, 8},   {true, 8, false, false, 0},
      {true, 8, true, true, 8},     {true, 3, true, true, 8},    {true, 1, true, true, 8},
      {true, -7, true, true, 1},    {true, 0, true, true, 1},    {true, -7, false, true, -6},
      {false, 1, false, true, 0},   {false, -6, false, true, -7}, {false, -7, false, false, 0},
      {false, 1, true, true, -7},   {false, 3, true, true, 1},   {false, -7, true, true, -7},
      {false, 0, true, true, -7},
  };
  for (const auto& c : cases) {
    int next = 99;
    const bool applies = c.in ? zoom_in_level(c.level, c.ctrl, next) : zoom_out_level(c.level, c.ctrl, next);
    EXPECT_EQ(applies, c.applies) << c.in << " " << c.level << " " << c.ctrl;
    if (c.applies) EXPECT_EQ(next, c.next) << c.in << " " << c.level << " " << c.ctrl;
  }
}

TEST(Zoom, RescaledPositions) {
  const struct {
    int position;
    double new_factor, old_factor;
    int maximum, expected;
  } cases[] = {
      {100, 4, 2, 1000, 200},      // zoom 2 -> 4
      {100, 4, 2, 150, 150},       // limited to the new range
      {101, 1.0 / 3, 1, 500, 33},  // truncated toward zero
      {7, 0.5, 1, 500, 3},
      {0, 8, 1, 500, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(rescale_position(c.position, c.new_factor, c.old_factor, 0, c.maximum), c.expected) << c.position;
}

TEST(Zoom, ScrollMaximum) {
  EXPECT_EQ(scroll_maximum(400, 2.0, 300), 500);
  EXPECT_EQ(scroll_maximum(401, 1.0 / 3, 100), 33);  // 133.67 - 100, truncated
  EXPECT_EQ(scroll_maximum(400, 1.0, 500), 0);       // a pane larger than the picture
  EXPECT_EQ(scroll_maximum(4000, 0.0, 300), 0);      // fit mode never scrolls
  EXPECT_EQ(scroll_maximum(0, 8.0, 300), 0);         // no picture
}

TEST(Zoom, ScrollSteps) {
  const struct {
    int code, maximum, thumb, current;
    double zoom;
    int step;
  } cases[] = {
      {kLineDown, 800, 0, 10, 4.0, 4},     {kLineUp, 800, 0, 10, 4.0, -4},
      {kLineDown, 800, 0, 10, 0.5, 1},     {kLineUp, 800, 0, 10, 1.0 / 8, -1},
      {kPageDown, 800, 0, 10, 1.0, 50},    {kPageDown, 100, 0, 10, 1.0, 16},
      {kPageUp, 800, 0, 100, 1.0, -50},    {kPageUp, 100, 0, 100, 1.0, -16},
      {kPageDown, 100, 0, 10, 3.0, 48},    {kPageDown, 800, 0, 10, 1.0 / 3, 50},
      {kPageDown, 70, 0, 10, 1.0 / 3, 5},  // 16/3 = 5.33 > 70/16 = 4: truncated to 5
      {kThumbPosition, 800, 300, 10, 1.0, 290}, {kThumbTrack, 800, 300, 10, 1.0, 0},
      {kTop, 800, 0, 120, 1.0, -120},      {kBottom, 800, 0, 120, 1.0, 680},
      {kEndScroll, 800, 0, 120, 1.0, 0},   {99, 800, 0, 120, 1.0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(scroll_step(c.code, c.maximum, 0, c.thumb, c.current, c.zoom), c.step)
        << "code " << c.code << " max " << c.maximum << " zoom " << c.zoom;
}

TEST(Zoom, DensitySteps) {
  const struct {
    int code, thumb, current, step;
  } cases[] = {
      {kLineUp, 0, 127, -1},  {kLineDown, 0, 127, 1},    {kPageUp, 0, 127, -16},
      {kPageDown, 0, 250, 16}, {kThumbTrack, 200, 127, 73}, {kThumbPosition, 3, 127, -124},
      {kTop, 0, 127, 0},      {kBottom, 0, 127, 0},        {kEndScroll, 0, 127, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(density_step(c.code, c.thumb, c.current), c.step) << c.code;
}

TEST(Zoom, DensityLimits) {
  EXPECT_EQ(next_density(kPageDown, 0, 250), 254);
  EXPECT_EQ(next_density(kLineUp, 0, 0), 0);
  EXPECT_EQ(next_density(kPageUp, 0, 5), 0);
  EXPECT_EQ(next_density(kThumbTrack, -3, 10), 0);  // a thumb position arrives signed
  EXPECT_EQ(next_density(kThumbTrack, 300, 10), 254);
  EXPECT_EQ(next_density(kLineUp, 0, 127), 126);
}

}  // namespace

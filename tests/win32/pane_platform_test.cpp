// The panes on a 256-colour screen and on a platform before 3.95, in real windows.
// These run in their own test runs (a depth-8 display, Wine's "nt351" version) and
// skip themselves elsewhere.
#include <gtest/gtest.h>

#include "app/frame_win32.h"
#include "view/view_state.h"
#include "mono/random_source.h"
#include "pane_fixture.h"

namespace {

class PaneDepth8 : public PaneFixture {};

TEST_F(PaneDepth8, DeepPicturesAreNoiseDitheredAnewOnEveryPaint) {
  if (state_.screen_depth != 8) GTEST_SKIP() << "needs a 256-colour screen";
  TestPicture p;
  p.width = 100;
  p.height = 80;
  p.index = [](int32_t x, int32_t y) { return scatter(x, y) & 0xFFFFFF; };
  open(p);
  set_view(1, 0, 0);
  const RandomSource before = state_.random;
  const Capture first = repaint(source_);
  // Three draws for every visible picture pixel.
  RandomSource replay = before;
  for (int i = 0; i < 3 * 100 * 80; ++i) draw_random(replay);
  EXPECT_EQ(state_.random.state, replay.state);
  const Capture second = repaint(source_);
  int changed = 0;
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 100; ++x) changed += first.at(x, y) != second.at(x, y);
  EXPECT_GT(changed, 0);
  for (int32_t y = 80; y < first.height; ++y) EXPECT_EQ(first.at(0, y), background_);

  // An 8-bit picture is left to the platform: no draws.
  p.bit_count = 8;
  p.index = [](int32_t x, int32_t y) { return scatter(x, y) & 0xFF; };
  open(p);
  const RandomSource unchanged = state_.random;
  repaint(source_);
  EXPECT_EQ(state_.random.state, unchanged.state);
}

class PaneOldPlatform : public PaneFixture {};

TEST_F(PaneOldPlatform, RunsWithTheOldVersionNumber) {
  if (state_.version >= 863) GTEST_SKIP() << "needs a platform before 3.95";
  EXPECT_EQ(state_.version, 819);  // 3.51
}

}  // namespace

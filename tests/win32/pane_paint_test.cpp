// The panes' special paths: the too-large notice, no picture, the cascade strips,
// the photo modes' live dither, and the redraws of screens and platforms that this
// machine can't give, painted into a memory device context.
#include <gtest/gtest.h>

#include <cstring>

#include "app/frame_win32.h"
#include "view/view_state.h"
#include "image/pixel.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "pane_fixture.h"
#include "res/resource_ids.h"
#include "view/panes_win32.h"
#include "view/view_mapping.h"

namespace {

// Default conditions with the frame's view, conversion settings and random source.
PaneConditions default_conditions(FrameState& state) {
  PaneConditions c;
  c.view = state.view;
  c.conversion = state.conversion;
  c.random = &state.random;
  return c;
}

TestPicture solid(int32_t w, int32_t h, uint32_t rgb) {
  TestPicture p;
  p.width = w;
  p.height = h;
  p.index = [rgb](int32_t, int32_t) { return rgb; };
  return p;
}

TestPicture scattered(int32_t w, int32_t h) {
  TestPicture p;
  p.width = w;
  p.height = h;
  p.index = [](int32_t x, int32_t y) { return scatter(x, y) & 0xFFFFFF; };
  return p;
}

// A 32-bit memory device context standing in for a pane.
struct MemoryPane {
  explicit MemoryPane(int32_t w, int32_t h) : width(w), height(h) {
    HDC screen = GetDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    previous = SelectObject(dc, section);
    fill(0x123456);
  }
  ~MemoryPane() {
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(section);
  }
  void fill(uint32_t rgb) {
    GdiFlush();
    for (int32_t i = 0; i < width * height; ++i) static_cast<uint32_t*>(bits)[i] = rgb;
  }
  uint32_t at(int32_t x, int32_t y) const {
    GdiFlush();
    return static_cast<const uint32_t*>(bits)[y * width + x] & 0xFFFFFF;
  }
  RECT rect() const { return RECT{0, 0, width, height}; }
  int32_t width, height;
  HBITMAP section;
  void* bits = nullptr;
  HDC dc;
  HGDIOBJ previous;
};

class PanePaint : public PaneFixture {};

TEST_F(PanePaint, TooLargeNoticeInsteadOfThePicture) {
  open(solid(8192, 2, 0x336699));
  // The notice as the device context's default font and colours draw it.
  MemoryPane reference(client(source_).right, client(source_).bottom);
  reference.fill(background_);
  const char* text = "can't display, bitmap too large";
  TextOutA(reference.dc, 5, 5, text, static_cast<int>(std::strlen(text)));
  for (HWND pane : {source_, result_}) {
    set_view(4, 0, 0);
    const Capture c = repaint(pane);
    int differences = 0;
    for (int32_t y = 0; y < c.height; ++y)
      for (int32_t x = 0; x < c.width; ++x) differences += c.at(x, y) != reference.at(x, y);
    EXPECT_EQ(differences, 0) << (pane == source_ ? "source" : "result");
    set_view(3, 0, 0);
    EXPECT_EQ(repaint(pane).at(5, 3), pane == source_ ? 0x336699u : 0u);
  }
}

TEST_F(PanePaint, NoPictureShowsOnlyTheBackground) {
  for (int level : {1, 2, -7}) {
    set_view(level, 0, 0);
    for (HWND pane : {source_, result_}) {
      const Capture c = repaint(pane);
      for (uint32_t v : c.pixels) ASSERT_EQ(v, background_);
    }
  }
}

TEST_F(PanePaint, CascadeRepaintsOnlyTheUncoveredStrips) {
  open(solid(300, 300, 0x00FF00));
  set_view(1, 0, 0);
  repaint(source_);
  state_.arrangement = IDM_CASCADE;
  HDC dc = GetDC(source_);
  const RECT r = client(source_);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &r, red);
  DeleteObject(red);
  ReleaseDC(source_, dc);
  const Capture c = repaint(source_);
  for (int32_t y = 0; y < c.height; ++y)
    for (int32_t x = 0; x < c.width; ++x)
      ASSERT_EQ(c.at(x, y), x < 29 || y < 29 ? 0x00FF00u : 0xFF0000u) << x << "," << y;
  state_.arrangement = 202;
}

TEST_F(PanePaint, PhotoModesDitherPerBlockAndAnewOnEveryPaint) {
  frame_.set_density(128);
  open(solid(100, 100, 0x808080));  // luminance 128: the dither decides every block
  set_view(4, 0, 0);
  state_.conversion.mode = kModePhotoHard;
  const Capture first = repaint(result_);
  const Capture second = repaint(result_);
  int changed = 0;
  for (int32_t y = 0; y < first.height; ++y) {
    for (int32_t x = 0; x < first.width; ++x) {
      ASSERT_EQ(first.at(x, y), first.at(x - x % 4, y - y % 4)) << x << "," << y;
      changed += first.at(x, y) != second.at(x, y);
    }
  }
  EXPECT_GT(changed, 0);

  // Full white stays white whatever the threshold draws, at any density below 128.
  open(solid(100, 100, 0xFFFFFF));
  set_view(1, 0, 0);
  for (int density : {0, 64, 127}) {
    frame_.set_density(density);
    const Capture c = repaint(result_);
    for (int32_t y = 0; y < 100; ++y)
      for (int32_t x = 0; x < 100; ++x) ASSERT_EQ(c.at(x, y), 0xFFFFFFu) << density;
  }
  state_.conversion = ConversionSettings();
}

TEST_F(PanePaint, SixteenColourScreenRedrawsInBrushBlocks) {
  const TestPicture p = scattered(60, 50);
  open(p);
  PaneConditions sixteen = default_conditions(state_);
  sixteen.screen_depth = 4;
  MemoryPane pane(160, 120);
  for (int level : {3, 1}) {
    set_view(level, 0, 0);
    sixteen.view = state_.view;
    pane.fill(0x123456);
    paint_source_content(pane.dc, pane.rect(), pane.rect(), sixteen);
    const int32_t block = level;
    for (int32_t y = 0; y < std::min(120, 50 * block); ++y) {
      for (int32_t x = 0; x < std::min(160, 60 * block); ++x) {
        const uint32_t expected = p.index(x / block, y / block);
        ASSERT_EQ(pane.at(x, y), expected) << "level " << level << " at " << x << "," << y;
      }
    }
  }
}

TEST_F(PanePaint, BeforeThreeTenTheLiveRenderingDrawsOverTheResult) {
  frame_.set_density(128);
  state_.conversion.fast = false;
  state_.conversion.mode = kModePhotoHard;
  open(solid(50, 40, 0x808080));
  set_view(2, 0, 0);
  MemoryPane pane(160, 120);
  for (unsigned short version : {1537, 0x0300}) {
    PaneConditions conditions = default_conditions(state_);
    conditions.version = version;
    const RandomSource before = state_.random;
    paint_result_content(pane.dc, pane.rect(), pane.rect(), conditions);
    // One draw per 2 x 2 block over the 100 x 80 zoomed picture, only before 3.10.
    RandomSource replay = before;
    if (version < 778) {
      for (int block = 0; block < 50 * 40; ++block) draw_threshold(kModePhotoHard, 128, replay);
    }
    EXPECT_EQ(state_.random.state, replay.state) << version;
  }
  // The pane now shows the live rendering: every 2 x 2 block by itself.
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 100; ++x) ASSERT_EQ(pane.at(x, y), pane.at(x - x % 2, y - y % 2));
  state_.conversion = ConversionSettings();
}

}  // namespace

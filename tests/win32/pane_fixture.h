// Real source and result panes in a visible frame, pictures written as BMP files and
// opened by the program's own reader, and captures of what a pane shows.
#ifndef QVX_PANE_FIXTURE_H
#define QVX_PANE_FIXTURE_H

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "test_frame.h"

// A picture to write: colour(column, row from the top) gives the pixel.
struct TestPicture {
  int32_t width = 0, height = 0;
  int bit_count = 24;  // 8 (palette of 256 entries), 24
  bool top_down = false;
  bool rle = false;  // 8-bit run-length compressed
  std::function<uint32_t(int32_t, int32_t)> index;  // colour index (8-bit) or 0xRRGGBB (24-bit)
};

// Returns a file of the picture.
std::vector<unsigned char> picture_file(const TestPicture& p);

// The colour-table entry i of 8-bit test pictures: all 256 entries differ.
uint32_t test_palette_entry(uint32_t i);

// A pixel-level hash: neighbours differ, so a shifted sample shows.
uint32_t scatter(int32_t x, int32_t y);

// What a pane shows: 0xRRGGBB per pixel, row 0 at the top.
struct Capture {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Copies a device context's area into a capture.
Capture capture_dc(HDC dc, int32_t width, int32_t height);

class PaneFixture : public ::testing::Test {
 protected:
  PaneFixture();
  ~PaneFixture() override;

  // Writes the picture to a file and opens it as the user's Open command does.
  void open(const TestPicture& p);
  // Sets zoom level and scroll offsets (kept inside the zoomed picture).
  void set_view(int level, int32_t sx, int32_t sy);
  // Invalidates a pane, lets it paint, and returns what its client area shows.
  Capture repaint(HWND pane, const RECT* area = nullptr);
  RECT client(HWND pane) const;

  TestFrame frame_;
  FrameState& state_ = frame_.state;
  MessageBoxWatcher boxes_;
  HWND source_ = nullptr, result_ = nullptr;
  std::string folder_;
  uint32_t background_ = 0xC0C0C0;
};

#endif

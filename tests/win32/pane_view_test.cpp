// The panes in a real window: what every pixel shows at every zoom.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <vector>

#include "app/frame_win32.h"
#include "view/view_state.h"
#include "image/pixel.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "pane_fixture.h"
#include "view/view_mapping.h"

namespace {

struct Kind {
  const char* name;
  int bit_count;
  bool top_down, rle;
};

const Kind kKinds[] = {{"8-bit", 8, false, false}, {"24-bit", 24, false, false}, {"top-down", 24, true, false},
                       {"RLE8", 8, false, true}};

TestPicture make_picture(const Kind& k, int32_t w, int32_t h) {
  TestPicture p;
  p.width = w;
  p.height = h;
  p.bit_count = k.bit_count;
  p.top_down = k.top_down;
  p.rle = k.rle;
  if (k.bit_count == 8) {
    p.index = [](int32_t x, int32_t y) { return scatter(x, y) & 0xFF; };
  } else {
    p.index = [](int32_t x, int32_t y) { return scatter(x, y) & 0xFFFFFF; };
  }
  return p;
}

uint32_t colour_of(const TestPicture& p, int32_t x, int32_t y) {
  const uint32_t v = p.index(x, y);
  return p.bit_count == 8 ? test_palette_entry(v) : v;
}

// The source columns (or rows) whose span in a stretch overlaps pane position d: a
// nearest-sample stretch shows one of them, which one is the platform's choice.
void overlapped(int32_t d, int32_t dest, int32_t src_start, int32_t src_extent, int32_t& first, int32_t& last) {
  first = src_start + static_cast<int32_t>(std::floor(static_cast<double>(d) * src_extent / dest));
  last = src_start + static_cast<int32_t>(std::ceil(static_cast<double>(d + 1) * src_extent / dest)) - 1;
}

struct Zoom {
  int level;
  int32_t sx, sy;
};

const Zoom kZooms[] = {{1, 0, 0},  {1, 17, 9},  {2, 0, 0},  {2, 31, 23}, {3, 0, 0},  {3, 100, 47},
                       {0, 0, 0},  {0, 19, 7},  {-2, 0, 0}, {-7, 0, 0}};

// The transfer the source pane makes, as pane and picture rectangles (source y
// counted upward from the bottom row).
Transfer expected_transfer(const ViewState& view, const TestPicture& p, int level, const RECT& r) {
  if (level == -7) return fit_stretch(r.right, r.bottom, p.width, p.height);
  if (level != 1) {
    return scaled_stretch(p.width, p.height, view.zoom_factor, view.scroll_x, view.scroll_y, r.right,
                          r.bottom);
  }
  Transfer t;
  t.dest_width = std::min<int32_t>(r.right, p.width - view.scroll_x);
  t.dest_height = std::min<int32_t>(r.bottom, p.height - view.scroll_y);
  t.src_x = view.scroll_x;
  t.src_width = t.dest_width;
  t.src_height = t.dest_height;
  t.src_y = p.height - view.scroll_y - t.dest_height;
  return t;
}

// Returns whether one of the picture pixels a stretch may show at (x, y) passes the check.
template <typename Check>
bool stretch_shows(const TestPicture& p, const Transfer& t, int32_t x, int32_t y, Check check) {
  const int32_t top_row = p.height - t.src_y - t.src_height;  // rows counted from the top
  int32_t row0, row1, column0, column1;
  overlapped(y, t.dest_height, top_row, t.src_height, row0, row1);
  overlapped(x, t.dest_width, t.src_x, t.src_width, column0, column1);
  for (int32_t row = std::max(row0, 0); row <= std::min(row1, p.height - 1); ++row)
    for (int32_t column = std::max(column0, 0); column <= std::min(column1, p.width - 1); ++column)
      if (check(column, row)) return true;
  return false;
}

class PaneView : public PaneFixture {
 public:
  void check_source(const std::vector<Kind>& kinds, const std::vector<Zoom>& zooms);
};

// Checks every pixel of the source pane for pictures of the given kinds at the given zooms.
void PaneView::check_source(const std::vector<Kind>& kinds, const std::vector<Zoom>& zooms) {
  for (const Kind& kind : kinds) {
    const TestPicture p = make_picture(kind, 230, 150);
    open(p);
    for (const Zoom& zoom : zooms) {
      set_view(zoom.level, zoom.sx, zoom.sy);
      SCOPED_TRACE(testing::Message() << kind.name << " level " << zoom.level << " scroll " << state_.view.scroll_x << ","
                                      << state_.view.scroll_y);
      const Capture c = repaint(source_);
      const RECT r = client(source_);
      const Transfer t = expected_transfer(state_.view, p, zoom.level, r);
      int wrong = 0;
      for (int32_t y = 0; y < c.height && wrong < 5; ++y) {
        for (int32_t x = 0; x < c.width && wrong < 5; ++x) {
          const uint32_t shown = c.at(x, y);
          const bool ok = x >= t.dest_width || y >= t.dest_height
                              ? shown == background_
                              : stretch_shows(p, t, x, y, [&](int32_t column, int32_t row) {
                                  return colour_of(p, column, row) == shown;
                                });
          if (!ok) {
            ADD_FAILURE() << "(" << x << "," << y << ") shows " << std::hex << shown;
            ++wrong;
          }
        }
      }
    }
  }
}

TEST_F(PaneView, SourcePaneShowsTheMappedSample) {
  check_source(std::vector<Kind>(std::begin(kKinds), std::end(kKinds)), std::vector<Zoom>(std::begin(kZooms), std::end(kZooms)));
}

// Before 3.95 the visible rows go to the platform as a band of their own.
TEST_F(PaneView, OldPlatformBandCopyShowsTheMappedSample) {
  if (state_.version >= 863) GTEST_SKIP() << "needs a platform before 3.95";
  check_source({kKinds[0], kKinds[1], kKinds[2]}, {{2, 0, 0}, {3, 0, 0}, {0, 0, 0}, {1, 0, 0}});
}

TEST_F(PaneView, ResultPaneShowsTheThresholdedSampleInLetterMode) {
  frame_.set_density(128);
  for (const Kind& kind : kKinds) {
    const TestPicture p = make_picture(kind, 230, 150);
    for (bool fast : {true, false}) {
      for (bool invert : {false, true}) {
        state_.conversion.fast = fast;
        state_.conversion.invert = invert;
        state_.conversion.mode = kModeLetter;
        open(p);
        for (const Zoom& zoom : kZooms) {
          set_view(zoom.level, zoom.sx, zoom.sy);
          SCOPED_TRACE(testing::Message() << kind.name << (fast ? " fast" : " converted") << (invert ? " inverted" : "")
                                          << " level " << zoom.level << " scroll " << state_.view.scroll_x << ","
                                          << state_.view.scroll_y);
          const Capture c = repaint(result_);
          const RECT r = client(result_);
          auto white = [&](int32_t column, int32_t row) {
            return (luminance(colour_of(p, column, row)) > 128) != invert;
          };
          ViewInputs v;
          v.width = p.width;
          v.height = p.height;
          v.top_down = p.top_down;
          v.zoom = state_.view.zoom_factor;
          v.scroll_x = state_.view.scroll_x;
          v.scroll_y = state_.view.scroll_y;
          v.client_right = r.right;
          v.client_bottom = r.bottom;
          const BlockGrid grid = make_block_grid(v, PaintRect{0, 0, r.right, r.bottom});
          const Transfer t = expected_transfer(state_.view, p, zoom.level, r);
          const int32_t covered_x = fast ? std::min<int32_t>(r.right, block_columns(grid) * grid.block_width) : t.dest_width;
          const int32_t covered_y = fast ? std::min<int32_t>(r.bottom, block_rows(grid) * grid.block_height) : t.dest_height;
          int wrong = 0;
          for (int32_t y = 0; y < c.height && wrong < 5; ++y) {
            for (int32_t x = 0; x < c.width && wrong < 5; ++x) {
              const uint32_t shown = c.at(x, y);
              bool ok;
              if (x >= covered_x || y >= covered_y) {
                ok = shown == background_;
              } else if (fast) {
                const int32_t storage = grid_row(grid, y - y % grid.block_height);
                const int32_t row = p.top_down ? storage : p.height - 1 - storage;
                ok = shown == (white(grid_column(grid, x - x % grid.block_width), row) ? 0xFFFFFFu : 0u);
              } else {
                ok = (shown == 0xFFFFFF || shown == 0) &&
                     stretch_shows(p, t, x, y, [&](int32_t column, int32_t row) {
                       return white(column, row) == (shown == 0xFFFFFF);
                     });
              }
              if (!ok) {
                ADD_FAILURE() << "(" << x << "," << y << ") shows " << std::hex << shown;
                ++wrong;
              }
            }
          }
        }
      }
    }
  }
  state_.conversion = ConversionSettings();
}

}  // namespace

#include "app/zoom_win32.h"

#include "app/frame_state_win32.h"
#include "app/scroll_win32.h"
#include "app/zoom.h"
#include "view/view_mapping.h"
#include "view/view_state.h"

namespace {

bool ctrl_down() { return GetKeyState(VK_CONTROL) < 0; }

// One step by zoom_in_level or zoom_out_level, then the focus goes to the frame.
void zoom_step(HWND frame, bool (*step)(int level, bool ctrl, int& next)) {
  int next = 0;
  if (step(g_frame.view.zoom_level, ctrl_down(), next)) {
    g_frame.view.zoom_level = next;
    apply_zoom(frame);
  }
  SetFocus(frame);
}

}  // namespace

void zoom_in(HWND frame) { zoom_step(frame, zoom_in_level); }

void zoom_out(HWND frame) { zoom_step(frame, zoom_out_level); }

void apply_zoom(HWND frame) {
  const double old_factor = g_frame.view.zoom_factor;
  g_frame.view.zoom_factor = zoom_factor_of(g_frame.view.zoom_level);
  char text[kScratchSize];
  format_scale_label(g_frame.view.zoom_level, g_frame.japanese, text, sizeof text);
  HWND label = g_frame.controls[kScaleLabel];
  SetWindowTextA(label, text);
  InvalidateRect(label, nullptr, TRUE);
  update_scroll_ranges(g_frame.source_pane);
  // Keep the same part of the picture in view; a fitted picture has no position to keep.
  if (g_frame.view.zoom_factor != 0 && old_factor != 0) {
    for (int bar : {SB_VERT, SB_HORZ}) {
      int minimum = 0, maximum = 0;
      GetScrollRange(frame, bar, &minimum, &maximum);
      const int position =
          rescale_position(GetScrollPos(frame, bar), g_frame.view.zoom_factor, old_factor, minimum, maximum);
      SetScrollPos(frame, bar, position, TRUE);
      (bar == SB_VERT ? g_frame.view.scroll_y : g_frame.view.scroll_x) = position;
    }
  }
  repaint_source_pane();
  InvalidateRect(g_frame.result_pane, nullptr, TRUE);
}

// The spin control zooms once per press-and-release, at the release.
void on_zoom_spin(HWND frame, int code) {
  if (code == kEndScroll) {
    if (g_frame.view.spin_direction > 0) zoom_in(frame);
    if (g_frame.view.spin_direction < 0) zoom_out(frame);
    g_frame.view.spin_direction = 0;
  } else if (code == kLineUp) {
    g_frame.view.spin_direction = 1;
  } else if (code == kLineDown) {
    g_frame.view.spin_direction = -1;
  } else {
    g_frame.view.spin_direction = 0;
  }
}

bool ctrl_down() { return GetKeyState(VK_CONTROL) < 0; }

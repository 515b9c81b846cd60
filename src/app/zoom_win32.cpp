#include "app/zoom_win32.h"

#include "app/frame_state_win32.h"
#include "app/scroll_win32.h"
#include "app/zoom.h"
#include "view/view_mapping.h"
#include "view/view_state.h"

namespace {

bool ctrl_down() { return GetKeyState(VK_CONTROL) < 0; }

// One step by zoom_in_level or zoom_out_level, then the focus goes to the frame.
void zoom_step(FrameState& state, bool (*step)(int level, bool ctrl, int& next)) {
  int next = 0;
  if (step(state.view.zoom_level, ctrl_down(), next)) {
    state.view.zoom_level = next;
    apply_zoom(state);
  }
  SetFocus(state.frame);
}

}  // namespace

void zoom_in(FrameState& state) { zoom_step(state, zoom_in_level); }

void zoom_out(FrameState& state) { zoom_step(state, zoom_out_level); }

void apply_zoom(FrameState& state) {
  HWND frame = state.frame;
  const double old_factor = state.view.zoom_factor;
  state.view.zoom_factor = zoom_factor_of(state.view.zoom_level);
  char text[kScratchSize];
  format_scale_label(state.view.zoom_level, state.japanese, text, sizeof text);
  HWND label = state.controls[kScaleLabel];
  SetWindowTextA(label, text);
  InvalidateRect(label, nullptr, TRUE);
  update_scroll_ranges(state, state.source_pane);
  // Keep the same part of the picture in view; a fitted picture has no position to keep.
  if (state.view.zoom_factor != 0 && old_factor != 0) {
    for (int bar : {SB_VERT, SB_HORZ}) {
      int minimum = 0, maximum = 0;
      GetScrollRange(frame, bar, &minimum, &maximum);
      const int position =
          rescale_position(GetScrollPos(frame, bar), state.view.zoom_factor, old_factor, minimum, maximum);
      SetScrollPos(frame, bar, position, TRUE);
      (bar == SB_VERT ? state.view.scroll_y : state.view.scroll_x) = position;
    }
  }
  repaint_source_pane(state);
  InvalidateRect(state.result_pane, nullptr, TRUE);
}

// The spin control zooms once per press-and-release, at the release.
void on_zoom_spin(FrameState& state, int code) {
  if (code == kEndScroll) {
    if (state.view.spin_direction > 0) zoom_in(state);
    if (state.view.spin_direction < 0) zoom_out(state);
    state.view.spin_direction = 0;
  } else if (code == kLineUp) {
    state.view.spin_direction = 1;
  } else if (code == kLineDown) {
    state.view.spin_direction = -1;
  } else {
    state.view.spin_direction = 0;
  }
}


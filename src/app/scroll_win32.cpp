#include "app/scroll_win32.h"

#include <cstdio>

#include "app/frame_win32.h"
#include "view/view_state.h"
#include "app/zoom.h"
#include "app/picture_commands_win32.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "mono/result_win32.h"
#include "res/resource_ids.h"
#include "view/view_mapping.h"

namespace {

void on_density_scroll(HWND frame, HWND bar, int code, int thumb) {
  const int current = GetScrollPos(bar, SB_CTL);
  const int next = next_density(code, thumb, current);
  if (next != current) {
    SetScrollPos(bar, SB_CTL, next, TRUE);
    std::snprintf(g_frame.scratch, sizeof g_frame.scratch, "%3d", next);
    HWND label = g_frame.controls[kDensityLabel];
    SetWindowTextA(label, g_frame.scratch);
    InvalidateRect(label, nullptr, TRUE);
  }
  if (code == kEndScroll) {
    ++g_frame.density_end_scrolls;
    if (!g_frame.conversion.fast && g_frame.picture.loaded) convert_or_drop(frame);
    InvalidateRect(g_frame.result_pane, nullptr, TRUE);
  }
}

void scroll_panes(HWND frame, int bar, int code, int thumb) {
  const int current = GetScrollPos(frame, bar);
  int minimum = 0, range_max = 0;
  GetScrollRange(frame, bar, &minimum, &range_max);
  const int maximum = bar == SB_VERT ? g_frame.view.max_y : range_max;
  int next = current + scroll_step(code, maximum, 0, thumb, current, g_frame.view.zoom_factor);
  if (next < 0) next = 0;
  if (next > maximum) next = maximum;
  if (next == current) return;
  if (g_frame.arrangement == IDM_CASCADE) {
    repaint_source_pane();
    InvalidateRect(g_frame.result_pane, nullptr, TRUE);
  } else {
    const int dx = bar == SB_HORZ ? current - next : 0;
    const int dy = bar == SB_VERT ? current - next : 0;
    ScrollWindow(g_frame.source_pane, dx, dy, nullptr, nullptr);
    ScrollWindow(g_frame.result_pane, dx, dy, nullptr, nullptr);
  }
  SetScrollPos(frame, bar, next, TRUE);
  (bar == SB_VERT ? g_frame.view.scroll_y : g_frame.view.scroll_x) = next;
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

}  // namespace

void zoom_in(HWND frame) {
  int next = 0;
  if (zoom_in_level(g_frame.view.zoom_level, ctrl_down(), next)) {
    g_frame.view.zoom_level = next;
    apply_zoom(frame);
  }
  SetFocus(frame);
}

void zoom_out(HWND frame) {
  int next = 0;
  if (zoom_out_level(g_frame.view.zoom_level, ctrl_down(), next)) {
    g_frame.view.zoom_level = next;
    apply_zoom(frame);
  }
  SetFocus(frame);
}

void apply_zoom(HWND frame) {
  const double old_factor = g_frame.view.zoom_factor;
  g_frame.view.zoom_factor = zoom_factor_of(g_frame.view.zoom_level);
  format_scale_label(g_frame.view.zoom_level, g_frame.japanese, g_frame.scratch, sizeof g_frame.scratch);
  HWND label = g_frame.controls[kScaleLabel];
  SetWindowTextA(label, g_frame.scratch);
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

void repaint_source_pane() {
  if (g_frame.arrangement != IDM_CASCADE) {
    InvalidateRect(g_frame.source_pane, nullptr, TRUE);
    return;
  }
  // The cascaded result pane covers all but the strips on the left and the top.
  RECT client;
  GetClientRect(g_frame.source_pane, &client);
  RECT left = {0, 0, kCascadeVisibleStrip, client.bottom};
  RECT top = {0, 0, client.right, kCascadeVisibleStrip};
  InvalidateRect(g_frame.source_pane, &left, TRUE);
  InvalidateRect(g_frame.source_pane, &top, TRUE);
}

void update_scroll_ranges(HWND pane) {
  if (g_frame.view.range_guard != 1) return;
  g_frame.view.range_guard = 2;
  HWND frame = g_frame.frame;
  RECT client;
  GetClientRect(pane, &client);
  for (int pass = 0; pass < 2; ++pass) {
    g_frame.view.max_y = scroll_maximum(g_frame.picture.description.height, g_frame.view.zoom_factor, client.bottom);
    g_frame.view.max_x = scroll_maximum(g_frame.picture.description.width, g_frame.view.zoom_factor, client.right);
    if (g_frame.view.scroll_x > g_frame.view.max_x) g_frame.view.scroll_x = g_frame.view.max_x;
    if (g_frame.view.scroll_y > g_frame.view.max_y) g_frame.view.scroll_y = g_frame.view.max_y;
    if (GetScrollPos(frame, SB_VERT) > g_frame.view.max_y || GetScrollPos(frame, SB_HORZ) > g_frame.view.max_x) {
      repaint_source_pane();
      InvalidateRect(g_frame.result_pane, nullptr, TRUE);
    }
    SetScrollRange(frame, SB_VERT, 0, g_frame.view.max_y, TRUE);
    SetScrollRange(frame, SB_HORZ, 0, g_frame.view.max_x, TRUE);
    GetClientRect(pane, &client);
  }
  g_frame.view.range_guard = 1;
}

void on_scroll(HWND frame, int bar, HWND control, int code, int position) {
  if (control == nullptr) {
    scroll_panes(frame, bar, code, position);
  } else if (bar == SB_HORZ) {
    on_density_scroll(frame, control, code, position);
  } else {
    on_zoom_spin(frame, code);
  }
}

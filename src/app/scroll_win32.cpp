#include "app/scroll_win32.h"

#include <cstdio>

#include "app/frame_state_win32.h"
#include "view/view_state.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "mono/result_win32.h"
#include "res/resource_ids.h"
#include "view/view_mapping.h"

void scroll_panes(FrameState& state, int bar, int code, int thumb) {
  HWND frame = state.frame;
  const int current = GetScrollPos(frame, bar);
  int minimum = 0, range_max = 0;
  GetScrollRange(frame, bar, &minimum, &range_max);
  const int maximum = bar == SB_VERT ? state.view.max_y : range_max;
  int next = current + scroll_step(code, maximum, 0, thumb, current, state.view.zoom_factor);
  if (next < 0) next = 0;
  if (next > maximum) next = maximum;
  if (next == current) return;
  if (state.arrangement == IDM_CASCADE) {
    repaint_source_pane(state);
    InvalidateRect(state.result_pane, nullptr, TRUE);
  } else {
    const int dx = bar == SB_HORZ ? current - next : 0;
    const int dy = bar == SB_VERT ? current - next : 0;
    ScrollWindow(state.source_pane, dx, dy, nullptr, nullptr);
    ScrollWindow(state.result_pane, dx, dy, nullptr, nullptr);
  }
  SetScrollPos(frame, bar, next, TRUE);
  (bar == SB_VERT ? state.view.scroll_y : state.view.scroll_x) = next;
}

void repaint_source_pane(const FrameState& state) {
  if (state.arrangement != IDM_CASCADE) {
    InvalidateRect(state.source_pane, nullptr, TRUE);
    return;
  }
  // The cascaded result pane covers all but the strips on the left and the top.
  RECT client;
  GetClientRect(state.source_pane, &client);
  RECT left = {0, 0, kCascadeVisibleStrip, client.bottom};
  RECT top = {0, 0, client.right, kCascadeVisibleStrip};
  InvalidateRect(state.source_pane, &left, TRUE);
  InvalidateRect(state.source_pane, &top, TRUE);
}

void update_scroll_ranges(FrameState& state, HWND pane) {
  if (state.view.range_guard != 1) return;
  state.view.range_guard = 2;
  HWND frame = state.frame;
  RECT client;
  GetClientRect(pane, &client);
  for (int pass = 0; pass < 2; ++pass) {
    state.view.max_y = scroll_maximum(state.picture.description.height, state.view.zoom_factor, client.bottom);
    state.view.max_x = scroll_maximum(state.picture.description.width, state.view.zoom_factor, client.right);
    if (state.view.scroll_x > state.view.max_x) state.view.scroll_x = state.view.max_x;
    if (state.view.scroll_y > state.view.max_y) state.view.scroll_y = state.view.max_y;
    if (GetScrollPos(frame, SB_VERT) > state.view.max_y || GetScrollPos(frame, SB_HORZ) > state.view.max_x) {
      repaint_source_pane(state);
      InvalidateRect(state.result_pane, nullptr, TRUE);
    }
    SetScrollRange(frame, SB_VERT, 0, state.view.max_y, TRUE);
    SetScrollRange(frame, SB_HORZ, 0, state.view.max_x, TRUE);
    GetClientRect(pane, &client);
  }
  state.view.range_guard = 1;
}

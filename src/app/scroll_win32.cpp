#include "app/scroll_win32.h"

#include <cstdio>

#include "app/frame_state_win32.h"
#include "view/view_state.h"
#include "image/store_win32.h"
#include "mono/conversion.h"
#include "mono/result_win32.h"
#include "res/resource_ids.h"
#include "view/view_mapping.h"

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

#include "app/density_slider_win32.h"

#include <cstdio>

#include "app/density_slider.h"
#include "app/frame_win32.h"
#include "app/picture_commands_win32.h"
#include "view/view_state.h"

int current_density() { return GetScrollPos(g_frame.controls[kDensityBar], SB_CTL); }

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

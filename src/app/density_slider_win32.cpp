#include "app/density_slider_win32.h"

#include <cstdio>

#include "app/density_slider.h"
#include "app/frame_state_win32.h"
#include "view/view_state.h"

int current_density(const FrameState& state) { return GetScrollPos(state.controls[kDensityBar], SB_CTL); }

bool on_density_scroll(FrameState& state, HWND bar, int code, int thumb) {
  const int current = GetScrollPos(bar, SB_CTL);
  const int next = next_density(code, thumb, current);
  if (next != current) {
    SetScrollPos(bar, SB_CTL, next, TRUE);
    char text[16];
    std::snprintf(text, sizeof text, "%3d", next);
    HWND label = state.controls[kDensityLabel];
    SetWindowTextA(label, text);
    InvalidateRect(label, nullptr, TRUE);
  }
  if (code != kEndScroll) return false;
  ++state.density_end_scrolls;
  return true;
}

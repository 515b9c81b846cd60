#include "view/view_state.h"

int scroll_maximum(int picture_extent, double zoom_factor, int pane_extent) {
  const double maximum = picture_extent * zoom_factor - pane_extent;
  if (maximum <= 0) return 0;
  return maximum >= 2147483647.0 ? 2147483647 : static_cast<int>(maximum);
}

int scroll_step(int code, int maximum, int minimum, int thumb, int current, double zoom_factor) {
  const double line = zoom_factor < 1 ? 1 : zoom_factor;
  const int e = (maximum - minimum) / 16;
  const int page = 16 * zoom_factor > e ? static_cast<int>(16 * zoom_factor) : e;
  switch (code) {
    case kLineUp: return -static_cast<int>(line);
    case kLineDown: return static_cast<int>(line);
    case kPageUp: return -page;
    case kPageDown: return page;
    case kThumbPosition: return thumb - current;
    case kTop: return minimum - current;
    case kBottom: return maximum - current;
    default: return 0;
  }
}

#include "app/control_bar.h"

#include "res/resource_ids.h"

BarMetrics compute_bar_metrics(bool newer_platform, int text_height, int average_char_width, int scroll_bar_size) {
  BarMetrics m;
  if (newer_platform) {
    const int s = scroll_bar_size > 36 ? 36 : scroll_bar_size;
    const int larger = s > text_height ? s : text_height;
    m.bar_height = larger * 30 / 18;
    m.unit = larger / 2;
  } else {
    m.bar_height = text_height * 30 / 18;
    m.unit = average_char_width;
  }
  m.label_width = 8 * m.unit + 7;
  return m;
}

Rect control_rect(BarControl control, const BarMetrics& m) {
  const int B = m.bar_height, u = m.unit, U = m.label_width;
  switch (control) {
    case kDensityBar: return {B / 4, B / 4, 300, B / 2};
    case kDensityBarFrame: return {B / 4 - 1, B / 4 - 1, 302, B / 2 + 2};
    case kZoomSpin: return {U + U / 2 + 325, B / 6, (2 * B) / 3, (2 * B) / 3};
    case kInvertButton: return {U + U / 2 + 365, B / 6, (4 * B) / 3, (2 * B) / 3};
    case kDensityLabel: return {320, B / 6 + 1, U / 2, (2 * B) / 3 - 2};
    case kScaleFrame: return {U / 2 + 325, B / 6, U, (2 * B) / 3};
    case kScaleLabel: return {U / 2 + u / 4 + 326, B / 6 + 1, U - u / 4 - 2, (2 * B) / 3 - 2};
    default: return {0, 0, 0, 0};
  }
}

void place_pane_rects(int arrangement, int W, int H, int B, Rect& source, Rect& result) {
  switch (arrangement) {
    case IDM_HORIZONTAL:
      source = {0, B, W, (H - B) / 2};
      result = {0, B + (H - B) / 2, W, (H - B) / 2};
      return;
    case IDM_CASCADE:
      source = {0, B, W - 30, H - B - 30};
      result = {30, B + 30, W - 30, H - B - 30};
      return;
    case IDM_VIEWER:
      source = {0, B, W, H - B};
      result = {0, B, 0, 0};
      return;
    default:
      source = {0, B, W / 2, H - B};
      result = {W / 2, B, W / 2, H - B};
      return;
  }
}

void progress_text_position(const BarMetrics& m, int text_height, int& x, int& y) {
  x = m.label_width / 2 + m.label_width + (4 * m.bar_height) / 3 + 380;
  y = (m.bar_height - text_height) / 2;
}

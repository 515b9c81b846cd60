#include "app/zoom.h"

#include <cstdio>

#include "app/app_texts.h"

double zoom_factor_of(int level) {
  if (level >= 1) return level;
  if (level > kFitZoomLevel) return 1.0 / (2 - level);
  return 0.0;
}

void format_scale_label(int level, bool japanese, char* out, size_t out_size) {
  if (level >= 1) {
    std::snprintf(out, out_size, japanese ? kJaScaleFormat : kEnScaleFormat, level);
  } else if (level > kFitZoomLevel) {
    std::snprintf(out, out_size, japanese ? kJaScaleFractionFormat : kEnScaleFractionFormat, 2 - level);
  } else {
    std::snprintf(out, out_size, "%s", japanese ? kJaScaleFit : kEnScaleFit);
  }
}

bool zoom_in_level(int level, bool ctrl, int& next) {
  if (ctrl) {
    next = level < 1 ? 1 : kZoomHighest;
    return true;
  }
  if (level >= kZoomHighest) return false;
  next = level + 1;
  return true;
}

bool zoom_out_level(int level, bool ctrl, int& next) {
  if (ctrl) {
    next = level > 1 ? 1 : kFitZoomLevel;
    return true;
  }
  if (level <= kFitZoomLevel) return false;
  next = level - 1;
  return true;
}

int rescale_position(int position, double new_factor, double old_factor, int minimum, int maximum) {
  const double scaled = position * new_factor / old_factor;
  if (scaled <= minimum) return minimum;
  if (scaled >= maximum) return maximum;
  return static_cast<int>(scaled);
}

// Zoom levels: their factors, scale labels, the steps of zoom in and out, and
// the scroll position carried over a zoom change.
#ifndef QVX_ZOOM_H
#define QVX_ZOOM_H

#include <cstddef>

#include "view/view_mapping.h"

// The lowest level is kFitZoomLevel, the picture fitted to the pane.
constexpr int kZoomHighest = 8;

// Returns the display scale of a level: L above 0, 1/(2 - L) down to -6, 0.0 (fit) at -7.
double zoom_factor_of(int level);

// Writes the scale label of a level into out ("scale 2", "scale1/4", "scale 0").
void format_scale_label(int level, bool japanese, char* out, size_t out_size);

// Returns true and the new level when zooming in applies a level (Ctrl jumps to 1 or 8).
bool zoom_in_level(int level, bool ctrl, int& next);

// Returns true and the new level when zooming out applies a level (Ctrl jumps to 1 or fit).
bool zoom_out_level(int level, bool ctrl, int& next);

// Returns a scroll position scaled from the old factor to the new one, limited to the range.
int rescale_position(int position, double new_factor, double old_factor, int minimum, int maximum);

#endif

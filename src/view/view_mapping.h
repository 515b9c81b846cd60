// The pane arithmetic both panes share: which transfer draws the picture, the
// rectangles of each transfer, the size limit, and the block grid with which a pane
// draws the picture itself one sample at a time.
#ifndef QVX_VIEW_MAPPING_H
#define QVX_VIEW_MAPPING_H

#include <cstdint>

enum DrawMethod { kFitStretch, kOneToOne, kScaledStretch };

constexpr int kFitZoomLevel = -7;  // the lowest zoom level: the picture fitted to the pane

// In the cascade the result pane covers the source pane from (29, 29) on: only the
// strips of this width on the left and the top of the source pane show.
constexpr int kCascadeVisibleStrip = 29;

// Returns the transfer for a zoom level: -7 fits, 1 is one-to-one, the rest stretch.
DrawMethod draw_method(int zoom_level);

// Destination and source of one transfer; the source y counts rows upward from the
// picture's bottom row, as the device-independent-bitmap transfers take it.
struct Transfer {
  int32_t dest_x = 0, dest_y = 0, dest_width = 0, dest_height = 0;
  int32_t src_x = 0, src_y = 0, src_width = 0, src_height = 0;
};

// Returns the whole picture stretched onto the whole client area.
Transfer fit_stretch(int32_t client_right, int32_t client_bottom, int32_t width, int32_t height);

// Returns the unscaled transfer that puts the picture's upper-left corner at (-sx, -sy):
// all `height` scan lines from scan line 0, source origin (sx, -sy).
Transfer one_to_one(int32_t scroll_x, int32_t scroll_y, int32_t width, int32_t height);

// Returns true when the zoomed picture is wider or taller than 32767 pixels.
bool too_large(int32_t width, int32_t height, double zoom);

// Returns the stretch of the visible part, computed from the client size: the platform
// clips it to the update region.
Transfer scaled_stretch(int32_t width, int32_t height, double zoom, int32_t scroll_x, int32_t scroll_y,
                        int32_t client_right, int32_t client_bottom);

struct PaintRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// What a view shows: picture size and row order, zoom, scroll offsets, client size.
struct ViewInputs {
  int32_t width = 0, height = 0;
  bool top_down = false;
  double zoom = 1.0;  // 0.0: fitted to the pane
  int32_t scroll_x = 0, scroll_y = 0;
  int32_t client_right = 0, client_bottom = 0;
};

// Blocks start at (x_begin, y_begin) and advance by the block size while x < x_end and
// y < y_end; the last block may reach past the bounds.
struct BlockGrid {
  int32_t block_width = 1, block_height = 1;
  int32_t x_begin = 0, x_end = 0, y_begin = 0, y_end = 0;
  ViewInputs view;
};

// Returns the grid for a paint rectangle. The bounds never reach past the zoomed
// picture, so every block maps to a pixel inside it.
BlockGrid make_block_grid(const ViewInputs& view, const PaintRect& paint);

// Returns the number of block positions along each axis.
int32_t block_columns(const BlockGrid& grid);
int32_t block_rows(const BlockGrid& grid);

// Returns the picture column sampled for pane column x.
int32_t grid_column(const BlockGrid& grid, int32_t x);

// Returns the storage row sampled for pane row y (row 0 is stored first).
int32_t grid_row(const BlockGrid& grid, int32_t y);

// Returns the platform colour value 0x00BBGGRR of a 0xRRGGBB colour.
inline uint32_t platform_colour(uint32_t rgb) {
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

// Returns a noise-dithered colour: red, green and blue moved by three draws of
// spans 51, 36 and 63 around the sample, clamped, as a palette-relative platform value.
uint32_t noise_dithered_colour(uint32_t rgb, int red_draw, int green_draw, int blue_draw);

#endif

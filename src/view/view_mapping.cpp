#include "view/view_mapping.h"

#include <algorithm>

DrawMethod draw_method(int zoom_level) {
  if (zoom_level == kFitZoomLevel) return kFitStretch;
  if (zoom_level == 1) return kOneToOne;
  return kScaledStretch;
}

Transfer fit_stretch(int32_t client_right, int32_t client_bottom, int32_t width, int32_t height) {
  Transfer t;
  t.dest_width = client_right;
  t.dest_height = client_bottom;
  t.src_width = width;
  t.src_height = height;
  return t;
}

Transfer one_to_one(int32_t scroll_x, int32_t scroll_y, int32_t width, int32_t height) {
  Transfer t;
  t.dest_width = width;
  t.dest_height = height;
  t.src_x = scroll_x;
  t.src_y = -scroll_y;
  t.src_width = width;
  t.src_height = height;
  return t;
}

bool too_large(int32_t width, int32_t height, double zoom) {
  return width * zoom > 32767.0 || height * zoom > 32767.0;
}

Transfer scaled_stretch(int32_t width, int32_t height, double zoom, int32_t scroll_x, int32_t scroll_y,
                        int32_t client_right, int32_t client_bottom) {
  const double visible_width = std::min<double>(client_right, width * zoom - scroll_x);
  const double visible_height = std::min<double>(client_bottom, height * zoom - scroll_y);
  Transfer t;
  t.dest_width = static_cast<int32_t>(visible_width);
  t.dest_height = static_cast<int32_t>(visible_height);
  t.src_x = static_cast<int32_t>(scroll_x / zoom);
  t.src_y = static_cast<int32_t>(std::max(0.0, height - (client_bottom + scroll_y - 3 * zoom / 4) / zoom));
  t.src_width = static_cast<int32_t>((visible_width + zoom / 2) / zoom);
  t.src_height =
      static_cast<int32_t>(std::min<double>(client_bottom, height * zoom - scroll_y + 3 * zoom / 4) / zoom);
  return t;
}

namespace {

int32_t ceiling_quotient(int32_t a, int32_t b) { return a / b + (a % b != 0 ? 1 : 0); }

}  // namespace

BlockGrid make_block_grid(const ViewInputs& view, const PaintRect& paint) {
  BlockGrid grid;
  grid.view = view;
  grid.x_begin = paint.left;
  grid.y_begin = paint.top;
  if (view.width <= 0 || view.height <= 0) return grid;  // nothing to sample: empty bounds
  if (view.zoom == 0.0) {
    if (view.client_right <= 0 || view.client_bottom <= 0) return grid;
    grid.block_width = std::max(1, ceiling_quotient(view.client_right, view.width));
    grid.block_height = std::max(1, ceiling_quotient(view.client_bottom, view.height));
    grid.x_end = std::min(paint.right, view.client_right);
    grid.y_end = std::min(paint.bottom, view.client_bottom);
    return grid;
  }
  const int32_t block = static_cast<int32_t>(std::max(view.zoom, 1.0));
  grid.block_width = grid.block_height = block;
  // The scroll offsets are kept inside the zoomed picture, so this equals the pane's
  // own limit there; it also keeps a pane larger than the source pane from sampling
  // past the picture.
  grid.x_end = static_cast<int32_t>(std::min<double>(paint.right, view.width * view.zoom - view.scroll_x));
  grid.y_end = static_cast<int32_t>(std::min<double>(paint.bottom, view.height * view.zoom - view.scroll_y));
  return grid;
}

int32_t block_columns(const BlockGrid& grid) {
  if (grid.x_end <= grid.x_begin) return 0;
  return ceiling_quotient(grid.x_end - grid.x_begin, grid.block_width);
}

int32_t block_rows(const BlockGrid& grid) {
  if (grid.y_end <= grid.y_begin) return 0;
  return ceiling_quotient(grid.y_end - grid.y_begin, grid.block_height);
}

namespace {

int32_t clamp_index(int64_t v, int32_t count) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, count > 0 ? count - 1 : 0));
}

}  // namespace

int32_t grid_column(const BlockGrid& grid, int32_t x) {
  const ViewInputs& v = grid.view;
  int64_t column;
  if (v.zoom == 0.0) {
    column = static_cast<int64_t>(x) * v.width / v.client_right;
  } else if (v.zoom < 1.0) {
    column = static_cast<int64_t>((x + static_cast<double>(v.scroll_x)) / v.zoom);
  } else {
    column = (static_cast<int64_t>(x) + v.scroll_x) / grid.block_width;
  }
  return clamp_index(column, v.width);
}

int32_t grid_row(const BlockGrid& grid, int32_t y) {
  const ViewInputs& v = grid.view;
  int64_t row;
  if (v.zoom == 0.0) {
    row = v.top_down ? static_cast<int64_t>(y) * v.height / v.client_bottom
                     : (static_cast<int64_t>(v.client_bottom) - y - 1) * v.height / v.client_bottom;
  } else if (v.zoom < 1.0) {
    row = v.top_down ? static_cast<int64_t>((y + static_cast<double>(v.scroll_y)) / v.zoom)
                     : static_cast<int64_t>((v.height * v.zoom - y - 1 - v.scroll_y) / v.zoom);
  } else {
    const int64_t bh = grid.block_height;
    row = v.top_down ? (static_cast<int64_t>(y) + v.scroll_y) / bh
                     : (static_cast<int64_t>(v.height) * bh - y - 1 - v.scroll_y) / bh;
  }
  return clamp_index(row, v.height);
}

uint32_t noise_dithered_colour(uint32_t rgb, int red_draw, int green_draw, int blue_draw) {
  const int r = std::clamp(static_cast<int>((rgb >> 16) & 0xFF) + red_draw % 51 - 25, 0, 255);
  const int g = std::clamp(static_cast<int>((rgb >> 8) & 0xFF) + green_draw % 36 - 18, 0, 255);
  const int b = std::clamp(static_cast<int>(rgb & 0xFF) + blue_draw % 63 - 31, 0, 255);
  return 0x02000000u | static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16);
}

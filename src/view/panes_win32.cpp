#include "view/panes_win32.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/guards_win32.h"
#include "view/view_state.h"
#include "image/le_bytes.h"
#include "image/pixel.h"
#include "image/store_win32.h"
#include "image/platform_version.h"
#include "mono/conversion.h"
#include "mono/result_bitmap.h"
#include "mono/result_win32.h"
#include "res/resource_ids.h"
#include "image/row_size.h"
#include "view/live_rendering.h"
#include "view/sampled_transfer.h"
#include "view/view_mapping.h"
#include "view/view_texts.h"

namespace {

constexpr COLORREF kPaletteRelative = 0x02000000;

// A packed bitmap's header fields that the transfers read.
struct PackedBitmap {
  const BITMAPINFO* info;
  const uint8_t* bits;
  int32_t width, height;  // height is the absolute value
  bool top_down;
  uint16_t bit_count;
  uint32_t image_size;
  uint32_t compression;
  uint64_t pixel_bytes_held;  // what the block holds from the pixels on
};

PackedBitmap packed_bitmap(const uint8_t* block, uint32_t offset_to_pixels, size_t block_size) {
  PackedBitmap b;
  b.info = reinterpret_cast<const BITMAPINFO*>(block);
  b.bits = block + offset_to_pixels;
  b.width = get_i32(block + kWidthField);
  const int32_t height = get_i32(block + kHeightField);
  b.top_down = height < 0;
  b.height = height == INT32_MIN ? INT32_MAX : std::abs(height);
  b.bit_count = get_u16(block + kBitCountField);
  b.image_size = get_u32(block + kImageSizeField);
  b.compression = get_u32(block + kCompressionField);
  b.pixel_bytes_held = block_size > offset_to_pixels ? block_size - offset_to_pixels : 0;
  return b;
}

bool succeeded(int lines) { return lines != 0 && lines != static_cast<int>(GDI_ERROR); }

PaintRect paint_rect(const RECT& r) { return PaintRect{r.left, r.top, r.right, r.bottom}; }

// Starts a bottom-up bitmap of its own at `to`: the first `head` bytes of `from`
// (header, masks, colour table) with a new size; its pixels follow the head.
void copy_head(uint8_t* to, const PackedBitmap& from, uint64_t head, int32_t width, int32_t rows,
               uint64_t pixel_bytes) {
  std::memcpy(to, reinterpret_cast<const uint8_t*>(from.info), static_cast<size_t>(head));
  put_u32(to + kWidthField, static_cast<uint32_t>(width));
  put_u32(to + kHeightField, static_cast<uint32_t>(rows));
  put_u32(to + kImageSizeField, static_cast<uint32_t>(pixel_bytes));
}

// Works out the part of a transfer inside clip ahead (sampled_transfer.h) and copies it
// one to one, in the bitmap's own format, so the platform never walks the whole
// picture. Returns the platform's answer, or -1 when the transfer is left to it: a
// compressed or unusual bitmap, a store shorter than its rows, nothing in the clip,
// or no memory for the block.
int transfer_ahead(HDC dc, const Transfer& t, const PackedBitmap& b, const RECT& clip) {
  if (b.compression != kCompressionNone && b.compression != kCompressionBitFields) return -1;
  const PackedPixels pixels{b.bits, b.width, b.height, b.top_down, b.bit_count};
  if (!can_sample_transfer(t, pixels)) return -1;
  if (padded_row_bytes(static_cast<uint64_t>(b.width), b.bit_count) * static_cast<uint64_t>(b.height) >
      b.pixel_bytes_held)
    return -1;
  const SampledBlock block = sampled_block(t, pixels, paint_rect(clip));
  const uint64_t head = static_cast<uint64_t>(b.bits - reinterpret_cast<const uint8_t*>(b.info));
  if (block.width == 0 || block.height == 0 || head + block.bytes() > 0x7FFFFFFF) return -1;
  LockedBlock copy(static_cast<SIZE_T>(head + block.bytes()));
  uint8_t* bytes = copy.get();
  if (!bytes) return -1;
  copy_head(bytes, b, head, block.width, block.height, block.bytes());
  fill_sampled_block(t, pixels, block, bytes + head);
  return SetDIBitsToDevice(dc, block.x, block.y, static_cast<DWORD>(block.width), static_cast<DWORD>(block.height), 0,
                           0, 0, static_cast<UINT>(block.height), bytes + head,
                           reinterpret_cast<const BITMAPINFO*>(bytes), DIB_RGB_COLORS);
}

bool stretch(HDC dc, const Transfer& t, const PackedBitmap& b, const RECT& clip) {
  const int ahead = transfer_ahead(dc, t, b, clip);
  if (ahead >= 0) return succeeded(ahead);
  return succeeded(StretchDIBits(dc, t.dest_x, t.dest_y, t.dest_width, t.dest_height, t.src_x, t.src_y,
                                 t.src_width, t.src_height, b.bits, b.info, DIB_RGB_COLORS, SRCCOPY));
}

bool transfer_one_to_one(HDC dc, const ViewState& view, const PackedBitmap& b, const RECT& clip) {
  const Transfer t = one_to_one(view.scroll_x, view.scroll_y, b.width, b.height);
  const int ahead = transfer_ahead(dc, t, b, clip);
  if (ahead >= 0) return succeeded(ahead);
  return succeeded(SetDIBitsToDevice(dc, t.dest_x, t.dest_y, static_cast<DWORD>(t.dest_width),
                                     static_cast<DWORD>(t.dest_height), t.src_x, t.src_y, 0,
                                     static_cast<UINT>(t.src_height), b.bits, b.info, DIB_RGB_COLORS));
}

void draw_too_large_notice(HDC dc, const PaneConditions& conditions) {
  char text[256];  // the program's scratch size
  lstrcpynA(text, conditions.too_large_text.c_str(), sizeof text);
  TextOutA(dc, 5, 5, text, lstrlenA(text));
}

ViewInputs view_inputs(const PaneConditions& conditions, const PackedBitmap& store, const RECT& client) {
  const ViewState& view = conditions.view;
  ViewInputs v;
  v.width = conditions.picture->description.width;
  v.height = conditions.picture->description.height;
  v.top_down = store.top_down;
  v.zoom = view.zoom_factor;
  v.scroll_x = view.scroll_x;
  v.scroll_y = view.scroll_y;
  v.client_right = client.right;
  v.client_bottom = client.bottom;
  return v;
}

ConversionSource sample_source(PictureState& picture, const uint8_t* store) {
  return ConversionSource{store, &picture.description, nullptr, decoded_pixels, &picture};
}

uint32_t sample_colour(const ConversionSource& source, int32_t column, int32_t row) {
  uint32_t colour = 0;
  sample_row(source, row, &column, 1, &colour);
  return colour;
}

// Source pane

// Draws the picture pixel by pixel where the platform's one-to-one transfer failed.
void one_to_one_fallback(HDC dc, const ViewState& view, const ConversionSource& source, const RECT& paint,
                         bool top_down) {
  const int32_t w = source.picture->width, h = source.picture->height;
  const int32_t sx = view.scroll_x, sy = view.scroll_y;
  // Bounded by what is left of the picture after scrolling, so no sample lies past it.
  const int32_t x_end = std::min<int32_t>(paint.right, w - sx);
  const int32_t y_end = std::min<int32_t>(paint.bottom, h - sy);
  for (int32_t x = paint.left; x < x_end; ++x) {
    for (int32_t y = paint.top; y < y_end; ++y) {
      const int32_t row = top_down ? y + sy : h - 1 - y - sy;
      SetPixel(dc, x, y, platform_colour(sample_colour(source, x + sx, row)) | kPaletteRelative);
    }
  }
}

// Copies the visible rows, bottom row first, into a bottom-up band of their own and
// stretches it; older platforms are then handed only what is in view. Returns false
// when it can't get its memory or its transfer failed.
bool band_copy(HDC dc, const PaneConditions& conditions, const PackedBitmap& store, const PaintRect& p, int32_t x0,
               int32_t x1, int32_t h) {
  if (h == 0) return true;
  const ViewState& view = conditions.view;
  const PictureDescription& d = conditions.picture->description;
  const double z = view.zoom_factor;
  const int32_t sx = view.scroll_x, sy = view.scroll_y;
  const uint16_t bits = store.bit_count;
  const uint64_t source_stride = row_stride(static_cast<uint32_t>(store.width), bits);
  if (source_stride == 0) return false;
  // Columns before x0 that share its byte travel with it; the transfer skips them.
  const int32_t skipped = bits == 1 ? x0 % 8 : bits == 2 ? x0 % 4 : bits == 4 ? x0 % 2 : 0;
  const int32_t band_width = x1 - x0 + skipped;
  const uint64_t band_stride = row_stride(static_cast<uint32_t>(band_width), bits);
  const int32_t rows = z > 1.0 ? static_cast<int32_t>((static_cast<int32_t>(z - 1.0) + h) / z)
                               : static_cast<int32_t>(h / z + 0.5);
  const uint64_t head = kStoreHeaderSize + d.mask_byte_count + 4ull * d.colour_count;
  const uint64_t size = head + band_stride * static_cast<uint64_t>(rows);
  if (rows <= 0 || size > 0x7FFFFFFF) return false;
  LockedBlock band(static_cast<SIZE_T>(size));
  uint8_t* b = band.get();
  if (!b) return false;
  std::memset(b, 0, static_cast<size_t>(size));
  copy_head(b, store, head, band_width, rows, band_stride * rows);

  int32_t first_row;
  if (!store.top_down) {
    first_row = static_cast<int32_t>(store.height - (p.top + h + sy) / z);
  } else if (z >= 1.0) {
    first_row = static_cast<int32_t>((p.top + h + sy - 1) / z);
  } else {
    first_row = static_cast<int32_t>((p.top + h + sy - z) / z + 0.5);
  }
  const uint64_t first_byte = static_cast<uint64_t>(x0) * bits / 8;
  // A band row may be wider than what is left of the source row; the rest stays zero.
  const size_t copied = static_cast<size_t>(std::min<uint64_t>(band_stride, source_stride - first_byte));
  for (int32_t k = 0; k < rows; ++k) {
    // Each band row lies one row further up the picture.
    const int64_t row = store.top_down ? static_cast<int64_t>(first_row) - k : static_cast<int64_t>(first_row) + k;
    if (row < 0 || row >= store.height) continue;
    std::memcpy(b + head + band_stride * k, store.bits + source_stride * row + first_byte, copied);
  }
  const int32_t dest_width = static_cast<int32_t>(std::min<double>(p.right, store.width * z - sx) - p.left);
  return succeeded(StretchDIBits(dc, p.left, p.top, dest_width, h, skipped, 0, x1 - x0, rows, b + head,
                                 reinterpret_cast<const BITMAPINFO*>(b), DIB_RGB_COLORS, SRCCOPY));
}

// Every pane pixel drawn by itself with noise from the shared random source: the
// dither of deep pictures on 256-colour screens.
void noise_dithered_redraw(HDC dc, const ConversionSource& source, const BlockGrid& grid, RandomSource& random) {
  const int32_t columns = std::max(0, grid.x_end - grid.x_begin);
  const int32_t rows = std::max(0, grid.y_end - grid.y_begin);
  if (columns == 0 || rows == 0) return;
  std::vector<int32_t> picture_columns(static_cast<size_t>(columns));
  for (int32_t k = 0; k < columns; ++k) picture_columns[k] = grid_column(grid, grid.x_begin + k);
  std::vector<uint32_t> colours(static_cast<size_t>(columns) * rows);
  for (int32_t m = 0; m < rows; ++m) {
    sample_row(source, grid_row(grid, grid.y_begin + m), picture_columns.data(), columns,
               colours.data() + static_cast<size_t>(m) * columns);
  }
  for (int32_t k = 0; k < columns; ++k) {
    for (int32_t m = 0; m < rows; ++m) {
      const int red = draw_random(random);
      const int green = draw_random(random);
      const int blue = draw_random(random);
      SetPixel(dc, grid.x_begin + k, grid.y_begin + m,
               noise_dithered_colour(colours[static_cast<size_t>(m) * columns + k], red, green, blue));
    }
  }
}

// One sample per block, drawn with the platform; 16-colour screens fill every block
// with a brush, so the platform dithers it.
void block_redraw(HDC dc, const ConversionSource& source, const BlockGrid& grid, int screen_depth) {
  const SampleGrid samples = sample_blocks(source, grid);
  const bool single_pixels = grid.block_width == 1 && grid.block_height == 1 && screen_depth != 4;
  for (int32_t i = 0; i < samples.columns; ++i) {
    const int32_t x = grid.x_begin + i * grid.block_width;
    for (int32_t j = 0; j < samples.rows; ++j) {
      const int32_t y = grid.y_begin + j * grid.block_height;
      const COLORREF v = platform_colour(samples.colours[static_cast<size_t>(j) * samples.columns + i]);
      if (single_pixels) {
        SetPixel(dc, x, y, v | kPaletteRelative);
      } else {
        SelectedBrush brush(dc, v);
        PatBlt(dc, x, y, grid.block_width, grid.block_height, PATCOPY);
      }
    }
  }
}

void own_redraw(HDC dc, const uint8_t* store_bytes, const PackedBitmap& store, const RECT& paint, const RECT& client,
                const PaneConditions& conditions) {
  const int screen_depth = conditions.screen_depth;
  const ConversionSource source = sample_source(*conditions.picture, store_bytes);
  const PictureDescription& d = conditions.picture->description;
  if (too_large(d.width, d.height, conditions.view.zoom_factor)) {
    draw_too_large_notice(dc, conditions);
    return;
  }
  const BlockGrid grid = make_block_grid(view_inputs(conditions, store, client), paint_rect(paint));
  if (screen_depth == 8 && store.bit_count > 8) {
    noise_dithered_redraw(dc, source, grid, *conditions.random);
  } else {
    block_redraw(dc, source, grid, screen_depth);
  }
}

// The path of every zoom level but fit and one-to-one. Returns whether what is on the
// pane is final.
bool draw_scaled(HDC dc, const PackedBitmap& store, const RECT& paint, const RECT& client,
                 const PaneConditions& conditions, bool deep) {
  const double z = conditions.view.zoom_factor;
  const int32_t sx = conditions.view.scroll_x, sy = conditions.view.scroll_y;
  const int32_t w = store.width, hgt = store.height;
  if (too_large(w, hgt, z)) {
    draw_too_large_notice(dc, conditions);
    return true;
  }
  const PaintRect p = paint_rect(paint);
  const int32_t zoomed_height = static_cast<int32_t>(hgt * z);
  int32_t h = sy + p.top > zoomed_height ? 0 : sy + p.bottom > zoomed_height ? zoomed_height - sy - p.top
                                                                               : p.bottom - p.top;
  int32_t x0 = static_cast<int32_t>((sx + p.left) / z);
  int32_t x1 = w * z < sx + p.right ? w : static_cast<int32_t>((sx + p.right) / z);
  if (x0 >= x1) x0 = x1 = h = 0;
  h = std::max(h, 0);

  bool take_band = false;
  if (!newer_platform(conditions.version) && conditions.picture->description.read_back == 0) {
    const int64_t visible = 2 * static_cast<int64_t>(h / z) * (x1 - x0);
    take_band = static_cast<int64_t>(hgt) * w > visible || (store.top_down && store.image_size < 0x100000);
  }
  bool drawn;
  if (take_band && band_copy(dc, conditions, store, p, x0, x1, h)) {
    drawn = !deep;
  } else {
    drawn = stretch(dc, scaled_stretch(w, hgt, z, sx, sy, client.right, client.bottom), store, paint);
  }
  const int depth = conditions.screen_depth;
  if (z > 1.0 && depth <= 8 && depth < store.bit_count) drawn = false;
  return drawn;
}

// Result pane

void live_rendering(HDC dc, const RECT& paint, const RECT& client, const PaneConditions& conditions) {
  PictureState& picture = *conditions.picture;
  StoreLock lock(picture);
  const uint8_t* bytes = lock.get();
  if (!bytes) return;
  const PackedBitmap store = packed_bitmap(bytes, picture.description.offset_to_pixels, store_size(picture));
  if (too_large(store.width, store.height, conditions.view.zoom_factor)) {
    draw_too_large_notice(dc, conditions);
    return;
  }
  const BlockGrid grid = make_block_grid(view_inputs(conditions, store, client), paint_rect(paint));
  LiveRule rule;
  rule.threshold_base = conditions.density;
  rule.mode = conditions.conversion.mode;
  rule.invert = conditions.conversion.invert;
  const SampleGrid samples = sample_blocks(sample_source(picture, bytes), grid);
  BlockRaster raster;
  render_live(samples, grid, paint_rect(paint), rule, *conditions.random, raster);
  if (raster.width == 0 || raster.height == 0) return;

  // The blocks go to the pane in one transfer instead of one platform call each.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } info = {};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = raster.width;
  info.header.biHeight = raster.height;
  info.header.biPlanes = 1;
  info.header.biBitCount = 8;
  info.header.biCompression = BI_RGB;
  info.header.biClrUsed = 2;
  info.colours[1] = RGBQUAD{255, 255, 255, 0};
  SetDIBitsToDevice(dc, paint.left, paint.top, static_cast<DWORD>(raster.width), static_cast<DWORD>(raster.height),
                    0, 0, 0, static_cast<UINT>(raster.height), raster.pixels.data(),
                    reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS);
}

// Draws the converted result bitmap; returns true when it is on the pane.
bool draw_result_bitmap(HDC dc, const RECT& paint, const RECT& client, const PaneConditions& conditions) {
  GlobalLockGuard lock(conditions.picture->result);
  const uint8_t* bytes = lock.get();
  const SIZE_T size = GlobalSize(conditions.picture->result);
  if (!bytes || size < kResultPixelOffset) return false;
  const PackedBitmap result = packed_bitmap(bytes, kResultPixelOffset, size);
  const ViewState& view = conditions.view;
  switch (draw_method(view.zoom_level)) {
    case kFitStretch:
      return stretch(dc, fit_stretch(client.right, client.bottom, result.width, result.height), result, paint);
    case kOneToOne: return transfer_one_to_one(dc, view, result, paint);
    default:
      if (too_large(result.width, result.height, view.zoom_factor)) {
        draw_too_large_notice(dc, conditions);
        return true;
      }
      return stretch(dc,
                     scaled_stretch(result.width, result.height, view.zoom_factor, view.scroll_x, view.scroll_y,
                                    client.right, client.bottom),
                     result, paint);
  }
}

// The part of the source pane the cascaded result pane covers is never repainted.
void validate_covered_source(HWND source_pane) {
  if (!source_pane) return;
  RECT covered;
  GetClientRect(source_pane, &covered);
  covered.left = kCascadeVisibleStrip;
  covered.top = kCascadeVisibleStrip;
  ValidateRect(source_pane, &covered);
}

PaneConditions current_conditions(HWND pane) {
  const auto source = reinterpret_cast<PaneConditionsSource>(GetWindowLongPtrA(pane, GWLP_USERDATA));
  return source ? source(pane) : PaneConditions();
}

using PaintContent = void (*)(HDC, const RECT&, const RECT&, const PaneConditions&);

LRESULT on_paint(HWND window, WPARAM wparam, LPARAM lparam, PaintContent content) {
  const PaneConditions conditions = current_conditions(window);
  validate_covered_source(conditions.covered_source);
  if (!conditions.picture || !conditions.picture->loaded || !conditions.random) return DefWindowProcA(window, WM_PAINT, wparam, lparam);
  WaitCursor wait;
  PaintDc dc(window);
  RECT client;
  GetClientRect(window, &client);
  content(dc.get(), dc.rect(), client, conditions);
  return 0;
}

}  // namespace

void set_pane_conditions_source(HWND pane, PaneConditionsSource source) {
  SetWindowLongPtrA(pane, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(source));
}

void paint_source_content(HDC dc, const RECT& paint, const RECT& client, const PaneConditions& conditions) {
  SetStretchBltMode(dc, COLORONCOLOR);
  PictureState& picture = *conditions.picture;
  SelectedPalette palette(dc, conditions.palette_display ? picture.display_palette : nullptr, false);
  StoreLock lock(picture);
  const uint8_t* bytes = lock.get();
  if (!bytes) return;
  const PackedBitmap store = packed_bitmap(bytes, picture.description.offset_to_pixels, store_size(picture));
  const int depth = conditions.screen_depth;
  const bool deep = (depth == 4 && store.bit_count > 4) || (depth == 8 && store.bit_count > 8);
  bool drawn = false;
  switch (draw_method(conditions.view.zoom_level)) {
    case kFitStretch:
      drawn = stretch(dc, fit_stretch(client.right, client.bottom, store.width, store.height), store, paint);
      break;
    case kOneToOne: {
      const bool ok = transfer_one_to_one(dc, conditions.view, store, paint);
      if (!ok && store.top_down && !newer_platform(conditions.version) && store.image_size < 0x100000) {
        drawn = draw_scaled(dc, store, paint, client, conditions, deep);
        break;
      }
      if (!ok && !deep) {
        one_to_one_fallback(dc, conditions.view, sample_source(picture, bytes), paint, store.top_down);
      }
      drawn = !deep;
      break;
    }
    default: drawn = draw_scaled(dc, store, paint, client, conditions, deep); break;
  }
  if (!drawn) own_redraw(dc, bytes, store, paint, client, conditions);
}

void paint_result_content(HDC dc, const RECT& paint, const RECT& client, const PaneConditions& conditions) {
  SetStretchBltMode(dc, COLORONCOLOR);
  const bool drawn = !conditions.conversion.fast && draw_result_bitmap(dc, paint, client, conditions);
  const int level = conditions.view.zoom_level;
  if (!drawn || (platform_before_3_10(conditions.version) && level != kFitZoomLevel && level != 1)) {
    live_rendering(dc, paint, client, conditions);
  }
}

LRESULT CALLBACK CHILDWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) return on_paint(window, wparam, lparam, paint_source_content);
  return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT CALLBACK MONOWNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) return on_paint(window, wparam, lparam, paint_result_content);
  return DefWindowProcA(window, message, wparam, lparam);
}

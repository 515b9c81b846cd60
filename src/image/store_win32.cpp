#include "image/store_win32.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/guards_win32.h"
#include "image/le_bytes.h"
#include "image/palette.h"
#include "image/rle_decoder.h"

PictureState g_picture;

size_t store_size() {
  switch (g_picture.store_kind) {
    case kStoreLocal:
      return LocalSize(g_picture.store);
    case kStoreFileView:
      return g_picture.view.store_size;
    default:
      return GlobalSize(g_picture.store);
  }
}

void close_file_view(FileView& view) {
  if (view.base) UnmapViewOfFile(view.base);
  if (view.mapping) CloseHandle(view.mapping);
  if (view.file != INVALID_HANDLE_VALUE) CloseHandle(view.file);
  view = FileView();
}

StoreLock::StoreLock() {
  switch (g_picture.store_kind) {
    case kStoreLocal:
      bytes_ = static_cast<uint8_t*>(LocalLock(g_picture.store));
      break;
    case kStoreFileView:
      bytes_ = g_picture.view.base + kFileHeaderBytes;
      break;
    default:
      bytes_ = static_cast<uint8_t*>(GlobalLock(g_picture.store));
  }
}

StoreLock::~StoreLock() {
  if (!bytes_) return;
  if (g_picture.store_kind == kStoreLocal) {
    LocalUnlock(g_picture.store);
  } else if (g_picture.store_kind == kStoreGlobal) {
    GlobalUnlock(g_picture.store);
  }
}

bool create_store() {
  g_picture.store = GlobalAlloc(GMEM_MOVEABLE, kInitialStoreSize);
  g_picture.store_kind = kStoreGlobal;
  return g_picture.store != nullptr;
}

void free_store() {
  if (g_picture.store_kind == kStoreFileView) {
    close_file_view(g_picture.view);
  } else if (!g_picture.store) {
    return;
  } else if (g_picture.store_kind == kStoreLocal) {
    LocalFree(g_picture.store);
  } else {
    GlobalFree(g_picture.store);
  }
  g_picture.store = nullptr;
  g_picture.store_kind = kStoreGlobal;
}

bool renew_store_as_global() {
  HGLOBAL fresh = GlobalAlloc(GMEM_MOVEABLE, kInitialStoreSize);
  if (!fresh) return false;
  adopt_global_store(fresh);
  return true;
}

uint8_t* resize_global_block(HGLOBAL& block, uint32_t size) {
  GlobalUnlock(block);
  HGLOBAL resized = GlobalReAlloc(block, size, GMEM_MOVEABLE);
  if (!resized) return nullptr;
  block = resized;
  return static_cast<uint8_t*>(GlobalLock(resized));
}

uint8_t* resize_store(StoreLock& lock, uint32_t size) {
  lock.adopt(nullptr);
  HGLOBAL block = g_picture.store;
  uint8_t* bytes = resize_global_block(block, size);
  g_picture.store = block;
  lock.adopt(bytes);
  return bytes;
}

void adopt_local_store(StoreLock& lock, HLOCAL block, uint8_t* bytes) {
  GlobalUnlock(g_picture.store);
  lock.adopt(nullptr);
  GlobalFree(g_picture.store);
  g_picture.store = block;
  g_picture.store_kind = kStoreLocal;
  lock.adopt(bytes);
}

void adopt_global_store(HGLOBAL block) {
  free_store();
  g_picture.store = block;
  g_picture.store_kind = kStoreGlobal;
}

void adopt_file_view_store(const FileView& view) {
  free_store();
  g_picture.view = view;
  g_picture.store_kind = kStoreFileView;
}

namespace {

bool same_file(HANDLE file, const char* file_name) {
  BY_HANDLE_FILE_INFORMATION ours = {}, theirs = {};
  const HANDLE other = CreateFileA(file_name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
  if (other == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(file, &ours) && GetFileInformationByHandle(other, &theirs);
  CloseHandle(other);
  return known && ours.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
         ours.nFileIndexHigh == theirs.nFileIndexHigh && ours.nFileIndexLow == theirs.nFileIndexLow;
}

}  // namespace

bool release_store_file(const char* file_name) {
  if (g_picture.store_kind != kStoreFileView || !same_file(g_picture.view.file, file_name)) return true;
  const size_t size = g_picture.view.store_size;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return false;
  {
    const GlobalLockGuard copy(block);
    if (!copy.get()) {
      GlobalFree(block);
      return false;
    }
    std::memcpy(copy.get(), g_picture.view.base + kFileHeaderBytes, size);
  }
  adopt_global_store(block);
  return true;
}

namespace {

void free_band() {
  DecodedBand& band = g_picture.band;
  if (band.band_dc) {
    SelectObject(band.band_dc, band.previous_band_bitmap);
    DeleteDC(band.band_dc);
  }
  if (band.band_bitmap) DeleteObject(band.band_bitmap);
  std::vector<uint32_t>().swap(band.pixels);
  band = DecodedBand();
}

void free_decoded_bitmap() {
  if (!g_picture.decoded_bitmap) return;
  SelectObject(g_picture.memory_dc, g_picture.previous_bitmap);
  DeleteDC(g_picture.memory_dc);
  DeleteObject(g_picture.decoded_bitmap);
  g_picture.decoded_bitmap = nullptr;
  g_picture.memory_dc = nullptr;
  g_picture.previous_bitmap = nullptr;
}

// Sizes the band for the picture and takes its memory: whole rows when a row fits
// one decoded span, else one span of two rows, copied through a bitmap of that size.
bool prepare_band(HDC dc, int32_t width, int32_t height) {
  DecodedBand& band = g_picture.band;
  const size_t band_pixels = kBandBytes / sizeof(uint32_t);
  const bool wide = width > kDecodedSpan;
  band.capacity_columns = wide ? kDecodedSpan : width;
  // A wide picture's band bitmap takes at most as much again as its pixels.
  const size_t rows = wide ? band_pixels / 2 / kDecodedSpan : band_pixels / static_cast<size_t>(width);
  band.capacity_rows = static_cast<int32_t>(rows < static_cast<size_t>(height) ? rows : height);
  try {
    band.pixels.assign(static_cast<size_t>(band.capacity_columns) * band.capacity_rows, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!wide) return true;
  band.band_dc = CreateCompatibleDC(dc);
  band.band_bitmap = CreateCompatibleBitmap(dc, band.capacity_columns, band.capacity_rows);
  if (!band.band_dc || !band.band_bitmap) return false;
  band.previous_band_bitmap = SelectObject(band.band_dc, band.band_bitmap);
  return true;
}

// Reads the band holding storage row `row` and column x: whole rows straight from the
// decoded bitmap, or one span copied through the band bitmap first. Rows are read
// bottom row first, so storage row r is band row r - first_row.
bool read_band(int32_t row, int32_t x) {
  DecodedBand& band = g_picture.band;
  const int32_t width = g_picture.description.width, height = g_picture.description.height;
  const int32_t first_row = row - row % band.capacity_rows;
  const int32_t rows = std::min(band.capacity_rows, height - first_row);
  const int32_t first_column = x - x % band.capacity_columns;
  const int32_t columns = std::min(band.capacity_columns, width - first_column);
  band.rows = 0;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const WindowDc screen_dc(nullptr);
  const HDC screen = screen_dc.get();
  int lines = 0;
  if (!band.band_dc) {
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    // The bitmap must not be selected while GetDIBits reads it.
    SelectObject(g_picture.memory_dc, g_picture.previous_bitmap);
    lines = GetDIBits(screen, g_picture.decoded_bitmap, static_cast<UINT>(first_row), static_cast<UINT>(rows),
                      band.pixels.data(), &info, DIB_RGB_COLORS);
    SelectObject(g_picture.memory_dc, g_picture.decoded_bitmap);
  } else {
    // The band's rows go to the bottom of the band bitmap, where GetDIBits starts.
    const int32_t top = band.capacity_rows - rows;
    BitBlt(band.band_dc, 0, top, columns, rows, g_picture.memory_dc, first_column, height - first_row - rows, SRCCOPY);
    info.bmiHeader.biWidth = band.capacity_columns;
    info.bmiHeader.biHeight = band.capacity_rows;
    SelectObject(band.band_dc, band.previous_band_bitmap);
    lines = GetDIBits(screen, band.band_bitmap, 0, static_cast<UINT>(rows), band.pixels.data(), &info,
                      DIB_RGB_COLORS);
    SelectObject(band.band_dc, band.band_bitmap);
  }
  if (lines != rows) return false;
  for (uint32_t& c : band.pixels) c &= 0xFFFFFF;
  band.first_row = first_row;
  band.rows = rows;
  band.first_column = first_column;
  band.columns = band.band_dc ? band.capacity_columns : width;
  return true;
}

}  // namespace

void clean_up_picture() {
  if (!g_picture.loaded) return;
  free_band();
  free_decoded_bitmap();
  g_picture.rle_decoded = false;
  g_picture.rle_rows = RleRows();
  g_picture.loaded = false;
  if (g_picture.display_palette) {
    DeleteObject(g_picture.display_palette);
    g_picture.display_palette = nullptr;
  }
}

bool set_up_read_back(HWND frame, Decoder decoder) {
  const PictureDescription& d = g_picture.description;
  if (d.read_back == 0 || g_picture.decoded_bitmap || g_picture.rle_decoded) return true;
  StoreLock lock;
  const uint8_t* store = lock.get();
  if (!store || d.width <= 0 || d.height <= 0) return true;
  // Compressed rows are stored bottom-up; a top-down header is no picture the
  // platform decodes, and its pixels read black.
  if (get_i32(store + kHeightField) < 0) return true;
  WindowDc frame_dc(frame);
  // A device bitmap on a screen of fewer than 24 bits would change the colours: only
  // where it keeps them is the program's own decoding the same. Rows wider than one
  // decoded span stay with the platform's band path.
  const int screen_bits = GetDeviceCaps(frame_dc.get(), BITSPIXEL) * GetDeviceCaps(frame_dc.get(), PLANES);
  if (decoder == Decoder::kBest && is_rle_picture(store) && screen_bits >= 24 && d.width <= kDecodedSpan) {
    const size_t held = store_size() > d.offset_to_pixels ? store_size() - d.offset_to_pixels : 0;
    const uint32_t size = static_cast<uint32_t>(std::min<size_t>(get_u32(store + kImageSizeField), held));
    g_picture.rle_decoded = g_picture.rle_rows.start(store, d, store + d.offset_to_pixels, size, kRleGroupBytes);
    if (!g_picture.rle_decoded) g_picture.rle_rows = RleRows();
    return g_picture.rle_decoded;
  }
  g_picture.memory_dc = CreateCompatibleDC(frame_dc.get());
  g_picture.decoded_bitmap = CreateCompatibleBitmap(frame_dc.get(), d.width, d.height);
  if (!g_picture.memory_dc || !g_picture.decoded_bitmap) {
    if (g_picture.decoded_bitmap) DeleteObject(g_picture.decoded_bitmap);
    if (g_picture.memory_dc) DeleteDC(g_picture.memory_dc);
    g_picture.decoded_bitmap = nullptr;
    g_picture.memory_dc = nullptr;
    return false;
  }
  SetDIBits(frame_dc.get(), g_picture.decoded_bitmap, 0, static_cast<UINT>(d.height), store + d.offset_to_pixels,
            reinterpret_cast<const BITMAPINFO*>(store), DIB_RGB_COLORS);
  g_picture.previous_bitmap = SelectObject(g_picture.memory_dc, g_picture.decoded_bitmap);
  if (!prepare_band(frame_dc.get(), d.width, d.height)) {
    free_band();
    free_decoded_bitmap();
    return false;
  }
  return true;
}

const uint32_t* decoded_pixels(void*, int32_t row, int32_t x, int32_t count) {
  if (g_picture.rle_decoded) {
    const StoreLock lock;  // the callers hold it already: the same bytes
    if (!lock.get()) return nullptr;
    g_picture.rle_rows.rebind(lock.get() + g_picture.description.offset_to_pixels);
    const uint32_t* colours = g_picture.rle_rows.row(row);
    return colours ? colours + x : nullptr;
  }
  DecodedBand& band = g_picture.band;
  if (!g_picture.decoded_bitmap || band.pixels.empty() || row < 0 || row >= g_picture.description.height) {
    return nullptr;
  }
  const bool held = band.rows > 0 && row >= band.first_row && row < band.first_row + band.rows &&
                    x >= band.first_column && x + count <= band.first_column + band.columns;
  if (!held && !read_band(row, x)) return nullptr;
  return band.pixels.data() + static_cast<size_t>(row - band.first_row) * band.columns + (x - band.first_column);
}

HPALETTE create_display_palette(const uint8_t* store) {
  const int count = palette_entry_count(store);
  HLOCAL block = LocalAlloc(LMEM_FIXED, sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * (count > 0 ? count : 1));
  if (!block) return nullptr;
  LOGPALETTE* description = static_cast<LOGPALETTE*>(block);
  description->palVersion = 0x300;
  description->palNumEntries = static_cast<WORD>(count);
  fill_palette_entries(store, g_picture.description, reinterpret_cast<uint8_t*>(description->palPalEntry));
  HPALETTE palette = CreatePalette(description);
  LocalFree(block);
  return palette;
}

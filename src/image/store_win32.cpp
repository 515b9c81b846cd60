#include "image/store_win32.h"

#include "image/palette.h"

PictureState g_picture;

StoreLock::StoreLock() {
  bytes_ = static_cast<uint8_t*>(g_picture.store_kind == kStoreLocal ? LocalLock(g_picture.store)
                                                                      : GlobalLock(g_picture.store));
}

StoreLock::~StoreLock() {
  if (!bytes_) return;
  if (g_picture.store_kind == kStoreLocal) {
    LocalUnlock(g_picture.store);
  } else {
    GlobalUnlock(g_picture.store);
  }
}

bool create_store() {
  g_picture.store = GlobalAlloc(GMEM_MOVEABLE, kInitialStoreSize);
  g_picture.store_kind = kStoreGlobal;
  return g_picture.store != nullptr;
}

void free_store() {
  if (!g_picture.store) return;
  if (g_picture.store_kind == kStoreLocal) {
    LocalFree(g_picture.store);
  } else {
    GlobalFree(g_picture.store);
  }
  g_picture.store = nullptr;
}

bool renew_store_as_global() {
  HGLOBAL fresh = GlobalAlloc(GMEM_MOVEABLE, kInitialStoreSize);
  if (!fresh) return false;
  LocalFree(g_picture.store);
  g_picture.store = fresh;
  g_picture.store_kind = kStoreGlobal;
  return true;
}

void clean_up_picture() {
  if (!g_picture.loaded) return;
  if (g_picture.decoded_bitmap) {
    SelectObject(g_picture.memory_dc, g_picture.previous_bitmap);
    DeleteDC(g_picture.memory_dc);
    DeleteObject(g_picture.decoded_bitmap);
    g_picture.decoded_bitmap = nullptr;
    g_picture.memory_dc = nullptr;
    g_picture.previous_bitmap = nullptr;
  }
  std::vector<uint32_t>().swap(g_picture.read_back_pixels);
  g_picture.loaded = false;
  if (g_picture.display_palette) {
    DeleteObject(g_picture.display_palette);
    g_picture.display_palette = nullptr;
  }
}

namespace {

// Reads the whole decoded bitmap at once, bottom row first, so storage row r is buffer row r.
void read_decoded_pixels(HDC dc, int32_t width, int32_t height) {
  g_picture.read_back_pixels.clear();
  if (width <= 0 || height <= 0) return;
  const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (count > (SIZE_MAX / 4) / 2) return;
  try {
    g_picture.read_back_pixels.assign(static_cast<size_t>(count), 0);
  } catch (...) {
    g_picture.read_back_pixels.clear();
    return;
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  // The bitmap must not be selected while GetDIBits reads it.
  SelectObject(g_picture.memory_dc, g_picture.previous_bitmap);
  GetDIBits(dc, g_picture.decoded_bitmap, 0, static_cast<UINT>(height), g_picture.read_back_pixels.data(), &info,
            DIB_RGB_COLORS);
  SelectObject(g_picture.memory_dc, g_picture.decoded_bitmap);
  for (uint32_t& c : g_picture.read_back_pixels) c &= 0xFFFFFF;
}

}  // namespace

void set_up_read_back(HWND frame) {
  if (g_picture.description.read_back == 0 || g_picture.decoded_bitmap) return;
  HDC frame_dc = GetDC(frame);
  StoreLock lock;
  const uint8_t* store = lock.get();
  if (store) {
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(store);
    const int32_t width = header->biWidth, height = header->biHeight;
    g_picture.memory_dc = CreateCompatibleDC(frame_dc);
    g_picture.decoded_bitmap = CreateCompatibleBitmap(frame_dc, width, height);
    if (g_picture.memory_dc && g_picture.decoded_bitmap) {
      SetDIBits(frame_dc, g_picture.decoded_bitmap, 0, static_cast<UINT>(height),
                store + g_picture.description.offset_to_pixels, reinterpret_cast<const BITMAPINFO*>(store),
                DIB_RGB_COLORS);
      g_picture.previous_bitmap = SelectObject(g_picture.memory_dc, g_picture.decoded_bitmap);
      read_decoded_pixels(frame_dc, g_picture.description.width, g_picture.description.height);
    } else {
      if (g_picture.decoded_bitmap) DeleteObject(g_picture.decoded_bitmap);
      if (g_picture.memory_dc) DeleteDC(g_picture.memory_dc);
      g_picture.decoded_bitmap = nullptr;
      g_picture.memory_dc = nullptr;
    }
  }
  ReleaseDC(frame, frame_dc);
}

uint32_t read_back_pixel(int32_t x, int32_t row) {
  const PictureDescription& d = g_picture.description;
  const size_t index = static_cast<size_t>(row) * static_cast<size_t>(d.width) + static_cast<size_t>(x);
  return index < g_picture.read_back_pixels.size() ? g_picture.read_back_pixels[index] : 0;
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

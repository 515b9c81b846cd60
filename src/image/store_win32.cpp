#include "image/store_win32.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/guards_win32.h"
#include "image/le_bytes.h"
#include "image/palette.h"
#include "image/rle_decoder.h"

size_t store_size(const PictureState& picture) {
  switch (picture.store_kind) {
    case kStoreLocal:
      return LocalSize(picture.store);
    case kStoreFileView:
      return picture.view.store_size;
    default:
      return GlobalSize(picture.store);
  }
}

void close_file_view(FileView& view) {
  if (view.base) UnmapViewOfFile(view.base);
  if (view.mapping) CloseHandle(view.mapping);
  if (view.file != INVALID_HANDLE_VALUE) CloseHandle(view.file);
  view = FileView();
}

StoreLock::StoreLock(PictureState& picture) : picture_(picture) {
  switch (picture.store_kind) {
    case kStoreLocal:
      bytes_ = static_cast<uint8_t*>(LocalLock(picture.store));
      break;
    case kStoreFileView:
      bytes_ = picture.view.base + kFileHeaderBytes;
      break;
    default:
      bytes_ = static_cast<uint8_t*>(GlobalLock(picture.store));
  }
}

StoreLock::~StoreLock() {
  if (!bytes_) return;
  PictureState& picture = picture_;
  if (picture.store_kind == kStoreLocal) {
    LocalUnlock(picture.store);
  } else if (picture.store_kind == kStoreGlobal) {
    GlobalUnlock(picture.store);
  }
}

bool create_store(PictureState& picture) {
  picture.store = GlobalAlloc(GMEM_MOVEABLE, kInitialStoreSize);
  picture.store_kind = kStoreGlobal;
  return picture.store != nullptr;
}

void free_store(PictureState& picture) {
  if (picture.store_kind == kStoreFileView) {
    close_file_view(picture.view);
  } else if (!picture.store) {
    return;
  } else if (picture.store_kind == kStoreLocal) {
    LocalFree(picture.store);
  } else {
    GlobalFree(picture.store);
  }
  picture.store = nullptr;
  picture.store_kind = kStoreGlobal;
}

bool renew_store_as_global(PictureState& picture) {
  HGLOBAL fresh = GlobalAlloc(GMEM_MOVEABLE, kInitialStoreSize);
  if (!fresh) return false;
  adopt_global_store(picture, fresh);
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
  PictureState& picture = lock.picture();
  lock.adopt(nullptr);
  HGLOBAL block = picture.store;
  uint8_t* bytes = resize_global_block(block, size);
  picture.store = block;
  lock.adopt(bytes);
  return bytes;
}

void adopt_local_store(StoreLock& lock, HLOCAL block, uint8_t* bytes) {
  PictureState& picture = lock.picture();
  GlobalUnlock(picture.store);
  lock.adopt(nullptr);
  GlobalFree(picture.store);
  picture.store = block;
  picture.store_kind = kStoreLocal;
  lock.adopt(bytes);
}

void adopt_global_store(PictureState& picture, HGLOBAL block) {
  free_store(picture);
  picture.store = block;
  picture.store_kind = kStoreGlobal;
}

void adopt_file_view_store(PictureState& picture, const FileView& view) {
  free_store(picture);
  picture.view = view;
  picture.store_kind = kStoreFileView;
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

bool release_store_file(PictureState& picture, const char* file_name) {
  if (picture.store_kind != kStoreFileView || !same_file(picture.view.file, file_name)) return true;
  const size_t size = picture.view.store_size;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return false;
  {
    const GlobalLockGuard copy(block);
    if (!copy.get()) {
      GlobalFree(block);
      return false;
    }
    std::memcpy(copy.get(), picture.view.base + kFileHeaderBytes, size);
  }
  adopt_global_store(picture, block);
  return true;
}

namespace {

void free_band(PictureState& picture) {
  DecodedBand& band = picture.band;
  if (band.band_dc) {
    SelectObject(band.band_dc, band.previous_band_bitmap);
    DeleteDC(band.band_dc);
  }
  if (band.band_bitmap) DeleteObject(band.band_bitmap);
  std::vector<uint32_t>().swap(band.pixels);
  band = DecodedBand();
}

void free_decoded_bitmap(PictureState& picture) {
  if (!picture.decoded_bitmap) return;
  SelectObject(picture.memory_dc, picture.previous_bitmap);
  DeleteDC(picture.memory_dc);
  DeleteObject(picture.decoded_bitmap);
  picture.decoded_bitmap = nullptr;
  picture.memory_dc = nullptr;
  picture.previous_bitmap = nullptr;
}

// Sizes the band for the picture and takes its memory: whole rows when a row fits
// one decoded span, else one span of two rows, copied through a bitmap of that size.
bool prepare_band(PictureState& picture, HDC dc, int32_t width, int32_t height) {
  DecodedBand& band = picture.band;
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
bool read_band(PictureState& picture, int32_t row, int32_t x) {
  DecodedBand& band = picture.band;
  const int32_t width = picture.description.width, height = picture.description.height;
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
    SelectObject(picture.memory_dc, picture.previous_bitmap);
    lines = GetDIBits(screen, picture.decoded_bitmap, static_cast<UINT>(first_row), static_cast<UINT>(rows),
                      band.pixels.data(), &info, DIB_RGB_COLORS);
    SelectObject(picture.memory_dc, picture.decoded_bitmap);
  } else {
    // The band's rows go to the bottom of the band bitmap, where GetDIBits starts.
    const int32_t top = band.capacity_rows - rows;
    BitBlt(band.band_dc, 0, top, columns, rows, picture.memory_dc, first_column, height - first_row - rows, SRCCOPY);
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

void clean_up_picture(PictureState& picture) {
  if (!picture.loaded) return;
  free_band(picture);
  free_decoded_bitmap(picture);
  picture.rle_decoded = false;
  picture.rle_rows = RleRows();
  picture.loaded = false;
  if (picture.display_palette) {
    DeleteObject(picture.display_palette);
    picture.display_palette = nullptr;
  }
}

bool set_up_read_back(PictureState& picture, HWND frame, Decoder decoder) {
  const PictureDescription& d = picture.description;
  if (d.read_back == 0 || picture.decoded_bitmap || picture.rle_decoded) return true;
  StoreLock lock(picture);
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
    const size_t held = store_size(picture) > d.offset_to_pixels ? store_size(picture) - d.offset_to_pixels : 0;
    const uint32_t size = static_cast<uint32_t>(std::min<size_t>(get_u32(store + kImageSizeField), held));
    picture.rle_decoded = picture.rle_rows.start(store, d, store + d.offset_to_pixels, size, kRleGroupBytes);
    if (!picture.rle_decoded) picture.rle_rows = RleRows();
    return picture.rle_decoded;
  }
  picture.memory_dc = CreateCompatibleDC(frame_dc.get());
  picture.decoded_bitmap = CreateCompatibleBitmap(frame_dc.get(), d.width, d.height);
  if (!picture.memory_dc || !picture.decoded_bitmap) {
    if (picture.decoded_bitmap) DeleteObject(picture.decoded_bitmap);
    if (picture.memory_dc) DeleteDC(picture.memory_dc);
    picture.decoded_bitmap = nullptr;
    picture.memory_dc = nullptr;
    return false;
  }
  SetDIBits(frame_dc.get(), picture.decoded_bitmap, 0, static_cast<UINT>(d.height), store + d.offset_to_pixels,
            reinterpret_cast<const BITMAPINFO*>(store), DIB_RGB_COLORS);
  picture.previous_bitmap = SelectObject(picture.memory_dc, picture.decoded_bitmap);
  if (!prepare_band(picture, frame_dc.get(), d.width, d.height)) {
    free_band(picture);
    free_decoded_bitmap(picture);
    return false;
  }
  return true;
}

const uint32_t* decoded_pixels(void* context, int32_t row, int32_t x, int32_t count) {
  PictureState& picture = *static_cast<PictureState*>(context);
  if (picture.rle_decoded) {
    const StoreLock lock(picture);  // the callers hold it already: the same bytes
    if (!lock.get()) return nullptr;
    picture.rle_rows.rebind(lock.get() + picture.description.offset_to_pixels);
    const uint32_t* colours = picture.rle_rows.row(row);
    return colours ? colours + x : nullptr;
  }
  DecodedBand& band = picture.band;
  if (!picture.decoded_bitmap || band.pixels.empty() || row < 0 || row >= picture.description.height) {
    return nullptr;
  }
  const bool held = band.rows > 0 && row >= band.first_row && row < band.first_row + band.rows &&
                    x >= band.first_column && x + count <= band.first_column + band.columns;
  if (!held && !read_band(picture, row, x)) return nullptr;
  return band.pixels.data() + static_cast<size_t>(row - band.first_row) * band.columns + (x - band.first_column);
}

HPALETTE create_display_palette(const PictureState& picture, const uint8_t* store) {
  const int count = palette_entry_count(store);
  HLOCAL block = LocalAlloc(LMEM_FIXED, sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * (count > 0 ? count : 1));
  if (!block) return nullptr;
  LOGPALETTE* description = static_cast<LOGPALETTE*>(block);
  description->palVersion = 0x300;
  description->palNumEntries = static_cast<WORD>(count);
  fill_palette_entries(store, picture.description, reinterpret_cast<uint8_t*>(description->palPalEntry));
  HPALETTE palette = CreatePalette(description);
  LocalFree(block);
  return palette;
}

#include "image/bmp_file_win32.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/guards_win32.h"
#include "image/bmp_reader.h"
#include "image/plugin_reader_win32.h"
#include "image/store_win32.h"

namespace {

constexpr uint64_t kFileHeaderBytes = 14;

HANDLE handle_of(HFILE file) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(file)); }

// The file position and the bytes between it and the end of the file; false when
// the platform can't tell (not a disk file).
bool place_in_file(HFILE file, uint64_t& position, uint64_t& left) {
  LARGE_INTEGER size = {}, at = {};
  if (!SetFilePointerEx(handle_of(file), LARGE_INTEGER{}, &at, FILE_CURRENT)) return false;
  if (!GetFileSizeEx(handle_of(file), &size)) return false;
  position = static_cast<uint64_t>(at.QuadPart);
  left = static_cast<uint64_t>(size.QuadPart) > position ? static_cast<uint64_t>(size.QuadPart) - position : 0;
  return true;
}

// Large blocks go through a small buffer that stays mapped: the platform is slow to
// read straight into pages the process has not touched yet.
constexpr uint32_t kPiece = 1u << 20;

uint8_t* new_bounce() { return static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, kPiece)); }

// An open file and the buffer large reads go through.
struct ReadingFile {
  HFILE file;
  uint8_t* bounce = nullptr;
  ~ReadingFile() {
    if (bounce) HeapFree(GetProcessHeap(), 0, bounce);
  }
};

// Reads count bytes at a file offset through the bounce buffer; returns how many
// it got (fewer only at the end of the file or on an error).
uint32_t read_at(HFILE file, uint64_t offset, uint8_t* destination, uint32_t count, uint8_t* bounce) {
  uint32_t total = 0;
  while (total < count) {
    const uint32_t piece = count - total > kPiece ? kPiece : count - total;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset + total);
    at.OffsetHigh = static_cast<DWORD>((offset + total) >> 32);
    DWORD got = 0;
    if (!ReadFile(handle_of(file), bounce, piece, &got, &at) || got == 0) break;
    std::memcpy(destination + total, bounce, got);
    total += got;
    if (got < piece) break;
  }
  return total;
}

// The second half of a large read, on a thread of its own: the first writes into
// fresh pages cost more than the reading, and two cores take them twice as fast.
struct HalfRead {
  HFILE file;
  uint64_t offset;
  uint8_t* destination;
  uint32_t count;
  uint32_t got = 0;
};

DWORD WINAPI read_half(void* context) {
  auto* half = static_cast<HalfRead*>(context);
  uint8_t* bounce = new_bounce();
  if (bounce) {
    half->got = read_at(half->file, half->offset, half->destination, half->count, bounce);
    HeapFree(GetProcessHeap(), 0, bounce);
  }
  return 0;
}

uint32_t file_read(void* context, uint8_t* destination, uint32_t count) {
  ReadingFile& reading = *static_cast<ReadingFile*>(context);
  const HFILE file = reading.file;
  // The platform makes every page of the destination ready before it reads, so a
  // header that claims gigabytes in a small file would cost as much as reading
  // them: ask only for what the file still holds.
  uint64_t position = 0, left = 0;
  const bool placed = place_in_file(file, position, left);
  if (placed && left < count) count = static_cast<uint32_t>(left);
  if (count <= kPiece || !placed) {
    uint32_t total = 0;
    while (total < count) {
      const uint32_t piece = count - total > kPiece ? kPiece : count - total;
      const long got = _hread(file, destination + total, static_cast<long>(piece));
      if (got <= 0) break;
      total += static_cast<uint32_t>(got);
      if (static_cast<uint32_t>(got) < piece) break;
    }
    return total;
  }
  if (!reading.bounce) reading.bounce = new_bounce();
  if (!reading.bounce) return 0;
  constexpr uint32_t kSplitAbove = 8u << 20;
  HalfRead half{file, 0, nullptr, 0};
  HANDLE helper = nullptr;
  uint32_t first = count;
  if (count > kSplitAbove) {
    first = count / 2 / kPiece * kPiece;
    half = HalfRead{file, position + first, destination + first, count - first};
    helper = CreateThread(nullptr, 0, read_half, &half, 0, nullptr);
    if (!helper) first = count;
  }
  uint32_t total = read_at(file, position, destination, first, reading.bounce);
  if (helper) {
    WaitForSingleObject(helper, INFINITE);
    CloseHandle(helper);
    if (total == first) total += half.got;
  }
  // Reads at an offset leave the file position anywhere: put it after what was read.
  LARGE_INTEGER after = {};
  after.QuadPart = static_cast<LONGLONG>(position + total);
  SetFilePointerEx(handle_of(file), after, nullptr, FILE_BEGIN);
  return total;
}

// _llseek takes a signed distance: an offset beyond 2 GB is reached in two moves, so
// a pixel offset past the end of the file is a short read rather than a seek that
// fails and leaves the reader where it was.
void file_seek(void* context, uint32_t offset) {
  const HFILE file = static_cast<ReadingFile*>(context)->file;
  constexpr uint32_t kLongMax = 0x7FFFFFFF;
  if (offset <= kLongMax) {
    _llseek(file, static_cast<LONG>(offset), FILE_BEGIN);
    return;
  }
  _llseek(file, static_cast<LONG>(kLongMax), FILE_BEGIN);
  _llseek(file, static_cast<LONG>(offset - kLongMax), FILE_CURRENT);
}

// On failure the previous block stays and is left unlocked.
uint8_t* store_resize(void* context, uint32_t size) { return resize_store(*static_cast<StoreLock*>(context), size); }

// The head of a file to be mapped, read into memory of its own; never larger than
// the file, which must hold it.
struct HeadBuffer {
  std::vector<uint8_t> bytes;
  uint64_t file_size;
};

uint8_t* head_resize(void* context, uint32_t size) {
  auto* head = static_cast<HeadBuffer*>(context);
  if (size > head->file_size) return nullptr;
  head->bytes.resize(size);
  return head->bytes.data();
}

// Maps a BMP file whose header, masks, colour table and rows lie back to back after
// the file header, as they do in the store, and puts the header as the reader makes
// it over the copy-on-write view. False (nothing kept) for any other file, for a
// file that holds fewer rows than the picture needs, or when the platform can't map.
bool map_bmp_file(const char* file_name, FileView& view, PictureDescription& description) {
  FileView mapped;
  mapped.file = CreateFileA(file_name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (mapped.file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(mapped.file, &size) || size.QuadPart > UINT32_MAX) {
    close_file_view(mapped);
    return false;
  }
  HeadBuffer head{std::vector<uint8_t>(kInitialStoreSize), static_cast<uint64_t>(size.QuadPart)};
  uint8_t* store = head.bytes.data();
  ReadingFile reading{static_cast<HFILE>(reinterpret_cast<intptr_t>(mapped.file))};
  uint32_t pixel_bytes = 0;
  const int code =
      read_bmp_head(FileInput{&reading, file_read, file_seek}, StoreResizer{&head, head_resize}, store, description,
                    pixel_bytes);
  LARGE_INTEGER position = {};
  const bool laid_out_as_store =
      code == kReadOk && SetFilePointerEx(mapped.file, LARGE_INTEGER{}, &position, FILE_CURRENT) &&
      static_cast<uint64_t>(position.QuadPart) == kFileHeaderBytes + description.offset_to_pixels &&
      static_cast<uint64_t>(position.QuadPart) + pixel_bytes <= head.file_size;
  if (laid_out_as_store) mapped.mapping = CreateFileMappingA(mapped.file, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
  if (mapped.mapping) mapped.base = static_cast<uint8_t*>(MapViewOfFile(mapped.mapping, FILE_MAP_COPY, 0, 0, 0));
  if (!mapped.base) {
    close_file_view(mapped);
    return false;
  }
  uint8_t* view_store = mapped.base + kFileHeaderBytes;
  if (std::memcmp(view_store, store, description.offset_to_pixels) != 0) {
    std::memcpy(view_store, store, description.offset_to_pixels);
  }
  mapped.store_size = description.offset_to_pixels + size_t{pixel_bytes};
  view = mapped;
  return true;
}

// Reads a byte of every page of the view, so that the file's pages are in place
// before the conversion needs them.
void touch_pages(const FileView& view) {
  volatile uint8_t sink = 0;
  const size_t end = kFileHeaderBytes + view.store_size;
  for (size_t offset = 0; offset < end; offset += 4096) sink = sink + view.base[offset];
}

// A BMP file read (or mapped) on a thread of its own while the windows are made; the
// open then takes the block or the view as the store instead of reading.
struct ReadAhead {
  HANDLE thread = nullptr;
  std::string file_name;
  bool map = false;
  FileView view;
  HGLOBAL block = nullptr;
  uint8_t* locked = nullptr;  // the block's bytes while it is locked
  int code = kReadCantOpen;
  PictureDescription description;
};

ReadAhead g_read_ahead;

uint8_t* read_ahead_resize(void* context, uint32_t size) {
  auto* ahead = static_cast<ReadAhead*>(context);
  ahead->locked = resize_global_block(ahead->block, size);
  return ahead->locked;
}

DWORD WINAPI read_ahead(void* context) {
  auto* ahead = static_cast<ReadAhead*>(context);
  if (ahead->map && map_bmp_file(ahead->file_name.c_str(), ahead->view, ahead->description)) {
    ahead->code = kReadOk;
    touch_pages(ahead->view);
    return 0;
  }
  SimpleFile file(_lopen(ahead->file_name.c_str(), OF_READ));
  if (!file.ok()) return 0;
  ahead->block = GlobalAlloc(GMEM_MOVEABLE, kInitialStoreSize);
  if (!ahead->block) return 0;
  ahead->locked = static_cast<uint8_t*>(GlobalLock(ahead->block));
  if (!ahead->locked) return 0;
  ReadingFile reading{file.get()};
  uint8_t* store = ahead->locked;
  ahead->code = read_bmp(FileInput{&reading, file_read, file_seek}, StoreResizer{ahead, read_ahead_resize}, store,
                         ahead->description);
  return 0;
}

void forget_read_ahead() {
  ReadAhead& ahead = g_read_ahead;
  if (ahead.thread) {
    WaitForSingleObject(ahead.thread, INFINITE);
    CloseHandle(ahead.thread);
  }
  if (ahead.locked) GlobalUnlock(ahead.block);
  if (ahead.block) GlobalFree(ahead.block);
  close_file_view(ahead.view);
  ahead = ReadAhead();
}

}  // namespace

void start_read_ahead(const char* file_name, bool map) {
  forget_read_ahead();
  g_read_ahead.file_name = file_name;
  g_read_ahead.map = map;
  g_read_ahead.thread = CreateThread(nullptr, 0, read_ahead, &g_read_ahead, 0, nullptr);
}

bool take_read_ahead(const char* file_name) {
  ReadAhead& ahead = g_read_ahead;
  if (!ahead.thread) return false;
  WaitForSingleObject(ahead.thread, INFINITE);
  CloseHandle(ahead.thread);
  ahead.thread = nullptr;
  // Only a whole BMP of the same name is taken; anything else is read again the usual
  // way, so that every failure and the plug-ins behave as they always do.
  if (ahead.code != kReadOk || ahead.file_name != file_name) {
    forget_read_ahead();
    return false;
  }
  if (ahead.view.base) {
    adopt_file_view_store(ahead.view);
  } else {
    GlobalUnlock(ahead.block);
    adopt_global_store(ahead.block);
  }
  g_picture.description = ahead.description;
  ahead = ReadAhead();
  return true;
}

int read_file(const char* file_name, unsigned short platform_version) {
  SimpleFile file(_lopen(file_name, OF_READ));
  if (!file.ok()) return kReadCantOpen;
  WaitCursor wait;
  if (g_picture.store_kind != kStoreGlobal && !renew_store_as_global()) return kReadTooLarge;
  StoreLock lock;
  uint8_t* store = lock.get();
  if (!store) return kReadTooLarge;
  ReadingFile reading{file.get()};
  const int code = read_bmp(FileInput{&reading, file_read, file_seek}, StoreResizer{&lock, store_resize}, store,
                            g_picture.description);
  if (code == kReadNoSignature) return read_with_plugins(file.get(), lock, platform_version);
  return code;
}

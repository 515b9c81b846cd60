#include "image/bmp_file_win32.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/guards_win32.h"
#include "image/bmp_reader.h"
#include "image/plugin_reader_win32.h"
#include "image/store_win32.h"

namespace {

HANDLE handle_of(HFILE file) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(file)); }

// The bytes between the file position and the end of the file; false when the
// platform can't tell (not a disk file).
bool bytes_left(HFILE file, uint64_t& left) {
  LARGE_INTEGER size = {}, at = {};
  if (!SetFilePointerEx(handle_of(file), LARGE_INTEGER{}, &at, FILE_CURRENT)) return false;
  if (!GetFileSizeEx(handle_of(file), &size)) return false;
  left = size.QuadPart > at.QuadPart ? static_cast<uint64_t>(size.QuadPart - at.QuadPart) : 0;
  return true;
}

// Large blocks go through a small buffer that stays mapped: the platform is slow to
// read straight into pages the process has not touched yet.
constexpr uint32_t kPiece = 1u << 20;

// Waits for a thread to end and lets its handle go.
void join(HANDLE& thread) {
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  thread = nullptr;
}

uint8_t* new_bounce() { return static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, kPiece)); }

// An open file and the buffer large reads go through.
struct ReadingFile {
  HFILE file;
  uint8_t* bounce = nullptr;
  ~ReadingFile() {
    if (bounce) HeapFree(GetProcessHeap(), 0, bounce);
  }
};

// The first write into each fresh page of a large destination costs more than the
// reading itself; a thread of its own makes those of the second half while the
// first half is read, and the reading waits for it before going on there.
struct PageToucher {
  uint8_t* begin;
  size_t bytes;
};

DWORD WINAPI touch_second_half(void* context) {
  const auto* toucher = static_cast<PageToucher*>(context);
  volatile uint8_t* bytes = toucher->begin;
  for (size_t offset = 0; offset < toucher->bytes; offset += 4096) bytes[offset] = 0;
  return 0;
}

uint32_t file_read(void* context, uint8_t* destination, uint32_t count) {
  ReadingFile& reading = *static_cast<ReadingFile*>(context);
  const HFILE file = reading.file;
  // The platform makes every page of the destination ready before it reads, so a
  // header that claims gigabytes in a small file would cost as much as reading
  // them: ask only for what the file still holds.
  uint64_t left = 0;
  if (bytes_left(file, left) && left < count) count = static_cast<uint32_t>(left);
  if (count > kPiece && !reading.bounce) reading.bounce = new_bounce();
  uint8_t* bounce = count > kPiece ? reading.bounce : nullptr;
  constexpr uint32_t kTouchAbove = 8u << 20;
  const uint32_t half = count > kTouchAbove ? count / 2 : count;
  PageToucher toucher{destination + half, count - half};
  HANDLE helper = half < count ? CreateThread(nullptr, 0, touch_second_half, &toucher, 0, nullptr) : nullptr;
  uint32_t total = 0;
  while (total < count) {
    if (helper && total >= half) join(helper);
    uint32_t piece = count - total > kPiece ? kPiece : count - total;
    if (helper && total + piece > half) piece = half - total;
    uint8_t* target = bounce ? bounce : destination + total;
    const long got = _hread(file, target, static_cast<long>(piece));
    if (got <= 0) break;
    if (target != destination + total) std::memcpy(destination + total, target, static_cast<size_t>(got));
    total += static_cast<uint32_t>(got);
    if (static_cast<uint32_t>(got) < piece) break;
  }
  if (helper) join(helper);
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
  const ReadCode code =
      read_bmp_head(FileInput{&reading, file_read, file_seek}, StoreResizer{&head, head_resize}, store, description,
                    pixel_bytes);
  LARGE_INTEGER position = {};
  const bool laid_out_as_store =
      code == ReadCode::kOk && SetFilePointerEx(mapped.file, LARGE_INTEGER{}, &position, FILE_CURRENT) &&
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

uint8_t* read_ahead_resize(void* context, uint32_t size) {
  auto* ahead = static_cast<ReadAhead*>(context);
  ahead->locked = resize_global_block(ahead->block, size);
  return ahead->locked;
}

DWORD WINAPI read_ahead(void* context) {
  auto* ahead = static_cast<ReadAhead*>(context);
  if (ahead->map && map_bmp_file(ahead->file_name.c_str(), ahead->view, ahead->description)) {
    ahead->code = ReadCode::kOk;
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

void forget_read_ahead(ReadAhead& ahead) {
  if (ahead.thread) join(ahead.thread);
  if (ahead.locked) GlobalUnlock(ahead.block);
  if (ahead.block) GlobalFree(ahead.block);
  close_file_view(ahead.view);
  ahead = ReadAhead();
}

}  // namespace

void start_read_ahead(ReadAhead& ahead, const char* file_name, bool map) {
  forget_read_ahead(ahead);
  ahead.file_name = file_name;
  ahead.map = map;
  ahead.thread = CreateThread(nullptr, 0, read_ahead, &ahead, 0, nullptr);
}

bool take_read_ahead(ReadAhead& ahead, PictureState& picture, const char* file_name) {
  if (!ahead.thread) return false;
  join(ahead.thread);
  // Only a whole BMP of the same name is taken; anything else is read again the usual
  // way, so that every failure and the plug-ins behave as they always do.
  if (ahead.code != ReadCode::kOk || ahead.file_name != file_name) {
    forget_read_ahead(ahead);
    return false;
  }
  if (ahead.view.base) {
    adopt_file_view_store(picture, ahead.view);
  } else {
    GlobalUnlock(ahead.block);
    adopt_global_store(picture, ahead.block);
  }
  picture.description = ahead.description;
  ahead = ReadAhead();
  return true;
}

ReadCode read_file(PictureState& picture, const char* file_name, unsigned short platform_version,
                   const PluginSearch& plugins) {
  SimpleFile file(_lopen(file_name, OF_READ));
  if (!file.ok()) return ReadCode::kCantOpen;
  WaitCursor wait;
  if (picture.store_kind != kStoreGlobal && !renew_store_as_global(picture)) return ReadCode::kTooLarge;
  StoreLock lock(picture);
  uint8_t* store = lock.get();
  if (!store) return ReadCode::kTooLarge;
  ReadingFile reading{file.get()};
  const ReadCode code = read_bmp(FileInput{&reading, file_read, file_seek}, StoreResizer{&lock, store_resize}, store,
                            picture.description);
  if (code == ReadCode::kNoSignature) return read_with_plugins(file.get(), lock, platform_version, plugins);
  return code;
}

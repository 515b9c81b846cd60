#include "image/plugin_reader_win32.h"

#include <cstring>

#include "image/bmp_reader.h"
#include "image/dib_layout.h"
#include "image/platform_version.h"

namespace {

// Both entry points use the standard calling convention; every argument is 32 bits.
using IsSupportedProc = int(WINAPI*)(LPCSTR name, DWORD data);
using GetPictureProc = int(WINAPI*)(LPCSTR buffer, LONG length, UINT flags, HLOCAL* info, HLOCAL* pixels,
                                    FARPROC progress, LONG data);

// The whole file in an ordinary heap block, freed on every path.
class FileImage {
 public:
  ~FileImage() { release(); }
  bool read(HFILE file) {
    const LONG length = _llseek(file, 0, FILE_END);
    if (length < 0) return false;
    length_ = length;
    bytes_ = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length > 0 ? static_cast<SIZE_T>(length) : 1));
    if (!bytes_) return false;
    _llseek(file, 0, FILE_BEGIN);
    return _hread(file, bytes_, length) == length;
  }
  void release() {
    if (bytes_) HeapFree(GetProcessHeap(), 0, bytes_);
    bytes_ = nullptr;
  }
  bool allocated() const { return bytes_ != nullptr; }
  const char* bytes() const { return bytes_; }
  LONG length() const { return length_; }

 private:
  char* bytes_ = nullptr;
  LONG length_ = 0;
};

class DirectorySearch {
 public:
  explicit DirectorySearch(const char* pattern) : handle_(FindFirstFileA(pattern, &entry_)) {}
  ~DirectorySearch() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  bool found() const { return handle_ != INVALID_HANDLE_VALUE; }
  const WIN32_FIND_DATAA& entry() const { return entry_; }
  bool next() { return FindNextFileA(handle_, &entry_) != 0; }

 private:
  WIN32_FIND_DATAA entry_;
  HANDLE handle_;
};

// A plug-in library, released at the latest when the guard goes.
class PluginLibrary {
 public:
  explicit PluginLibrary(const char* path) : module_(LoadLibraryA(path)) {}
  ~PluginLibrary() { release(); }
  void release() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }
  // The plain function type in between says the entry's real type is known.
  template <class Proc>
  Proc entry(const char* name) const {
    const FARPROC found = module_ ? GetProcAddress(module_, name) : nullptr;
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(found));
  }

 private:
  HMODULE module_;
};

// The two blocks a plug-in's GetPicture hands back.
struct PluginResult {
  HLOCAL info = nullptr;    // the information block: header and colour table
  HLOCAL pixels = nullptr;  // the pixel block
};

void free_result_handles(PluginResult& result) {
  if (result.info) LocalFree(result.info);
  if (result.pixels) LocalFree(result.pixels);
  result.info = result.pixels = nullptr;
}

// Skips directories and, before platform 4.0, the one plug-in of that name known
// not to work there.
bool passed_over(const WIN32_FIND_DATAA& entry, unsigned short platform_version) {
  if (entry.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY) return true;
  return !platform_4_or_later(platform_version) && std::strcmp(entry.cFileName, "IFJPEGV6.SPI") == 0;
}

enum class TakeOver { kTaken, kBadPicture, kNoRoom };

// Builds the store from the two blocks a plug-in delivered: the pixel rows are moved
// up in their own block and the header and table copied in front of them, so the
// picture is never held twice. The previous store goes only once the new one is
// complete, so a failure leaves it in place.
TakeOver take_over_picture(StoreLock& lock, PluginResult& plugin) {
  PictureDescription layout = lock.picture().description;
  uint8_t* info = static_cast<uint8_t*>(LocalLock(plugin.info));
  if (!info) return TakeOver::kBadPicture;
  uint32_t pixel_bytes = 0;
  const bool described =
      lay_out_plugin_header(info, static_cast<uint32_t>(LocalSize(plugin.info)), layout, pixel_bytes);
  const uint32_t delivered = static_cast<uint32_t>(LocalSize(plugin.pixels));
  if (!described) {
    LocalUnlock(plugin.info);
    return TakeOver::kBadPicture;
  }
  const uint32_t offset = layout.offset_to_pixels;
  HLOCAL grown = LocalReAlloc(plugin.pixels, offset + pixel_bytes, LMEM_MOVEABLE);
  if (!grown) {
    LocalUnlock(plugin.info);
    return TakeOver::kNoRoom;
  }
  plugin.pixels = grown;
  uint8_t* store = static_cast<uint8_t*>(LocalLock(grown));
  if (!store) {
    LocalUnlock(plugin.info);
    return TakeOver::kNoRoom;
  }
  // Rows the plug-in did not deliver (a short block) read as black, not as stale memory.
  const uint32_t kept = delivered < pixel_bytes ? delivered : pixel_bytes;
  std::memmove(store + offset, store, kept);
  std::memset(store + offset + kept, 0, pixel_bytes - kept);
  std::memcpy(store, info, offset);
  LocalUnlock(plugin.info);
  LocalFree(plugin.info);
  plugin.info = nullptr;

  adopt_local_store(lock, grown, store);
  plugin.pixels = nullptr;
  lock.picture().description = layout;
  return TakeOver::kTaken;
}

}  // namespace

void program_directory(char* out, int out_size) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    out[0] = 0;
    return;
  }
  char* slash = std::strrchr(path, '\\');
  if (slash) slash[1] = 0;
  lstrcpynA(out, path, out_size);
}

ReadCode read_with_plugins(HFILE file, StoreLock& lock, unsigned short platform_version,
                           const PluginSearch& plugin_search) {
  FileImage image;
  if (!image.read(file)) return image.allocated() ? ReadCode::kShortData : ReadCode::kTooLarge;

  char directory[MAX_PATH];
  if (plugin_search.directory[0]) {
    lstrcpynA(directory, plugin_search.directory, MAX_PATH);
  } else {
    program_directory(directory, MAX_PATH);
  }
  const size_t directory_length = std::strlen(directory);
  char path[MAX_PATH];
  if (directory_length + sizeof "*.SPI" > MAX_PATH) return ReadCode::kNotBitmap;
  std::memcpy(path, directory, directory_length);
  std::memcpy(path + directory_length, "*.SPI", sizeof "*.SPI");
  DirectorySearch search(path);
  if (!search.found()) return ReadCode::kNotBitmap;

  do {
    const WIN32_FIND_DATAA& entry = search.entry();
    if (passed_over(entry, platform_version)) continue;
    const size_t name_length = std::strlen(entry.cFileName);
    if (directory_length + name_length >= MAX_PATH) continue;
    std::memcpy(path + directory_length, entry.cFileName, name_length + 1);

    PluginLibrary library(path);
    const auto is_supported = library.entry<IsSupportedProc>("IsSupported");
    const auto get_picture = library.entry<GetPictureProc>("GetPicture");
    if (!is_supported || !get_picture) continue;
    _llseek(file, 0, FILE_BEGIN);
    if (is_supported(nullptr, static_cast<DWORD>(file)) == 0) continue;
    PluginResult result;
    const int outcome = get_picture(image.bytes(), image.length(), 1, &result.info, &result.pixels, nullptr, 0);
    // The blocks outlive the library, which goes before anything touches them.
    library.release();
    if (outcome != 0 || !result.info || !result.pixels) {
      free_result_handles(result);
      continue;
    }
    const TakeOver taken = take_over_picture(lock, result);
    free_result_handles(result);
    if (taken == TakeOver::kTaken) return ReadCode::kOk;
    if (taken == TakeOver::kNoRoom) return ReadCode::kTooLarge;
  } while (search.next());
  return ReadCode::kUnsupported;
}

#include "image/plugin_reader_win32.h"

#include <cstring>

#include "image/bmp_reader.h"

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

int read_with_plugins(HFILE, StoreLock&) {
  char pattern[MAX_PATH];
  program_directory(pattern, MAX_PATH);
  if (std::strlen(pattern) + 5 >= MAX_PATH) return kReadNotBitmap;
  std::strcat(pattern, "*.SPI");
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return kReadNotBitmap;
  FindClose(search);
  // Plug-in files exist, but none here can decode the file yet.
  return kReadUnsupported;
}

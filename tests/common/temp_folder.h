// New empty folders under the temporary directory, for tests in and out of process.
#ifndef QVX_TESTS_TEMP_FOLDER_H
#define QVX_TESTS_TEMP_FOLDER_H

#include <windows.h>

#include <cstdio>
#include <string>

// Returns a folder that did not exist before, with a trailing backslash. Wine reuses
// process ids between runs, so a folder left by an earlier run is skipped, not shared.
inline std::string new_temp_folder(const char* prefix) {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  static int counter = 0;
  char path[MAX_PATH];
  do {
    std::snprintf(path, sizeof path, "%s%s-%lu-%d\\", base, prefix, GetCurrentProcessId(), ++counter);
  } while (!CreateDirectoryA(path, nullptr) && GetLastError() == ERROR_ALREADY_EXISTS && counter < 100000);
  return path;
}

#endif

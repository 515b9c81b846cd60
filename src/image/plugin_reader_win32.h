// Image-reader plug-ins ("*.SPI" beside the program) for files that aren't BMP files.
#ifndef QVX_PLUGIN_READER_WIN32_H
#define QVX_PLUGIN_READER_WIN32_H

#include <windows.h>

#include "image/read_code.h"
#include "image/store_win32.h"

// Where plug-ins are looked for. An empty directory means the program's own; the
// tests point it at folders of their own plug-ins.
struct PluginSearch {
  char directory[MAX_PATH] = {};
};

// Offers the open file (read from its start) to the plug-ins in directory order and
// makes the first picture delivered the store (a local block, store kind 1), locked
// through `lock`. Returns kOk, kNotBitmap when no plug-in file exists, kUnsupported
// when none delivered, kTooLarge or kShortData when the file or the picture can't
// be held or read.
// The platform version (major * 256 + minor) decides which plug-ins are passed over.
ReadCode read_with_plugins(HFILE file, StoreLock& lock, unsigned short platform_version,
                           const PluginSearch& search);

// Writes the program's directory, with a trailing backslash, into out (260 bytes).
void program_directory(char* out, int out_size);

#endif

// Image-reader plug-ins ("*.SPI" beside the program) for files that aren't BMP files.
#ifndef QVX_PLUGIN_READER_WIN32_H
#define QVX_PLUGIN_READER_WIN32_H

#include <windows.h>

#include "image/store_win32.h"

// Returns 3 when no plug-in file exists, 5 when none took the file, 0 when one did.
int read_with_plugins(HFILE file, StoreLock& lock);

// Writes the program's directory, with a trailing backslash, into out (260 bytes).
void program_directory(char* out, int out_size);

#endif

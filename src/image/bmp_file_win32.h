// Reading a picture file into the store.
#ifndef QVX_BMP_FILE_WIN32_H
#define QVX_BMP_FILE_WIN32_H

#include <windows.h>

#include <string>

#include "image/picture.h"
#include "image/plugin_reader_win32.h"
#include "image/read_code.h"
#include "image/store_win32.h"

// Reads a picture file into the picture's store and returns the reader's outcome;
// files without a BMP signature go to the plug-ins in `plugins`' folder, which
// depend on the platform version (major * 256 + minor).
ReadCode read_file(PictureState& picture, const char* file_name, unsigned short platform_version,
                   const PluginSearch& plugins);

// A BMP file read (or mapped) on a thread of its own while the windows are made; the
// open then takes the block or the view as the store instead of reading.
struct ReadAhead {
  HANDLE thread = nullptr;
  std::string file_name;
  bool map = false;
  FileView view;
  HGLOBAL block = nullptr;
  uint8_t* locked = nullptr;  // the block's bytes while it is locked
  ReadCode code = ReadCode::kCantOpen;
  PictureDescription description;
};


// Starts reading a BMP file on a thread of its own, so that a file named at start-up
// is read while the windows are made. With `map` the file is mapped as the store
// where its layout allows; the file then stays open, shared for reading only, for
// as long as it is the store (meant for a batch run, which ends soon after).
void start_read_ahead(ReadAhead& ahead, const char* file_name, bool map);

// Makes the file read (or mapped) ahead the store, with its description, and returns true when a
// read-ahead of this file name read a whole BMP; otherwise drops it and returns false
// (the caller reads the file as usual). Waits for the read to end.
bool take_read_ahead(ReadAhead& ahead, PictureState& picture, const char* file_name);

#endif

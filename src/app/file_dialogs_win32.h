// The Open and Save As dialogs.
#ifndef QVX_FILE_DIALOGS_WIN32_H
#define QVX_FILE_DIALOGS_WIN32_H

#include <windows.h>

#include "app/frame_state_win32.h"

// Asks for a picture to open; true with the path in the current file name.
bool ask_open_file(FrameState& state);

// Asks for a file to save to; true with the path in the current file name.
bool ask_save_file(FrameState& state);

#endif

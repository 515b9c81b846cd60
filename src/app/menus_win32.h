// The frame's menu: stored at frame creation, its texts replaced in Japanese.
#ifndef QVX_MENUS_WIN32_H
#define QVX_MENUS_WIN32_H

#include <windows.h>

#include "app/frame_state_win32.h"

// Stores the frame's menu; with the Japanese language setting replaces its texts.
void build_menu(FrameState& state);

#endif

#include "app/frame_state_win32.h"

#include <cstring>

FrameState g_frame;

std::string load_string(int id) {
  char text[kScratchSize] = {};
  LoadStringA(g_frame.instance, static_cast<UINT>(id), text, kScratchSize);
  return text;
}

bool set_file_name(const char* text) {
  const size_t length = std::strlen(text);
  g_frame.file_name_too_long = length >= kFileNameSize;
  if (g_frame.file_name_too_long) {
    g_frame.long_file_name = text;
  } else {
    g_frame.long_file_name.clear();
  }
  lstrcpynA(g_frame.file_name, text, kFileNameSize);
  return !g_frame.file_name_too_long;
}

#include "app/frame_state_win32.h"

#include <cstring>

void keep_frame_state(HWND frame, FrameState* state) {
  SetWindowLongPtrA(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
}

FrameState* frame_state(HWND frame) { return reinterpret_cast<FrameState*>(GetWindowLongPtrA(frame, GWLP_USERDATA)); }

std::string load_string(const FrameState& state, int id) {
  char text[kScratchSize] = {};
  LoadStringA(state.instance, static_cast<UINT>(id), text, kScratchSize);
  return text;
}

bool set_file_name(FrameState& state, const char* text) {
  const size_t length = std::strlen(text);
  state.file_name_too_long = length >= kFileNameSize;
  if (state.file_name_too_long) {
    state.long_file_name = text;
  } else {
    state.long_file_name.clear();
  }
  lstrcpynA(state.file_name, text, kFileNameSize);
  return !state.file_name_too_long;
}

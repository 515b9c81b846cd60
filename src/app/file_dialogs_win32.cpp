#include "app/file_dialogs_win32.h"

#include <commdlg.h>

#include <cstddef>

#include "app/file_dialogs.h"
#include "app/frame_state_win32.h"
#include "app/settings_win32.h"

namespace {

// The record as the oldest platforms know it: 76 bytes in the 32-bit build, wider
// where pointers are 8 bytes.
constexpr DWORD kOldDialogRecordSize = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
static_assert(sizeof(void*) != 4 || kOldDialogRecordSize == 76, "the 32-bit record is 76 bytes");

// Returns the description of either dialog, writing into the frame's file name and title.
OPENFILENAMEA dialog_record(FrameState& state, DWORD flags) {
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = kOldDialogRecordSize;
  dialog.hwndOwner = state.frame;
  dialog.lpstrFilter = dialog_filter(state.japanese);
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = state.file_name;
  dialog.nMaxFile = kFileNameSize;
  dialog.lpstrFileTitle = state.file_title;
  dialog.nMaxFileTitle = kFileTitleSize;
  dialog.Flags = flags;
  return dialog;
}

}  // namespace

bool ask_open_file(FrameState& state) {
  state.file_name[0] = 0;
  state.file_name_too_long = false;
  OPENFILENAMEA dialog = dialog_record(state, kOpenDialogFlags);
  return GetOpenFileNameA(&dialog) != 0;
}

bool ask_save_file(FrameState& state) {
  lstrcpynA(state.file_name, state.file_title, kFileNameSize);
  state.file_name_too_long = false;
  OPENFILENAMEA dialog = dialog_record(state, kSaveDialogFlags);
  // The registry is only asked where the answer matters.
  if (platform_4_or_later(state.version)) dialog.lpstrDefExt = save_default_extension(true, query_shell_extension());
  return GetSaveFileNameA(&dialog) != 0;
}

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

// One description serves both dialogs, cleared and filled anew for each use.
OPENFILENAMEA g_dialog;

void fill_dialog(HWND frame, DWORD flags) {
  ZeroMemory(&g_dialog, sizeof g_dialog);
  g_dialog.lStructSize = kOldDialogRecordSize;
  g_dialog.hwndOwner = frame;
  g_dialog.lpstrFilter = dialog_filter(g_frame.japanese);
  g_dialog.nFilterIndex = 1;
  g_dialog.lpstrFile = g_frame.file_name;
  g_dialog.nMaxFile = kFileNameSize;
  g_dialog.lpstrFileTitle = g_frame.file_title;
  g_dialog.nMaxFileTitle = kFileTitleSize;
  g_dialog.Flags = flags;
}

}  // namespace

bool ask_open_file(HWND frame) {
  g_frame.file_name[0] = 0;
  g_frame.file_name_too_long = false;
  fill_dialog(frame, kOpenDialogFlags);
  return GetOpenFileNameA(&g_dialog) != 0;
}

bool ask_save_file(HWND frame) {
  lstrcpynA(g_frame.file_name, g_frame.file_title, kFileNameSize);
  g_frame.file_name_too_long = false;
  fill_dialog(frame, kSaveDialogFlags);
  // The registry is only asked where the answer matters.
  if (platform_4_or_later()) g_dialog.lpstrDefExt = save_default_extension(true, query_shell_extension());
  return GetSaveFileNameA(&g_dialog) != 0;
}

#include <cstring>

#include "app/frame_win32.h"
#include "base/guards_win32.h"
#include "image/image_texts.h"
#include "mono/bmp_writer.h"
#include "mono/conversion.h"
#include "mono/mono_texts.h"
#include "mono/result_win32.h"

namespace {

void show_save_failure(HWND frame) {
  format_save_failure(g_frame.japanese, g_frame.file_name, g_frame.scratch, sizeof g_frame.scratch);
  MessageBoxA(frame, g_frame.scratch, g_frame.japanese ? kJaErrorTitle : kEnErrorTitle, MB_OK | MB_ICONHAND);
}

// Makes a new empty file in the target's directory; the target itself is replaced
// only once every byte is written, so a failed save leaves it as it was.
bool create_sibling_file(const char* target, char* sibling) {
  char full[MAX_PATH];
  char* name_part = nullptr;
  const DWORD length = GetFullPathNameA(target, MAX_PATH, full, &name_part);
  if (length == 0 || length >= MAX_PATH || !name_part) return false;
  *name_part = 0;
  return GetTempFileNameA(full, "qvx", 0, sibling) != 0;
}

bool write_all(HFILE file, const uint8_t* bytes, uint32_t count) {
  return _lwrite(file, reinterpret_cast<LPCCH>(bytes), count) == count;
}

}  // namespace

int save_result(HWND frame) {
  if (g_conversion.fast) convert(frame);
  GlobalLockGuard result(g_result);
  if (!result.get()) return 0;
  uint8_t file_header[kFileHeaderBytes];
  build_file_header(result.get(), file_header);

  char sibling[MAX_PATH];
  if (g_frame.file_name[0] == 0 || !create_sibling_file(g_frame.file_name, sibling)) {
    show_save_failure(frame);
    return 0;
  }
  SimpleFile file(_lcreat(sibling, 0));
  if (!file.ok()) {
    DeleteFileA(sibling);
    show_save_failure(frame);
    return 0;
  }
  WaitCursor wait;
  const bool complete = write_all(file.get(), file_header, kFileHeaderBytes) &&
                        write_all(file.get(), result.get(), result_bytes_to_write(result.get()));
  file.close();
  if (!complete || !MoveFileExA(sibling, g_frame.file_name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    DeleteFileA(sibling);
    show_save_failure(frame);
    return 0;
  }
  return 1;
}

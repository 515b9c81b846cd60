#include "mono/save_win32.h"

#include <string>

#include "base/guards_win32.h"
#include "mono/bmp_writer.h"
#include "mono/mono_texts.h"
#include "mono/result_win32.h"

namespace {

// Candidates tried for the temporary file before the save gives up.
constexpr unsigned kSiblingAttempts = 2000;

// Claims a new empty file in the target's folder, under a name that no file there
// has and that fits beside the folder in the file-name buffer; the target itself is
// replaced only once every byte is written, so a failed save leaves it as it was.
bool create_sibling_file(const char* target, std::string& sibling) {
  char full[MAX_PATH];
  char* name_part = nullptr;
  const DWORD length = GetFullPathNameA(target, MAX_PATH, full, &name_part);
  if (length == 0 || length >= MAX_PATH || !name_part || *name_part == 0) return false;
  const std::string target_name = name_part;
  *name_part = 0;
  const size_t room = MAX_PATH - 1 - static_cast<size_t>(name_part - full);
  for (unsigned attempt = 0; attempt < kSiblingAttempts; ++attempt) {
    const std::string name = temporary_sibling_name(attempt, room);
    if (name.empty()) return false;
    if (lstrcmpiA(name.c_str(), target_name.c_str()) == 0) continue;
    sibling = full + name;
    HANDLE file = CreateFileA(sibling.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) return false;
  }
  return false;
}

bool write_all(HFILE file, const uint8_t* bytes, uint32_t count) {
  return _lwrite(file, reinterpret_cast<LPCCH>(bytes), count) == count;
}

}  // namespace

bool write_result_file(const PictureState& picture, const char* target) {
  GlobalLockGuard result(picture.result);
  if (!result.get()) return false;
  uint8_t file_header[kFileHeaderBytes];
  build_file_header(result.get(), file_header);

  std::string sibling;
  if (!create_sibling_file(target, sibling)) return false;
  SimpleFile file(_lcreat(sibling.c_str(), 0));
  if (!file.ok()) {
    DeleteFileA(sibling.c_str());
    return false;
  }
  WaitCursor wait;
  const bool complete = write_all(file.get(), file_header, kFileHeaderBytes) &&
                        write_all(file.get(), result.get(), result_bytes_to_write(result.get()));
  file.close();
  if (!complete ||
      !MoveFileExA(sibling.c_str(), target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(sibling.c_str());
    return false;
  }
  return true;
}

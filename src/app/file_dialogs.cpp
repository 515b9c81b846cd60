#include "app/file_dialogs.h"

#include <cstdio>
#include <cstring>

#include "app/app_texts.h"

const char* dialog_filter(bool japanese) { return japanese ? kJaFileFilter : kEnFileFilter; }

const char* save_default_extension(bool platform_4_or_later, int shell_extensions) {
  return platform_4_or_later && shell_extensions != 0 ? "BMP" : nullptr;
}

void help_file_name(bool platform_4_or_later, const char* module_path, char* out, size_t out_size) {
  if (out_size == 0) return;
  if (!platform_4_or_later) {
    std::snprintf(out, out_size, "%s", "quillvex.hlp");
    return;
  }
  // The search is case-sensitive: a lower-case ".exe" leaves the name to the help search path.
  const char* extension = std::strstr(module_path, ".EXE");
  const size_t stem = extension ? static_cast<size_t>(extension - module_path) : 0;
  if (!extension || stem + sizeof ".HLP" > out_size) {
    std::snprintf(out, out_size, "%s", "QUILLVEX.HLP");
    return;
  }
  std::memcpy(out, module_path, stem);
  std::memcpy(out + stem, ".HLP", sizeof ".HLP");
}

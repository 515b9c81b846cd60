// What the Open and Save As dialogs are given, and the help file's name: plain
// decisions apart from the platform calls that use them.
#ifndef QVX_FILE_DIALOGS_H
#define QVX_FILE_DIALOGS_H

#include <cstddef>

constexpr unsigned kOpenDialogFlags = 0x1004;  // the file must exist; no read-only box
constexpr unsigned kSaveDialogFlags = 0x0006;  // ask before overwriting; no read-only box

// Returns the filter (description and pattern pairs, ending with an empty pair).
const char* dialog_filter(bool japanese);

// Returns "BMP" when the save dialog should add the extension itself: on platform 4.0
// and later when the shell hides extensions (1) or doesn't say (2); otherwise null.
const char* save_default_extension(bool platform_4_or_later, int shell_extensions);

// Writes the help file's name into out: on platform 4.0 and later the program's path
// with its first ".EXE" and all after it replaced by ".HLP", or "QUILLVEX.HLP" when the
// path holds no ".EXE" (or the result doesn't fit); before 4.0 "quillvex.hlp".
void help_file_name(bool platform_4_or_later, const char* module_path, char* out, size_t out_size);

#endif

// Pictures read from files as the command reads them: BMP with the program's own
// reader, the other formats through libvips (upright as their EXIF orientation says),
// converted strip by strip into a file of the command's formats or into memory.
#ifndef QVX_PY_PICTURE_FILE_H
#define QVX_PY_PICTURE_FILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"

// What went wrong: nothing, the picture could not be read, or the output not written.
enum class FileFailure { kNone, kRead, kWrite };

// Memory running out is thrown as std::bad_alloc (Python's MemoryError).
struct FileOutcome {
  FileFailure failure = FileFailure::kNone;
  std::string message;  // the command's message
  // A read failure's cause where the reader knows it ("file shorter than its header
  // says"), beyond what the command's message says; else empty.
  std::string detail;
};

// A converted picture: height x width bytes, 0 black, 1 white.
struct ConvertedPicture {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;
};

// Converts the file at `path` (named `shown` in messages) into `picture`.
FileOutcome convert_file_to_memory(const std::string& path, const std::string& shown, const CliOptions& options,
                                   ConvertedPicture& picture);

// Converts the file at `path` into `target` as the command does: the target is
// replaced only when the whole new file is written.
FileOutcome convert_file_to_target(const std::string& path, const std::string& target, const CliOptions& options);

// Sets density to Otsu's threshold of the file's luminance.
FileOutcome file_otsu(const std::string& path, const std::string& shown, const CliOptions& options, int& density);

#endif

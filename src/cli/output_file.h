// Where quillvex-cli writes a result: a regular file is replaced only when the new
// one is complete (keeping its mode and, where allowed, its owner); standard
// output, devices and FIFOs are written into, never replaced.
#ifndef QVX_CLI_OUTPUT_FILE_H
#define QVX_CLI_OUTPUT_FILE_H

#include <sys/stat.h>

#include <cstdio>
#include <string>

struct OutputFile {
  std::string target;    // as named; "-" is standard output
  std::string replaced;  // the regular file replaced (a link followed), else empty
  bool stream = false;   // written into at the end: standard output, a device, a FIFO
  FILE* file = nullptr;  // the temporary file the writer fills (seekable)
  bool anonymous = false;  // the temporary file has no name yet
  std::string temp_path;   // its name when it has one
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();
};

// Prepares the temporary file for a target; returns an empty string or the reason.
std::string open_output_file(const std::string& target, OutputFile& out);

// Makes the written file the target; returns an empty string or the reason.
std::string commit_output_file(OutputFile& out);

// Drops what was written; the target stays as it was.
void discard_output_file(OutputFile& out);

// Returns an empty string when `folder` is a folder, else why it can't take the
// outputs: "no such folder", "not a folder", or the system's reason.
std::string folder_failure(const std::string& folder);

#endif

// The inputs of quillvex-cli as files the readers can open, seek and read twice:
// regular files as they are; standard input, pipes and devices copied once.
#ifndef QVX_CLI_INPUT_FILE_H
#define QVX_CLI_INPUT_FILE_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct InputFile;
void close_input_file(InputFile& in);

struct InputFile {
  std::string path;  // what a reader opens: the name, or /proc/self/fd/N of the copy
  FILE* file = nullptr;
  int copy_fd = -1;           // the nameless copy of a non-regular input
  std::vector<uint8_t> head;  // the first bytes, for format checks
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() { close_input_file(*this); }
};

// How many first bytes a reader gets to tell the format.
constexpr size_t kHeadBytes = 65536;

// Says whether the first bytes of a file can start a picture this build reads.
struct HeadCheck {
  void* context;
  bool (*reads)(void* context, const std::vector<uint8_t>& head);
};

// Opens an input ("-" is standard input): a non-regular one is copied into a
// nameless temporary file of at most `cap` bytes, once its head passed `check`.
// Returns an empty string, or the reason it can't be read.
std::string open_input_file(const std::string& name, uint64_t cap, HeadCheck check, InputFile& in);

// Rewinds the input for another pass.
bool rewind_input_file(InputFile& in);

// The one-line reason for a failed open or stat: not found, a folder, permission denied.
std::string open_failure_reason(int error_number);

#endif

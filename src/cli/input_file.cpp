#include "cli/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/temp_files.h"

namespace {

// Reads up to `count` bytes, retrying after signals; returns how many, -1 on error.
ssize_t read_fully(int fd, uint8_t* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = read(fd, buffer + done, count - done);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

std::string with_errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Copies the rest of `from` after the head into the copy; the head is written first.
std::string copy_stream(int from, uint64_t cap, InputFile& in) {
  bool can_link = false;
  in.copy_fd = open_anonymous_file(temp_folder(), can_link);
  if (in.copy_fd < 0) return with_errno("can't keep a copy");
  if (!write_fully(in.copy_fd, in.head.data(), in.head.size())) return with_errno("can't keep a copy");
  uint64_t total = in.head.size();
  std::vector<uint8_t> buffer(1 << 16);
  for (;;) {
    const ssize_t n = read_fully(from, buffer.data(), buffer.size());
    if (n < 0) return with_errno("can't read");
    if (n == 0) break;
    total += static_cast<uint64_t>(n);
    if (total > cap) return "File is too large.";
    if (!write_fully(in.copy_fd, buffer.data(), static_cast<size_t>(n))) return with_errno("can't keep a copy");
  }
  in.path = "/proc/self/fd/" + std::to_string(in.copy_fd);
  const int reader = dup(in.copy_fd);
  if (reader < 0 || lseek(reader, 0, SEEK_SET) != 0) {
    if (reader >= 0) close(reader);
    return with_errno("can't read the copy");
  }
  in.file = fdopen(reader, "rb");
  if (!in.file) {
    close(reader);
    return with_errno("can't read the copy");
  }
  return "";
}

}  // namespace

std::string open_failure_reason(int error_number) {
  switch (error_number) {
    case ENOENT:
    case ENOTDIR: return "not found";
    case EISDIR: return "is a folder";
    case EACCES:
    case EPERM: return "permission denied";
    default: return std::strerror(error_number);
  }
}

std::string open_input_file(const std::string& name, uint64_t cap, HeadCheck check, InputFile& in) {
  close_input_file(in);
  int fd = 0;
  if (name != "-") {
    // A FIFO's open waits for its writer, as any reader's does.
    fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return open_failure_reason(errno);
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
    if (fd != 0) close(fd);
    return open_failure_reason(error);
  }
  in.head.assign(kHeadBytes, 0);
  const ssize_t got = read_fully(fd, in.head.data(), in.head.size());
  std::string reason;
  if (got < 0) {
    reason = with_errno("can't read");
  } else {
    in.head.resize(static_cast<size_t>(got));
    if (!check.reads(check.context, in.head)) {
      reason = "not a picture in a format this build reads";
    } else if (S_ISREG(st.st_mode) && name != "-") {
      in.path = name;
      in.file = fdopen(fd, "rb");
      if (in.file && std::fseek(in.file, 0, SEEK_SET) == 0) return "";
      reason = with_errno("can't read");
      if (in.file) fd = -1;
    } else {
      reason = copy_stream(fd, cap, in);
    }
  }
  if (fd > 0) close(fd);
  return reason;
}

bool rewind_input_file(InputFile& in) { return in.file && std::fseek(in.file, 0, SEEK_SET) == 0; }

void close_input_file(InputFile& in) {
  if (in.file) std::fclose(in.file);
  in.file = nullptr;
  if (in.copy_fd >= 0) close(in.copy_fd);
  in.copy_fd = -1;
  in.path.clear();
}

#include "cli/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/input_file.h"
#include "cli/temp_files.h"

namespace {

std::string errno_text() { return std::strerror(errno); }

// The file a link names, however many links lead there; empty when it is missing.
std::string resolved(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return "";
  std::string r(real);
  std::free(real);
  return r;
}

// The new file takes the old one's owner and mode (the owner only where the process
// may give it), else the usual permissions rather than the temporary file's private ones.
void keep_owner_and_mode(int fd, const struct stat* old) {
  if (old) {
    if (fchown(fd, old->st_uid, old->st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), old->st_gid) != 0) {
      // Neither is ours to give: the file belongs to whoever runs the command.
    }
    fchmod(fd, old->st_mode & 07777);
    return;
  }
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
}

bool copy_into(FILE* from, int to) {
  if (std::fflush(from) != 0 || std::fseek(from, 0, SEEK_SET) != 0) return false;
  std::vector<uint8_t> buffer(1 << 16);
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), from)) > 0) {
    if (!write_fully(to, buffer.data(), n)) return false;
  }
  return !std::ferror(from);
}

std::string attach(OutputFile& out, int fd) {
  out.file = fdopen(fd, "w+b");
  if (out.file) return "";
  const std::string reason = errno_text();
  close(fd);
  return reason;
}

}  // namespace

OutputFile::~OutputFile() { discard_output_file(*this); }

std::string open_output_file(const std::string& target, OutputFile& out) {
  out.target = target;
  struct stat st;
  bool exists = target != "-" && stat(target.c_str(), &st) == 0;
  if (!exists && target != "-" && errno != ENOENT) return open_failure_reason(errno);
  if (exists && S_ISDIR(st.st_mode)) return open_failure_reason(EISDIR);
  if (target == "-" || (exists && !S_ISREG(st.st_mode))) {
    out.stream = true;
    if (target != "-" && access(target.c_str(), W_OK) != 0) return open_failure_reason(errno);
    bool can_link = false;
    const int fd = open_anonymous_file(temp_folder(), can_link);
    return fd < 0 ? "can't keep the result in " + temp_folder() + ": " + errno_text() : attach(out, fd);
  }
  struct stat link;
  if (!exists && lstat(target.c_str(), &link) == 0) return "a link to a file that does not exist";
  out.replaced = exists ? resolved(target) : target;
  if (out.replaced.empty()) return errno_text();
  bool can_link = false;
  int fd = open_anonymous_file(folder_of(out.replaced), can_link);
  if (fd >= 0 && !can_link) {
    close(fd);
    fd = -1;
  }
  out.anonymous = fd >= 0;
  if (fd < 0) fd = open_named_temp(out.replaced, out.temp_path);
  if (fd < 0) return errno_text();
  keep_owner_and_mode(fd, exists ? &st : nullptr);
  return attach(out, fd);
}

std::string commit_output_file(OutputFile& out) {
  if (std::fflush(out.file) != 0) return errno_text();
  if (out.stream) {
    int to = 1;
    if (out.target != "-") to = open(out.target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (to < 0) return open_failure_reason(errno);
    const bool copied = copy_into(out.file, to);
    const std::string reason = copied ? "" : errno_text();
    if (to != 1 && close(to) != 0 && copied) return errno_text();
    return reason;
  }
  if (out.anonymous ? !name_anonymous_file(fileno(out.file), out.replaced)
                    : !rename_named_temp(out.temp_path, out.replaced)) {
    return errno_text();
  }
  const int closed = std::fclose(out.file);
  out.file = nullptr;
  return closed == 0 ? "" : errno_text();
}

void discard_output_file(OutputFile& out) {
  if (out.file) std::fclose(out.file);
  out.file = nullptr;
  remove_named_temp(out.temp_path);
}

std::string folder_failure(const std::string& folder) {
  struct stat st;
  if (stat(folder.c_str(), &st) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? "no such folder" : open_failure_reason(errno);
  }
  return S_ISDIR(st.st_mode) ? "" : "not a folder";
}

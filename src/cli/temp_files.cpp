#include "cli/temp_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The names a signal handler removes: written only outside the handler, with the
// signals blocked, so the handler always sees a whole name or none. The one global
// here: a signal handler gets no parameters.
struct PendingNames {
  char names[2][4096];
  volatile sig_atomic_t used[2];
};
PendingNames g_pending = {};

void remove_pending_and_die(int signal_number) {
  for (int i = 0; i < 2; ++i) {
    if (g_pending.used[i]) unlink(g_pending.names[i]);
  }
  std::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

struct BlockedSignals {
  sigset_t old;
  BlockedSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals) sigaddset(&set, s);
    sigprocmask(SIG_BLOCK, &set, &old);
  }
  ~BlockedSignals() { sigprocmask(SIG_SETMASK, &old, nullptr); }
};

// Installs the handler once; the process's signal dispositions say whether it is in place.
void install_handlers() {
  struct sigaction current = {};
  if (sigaction(kSignals[0], nullptr, &current) == 0 && current.sa_handler == remove_pending_and_die) return;
  for (int s : kSignals) {
    struct sigaction action = {};
    action.sa_handler = remove_pending_and_die;
    sigaction(s, &action, nullptr);
  }
}

bool remember(const std::string& path) {
  if (path.size() >= sizeof g_pending.names[0]) return false;
  BlockedSignals blocked;
  install_handlers();
  for (int i = 0; i < 2; ++i) {
    if (!g_pending.used[i]) {
      std::memcpy(g_pending.names[i], path.c_str(), path.size() + 1);
      g_pending.used[i] = 1;
      return true;
    }
  }
  return false;
}

void forget(const std::string& path) {
  BlockedSignals blocked;
  for (int i = 0; i < 2; ++i) {
    if (g_pending.used[i] && path == g_pending.names[i]) g_pending.used[i] = 0;
  }
}

std::string proc_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// A new name beside the target that nothing uses yet, created empty with mkstemp.
int make_named(const std::string& target, std::string& path) {
  std::string pattern = folder_of(target) + "/.quillvex-cli-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  BlockedSignals blocked;  // the name is known to the handler before it exists
  install_handlers();
  const int fd = mkstemp(name.data());
  if (fd < 0) return -1;
  path = name.data();
  if (!remember(path)) {
    unlink(path.c_str());
    close(fd);
    path.clear();
    errno = ENAMETOOLONG;
    return -1;
  }
  return fd;
}

}  // namespace

std::string folder_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string temp_folder() {
  const char* t = std::getenv("TMPDIR");
  return t && *t ? t : "/tmp";
}

int open_anonymous_file(const std::string& folder, bool& can_link) {
  can_link = false;
#ifdef O_TMPFILE
  const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    // Naming it later goes through /proc; without /proc it stays nameless.
    can_link = access(proc_path(fd).c_str(), F_OK) == 0;
    return fd;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return -1;
#endif
  // The filesystem has no nameless files: a name that lives for an instant.
  std::string path;
  const int fd2 = make_named(folder + "/x", path);
  if (fd2 < 0) return -1;
  remove_named_temp(path);
  return fd2;
}

bool name_anonymous_file(int fd, const std::string& target) {
  // A new file is named at once: nothing else is ever seen, even if the process is killed.
  if (linkat(AT_FDCWD, proc_path(fd).c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno != EEXIST) return false;
  // linkat can't replace a file: a fresh unique name first, then the rename.
  std::string path;
  const int placeholder = make_named(target, path);
  if (placeholder < 0) return false;
  close(placeholder);
  unlink(path.c_str());
  if (linkat(AT_FDCWD, proc_path(fd).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    const int saved = errno;
    remove_named_temp(path);
    errno = saved;
    return false;
  }
  return rename_named_temp(path, target);
}

bool write_fully(int fd, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t n = write(fd, bytes, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

int open_named_temp(const std::string& target, std::string& path) { return make_named(target, path); }

bool rename_named_temp(std::string& path, const std::string& target) {
  if (std::rename(path.c_str(), target.c_str()) != 0) {
    const int saved = errno;
    remove_named_temp(path);
    errno = saved;
    return false;
  }
  forget(path);
  path.clear();
  return true;
}

void remove_named_temp(std::string& path) {
  if (path.empty()) return;
  unlink(path.c_str());
  forget(path);
  path.clear();
}

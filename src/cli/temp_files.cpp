#include "cli/temp_files.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The names a signal handler removes. Several threads write outputs at once, and a
// signal may land on any of them, so each slot is claimed and released through its
// own lock-free state: a name is visible to the handler only once it is whole, and a
// slot the handler took is never written again. The one global here: a signal
// handler gets no parameters.
enum SlotState : int { kFree, kWriting, kUsed, kTaken };
constexpr int kPendingSlots = 2 * kMaxPendingThreads;
struct PendingNames {
  char names[kPendingSlots][4096];
  std::atomic<int> state[kPendingSlots];
};
PendingNames g_pending = {};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the slots' states");

// Removes every named temporary file and lets no new one be named.
void remove_pending() {
  for (int i = 0; i < kPendingSlots; ++i) {
    // A name being written is waited for: its thread has these signals blocked and
    // finishes it; a free slot is taken too, so nothing is named after the sweep.
    for (;;) {
      int s = g_pending.state[i].load();
      if (s == kWriting) continue;
      if (s == kTaken || g_pending.state[i].compare_exchange_strong(s, kTaken)) {
        if (s == kUsed) unlink(g_pending.names[i]);
        break;
      }
    }
  }
}

void remove_pending_and_die(int signal_number) {
  remove_pending();
  std::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// A mapped input read past its end: the file was cut while it was read.
void input_cut(int) {
  remove_pending();
  static const char message[] = "quillvex-cli: a picture file was cut short while it was read\n";
  ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
  (void)written;
  _exit(1);
}

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Blocks the signals in this thread, so its own handler can't wait for a slot it is writing.
struct BlockedSignals {
  sigset_t old;
  BlockedSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals) sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, &old);
  }
  ~BlockedSignals() { pthread_sigmask(SIG_SETMASK, &old, nullptr); }
};

// Installs the handler once; the process's signal dispositions say whether it is in
// place (two threads that both install it install the same).
void install_handlers() {
  struct sigaction current = {};
  if (sigaction(kSignals[0], nullptr, &current) == 0 && current.sa_handler == remove_pending_and_die) return;
  for (int s : kSignals) {
    struct sigaction action = {};
    action.sa_handler = remove_pending_and_die;
    sigaction(s, &action, nullptr);
  }
}

// Claims a slot and lets `fill` write its name (mkstemp's); returns the slot, or -1
// when none is free or fill fails (the slot is free again then).
template <typename Fill>
int remember(Fill fill) {
  for (int i = 0; i < kPendingSlots; ++i) {
    int expected = kFree;
    if (!g_pending.state[i].compare_exchange_strong(expected, kWriting)) continue;
    if (!fill(g_pending.names[i])) {
      g_pending.state[i].store(kFree);
      return -1;
    }
    g_pending.state[i].store(kUsed);
    return i;
  }
  return -1;
}

void forget(const std::string& path) {
  for (int i = 0; i < kPendingSlots; ++i) {
    // Only a thread's own names match: the names are unique while they are used.
    if (g_pending.state[i].load() == kUsed && path == g_pending.names[i]) {
      int expected = kUsed;
      g_pending.state[i].compare_exchange_strong(expected, kFree);
      return;
    }
  }
}

}  // namespace

void handle_cut_inputs() {
  struct sigaction action = {};
  action.sa_handler = input_cut;
  sigaction(SIGBUS, &action, nullptr);
}

namespace {

std::string proc_path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// A new name beside the target that nothing uses yet, created empty with mkstemp
// inside its slot, so the handler knows the name before the file exists.
int make_named(const std::string& target, std::string& path) {
  const std::string pattern = folder_of(target) + "/.quillvex-cli-XXXXXX";
  if (pattern.size() >= sizeof g_pending.names[0]) {
    errno = ENAMETOOLONG;
    return -1;
  }
  BlockedSignals blocked;
  install_handlers();
  int fd = -1;
  int saved = 0;
  const int slot = remember([&](char* name) {
    std::memcpy(name, pattern.c_str(), pattern.size() + 1);
    fd = mkstemp(name);
    saved = errno;
    return fd >= 0;
  });
  if (slot < 0) {
    errno = fd < 0 && saved != 0 ? saved : EMFILE;
    return -1;
  }
  path = g_pending.names[slot];
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

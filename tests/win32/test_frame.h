// A hidden frame with the parts the glue reads (density scroll bar, store, result
// block), and a watcher that answers message boxes so tests never block on them.
#ifndef QVX_TEST_FRAME_H
#define QVX_TEST_FRAME_H

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/frame_state_win32.h"

struct TestFrame {
  TestFrame();
  ~TestFrame();
  TestFrame(const TestFrame&) = delete;
  TestFrame& operator=(const TestFrame&) = delete;
  void set_density(int density);

  FrameState state;  // kept by the frame window, as the program's frame keeps its own
};

// Closes every message box of this process while it lives and records its texts.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher();
  ~MessageBoxWatcher();
  std::vector<std::string> texts() const;  // "title|text" per box seen
  void clear();

 private:
  void run();
  std::atomic<bool> stop_{false};
  mutable CRITICAL_SECTION lock_;
  std::vector<std::string> seen_;
  std::thread thread_;
};

// Returns the full path of a test-data file.
std::string testdata(const std::string& relative);

// Returns the names of the files in a directory.
std::vector<std::string> files_in(const std::string& directory);

// Returns the bytes of a file (empty when it can't be read).
std::vector<unsigned char> file_bytes(const std::string& path);

// Writes bytes to a file.
bool write_file(const std::string& path, const std::vector<unsigned char>& bytes);

// Returns a fresh, empty temporary directory (with a trailing backslash).
std::string temp_directory();

#endif

// quillvex-cli run as a script runs it, from the test programs: a fresh folder per
// test, the command's status and standard error, the files it left.
#ifndef QVX_TESTS_CLI_RUNNER_H
#define QVX_TESTS_CLI_RUNNER_H

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct Outcome {
  int status = -1;  // exit status; 128 + signal when killed
  std::string errors;
};

inline std::string shell_word(const std::string& s) { return "'" + s + "'"; }

inline std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// The names of the command's temporary files under a folder, one a line.
inline std::string temporary_files_under(const std::string& folder) {
  std::string names;
  FILE* p = popen(("find " + shell_word(folder) + " -name '.quillvex-cli-*'").c_str(), "r");
  char line[512];
  while (p && std::fgets(line, sizeof line, p)) names += line;
  if (p) pclose(p);
  return names;
}

class CliRun : public ::testing::Test {
 protected:
  std::string dir;

  void SetUp() override {
    char pattern[] = "/tmp/qvx-cli-test-XXXXXX";
    dir = mkdtemp(pattern);
    dir += "/";
    // A sanitizer finding must not pass for an input failure (status 1).
    setenv("ASAN_OPTIONS", "detect_leaks=0:exitcode=98", 1);
    setenv("UBSAN_OPTIONS", "halt_on_error=1:exitcode=97", 1);
  }
  void TearDown() override { std::system(("rm -rf " + shell_word(dir)).c_str()); }

  // NAME=value words the shell sets for the command; none when empty.
  std::string environment;

  // Runs the command with a shell-quoted argument string (stdin from `input` when given).
  Outcome run(const std::string& arguments, const std::string& input = "/dev/null", const std::string& out = "") {
    const std::string command = environment + std::string(QVX_CLI) + " " + arguments + " <" + shell_word(input) +
                                (out.empty() ? "" : " >" + shell_word(out)) + " 2>" + shell_word(dir + "errors.txt");
    const int raw = std::system(command.c_str());
    Outcome o;
    if (WIFEXITED(raw)) o.status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) o.status = 128 + WTERMSIG(raw);
    const std::vector<uint8_t> e = read_file(dir + "errors.txt");
    o.errors.assign(e.begin(), e.end());
    return o;
  }

  std::vector<std::string> files_left() {
    std::vector<std::string> names;
    FILE* p = popen(("ls -A " + shell_word(dir)).c_str(), "r");
    char line[512];
    while (p && std::fgets(line, sizeof line, p)) {
      std::string n(line);
      n.pop_back();
      if (n != "errors.txt") names.push_back(n);
    }
    if (p) pclose(p);
    return names;
  }
};

#endif

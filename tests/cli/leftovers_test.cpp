// quillvex-cli leaves nothing behind when it is ended in the middle of a write,
// by a signal or by a reader that stops reading.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "common/claimed_sizes.h"
#include "common/cli_runner.h"

extern char** environ;

namespace {

// The names in a folder, sorted, one a line.
std::string listing(const std::string& folder) {
  std::string names;
  FILE* p = popen(("ls -A " + shell_word(folder)).c_str(), "r");
  char line[512];
  while (p && std::fgets(line, sizeof line, p)) names += line;
  if (p) pclose(p);
  return names;
}

// A top-down 20000 x 20000 picture streams into the TIFF row by row: a signal a
// moment after the start lands in the middle of the write.
TEST_F(CliRun, EndedInTheMiddleOfAWriteLeavesTheOldFileAndNothingElse) {
  write_file(dir + "in.bmp", rle8_claiming(20000, -20000));
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  for (int signal_number : {SIGKILL, SIGTERM, SIGINT}) {
    write_file(dir + "out.tif", old);
    const std::string cli = QVX_CLI, in = dir + "in.bmp", out = dir + "out.tif";
    const char* argv[] = {cli.c_str(), "-q", "-m", "soft", in.c_str(), "-o", out.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    usleep(800000);
    kill(pid, signal_number);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << signal_number << " status " << status;
    EXPECT_EQ(read_file(dir + "out.tif"), old) << signal_number;
    EXPECT_EQ(listing(dir), "in.bmp\nout.tif\n") << signal_number;
  }
}

// A picture file cut short by another program while it is read through a mapping
// faults its reader (SIGBUS, sent here): one message and status 1, not a bus error,
// and the old output stays with nothing beside it. A named temporary file (standard
// output is not a file) is removed too.
TEST_F(CliRun, AFileCutWhileItIsReadIsOneMessage) {
  write_file(dir + "in.bmp", rle8_claiming(20000, -20000));
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  write_file(dir + "out.tif", old);
  const std::string cli = QVX_CLI, in = dir + "in.bmp", out = dir + "out.tif", said = dir + "said";
  const char* argv[] = {cli.c_str(), "-q", "-j", "2", "-m", "soft", in.c_str(), "-o", out.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  usleep(800000);
  kill(pid, SIGBUS);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
  const std::vector<uint8_t> message = read_file(said);
  EXPECT_EQ(std::string(message.begin(), message.end()), "quillvex-cli: a picture file was cut short while it was read\n");
  EXPECT_EQ(read_file(out), old);
  EXPECT_EQ(listing(dir), "in.bmp\nout.tif\nsaid\n");
}

// A reader that stops after one byte: neither the copy of standard input nor the
// result may stay in the temporary folder.
TEST_F(CliRun, AClosedPipeLeavesNoTemporaryFile) {
  write_file(dir + "in.bmp", rle8_claiming(2000, 2000));
  mkdir((dir + "tmp").c_str(), 0755);
  const std::string command = "TMPDIR=" + shell_word(dir + "tmp") + " " + QVX_CLI + " -q - -o - <" +
                              shell_word(dir + "in.bmp") + " | head -c1 >/dev/null";
  std::system(command.c_str());
  EXPECT_EQ(listing(dir + "tmp"), "");
}

}  // namespace

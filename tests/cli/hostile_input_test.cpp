// quillvex-cli on small hostile files and on inputs that are not regular files:
// one message, status 1, quickly and with little memory, nothing written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "common/batch_pictures.h"
#include "common/claimed_sizes.h"
#include "common/cli_runner.h"
#ifdef QVX_CLI_VIPS
#include <vips/vips.h>
#endif

namespace {

using namespace batch_pictures;

#ifdef QVX_CLI_VIPS
// A 16 x 16 progressive JPEG whose frame header is made to claim 60000 x 60000.
std::vector<uint8_t> huge_progressive_jpeg() {
  VipsImage* black = nullptr;
  void* buffer = nullptr;
  size_t size = 0;
  if (vips_black(&black, 16, 16, nullptr) != 0) return {};
  const int saved = vips_jpegsave_buffer(black, &buffer, &size, "interlace", TRUE, nullptr);
  g_object_unref(black);
  if (saved != 0) return {};
  std::vector<uint8_t> j(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + size);
  g_free(buffer);
  for (size_t i = 0; i + 9 < j.size(); ++i) {
    if (j[i] == 0xFF && j[i + 1] == 0xC2) {  // start of a progressive frame: length, precision, height, width
      j[i + 5] = j[i + 7] = 60000 >> 8;
      j[i + 6] = j[i + 8] = 60000 & 0xFF;
      return j;
    }
  }
  return {};
}
#endif

struct Timed {
  Outcome outcome;
  double seconds;
};

class HostileInput : public CliRun {
 protected:
  Timed timed_run(const std::string& arguments, const std::string& input = "/dev/null") {
    const auto start = std::chrono::steady_clock::now();
    Timed t{run(arguments, input), 0};
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return t;
  }
};

TEST_F(HostileInput, PicturesBeyondTheLimitAreRefusedBeforeDecoding) {
#ifdef QVX_CLI_VIPS
  ASSERT_EQ(VIPS_INIT("qvx_cli_tests"), 0);
#endif
  const std::vector<uint8_t> small = build_bmp(make_file(kPictures[6], random_rows(kPictures[6], 5), false));
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* options;
    const char* reason;
  } cases[] = {
      {"rle8.bmp", rle8_claiming(2147483647, 2147483647), "",
       "File is too large: 2147483647 x 2147483647 pixels; --max-pixels allows 1000000000."},
      {"small.bmp", small, "--max-pixels 850", "File is too large: 37 x 23 pixels; --max-pixels allows 850."},
#ifdef QVX_CLI_VIPS
      {"huge.gif", huge_gif(), "", "File is too large: 65535 x 65535 pixels; --max-pixels allows 1000000000."},
      // libvips takes the frame's size for so large a screen; the browser takes the screen's.
      {"screen.gif", huge_screen_gif(), "", "File is too large: 65535 x 65535 pixels; --max-pixels allows 1000000000."},
      {"huge.webp", huge_webp(), "--max-pixels 200000000",
       "File is too large: 16000 x 16000 pixels; --max-pixels allows 200000000."},
      {"huge.jpg", huge_progressive_jpeg(), "", "File is too large: 60000 x 60000 pixels; --max-pixels allows 1000000000."},
#endif
  };
  for (const auto& c : cases) {
    write_file(dir + c.name, c.bytes);
    const Timed t = timed_run(std::string("-q ") + c.options + " " + shell_word(dir + c.name) + " -o " + shell_word(dir + "out.png"));
    EXPECT_EQ(t.outcome.status, 1) << c.name;
    EXPECT_EQ(t.outcome.errors, "quillvex-cli: " + dir + c.name + ": " + c.reason + "\n");
    EXPECT_LT(t.seconds, 20) << c.name;  // the whole picture would take minutes
    EXPECT_FALSE(exists(dir + "out.png")) << c.name;
  }
  // The limit is inclusive: a picture of exactly that many pixels converts.
  EXPECT_EQ(run("-q --max-pixels 851 " + shell_word(dir + "small.bmp") + " -o " + shell_word(dir + "out.bmp")).status, 0);
}

// Pipes, devices and /dev/stdin are read as standard input is: copied once, then read.
TEST_F(HostileInput, NonRegularInputsAreCopiedOnceOrRefusedQuickly) {
  const Picture p = {"8-bit", 8, 40, false, false, 0};
  const std::vector<uint8_t> bmp = build_bmp(make_file(p, random_rows(p, 8), false));
  write_file(dir + "in.bmp", bmp);
  mkfifo((dir + "fifo").c_str(), 0644);
  const std::string cli = QVX_CLI, in = shell_word(dir + "in.bmp"), out = shell_word(dir + "out.bmp");
  const struct {
    const char* what;
    std::string command;
    int status;
    const char* reason;
  } cases[] = {
      {"a device that never ends", cli + " -q /dev/zero -o " + out, 1, "/dev/zero: not a picture in a format this build reads"},
      {"standard input that never ends", cli + " -q - -o " + out + " </dev/zero", 1, "-: not a picture in a format this build reads"},
      {"/dev/stdin on a pipe, read twice", "cat " + in + " | " + cli + " -q -a /dev/stdin -o " + out + " >/dev/null", 0, ""},
      {"a FIFO", "(cat " + in + " > " + shell_word(dir + "fifo") + " &); " + cli + " -q " + shell_word(dir + "fifo") + " -o " + out, 0, ""},
      {"a copy larger than the limit allows", cli + " -q --max-pixels 1 - -o " + out + " <" + in, 1,
       "-: File is too large: 37 x 23 pixels; --max-pixels allows 1."},
  };
  for (const auto& c : cases) {
    std::remove((dir + "out.bmp").c_str());
    const auto start = std::chrono::steady_clock::now();
    const int raw = std::system((c.command + " 2>" + shell_word(dir + "errors.txt")).c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::vector<uint8_t> e = read_file(dir + "errors.txt");
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, c.status) << c.what;
    EXPECT_EQ(std::string(e.begin(), e.end()), c.status ? "quillvex-cli: " + std::string(c.reason) + "\n" : "") << c.what;
    EXPECT_LT(seconds, 5) << c.what;
    if (c.status == 0) {
      // -a may choose another density: the size says the whole picture was read.
      EXPECT_EQ(read_file(dir + "out.bmp").size(), expected_output(bmp, 127, 0, false).size()) << c.what;
    } else {
      EXPECT_FALSE(exists(dir + "out.bmp")) << c.what;
    }
  }
}

}  // namespace

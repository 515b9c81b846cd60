// quillvex-cli never destroys a file it was given: batches checked before anything
// is written, outputs that are not regular files written into, replaced files
// keeping their mode and owner.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "common/batch_pictures.h"
#include "common/cli_runner.h"

namespace {

using namespace batch_pictures;

std::vector<uint8_t> small_bmp(uint32_t seed) {
  const Picture p = {"24-bit", 24, 40, false, false, 0};
  return build_bmp(make_file(p, random_rows(p, seed), false));
}

TEST_F(CliRun, NoOutputReplacesAnInputOrAnotherOutput) {
  const std::vector<uint8_t> a = small_bmp(1), b = small_bmp(2);
  const std::vector<uint8_t> a_result = expected_output(a, 127, 0, false);
  struct Case {
    const char* what;
    std::function<void(const std::string&)> prepare;
    const char* args;  // DIR/ stands for the test's folder
    int status;
    int messages;
    std::function<void(const std::string&)> check;
  };
  const auto same = [](const std::string& path, const std::vector<uint8_t>& bytes) {
    EXPECT_EQ(read_file(path), bytes) << path;
  };
  const auto is_link = [](const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  };
  const Case cases[] = {
      {"an input's output names the other input",
       [&](const std::string& d) {
         write_file(d + "p.png", a);  // a BMP under another name: read all the same
         write_file(d + "p.bmp", b);
       },
       "DIR/p.png DIR/p.bmp -d DIR", 1, 2, [&](const std::string& d) { same(d + "p.bmp", b); }},
      {"two inputs of one name",
       [&](const std::string& d) {
         mkdir((d + "x").c_str(), 0755);
         mkdir((d + "y").c_str(), 0755);
         mkdir((d + "out").c_str(), 0755);
         write_file(d + "x/n.png", a);
         write_file(d + "y/n.bmp", b);
       },
       "DIR/x/n.png DIR/y/n.bmp -d DIR/out/", 1, 2, [&](const std::string& d) { EXPECT_FALSE(exists(d + "out/n.bmp")); }},
      {"a link to the input",
       [&](const std::string& d) {
         write_file(d + "in.bmp", a);
         symlink("in.bmp", (d + "link.bmp").c_str());
       },
       "DIR/in.bmp -o DIR/link.bmp", 1, 1, [&](const std::string& d) { same(d + "in.bmp", a); }},
      {"a link to another file: its target replaced, the link kept",
       [&](const std::string& d) {
         write_file(d + "in.bmp", a);
         write_file(d + "target.bmp", b);
         symlink("target.bmp", (d + "link.bmp").c_str());
       },
       "DIR/in.bmp -o DIR/link.bmp", 0, 0,
       [&](const std::string& d) {
         EXPECT_TRUE(is_link(d + "link.bmp"));
         same(d + "target.bmp", a_result);
       }},
      {"a link to a device is written into",
       [&](const std::string& d) {
         write_file(d + "in.bmp", a);
         symlink("/dev/null", (d + "null").c_str());
       },
       "DIR/in.bmp -o DIR/null", 0, 0,
       [&](const std::string& d) {
         EXPECT_TRUE(is_link(d + "null"));
         struct stat st;
         ASSERT_EQ(stat("/dev/null", &st), 0);
         EXPECT_TRUE(S_ISCHR(st.st_mode));
       }},
      {"a FIFO is written into",
       [&](const std::string& d) {
         write_file(d + "in.bmp", a);
         mkfifo((d + "fifo").c_str(), 0644);
         std::system(("(cat " + shell_word(d + "fifo") + " > " + shell_word(d + "got") + ") &").c_str());
       },
       "DIR/in.bmp -o DIR/fifo", 0, 0,
       [&](const std::string& d) {
         struct stat st;
         ASSERT_EQ(stat((d + "fifo").c_str(), &st), 0);
         EXPECT_TRUE(S_ISFIFO(st.st_mode));
         for (int i = 0; i < 200 && read_file(d + "got").size() < a_result.size(); ++i) usleep(10000);
         same(d + "got", a_result);
       }},
      {"a replaced file keeps its mode and owner",
       [&](const std::string& d) {
         write_file(d + "in.bmp", a);
         write_file(d + "private.bmp", b);
         chmod((d + "private.bmp").c_str(), 0600);
         if (chown((d + "private.bmp").c_str(), 4321, 4321) != 0) {
           // not ours to give: the mode is still checked
         }
       },
       "DIR/in.bmp -o DIR/private.bmp", 0, 0,
       [&](const std::string& d) {
         struct stat st;
         ASSERT_EQ(stat((d + "private.bmp").c_str(), &st), 0);
         EXPECT_EQ(st.st_mode & 07777, 0600u);
         if (geteuid() == 0) EXPECT_EQ(st.st_uid, 4321u);
         same(d + "private.bmp", a_result);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string d = dir + "case/";
    std::system(("rm -rf " + shell_word(d)).c_str());
    mkdir(d.c_str(), 0755);
    c.prepare(d);
    std::string args = std::string("-q ") + c.args;
    const std::string folder = d.substr(0, d.size() - 1);
    for (size_t at = args.find("DIR"); at != std::string::npos; at = args.find("DIR", at + folder.size())) {
      args.replace(at, 3, folder);
    }
    const Outcome o = run(args);
    EXPECT_EQ(o.status, c.status) << o.errors;
    EXPECT_EQ(std::count(o.errors.begin(), o.errors.end(), '\n'), c.messages) << o.errors;
    c.check(d);
    EXPECT_EQ(temporary_files_under(dir), "");
  }
}

}  // namespace

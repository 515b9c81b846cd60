// quillvex.exe started without arguments: the empty frame, and the settings at exit.
#include <gtest/gtest.h>

#include "program.h"

namespace {

TEST(GuiStart, EmptyFrameClosesWithCodeZeroAndWritesTheSettings) {
  const std::string folder = fresh_folder();
  ProgramRun run = start_program("", folder);
  HWND frame = wait_for_frame(run, 20000);
  ASSERT_NE(frame, nullptr);
  char caption[64] = {};
  GetWindowTextA(frame, caption, sizeof caption);
  EXPECT_STREQ(caption, "QUILLVEX");
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(wait_for_exit(run, 20000), 0);
  const std::vector<uint8_t> ini = read_bytes(folder + "QUILLVEX.INI");
  const std::string text(ini.begin(), ini.end());
  EXPECT_NE(text.find("[QUILLVEX]"), std::string::npos) << text;
  EXPECT_NE(text.find("keymode=0"), std::string::npos) << text;
  EXPECT_NE(text.find("dialog3d=1"), std::string::npos) << text;
}

}  // namespace

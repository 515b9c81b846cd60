// The frame's command-side decisions: dialog descriptions, the help file, texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/app_texts.h"
#include "app/file_dialogs.h"
#include "sjis.h"

namespace {

TEST(FrameCommands, HelpFileName) {
  const std::string long_stem(250, 'd');
  const struct {
    bool platform4;
    std::string path, expected;
  } cases[] = {
      {true, "C:\\QVX\\QUILLVEX.EXE", "C:\\QVX\\QUILLVEX.HLP"},
      {true, "C:\\A.EXE.DIR\\Q.EXE", "C:\\A.HLP"},                   // the first ".EXE"
      {true, "C:\\QVX\\quillvex.exe", "QUILLVEX.HLP"},               // lower case is not found
      {true, "", "QUILLVEX.HLP"},
      {true, "C:\\" + long_stem + ".EXE", "C:\\" + long_stem + ".HLP"},  // 257 bytes with its zero
      {false, "C:\\QVX\\QUILLVEX.EXE", "quillvex.hlp"},
  };
  for (const auto& c : cases) {
    char out[260];
    help_file_name(c.platform4, c.path.c_str(), out, sizeof out);
    EXPECT_EQ(std::string(out), c.expected) << c.path;
  }
  // A name that would not fit the buffer falls back to the bare name.
  char small[256];
  help_file_name(true, ("C:\\" + long_stem + ".EXE").c_str(), small, sizeof small);
  EXPECT_STREQ(small, "QUILLVEX.HLP");
}

TEST(FrameCommands, DialogDescriptions) {
  EXPECT_EQ(kOpenDialogFlags, 0x1004u);
  EXPECT_EQ(kSaveDialogFlags, 0x0006u);
  const struct {
    bool platform4;
    int shell;
    const char* extension;
  } cases[] = {{true, 0, nullptr}, {true, 1, "BMP"}, {true, 2, "BMP"}, {false, 1, nullptr}, {false, 2, nullptr}};
  for (const auto& c : cases) {
    const char* extension = save_default_extension(c.platform4, c.shell);
    EXPECT_EQ(extension ? std::string(extension) : "none", c.extension ? c.extension : "none")
        << c.platform4 << " " << c.shell;
  }
  const std::string english(dialog_filter(false), kEnFileFilterSize);
  const char expected[] = "bitmap(*.BMP;*.DIB;*.RLE)\0*.BMP;*.DIB;*.RLE\0all files(*.*)\0*.*\0";
  EXPECT_EQ(english, std::string(expected, sizeof expected));  // ends with two zero bytes
  const std::string japanese(dialog_filter(true), kJaFileFilterSize);
  EXPECT_EQ(japanese, sjis("ﾋﾞｯﾄﾏｯﾌﾟ(*.BMP;*.DIB;*.RLE)") + '\0' + "*.BMP;*.DIB;*.RLE" + '\0' +
                          sjis("全ファイル(*.*)") + '\0' + "*.*" + '\0' + '\0');
}

TEST(FrameCommands, JapaneseTexts) {
  EXPECT_EQ(std::string(kJaUnknownCommand), sjis("このコマンドは実行できません。"));
  EXPECT_EQ(std::string(kDensityBarText), sjis("濃度調節スクロールバー"));
  EXPECT_EQ(std::string(kZoomSpinText), sjis("拡大縮小ボタン"));
  EXPECT_EQ(std::string(kJaInvertText), sjis("反転"));
  EXPECT_EQ(std::string(kJaScaleOne), sjis("ｽｹｰﾙ 1"));
}

}  // namespace

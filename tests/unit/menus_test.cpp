#include "app/menus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sjis.h"

namespace {

struct Item {
  std::string text;  // empty for a separator
  int id;
  bool grayed;
};

// Builds a Japanese text with its two mnemonics: 0x1E and the Latin letter, 0x1F and the katakana.
std::string marked(const char* before, char latin, const char* katakana, const char* after) {
  return sjis(before) + "\x1E" + latin + "\x1F" + sjis(katakana) + after;
}

TEST(Menu, JapaneseTitlesAndItemsAsShiftJisBytes) {
  const std::string titles[] = {marked("ファイル(", 'F', "ﾌ", ")"), marked("オプション(", 'O', "ｵ", ")"),
                                marked("ウィンドウ(", 'W', "ｳ", ")"), marked("ヘルプ(", 'H', "ﾍ", ")")};
  for (int p = 0; p < kMenuPopupCount; ++p) EXPECT_EQ(std::string(kJapaneseMenuTitles[p]), titles[p]) << p;

  const Item items[] = {
      {marked("開く(", 'O', "ﾋ", ")...\tCtrl+O"), 101, false},
      {marked("保存(", 'A', "ﾅ", ")...\tCtrl+S"), 102, true},
      {marked("貼り付け(", 'P', "ﾊ", ")\tCtrl+V"), 108, false},
      {marked("コピー(", 'C', "ｺ", ")\tCtrl+C"), 107, true},
      {marked("終了(", 'X', "ｼ", ")\tAlt+F4"), 104, false},
      {marked("文字(", 'M', "ﾓ", ")"), 301, false},
      {marked("写真(硬)(", 'H', "ｺ", ")"), 302, false},
      {marked("写真(軟)(", 'S', "ﾅ", ")"), 303, false},
      {marked("高速モード(", 'A', "ｱ", ")"), 304, false},
      {sjis("重ねて表示(&C)\tShift+F5"), 200, false},
      {sjis("上下に並べる(&H)\tShift+F4"), 201, false},
      {sjis("左右に並べる(&T)"), 202, false},
      {sjis("&Viewerモード\tCtrl+F4"), 203, false},
      {marked("ヘルプの表示(", 'H', "ﾍ", ")...\tF1"), 105, false},
      {marked("バージョン情報(", 'A', "ｼ", ")..."), 100, false},
  };
  ASSERT_EQ(kJapaneseMenuItemCount, 15);
  for (int i = 0; i < kJapaneseMenuItemCount; ++i) {
    EXPECT_EQ(std::string(kJapaneseMenuItems[i].text), items[i].text) << items[i].id;
    EXPECT_EQ(kJapaneseMenuItems[i].id, items[i].id);
    EXPECT_EQ(kJapaneseMenuItems[i].grayed, items[i].grayed) << items[i].id;
    EXPECT_NE(kJapaneseMenuItems[i].id, 103);  // Info keeps its English text
  }
}

}  // namespace

// The result the page shows is the file it downloads: rows converted for the view
// first, then the rest in slices, give the command's bits; and the panes show them.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "page_export.h"
#include "page_picture.h"
#include "page_result.h"

namespace {

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Case {
  const char* file;
  int kind;
  std::vector<std::string> args;  // the command's arguments for the same settings
};

class PageResult_ : public testing::TestWithParam<Case> {};

TEST_P(PageResult_, ViewFirstThenSlicesGiveTheCommandsBits) {
  const Case& c = GetParam();
  const std::vector<uint8_t> bytes = read_file(std::string(QVX_TESTDATA) + "/bmpsuite/g/" + c.file);
  PagePicture picture;
  ASSERT_EQ(open_bmp_picture(bytes.data(), bytes.size(), 1u << 26, picture), ReadCode::kOk);
  HalftoneParams params;
  params.density = 150;
  params.invert = true;
  PageResult result;
  ASSERT_EQ(start_result(result, picture, c.kind, params), HalftoneError::kNone);

  // A pane in the middle of the picture, at zoom 2: its rows are converted first.
  const PaneView view{2, 1, 60, 40, 50, 30};
  std::vector<uint32_t> source(50 * 30), shown(50 * 30);
  draw_panes(result, view, source.data(), shown.data());
  while (convert_more(result, 3000) > 0) {
  }

  std::vector<std::string> args = c.args;
  args.insert(args.end(), {"-t", "150", "-i", "-o", "x.bmp"});
  PageExport file;
  export_picture(args, picture, bytes.data(), bytes.size(), file);
  ASSERT_EQ(file.error, "");
  const size_t file_stride = (static_cast<size_t>(picture.width) + 31) / 32 * 4;
  for (int32_t row = 0; row < picture.height; ++row) {
    for (int32_t x = 0; x < picture.width; ++x) {
      const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
      const bool page_white = result.bits.get()[row * result.stride + x / 8] & mask;
      const bool file_white = file.bytes[62 + row * file_stride + x / 8] & mask;
      ASSERT_EQ(page_white, file_white) << "storage row " << row << ", column " << x;
    }
  }
  // Pane pixel (u, v) shows picture pixel ((u + 60) / 2, (v + 40) / 2), counted from the top.
  for (int v = 0; v < 30; v += 7) {
    for (int u = 0; u < 50; u += 9) {
      const int32_t x = (u + 60) / 2, top = (v + 40) / 2, row = storage_row(picture, top);
      const bool white = result.bits.get()[row * result.stride + x / 8] & (0x80 >> (x & 7));
      EXPECT_EQ(shown[v * 50 + u], white ? 0xFFFFFFFFu : 0xFF000000u) << u << ", " << v;
      EXPECT_EQ(source[v * 50 + u], picture.colours.get()[top * picture.width + x]);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    ModesAndMethods, PageResult_,
    testing::Values(Case{"rgb24.bmp", 0, {"-m", "letter"}}, Case{"pal8rle.bmp", 1, {"-m", "hard"}},
                    Case{"pal8topdown.bmp", 2, {"-m", "soft"}},
                    Case{"rgb24.bmp", kFirstMethodKind + static_cast<int>(HalftoneMethod::kFloydSteinberg),
                         {"-m", "floyd-steinberg"}},
                    Case{"pal8topdown.bmp", kFirstMethodKind + static_cast<int>(HalftoneMethod::kSauvola),
                         {"-m", "sauvola"}}));

}  // namespace

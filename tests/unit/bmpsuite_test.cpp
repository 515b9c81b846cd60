// The public BMP conformance suite: every file is parsed (and, when it opens,
// converted) under the sanitizers, and pictures stored in different encodings of
// the same image convert alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../common/bmp_builder.h"
#include "image/bmp_reader.h"
#include "mono/conversion.h"
#include "mono/result_bitmap.h"

namespace {

const std::string kSuite = std::string(QVX_TESTDATA) + "/bmpsuite/";

std::vector<uint8_t> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Converts in the given mode; compressed pictures get black read-back pixels, as
// the platform's decoding is not part of the portable code.
std::vector<uint8_t> convert_store(const Loaded& l, int base, int mode) {
  const uint32_t w = static_cast<uint32_t>(l.picture.width), h = static_cast<uint32_t>(l.picture.height);
  std::vector<uint8_t> result(result_block_size(w, h));
  prepare_result(l.data(), w, h, result.data(), static_cast<uint32_t>(result.size()));
  std::vector<uint32_t> read_back;
  if (l.picture.read_back != 0) read_back.assign(static_cast<size_t>(w) * h, 0);
  RandomSource random;
  convert_picture(ConversionSource{l.data(), &l.picture, read_back.empty() ? nullptr : read_back.data()},
                  result.data(), base, mode, false, random, nullptr, nullptr);
  return result;
}

TEST(BmpSuite, EveryFileParsesAndConverts) {
  int files = 0;
  for (const char* dir : {"g", "q", "b", "x"}) {
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(kSuite + dir))
      if (entry.is_regular_file()) paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
      ++files;
      const std::string name = std::string(dir) + "/" + path.filename().string();
      const Loaded l = load_bmp(file_bytes(path.string()));
      if (std::string(dir) == "g") {
        EXPECT_EQ(l.code, name == "g/pal8v5.bmp" ? ReadCode::kUnsupported : ReadCode::kOk) << name;
      } else {
        EXPECT_TRUE(l.code == ReadCode::kNoSignature || (l.code >= ReadCode::kOk && l.code <= ReadCode::kShortData))
            << name << " gave " << static_cast<int>(l.code);
      }
      if (l.code != ReadCode::kOk) continue;
      if (uint64_t{static_cast<uint32_t>(l.picture.width)} * static_cast<uint32_t>(l.picture.height) > (16u << 20))
        continue;
      for (int mode : {kModeLetter, kModePhotoHard, kModePhotoSoft}) convert_store(l, 128, mode);
    }
  }
  EXPECT_GT(files, 90);
}

// Letter results in display order (top row first), so that top-down and bottom-up
// files of one image compare equal.
std::vector<std::vector<uint8_t>> letter_rows(const std::string& name, int base) {
  const Loaded l = load_bmp(file_bytes(kSuite + name));
  EXPECT_EQ(l.code, ReadCode::kOk) << name;
  if (l.code != ReadCode::kOk) return {};
  const std::vector<uint8_t> result = convert_store(l, base, kModeLetter);
  const size_t stride = result_stride(static_cast<uint32_t>(l.picture.width));
  std::vector<std::vector<uint8_t>> rows;
  for (int32_t r = 0; r < l.picture.height; ++r) {
    const auto begin = result.begin() + kResultPixelOffset + static_cast<ptrdiff_t>(stride) * r;
    rows.emplace_back(begin, begin + static_cast<ptrdiff_t>(stride));
  }
  if (get_i32(l.data() + kHeightField) > 0) std::reverse(rows.begin(), rows.end());
  return rows;
}

TEST(BmpSuite, EncodingsOfOneImageConvertAlike) {
  const std::vector<std::vector<std::string>> groups = {
      {"g/pal8.bmp", "g/pal8-0.bmp", "g/pal8os2.bmp", "g/pal8v4.bmp", "g/pal8topdown.bmp"},
      {"g/pal1.bmp", "g/pal1wb.bmp"},
      {"g/rgb16.bmp", "g/rgb16bfdef.bmp"},
      {"g/rgb16-565.bmp", "g/rgb16-565pal.bmp"},
      {"g/rgb24.bmp", "g/rgb24pal.bmp", "g/rgb32.bmp", "g/rgb32bf.bmp", "g/rgb32bfdef.bmp"},
  };
  for (const auto& group : groups) {
    for (int base : {40, 128, 220}) {
      const auto first = letter_rows(group[0], base);
      ASSERT_FALSE(first.empty());
      for (size_t i = 1; i < group.size(); ++i) EXPECT_EQ(letter_rows(group[i], base), first) << group[i] << " " << base;
    }
  }
}

}  // namespace

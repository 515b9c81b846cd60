// The result the page shows is the file it downloads: rows converted for the view
// first, then the rest in slices, give the command's bits; and the panes show them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/bmp_builder.h"
#include "image/le_bytes.h"
#include "image/picture.h"
#include "page_export.h"
#include "page_picture.h"
#include "page_result.h"
#include "page_settings.h"
#include "pipeline/output_format.h"

namespace {

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A request as the worker writes it: the kind, parameter texts by their names, a format.
PageRequest request_of(int kind, const std::vector<std::pair<HalftoneParam, const char*>>& values,
                       int format = kFormatBmp) {
  PageRequest request{};
  request.kind = kind;
  for (const auto& [param, text] : values) request.values[static_cast<size_t>(param)] = text;
  request.format = format;
  return request;
}

struct Case {
  const char* file;
  int kind;
  const char* levels = nullptr;   // grey levels, or
  const char* palette = nullptr;  // a palette (which refuses invert)
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.file << " kind " << c.kind << (c.levels ? " levels " : "") << (c.levels ? c.levels : "")
      << (c.palette ? " palette " : "") << (c.palette ? c.palette : "");
}

// Index (row from the top, column) of an indexed BMP the command writes: rows bottom-up,
// 1 bit a pixel for two entries, else 4.
int bmp_index(const std::vector<uint8_t>& file, int32_t width, int32_t height, int32_t top, int32_t x) {
  const int colours = static_cast<int>(get_i32(file.data() + 46));
  const int bits = colours <= 2 ? 1 : 4;
  const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  const size_t at = 14 + 40 + 4 * static_cast<size_t>(colours) + static_cast<size_t>(height - 1 - top) * stride;
  const int per_byte = 8 / bits;
  const uint8_t byte = file[at + static_cast<size_t>(x / per_byte)];
  return (byte >> ((per_byte - 1 - x % per_byte) * bits)) & ((1 << bits) - 1);
}

class PageResult_ : public testing::TestWithParam<Case> {};

TEST_P(PageResult_, ViewFirstThenSlicesGiveTheCommandsBits) {
  const Case& c = GetParam();
  const std::vector<uint8_t> bytes = read_file(std::string(QVX_TESTDATA) + "/bmpsuite/g/" + c.file);
  PagePicture picture;
  ASSERT_EQ(open_bmp_picture(bytes.data(), bytes.size(), 1u << 26, picture), ReadCode::kOk);
  std::vector<std::pair<HalftoneParam, const char*>> values = {{HalftoneParam::kDensity, "150"}};
  if (c.palette) values.push_back({HalftoneParam::kPalette, c.palette});
  else values.push_back({HalftoneParam::kInvert, ""});
  if (c.levels) values.push_back({HalftoneParam::kLevels, c.levels});
  const PageRequest request = request_of(c.kind, values);
  ConversionRequest settings;
  ASSERT_STREQ(read_page_request(request, "x.bmp", settings).code, "");
  PageResult result;
  ASSERT_STREQ(start_result(result, picture, settings).code, "");

  // A pane in the middle of the picture, at zoom 2: its rows are converted first.
  const PaneView view{2, 1, 60, 40, 50, 30};
  std::vector<uint32_t> source(50 * 30), shown(50 * 30);
  draw_panes(result, view, source.data(), shown.data());
  while (convert_more(result, 3000) > 0) {
  }

  PageExport file;
  export_picture(settings, "x.bmp", picture, bytes.data(), bytes.size(), file);
  ASSERT_STREQ(file.failure.code, "");
  if (result.indexed) {
    // Each pane pixel is its index's grey or colour, read from the file's colour table.
    for (int32_t top = 0; top < picture.height; ++top) {
      const uint8_t* row = result.indexes.get() + storage_row(picture, top) * picture.width;
      for (int32_t x = 0; x < picture.width; ++x) {
        ASSERT_EQ(row[x], bmp_index(file.bytes, picture.width, picture.height, top, x)) << "row " << top << ", column " << x;
      }
    }
    for (int v = 0; v < 30; v += 7) {
      for (int u = 0; u < 50; u += 9) {
        const int32_t x = (u + 60) / 2, top = (v + 40) / 2;
        const uint8_t* entry = file.bytes.data() + 54 + 4 * bmp_index(file.bytes, picture.width, picture.height, top, x);
        EXPECT_EQ(shown[v * 50 + u], 0xFF000000u | entry[0] << 16 | entry[1] << 8 | entry[2]) << u << ", " << v;
      }
    }
    return;
  }
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
    testing::Values(Case{"rgb24.bmp", 0}, Case{"pal8rle.bmp", 1}, Case{"pal8topdown.bmp", 2},
                    Case{"rgb24.bmp", kFirstMethodKind + static_cast<int>(HalftoneMethod::kFloydSteinberg)},
                    Case{"pal8topdown.bmp", kFirstMethodKind + static_cast<int>(HalftoneMethod::kSauvola)},
                    Case{"rgb24.bmp", 0, "5"},
                    Case{"pal8topdown.bmp", kFirstMethodKind + static_cast<int>(HalftoneMethod::kFloydSteinberg), "4"},
                    Case{"pal8rle.bmp", kFirstMethodKind + static_cast<int>(HalftoneMethod::kBayer4), "16"},
                    Case{"rgb24.bmp", kFirstMethodKind + static_cast<int>(HalftoneMethod::kBayer8)},
                    Case{"pal8topdown.bmp", kFirstMethodKind + static_cast<int>(HalftoneMethod::kBayer4)},
                    Case{"rgb24.bmp", kFirstMethodKind + static_cast<int>(HalftoneMethod::kFloydSteinberg), nullptr,
                         "acep7-measured"},
                    Case{"pal8topdown.bmp", 0, nullptr, "#ff0000,#00ff00,#0000ff"}));

}  // namespace

namespace {

// Local thresholds convert in bands, the bands in view first, each fed from the rows its
// windows reach: the bits are the command's across every band's edge, and at the
// picture's top and bottom (a picture of several bands, bottom-up and top-down).
TEST(PageResultBands, BandsGiveTheCommandsBits) {
  const struct {
    HalftoneMethod method;
    const char* radius;
    int32_t height;  // negative: rows stored top-down
  } cases[] = {
      {HalftoneMethod::kSauvola, "2", 300},
      {HalftoneMethod::kBradley, "5", -300},
      {HalftoneMethod::kNiblack, "20", 300},
  };
  for (const auto& c : cases) {
    BmpFile f;
    f.width = 40;
    f.height = c.height;
    f.bit_count = 8;
    for (uint32_t g = 0; g < 256; ++g) f.colours.push_back(g * 0x010101u);
    for (int32_t y = 0; y < 300; ++y) {
      for (int32_t x = 0; x < 40; ++x) f.pixels.push_back(static_cast<uint8_t>(x * 7 + y * 3 + (x * y) % 23 * 5));
    }
    const std::vector<uint8_t> bytes = build_bmp(f);
    PagePicture picture;
    ASSERT_EQ(open_bmp_picture(bytes.data(), bytes.size(), 1u << 26, picture), ReadCode::kOk);
    const PageRequest request = request_of(kFirstMethodKind + static_cast<int>(c.method),
                                           {{HalftoneParam::kDensity, "140"}, {HalftoneParam::kRadius, c.radius}});
    ConversionRequest settings;
    ASSERT_STREQ(read_page_request(request, "x.bmp", settings).code, "");
    PageResult result;
    ASSERT_STREQ(start_result(result, picture, settings).code, "");
    const PaneView view{1, 1, 0, 150, 40, 50};
    std::vector<uint32_t> source(40 * 50), shown(40 * 50);
    EXPECT_TRUE(draw_panes(result, view, source.data(), shown.data()));
    while (convert_more(result, 40 * 30, &view) > 0) {
    }
    PageExport file;
    export_picture(settings, "x.bmp", picture, bytes.data(), bytes.size(), file);
    ASSERT_STREQ(file.failure.code, "");
    // The command's file keeps the picture's row order; 40 pixels are 8 bytes a row.
    for (int32_t top = 0; top < 300; ++top) {
      const size_t storage = static_cast<size_t>(storage_row(picture, top));
      const uint8_t* page_row = result.bits.get() + storage * result.stride;
      const uint8_t* file_row = file.bytes.data() + 62 + storage * 8;
      ASSERT_EQ(std::memcmp(page_row, file_row, 5), 0) << "radius " << c.radius << ", row " << top;
    }
  }
}

// A new result shows the result before in the rows it has not converted yet, where
// those rows are of the same kind and shades, else nothing; once converted, the panes
// show the new result alone, as a result started afresh shows it.
TEST(PageResultBefore, RowsNotYetConvertedShowTheResultBefore) {
  const std::vector<uint8_t> bytes = read_file(std::string(QVX_TESTDATA) + "/bmpsuite/g/rgb24.bmp");
  PagePicture picture;
  ASSERT_EQ(open_bmp_picture(bytes.data(), bytes.size(), 1u << 26, picture), ReadCode::kOk);
  const int fs = kFirstMethodKind + static_cast<int>(HalftoneMethod::kFloydSteinberg);
  const struct {
    int kind_before;
    const char *density_before, *levels_before;
    int kind;
    const char *density, *levels;
    bool kept;
  } cases[] = {
      {fs, "150", nullptr, fs, "100", nullptr, true},
      {fs, "150", "4", fs, "100", "4", true},
      {fs, "150", "4", fs, "150", "5", false},   // other shades
      {fs, "150", nullptr, fs, "150", "4", false},  // indexes in place of bits
      {0, "150", nullptr, fs, "100", nullptr, true},
  };
  const PaneView whole{1, 1, 0, 0, picture.width, picture.height};
  const size_t size = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
  const auto settings_of = [](int kind, const char* density, const char* levels) {
    std::vector<std::pair<HalftoneParam, const char*>> values = {{HalftoneParam::kDensity, density}};
    if (levels) values.push_back({HalftoneParam::kLevels, levels});
    ConversionRequest settings;
    EXPECT_STREQ(read_page_request(request_of(kind, values), "x.bmp", settings).code, "");
    return settings;
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> source(size), before(size), during(size), after(size), fresh(size);
    PageResult result;
    ASSERT_STREQ(start_result(result, picture, settings_of(c.kind_before, c.density_before, c.levels_before)).code, "");
    EXPECT_TRUE(draw_panes(result, whole, source.data(), before.data()));
    ASSERT_STREQ(start_result(result, picture, settings_of(c.kind, c.density, c.levels)).code, "");
    EXPECT_FALSE(draw_panes(result, whole, source.data(), during.data(), false));
    if (c.kept) {
      EXPECT_EQ(during, before);
    } else {
      EXPECT_EQ(std::count(during.begin(), during.end(), 0u), static_cast<ptrdiff_t>(size));
    }
    while (convert_more(result, 1000) > 0) {
    }
    EXPECT_TRUE(draw_panes(result, whole, source.data(), after.data(), false));
    PageResult again;
    ASSERT_STREQ(start_result(again, picture, settings_of(c.kind, c.density, c.levels)).code, "");
    draw_panes(again, whole, source.data(), fresh.data());
    EXPECT_EQ(after, fresh);
    EXPECT_NE(after, before);
  }
}

// Settings the command refuses leave the result empty: the panes then show the picture
// beside nothing, and the slices have nothing to do (no rows are read that were never
// allocated).
TEST(PageResultRefused, EmptyResultDrawsThePictureAndConvertsNothing) {
  const std::vector<uint8_t> bytes = read_file(std::string(QVX_TESTDATA) + "/bmpsuite/g/rgb24.bmp");
  PagePicture picture;
  ASSERT_EQ(open_bmp_picture(bytes.data(), bytes.size(), 1u << 26, picture), ReadCode::kOk);
  const struct {
    std::optional<HalftoneMethod> method;
    int radius, percent, density;
    const char* field;
  } cases[] = {
      {HalftoneMethod::kSauvola, 0, 15, 127, "radius"},
      {HalftoneMethod::kBradley, 7, 101, 127, "percent"},
      {std::nullopt, 7, 15, 300, "density"},
  };
  for (const auto& c : cases) {
    PageResult result;
    ConversionRequest settings;
    settings.method = c.method;
    settings.mode = 1;
    settings.halftone.radius = c.radius;
    settings.halftone.percent = c.percent;
    settings.density = c.density;
    const PageFailure failure = start_result(result, picture, settings);
    ASSERT_STREQ(failure.code, "setting");
    EXPECT_STREQ(failure.field, c.field);
    std::vector<uint32_t> source(40 * 30, 1), shown(40 * 30, 1);
    draw_panes(result, PaneView{1, 1, 0, 0, 40, 30}, source.data(), shown.data());
    EXPECT_EQ(convert_more(result, 1 << 20), 0);
    EXPECT_EQ(source[0], picture.colours.get()[0]);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), 0u), 40 * 30);
  }
}

// A 1-bit picture's pane shows its colour table, whichever entry is the darker; its
// conversion still takes the darker entry as black.
TEST(PagePictureOneBit, PaneShowsTheColourTable) {
  const struct {
    uint32_t entry0, entry1;
  } tables[] = {{0xFF0000, 0x0000FF}, {0x0000FF, 0xFF0000}, {0x20A020, 0x20A020}};
  for (const auto& t : tables) {
    BmpFile f;
    f.width = 3;
    f.height = 2;
    f.bit_count = 1;
    f.colours = {t.entry0, t.entry1};
    f.pixels = pack_rows(1, 3, {{0, 1, 0}, {1, 1, 0}});
    const std::vector<uint8_t> bytes = build_bmp(f);
    PagePicture picture;
    ASSERT_EQ(open_bmp_picture(bytes.data(), bytes.size(), 1u << 26, picture), ReadCode::kOk);
    // The canvas takes red in the low byte; the top row is storage row 1.
    const auto canvas = [](uint32_t rgb) { return 0xFF000000u | ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16); };
    const uint32_t expected[6] = {t.entry1, t.entry1, t.entry0, t.entry0, t.entry1, t.entry0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(picture.colours.get()[i], canvas(expected[i])) << i;
    // Blue (luminance 29) is darker than red (76); of two equal entries the second reads black.
    EXPECT_EQ(picture.luma.get()[0], t.entry0 == 0x0000FF ? 0 : 255);
  }
}

// A JPEG's resolution is the one the command writes for it (figures from the command's
// own conversions of these files): JFIF in inches or centimetres, 72 dpi where JFIF
// gives 1, EXIF in its three units replacing JFIF, nothing without JFIF units.
std::vector<uint8_t> jpeg_head(uint8_t unit, uint16_t x_density, uint16_t y_density,
                               const std::vector<uint8_t>& exif_tiff) {
  std::vector<uint8_t> b = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, unit,
                            static_cast<uint8_t>(x_density >> 8), static_cast<uint8_t>(x_density),
                            static_cast<uint8_t>(y_density >> 8), static_cast<uint8_t>(y_density), 0, 0};
  if (!exif_tiff.empty()) {
    const size_t length = exif_tiff.size() + 8;
    b.insert(b.end(), {0xFF, 0xE1, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 'E', 'x', 'i', 'f', 0, 0});
    b.insert(b.end(), exif_tiff.begin(), exif_tiff.end());
  }
  b.insert(b.end(), {0xFF, 0xDA, 0, 2});
  return b;
}

// A big-endian TIFF block with XResolution and YResolution num/den and ResolutionUnit.
std::vector<uint8_t> exif_block(uint32_t num, uint32_t den, uint16_t unit) {
  std::vector<uint8_t> t = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 3};
  const auto u16 = [&](uint32_t v) { t.insert(t.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}); };
  const auto u32 = [&](uint32_t v) { u16(v >> 16); u16(v & 0xFFFF); };
  const uint32_t data = 8 + 2 + 3 * 12 + 4;
  u16(282), u16(5), u32(1), u32(data);
  u16(283), u16(5), u32(1), u32(data + 8);
  u16(296), u16(3), u32(1), u16(unit), u16(0);
  u32(0);
  u32(num), u32(den), u32(num), u32(den);
  return t;
}

TEST(PagePictureJpegResolution, TheCommandsFigures) {
  const struct {
    const char* what;
    std::vector<uint8_t> head;
    int32_t expected;
  } cases[] = {
      {"300 dpi", jpeg_head(1, 300, 300, {}), 11811},
      {"118 dpcm", jpeg_head(2, 118, 118, {}), 11800},
      {"1 dpi", jpeg_head(1, 1, 1, {}), 2834},
      {"72 dpi", jpeg_head(1, 72, 72, {}), 2834},
      {"aspect only", jpeg_head(0, 300, 300, {}), 0},
      {"aspect only, EXIF 200 dpi", jpeg_head(0, 300, 300, exif_block(200, 1, 2)), 0},
      {"EXIF 200 dpi", jpeg_head(1, 300, 300, exif_block(200, 1, 2)), 7874},
      {"EXIF 50 dpcm", jpeg_head(1, 300, 300, exif_block(50, 1, 3)), 5000},
      {"EXIF 72 dpi as 7200/100", jpeg_head(1, 300, 300, exif_block(7200, 100, 2)), 2834},
      {"EXIF without unit", jpeg_head(1, 300, 300, exif_block(200, 1, 1)), 200000},
      {"EXIF unit 4", jpeg_head(1, 300, 300, exif_block(200, 1, 4)), 11811},
      {"EXIF unit 0", jpeg_head(1, 300, 300, exif_block(200, 1, 0)), 11811},
      {"EXIF 0 dpi", jpeg_head(1, 300, 300, exif_block(0, 1, 2)), 0},
      {"EXIF over 0", jpeg_head(1, 300, 300, exif_block(200, 0, 2)), 0},
  };
  for (const auto& c : cases) {
    PagePicture picture;
    auto* pixels = static_cast<uint8_t*>(std::malloc(4));
    ASSERT_EQ(adopt_decoded_picture(pixels, 1, 1, PixelOrder::kRgba, c.head.data(), c.head.size(), picture),
              ReadCode::kOk);
    EXPECT_EQ(get_i32(picture.head.data() + kXResolutionField), c.expected) << c.what;
    EXPECT_EQ(get_i32(picture.head.data() + kYResolutionField), c.expected) << c.what;
  }
}

// The page's settings are read by the command's rules and its check: what it refuses is
// refused in its words, naming the field; what it takes arrives as the pipeline's request.
TEST(PageSettings, TheCommandsRulesDecide) {
  const int sauvola = kFirstMethodKind + static_cast<int>(HalftoneMethod::kSauvola);
  const struct {
    int kind;
    HalftoneParam param;
    const char* text;
    const char* field;
    const char* refusal;  // the start of the message
  } cases[] = {
      {sauvola, HalftoneParam::kRadius, "0", "radius", "--radius must be a whole number from 1 to 10000: 0"},
      {sauvola, HalftoneParam::kRadius, "2.5", "radius", "--radius must be"},
      {kFirstMethodKind + static_cast<int>(HalftoneMethod::kBradley), HalftoneParam::kPercent, "101", "percent",
       "--percent must be"},
      {kFirstMethodKind + static_cast<int>(HalftoneMethod::kNiblack), HalftoneParam::kK, "NaN", "k", "--k must be"},
      {kFirstMethodKind + static_cast<int>(HalftoneMethod::kBayer4), HalftoneParam::kSerpentine, "", "serpentine",
       "--serpentine needs"},
      {0, HalftoneParam::kDensity, "255", "density", "-t must be"},
      {0, HalftoneParam::kDensity, "-1", "density", "-t must be"},
      {999, HalftoneParam::kDensity, "127", "mode", "unknown mode"},
      {0, HalftoneParam::kPalette, "#ff0000,#12345x", "palette", "palette entry 2 \"#12345x\" is not a colour"},
      {0, HalftoneParam::kPalette, "acep8", "palette", "unknown palette"},
      {0, HalftoneParam::kLevels, "17", "levels", "--levels must be"},
  };
  for (const auto& c : cases) {
    ConversionRequest settings;
    const PageFailure failure = read_page_request(request_of(c.kind, {{c.param, c.text}}), "picture", settings);
    EXPECT_STREQ(failure.code, "setting") << c.text;
    EXPECT_STREQ(failure.field, c.field) << c.text;
    EXPECT_EQ(failure.text.compare(0, std::strlen(c.refusal), c.refusal), 0) << failure.text;
  }
  ConversionRequest settings;
  ASSERT_STREQ(read_page_request(request_of(sauvola, {{HalftoneParam::kDensity, "90"}, {HalftoneParam::kInvert, ""},
                                                    {HalftoneParam::kRadius, "12"}, {HalftoneParam::kK, "0.3"}}),
                                 "picture", settings).code, "");
  EXPECT_EQ(settings.method, HalftoneMethod::kSauvola);
  EXPECT_EQ(settings.density, 90);
  EXPECT_TRUE(settings.invert);
  EXPECT_EQ(settings.halftone.radius, 12);
  EXPECT_EQ(settings.halftone.k, 0.3);
  EXPECT_EQ(settings.halftone.percent, 15);
  ASSERT_STREQ(read_page_request(request_of(0, {{HalftoneParam::kPalette, "bwr"}}), "picture", settings).code, "");
  EXPECT_EQ(settings.palette, "bwr");
  ASSERT_STREQ(read_page_request(request_of(0, {{HalftoneParam::kLevels, "7"}}), "picture", settings).code, "");
  EXPECT_EQ(settings.levels, 7);
  ASSERT_STREQ(read_page_request(request_of(2, {{HalftoneParam::kDensity, "40"}}), "picture", settings).code, "");
  EXPECT_FALSE(settings.method);
  EXPECT_EQ(settings.mode, 2);
  EXPECT_EQ(settings.density, 40);
}

}  // namespace

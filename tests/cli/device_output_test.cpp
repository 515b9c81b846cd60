// quillvex-cli writing the device formats and preparing pictures for a panel: every
// output decoded back from its format's definition and compared with the command's
// own PBM of the same picture; arrays checked against a corner laid out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/bmp_builder.h"
#include "common/cli_runner.h"
#include "common/pbm_bitmap.h"
#include "common/device_decode.h"

namespace {

using device_decode::decode_device_output;

// A photo-like colour: gradients across the picture with grain on top.
uint32_t photo_colour(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t grain = (x * 2654435761u) ^ (y * 40503u) ^ seed;
  grain = (grain ^ (grain >> 13)) * 1274126177u;
  const uint32_t r = (64 + x * 3 + y + (grain & 63)) % 256;
  const uint32_t g = (72 + x + y * 2 + ((grain >> 8) & 63)) % 256;
  const uint32_t b = (x * 5 + y * 7 + ((grain >> 16) & 127)) % 256;
  return r << 16 | g << 8 | b;
}

// A 24-bit bottom-up BMP of width x height whose pixels `colour` gives (x, y from the top).
template <class Colour>
std::vector<uint8_t> picture_bmp(int32_t width, int32_t height, Colour colour) {
  BmpFile f;
  f.width = width;
  f.height = height;
  f.bit_count = 24;
  std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height), std::vector<uint32_t>(static_cast<size_t>(width)));
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      rows[static_cast<size_t>(height - 1 - y)][static_cast<size_t>(x)] = colour(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    }
  }
  f.pixels = pack_rows(24, width, rows);
  return build_bmp(f);
}

// Every device format and layout, for widths and heights around a byte, a page of
// 8 rows and a band, each size its own input of one batch (and one to standard
// output): the output decoded back is the PBM the command writes for the same
// picture and method.
TEST_F(CliRun, DeviceFormatsDecodeToTheCommandsOwnResult) {
  const struct {
    const char* arguments;
    const char* extension;  // of the files -d writes
    DeviceSettings settings;  // the name, when not given, is the input's
  } cases[] = {
      {"-f c", ".h", {DeviceFormat::kC, DeviceLayout::kRowsMsb, DeviceOn::kWhite, ""}},
      {"-f c --layout rows-lsb --name logo", ".h", {DeviceFormat::kC, DeviceLayout::kRowsLsb, DeviceOn::kWhite, "logo"}},
      {"-f C --layout pages", ".h", {DeviceFormat::kC, DeviceLayout::kPages, DeviceOn::kWhite, ""}},
      {"-f h --layout columns-msb --on black", ".h", {DeviceFormat::kC, DeviceLayout::kColumnsMsb, DeviceOn::kBlack, ""}},
      {"-f bin", ".bin", {DeviceFormat::kBin, DeviceLayout::kRowsMsb, DeviceOn::kWhite}},
      {"-f bin --layout rows-lsb", ".bin", {DeviceFormat::kBin, DeviceLayout::kRowsLsb, DeviceOn::kWhite}},
      {"-f bin --layout pages --on black", ".bin", {DeviceFormat::kBin, DeviceLayout::kPages, DeviceOn::kBlack}},
      {"-f bin --layout columns-msb", ".bin", {DeviceFormat::kBin, DeviceLayout::kColumnsMsb, DeviceOn::kWhite}},
      {"-f xbm", ".xbm", {DeviceFormat::kXbm, DeviceLayout::kRowsMsb, DeviceOn::kBlack, ""}},
      {"-f escpos", ".escpos", {DeviceFormat::kEscPos, DeviceLayout::kRowsMsb, DeviceOn::kBlack, "", 256}},
      {"-f pos --band 7 --on white", ".escpos", {DeviceFormat::kEscPos, DeviceLayout::kRowsMsb, DeviceOn::kWhite, "", 7}},
      {"-f zpl", ".zpl", {DeviceFormat::kZpl, DeviceLayout::kRowsMsb, DeviceOn::kBlack}},
  };
  const std::vector<uint32_t> widths = {1, 7, 8, 9, 127, 128}, heights = {1, 7, 8, 9, 300};
  std::string inputs;
  uint32_t seed = 0;
  for (uint32_t w : widths) {
    for (uint32_t h : heights) {
      const std::string name = "in" + std::to_string(w) + "x" + std::to_string(h);
      write_file(dir + name + ".bmp", picture_bmp(static_cast<int32_t>(w), static_cast<int32_t>(h),
                                                  [&](uint32_t x, uint32_t y) { return photo_colour(x, y, ++seed); }));
      inputs += " " + shell_word(dir + name + ".bmp");
    }
  }
  const std::string common = "-q -m hard -t 110" + inputs + " -d ";
  ASSERT_EQ(run(common + shell_word(dir) + " -f pbm").status, 0);
  // One size to standard output, where the array has no file name to be called after.
  ASSERT_EQ(run("-q -m hard -t 110 -f zpl " + shell_word(dir + "in127x300.bmp") + " -o -", "/dev/null", dir + "stdout")
                .status,
            0);
  ASSERT_EQ(run("-q -m hard -t 110 -f c " + shell_word(dir + "in9x7.bmp") + " -o -", "/dev/null", dir + "stdout.h")
                .status,
            0);
  ASSERT_EQ(run("-q -m hard -t 110 -f c - -o -", dir + "in9x7.bmp", dir + "stdin.h").status, 0);
  for (size_t k = 0; k < sizeof cases / sizeof cases[0]; ++k) {
    const std::string folder = dir + "case" + std::to_string(k) + "/";
    mkdir(folder.c_str(), 0777);
    ASSERT_EQ(run(common + shell_word(folder) + " " + cases[k].arguments).status, 0) << cases[k].arguments;
  }
  for (uint32_t w : widths) {
    for (uint32_t h : heights) {
      const std::string name = "in" + std::to_string(w) + "x" + std::to_string(h);
      const Bitmap reference = read_pbm(dir + name + ".pbm");
      ASSERT_EQ(reference.black.size(), size_t{w} * h) << name;
      std::vector<std::pair<DeviceSettings, std::string>> outputs;
      for (size_t k = 0; k < sizeof cases / sizeof cases[0]; ++k) {
        DeviceSettings s = cases[k].settings;
        if (s.name.empty()) s.name = name;
        outputs.push_back({s, dir + "case" + std::to_string(k) + "/" + name + cases[k].extension});
      }
      if (name == "in127x300") outputs.push_back({cases[11].settings, dir + "stdout"});
      if (name == "in9x7") {
        // To standard output the array is named after the input; from standard input too, "image".
        outputs.push_back({DeviceSettings{DeviceFormat::kC, DeviceLayout::kRowsMsb, DeviceOn::kWhite, name}, dir + "stdout.h"});
        outputs.push_back({DeviceSettings{DeviceFormat::kC, DeviceLayout::kRowsMsb, DeviceOn::kWhite, "image"}, dir + "stdin.h"});
      }
      for (const auto& [settings, path] : outputs) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> on = decode_device_output(settings, read_file(path), w, h);
        const uint8_t black_is_on = settings.on == DeviceOn::kBlack;
        size_t differ = 0;
        for (size_t i = 0; i < on.size(); ++i) differ += on[i] != (reference.black[i] == black_is_on);
        EXPECT_EQ(differ, 0u);
      }
    }
  }
}

// The luminance rule and the letter threshold worked out by hand: white above 127.
uint8_t white_by_hand(uint32_t colour) {
  const uint32_t r = colour >> 16, g = (colour >> 8) & 255, b = colour & 255;
  return (299 * r + 587 * g + 114 * b) / 1000 > 127;
}

// The items of a C array, 16 a line.
std::vector<uint8_t> c_array(const std::vector<uint8_t>& file) {
  return device_decode::array_items(std::string(file.begin(), file.end()), 16);
}

// One photo as a 128 x 64 OLED array (pages) and a 296 x 128 panel array (rows-msb):
// the 16 x 16 corner of each is the photo converted and laid out by hand.
TEST_F(CliRun, PanelArraysMatchACornerLaidOutByHand) {
  const auto photo = [](uint32_t x, uint32_t y) { return photo_colour(x, y, 7); };
  write_file(dir + "panel.bmp", picture_bmp(296, 128, photo));
  write_file(dir + "oled.bmp", picture_bmp(128, 64, photo));  // the photo's top-left corner
  ASSERT_EQ(run("-q " + shell_word(dir + "oled.bmp") + " --layout pages -o " + shell_word(dir + "oled.h")).status, 0);
  ASSERT_EQ(run("-q " + shell_word(dir + "panel.bmp") + " -o " + shell_word(dir + "panel.h")).status, 0);
  const std::vector<uint8_t> oled = c_array(read_file(dir + "oled.h")), panel = c_array(read_file(dir + "panel.h"));
  ASSERT_EQ(oled.size(), 128u * 64 / 8);
  ASSERT_EQ(panel.size(), 37u * 128);
  // pages: byte (y / 8) * 128 + x, row y % 8 in bit y % 8; rows-msb: byte y * 37 + x / 8, bit 7 - x % 8.
  uint8_t pages[2][16] = {}, rows[16][2] = {};
  int lit = 0;
  for (uint32_t y = 0; y < 16; ++y) {
    for (uint32_t x = 0; x < 16; ++x) {
      const uint8_t white = white_by_hand(photo(x, y));
      lit += white;
      pages[y / 8][x] = static_cast<uint8_t>(pages[y / 8][x] | white << (y % 8));
      rows[y][x / 8] = static_cast<uint8_t>(rows[y][x / 8] | white << (7 - x % 8));
    }
  }
  ASSERT_TRUE(lit > 16 && lit < 240) << "the corner should hold both colours";
  for (uint32_t page = 0; page < 2; ++page) {
    EXPECT_EQ(std::vector<uint8_t>(oled.begin() + page * 128, oled.begin() + page * 128 + 16),
              std::vector<uint8_t>(pages[page], pages[page] + 16)) << "page " << page;
  }
  for (uint32_t y = 0; y < 16; ++y) {
    EXPECT_EQ(panel[y * 37], rows[y][0]) << "row " << y;
    EXPECT_EQ(panel[y * 37 + 1], rows[y][1]) << "row " << y;
  }
}

// A 576-dot receipt of 3000 rows dithered with Floyd-Steinberg, in bands of 256 rows
// and of 2303 (the most one command takes): the error runs on across the bands, so
// the bands joined are the one-piece conversion, and the command's PBM of it.
TEST_F(CliRun, EscPosBandsJoinWithoutSeam) {
  write_file(dir + "receipt.bmp", picture_bmp(576, 3000, [](uint32_t x, uint32_t y) { return photo_colour(x, y, 3); }));
  const std::string input = "-q -m floyd-steinberg " + shell_word(dir + "receipt.bmp");
  ASSERT_EQ(run(input + " -o " + shell_word(dir + "bands.pos")).status, 0);
  ASSERT_EQ(run(input + " --band 2303 -o " + shell_word(dir + "whole.pos")).status, 0);
  ASSERT_EQ(run(input + " -o " + shell_word(dir + "ref.pbm")).status, 0);
  const std::vector<uint8_t> bands = read_file(dir + "bands.pos"), whole = read_file(dir + "whole.pos");
  const std::vector<uint8_t> joined = device_decode::escpos_rows(bands, 576, 3000, 256);
  EXPECT_EQ(joined, device_decode::escpos_rows(whole, 576, 3000, 2303));
  const std::vector<uint8_t> pbm = read_file(dir + "ref.pbm");
  const std::string head = "P4\n576 3000\n";
  ASSERT_EQ(pbm.size(), head.size() + joined.size());
  EXPECT_EQ(joined, std::vector<uint8_t>(pbm.begin() + static_cast<std::ptrdiff_t>(head.size()), pbm.end()));
}

// Usage errors give one message and status 2; a picture that can't be read gives
// status 1 and leaves nothing, prepared or not.
TEST_F(CliRun, BadDeviceRequestsAndPicturesAreRefused) {
  write_file(dir + "in.bmp", picture_bmp(20, 10, [](uint32_t x, uint32_t y) { return photo_colour(x, y, 1); }));
  const struct {
    const char* arguments;
    const char* message;
  } usage[] = {
      {"--size 0x480 -o OUTo.h", "--size is WxH, Wx or xH, each side 1 to 1000000: 0x480"},
      {"--size 10 -o OUTo.h", "--size is WxH, Wx or xH, each side 1 to 1000000: 10"},
      {"--rotate 45 -o OUTo.h", "--rotate must be 90, 180 or 270: 45"},
      {"--layout pages -o OUTo.pos", "--layout applies to the c and bin formats only"},
      {"--layout pages -o OUTo.png", "--layout applies to the c and bin formats only"},
      {"--fit cover -o OUTo.h", "--fit and --background go with --size"},
      {"--on white -o OUTo.pbm", "--on applies to the xbm, c, bin, escpos and zpl formats only"},
      {"--band 8 -o OUTo.zpl", "--band applies to the escpos format only"},
      {"--band 2304 -o OUTo.pos", "--band must be a number from 1 to 2303: 2304"},  // more than GS v 0 takes
  };
  for (const auto& c : usage) {
    std::string arguments = c.arguments;
    arguments.replace(arguments.find("OUT"), 3, dir);
    const Outcome o = run(shell_word(dir + "in.bmp") + " " + arguments);
    EXPECT_EQ(o.status, 2) << c.arguments;
    EXPECT_EQ(o.errors.substr(0, o.errors.find('\n')), std::string("quillvex-cli: ") + c.message) << c.arguments;
    EXPECT_EQ(o.errors.find("quillvex-cli: ", 1), std::string::npos) << c.arguments;
  }
  // A BMP cut short in its pixels, and a file that is no picture.
  std::vector<uint8_t> cut = read_file(dir + "in.bmp");
  cut.resize(cut.size() - 100);
  write_file(dir + "cut.bmp", cut);
  write_file(dir + "text.bmp", std::vector<uint8_t>(50, 'x'));
  for (const char* input : {"cut.bmp", "text.bmp"}) {
#ifdef QVX_CLI_VIPS
    const char* const attempts[] = {"-o OUTo.pos", "--size 64x32 -o OUTo.h", "--rotate 90 -o OUTo.bin"};
#else
    const char* const attempts[] = {"-o OUTo.pos"};  // a build without libvips refuses to prepare
#endif
    for (const char* arguments : attempts) {
      std::string a = arguments;
      a.replace(a.find("OUT"), 3, dir);
      const Outcome o = run(shell_word(dir + input) + " " + a);
      EXPECT_EQ(o.status, 1) << input << " " << arguments;
      EXPECT_EQ(std::count(o.errors.begin(), o.errors.end(), '\n'), 1) << o.errors;
      EXPECT_EQ(files_left(), (std::vector<std::string>{"cut.bmp", "in.bmp", "text.bmp"})) << input << " " << arguments;
    }
  }
}

// Runs a shell command; its output goes to `log`. Returns its exit status.
int shell(const std::string& command, const std::string& log) {
  const int raw = std::system(("(" + command + ") >" + shell_word(log) + " 2>&1").c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128;
}

std::string text_file(const std::string& path) {
  const std::vector<uint8_t> bytes = read_file(path);
  return std::string(bytes.begin(), bytes.end());
}

// Headers whose names a keyword or a standard header takes, each included twice in
// each of two files that are linked together, after the standard headers that
// take those names, and built by the system's C and C++ compilers in every
// standard, warnings as errors; then once more as for AVR, with a stand-in
// <avr/pgmspace.h> whose PROGMEM puts the arrays in a section of their own.
TEST_F(CliRun, CHeadersBuildWithEveryCompilerStandard) {
  if (shell("command -v gcc && command -v g++ && command -v objdump", dir + "found.txt") != 0) {
    GTEST_SKIP() << "no gcc, g++ or objdump";
  }
  write_file(dir + "in.bmp", picture_bmp(9, 7, [](uint32_t x, uint32_t y) { return photo_colour(x, y, 5); }));
  const struct {
    const char* name;        // given to --name, or the output's file name when it ends in ".h"
    const char* identifier;  // the array's name, worked out by hand
    const char* macros;      // the start of its NAME_WIDTH and NAME_HEIGHT
  } cases[] = {
      {"uint8_t", "uint8_t_", "UINT8_T"},   {"size_t", "size_t_", "SIZE_T"},   {"INT8_MAX", "INT8_MAX_", "INT8_MAX"},
      {"errno", "errno_", "ERRNO"},         {"stdin", "stdin_", "STDIN"},      {"NULL", "NULL_", "NULL"},
      {"_Bool", "image_Bool", "IMAGE_BOOL"}, {"main", "main_", "MAIN"},       {"__x", "image_x", "IMAGE_X"},
      {"and", "and_", "AND"},               {"PROGMEM", "PROGMEM_", "PROGMEM"},
      {"size.h", "image_size", "IMAGE_SIZE"},  // SIZE_WIDTH is C23's
      {"128x64-logo.h", "image_128x64_logo", "IMAGE_128X64_LOGO"},
  };
  std::string includes, uses;
  for (size_t k = 0; k < sizeof cases / sizeof cases[0]; ++k) {
    const std::string name = cases[k].name;
    const bool from_file = name.size() > 2 && name.compare(name.size() - 2, 2, ".h") == 0;
    const std::string header = from_file ? name : "h" + std::to_string(k) + ".h";
    const std::string named = from_file ? "" : " --name " + shell_word(name);
    ASSERT_EQ(run("-q " + shell_word(dir + "in.bmp") + named + " -o " + shell_word(dir + header)).status, 0) << name;
    includes += "#include \"" + header + "\"\n#include \"" + header + "\"\n";
    const std::string m = cases[k].macros;
    uses += " + " + std::string(cases[k].identifier) + "[0] + (int)sizeof " + cases[k].identifier + " + " + m +
            "_WIDTH + " + m + "_HEIGHT";
  }
  const std::string prologue =
      "#include <assert.h>\n#include <errno.h>\n#include <limits.h>\n#include <stddef.h>\n#include <stdio.h>\n"
      "#include <stdlib.h>\n#include <string.h>\n" + includes +
      "#if defined(__AVR__) && !defined(STAND_IN)\n#error the AVR header was not the stand-in\n#endif\n";
  const std::string a = prologue + "int from_b(void);\nstatic int from_a(void) { return 0" + uses +
                  "; }\nint main(void) { return from_a() == from_b() && from_a() > 0 ? 0 : 1; }\n";
  const std::string b = prologue + "int from_b(void);\nint from_b(void) { return 0" + uses + "; }\n";
  write_file(dir + "a.c", std::vector<uint8_t>(a.begin(), a.end()));
  write_file(dir + "b.c", std::vector<uint8_t>(b.begin(), b.end()));
  mkdir((dir + "avr").c_str(), 0777);
  mkdir((dir + "avr/avr").c_str(), 0777);
  const std::string stand_in = "#define STAND_IN 1\n#define PROGMEM __attribute__((__section__(\".progmem.data\")))\n";
  write_file(dir + "avr/avr/pgmspace.h", std::vector<uint8_t>(stand_in.begin(), stand_in.end()));

  const char* const builds[] = {"gcc -std=c89",     "gcc -std=c99",     "gcc -std=c11",
                                "gcc -std=c2x",     "g++ -x c++ -std=c++98", "g++ -x c++ -std=c++11",
                                "g++ -x c++ -std=c++17"};
  const std::string flags = " -Wall -Wextra -pedantic -Werror -I" + shell_word(dir) + " ";
  for (const char* build : builds) {
    const std::string program = dir + "program";
    const std::string command = std::string(build) + flags + shell_word(dir + "a.c") + " " + shell_word(dir + "b.c") +
                                " -o " + shell_word(program) + " && " + shell_word(program);
    EXPECT_EQ(shell(command, dir + "build.txt"), 0) << build << "\n" << text_file(dir + "build.txt");
  }
  const std::string object = dir + "a.o";
  EXPECT_EQ(shell("gcc -std=c99 -D__AVR__ -I" + shell_word(dir + "avr") + flags + "-c " + shell_word(dir + "a.c") +
                      " -o " + shell_word(object) + " && objdump -h " + shell_word(object),
                  dir + "build.txt"),
            0)
      << text_file(dir + "build.txt");
  EXPECT_NE(text_file(dir + "build.txt").find(".progmem.data"), std::string::npos) << text_file(dir + "build.txt");
}

// Every type and macro the system's <stdint.h> declares (C23's widths included), as
// the compiler itself lists them, is escaped, and so is every name whose NAME_WIDTH
// would be one of them.
TEST_F(CliRun, NoNameOfTheSystemsStdintSurvives) {
  const std::string source = dir + "s.c", include = "#include <stdint.h>\n";
  write_file(source, std::vector<uint8_t>(include.begin(), include.end()));
  if (shell("gcc -std=c2x -E -dM " + shell_word(source) + " | awk '{print $2}' | sed 's/(.*//'", dir + "macros.txt") !=
          0 ||
      shell("gcc -std=c2x -E " + shell_word(source) + " | grep -o 'typedef [^;]*;' | grep -o '[A-Za-z0-9_]*;$' | "
            "tr -d ';'",
            dir + "types.txt") != 0) {
    GTEST_SKIP() << "no gcc";
  }
  std::vector<std::string> names;
  for (const char* list : {"macros.txt", "types.txt"}) {
    const std::string text = text_file(dir + list);
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
      end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      const std::string name = text.substr(at, end - at);
      if (!name.empty() && name[0] != '_') names.push_back(name);
    }
  }
  ASSERT_GT(names.size(), 100u) << "the lists look wrong";
  size_t widths = 0;
  for (const std::string& name : names) {
    EXPECT_NE(c_identifier(name), name);
    const size_t w = name.rfind("_WIDTH");
    if (w == std::string::npos || w + 6 != name.size()) continue;
    ++widths;
    std::string lower = name.substr(0, w);
    for (char& c : lower) c = static_cast<char>(std::tolower(c));
    std::string macro = device_decode::stem_of(c_identifier(lower));
    for (char& c : macro) c = static_cast<char>(std::toupper(c));
    EXPECT_NE(macro + "_WIDTH", name) << lower;
  }
  EXPECT_GT(widths, 30u) << "C23's widths are missing from the list";
}

// ZPL labels whose picture is more than one ^GFA field holds: fields of at most
// 99999 bytes, stacked with ^FO, give back the command's own PBM; a picture whose
// single row is more than a field holds is refused and leaves nothing.
TEST_F(CliRun, ZplFieldsStayWithinTheirLimit) {
  const struct {
    uint32_t width, height;
    std::vector<unsigned long> fields;  // each field's bytes, worked out by hand
  } cases[] = {
      {812, 1218, {99960, 24276}},  // 102 bytes a row: 980 rows, then 238
      {2168, 369, {99999}},         // 271 bytes a row: exactly one field
      {2168, 370, {99999, 271}},
  };
  for (const auto& c : cases) {
    const std::string name = dir + std::to_string(c.width) + "x" + std::to_string(c.height);
    write_file(name + ".bmp", picture_bmp(static_cast<int32_t>(c.width), static_cast<int32_t>(c.height),
                                          [](uint32_t x, uint32_t y) { return photo_colour(x, y, 9); }));
    ASSERT_EQ(run("-q " + shell_word(name + ".bmp") + " -o " + shell_word(name + ".zpl")).status, 0) << name;
    ASSERT_EQ(run("-q " + shell_word(name + ".bmp") + " -o " + shell_word(name + ".pbm")).status, 0) << name;
    const Bitmap reference = read_pbm(name + ".pbm");
    std::vector<unsigned long> fields;
    const std::vector<uint8_t> zpl = read_file(name + ".zpl");
    const std::vector<uint8_t> rows = device_decode::zpl_rows(std::string(zpl.begin(), zpl.end()), c.width, c.height,
                                                              &fields);
    EXPECT_EQ(fields, c.fields) << name;
    const std::vector<uint8_t> pbm = read_file(name + ".pbm");
    const std::string head = "P4\n" + std::to_string(c.width) + " " + std::to_string(c.height) + "\n";
    ASSERT_EQ(reference.width, c.width);
    EXPECT_TRUE(rows == std::vector<uint8_t>(pbm.begin() + static_cast<std::ptrdiff_t>(head.size()), pbm.end()))
        << name << ": the fields stacked are not the picture";
  }
  // 800000 pixels: a row of 100000 bytes.
  write_file(dir + "wide.bmp", picture_bmp(800000, 1, [](uint32_t x, uint32_t) { return x % 3 ? 0u : 0xFFFFFFu; }));
  const Outcome o = run("-q " + shell_word(dir + "wide.bmp") + " -o " + shell_word(dir + "wide.zpl"));
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.errors.find("too large for this format"), std::string::npos) << o.errors;
  EXPECT_EQ(std::count(o.errors.begin(), o.errors.end(), '\n'), 1) << o.errors;
  EXPECT_FALSE(exists(dir + "wide.zpl"));
}

#ifdef QVX_CLI_VIPS
// Rotation and flip move pixels exactly: a 5 x 3 picture against its PBM moved by hand.
TEST_F(CliRun, RotationAndFlipMovePixelsAsSaid) {
  write_file(dir + "in.bmp", picture_bmp(5, 3, [](uint32_t x, uint32_t y) { return (x * 7 + y * 3) % 4 ? 0 : 0xFFFFFF; }));
  ASSERT_EQ(run("-q " + shell_word(dir + "in.bmp") + " -o " + shell_word(dir + "plain.pbm")).status, 0);
  const Bitmap in = read_pbm(dir + "plain.pbm");
  ASSERT_EQ(in.width, 5u);
  const uint32_t w = 5, h = 3;
  // Where output pixel (x, y) comes from in the picture.
  const struct {
    const char* arguments;
    bool turned;  // a quarter turn: the output is h x w
    uint32_t (*from_x)(uint32_t x, uint32_t y);
    uint32_t (*from_y)(uint32_t x, uint32_t y);
  } cases[] = {
      {"--rotate 90", true, [](uint32_t, uint32_t y) { return y; }, [](uint32_t x, uint32_t) { return 2 - x; }},
      {"--rotate 180", false, [](uint32_t x, uint32_t) { return 4 - x; }, [](uint32_t, uint32_t y) { return 2 - y; }},
      {"--rotate 270", true, [](uint32_t, uint32_t y) { return 4 - y; }, [](uint32_t x, uint32_t) { return x; }},
      {"--flip h", false, [](uint32_t x, uint32_t) { return 4 - x; }, [](uint32_t, uint32_t y) { return y; }},
      {"--flip v", false, [](uint32_t x, uint32_t) { return x; }, [](uint32_t, uint32_t y) { return 2 - y; }},
      // rotated first, then mirrored: the top row of the picture becomes the left column, top down
      {"--rotate 90 --flip h", true, [](uint32_t, uint32_t y) { return y; }, [](uint32_t x, uint32_t) { return x; }},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(run("-q " + shell_word(dir + "in.bmp") + " " + c.arguments + " -o " + shell_word(dir + "out.pbm")).status, 0);
    const Bitmap out = read_pbm(dir + "out.pbm");
    ASSERT_EQ(out.width, c.turned ? h : w) << c.arguments;
    ASSERT_EQ(out.height, c.turned ? w : h) << c.arguments;
    for (uint32_t y = 0; y < out.height; ++y) {
      for (uint32_t x = 0; x < out.width; ++x) {
        EXPECT_EQ(out.at(x, y), in.at(c.from_x(x, y), c.from_y(x, y))) << c.arguments << " at " << x << "," << y;
      }
    }
  }
}

// 800 x 480 from a picture wider than the panel (BMP, read by the program's reader)
// and one taller (PNG, read by libvips): exactly 800 x 480, the margin where it
// belongs. Each picture is black with white bands on its long sides, narrower than
// what cover cuts off, so cover leaves only black.
TEST_F(CliRun, FitToAPanelPutsTheMarginWhereItBelongs) {
  write_file(dir + "wide.bmp", picture_bmp(1600, 400, [](uint32_t x, uint32_t) {
               return x < 400 || x >= 1200 ? 0xFFFFFFu : 0u;
             }));
  write_file(dir + "tall.bmp", picture_bmp(400, 1600, [](uint32_t, uint32_t y) {
               return y < 600 || y >= 1000 ? 0xFFFFFFu : 0u;
             }));
  ASSERT_EQ(run("-q " + shell_word(dir + "tall.bmp") + " -o " + shell_word(dir + "tall.png")).status, 0);
  // What a pixel must be: 1 black, 0 white, -1 not checked (the blur of a resampled edge).
  using Rule = int (*)(uint32_t x, uint32_t y);
  const struct {
    const char* input;
    const char* arguments;
    Rule rule;
  } cases[] = {
      // 1600 x 400 at a half: 800 x 200 at row 140, its white bands at columns 0..199 and 600..799.
      {"wide.bmp", "--fit contain", [](uint32_t x, uint32_t y) {
         if (y < 140 || y >= 340) return 0;
         return x > 205 && x < 595 ? 1 : x < 195 || x > 605 ? 0 : -1;
       }},
      {"wide.bmp", "--background black", [](uint32_t x, uint32_t y) {
         if (y < 140 || y >= 340) return 1;
         return x > 205 && x < 595 ? 1 : x < 195 || x > 605 ? 0 : -1;
       }},
      {"wide.bmp", "--fit cover", [](uint32_t, uint32_t) { return 1; }},
      // 1600 x 400 to 800 x 480: the white bands stay at columns 0..199 and 600..799.
      {"wide.bmp", "--fit stretch", [](uint32_t x, uint32_t) { return x > 205 && x < 595 ? 1 : x < 195 || x > 605 ? 0 : -1; }},
      // 400 x 1600 at 0.3: 120 x 480 at column 340, its white bands at rows 0..179 and 300..479.
      {"tall.png", "--fit contain", [](uint32_t x, uint32_t y) {
         if (x < 340 || x >= 460) return 0;
         return y > 185 && y < 295 ? 1 : y < 175 || y > 305 ? 0 : -1;
       }},
      {"tall.png", "--fit cover", [](uint32_t, uint32_t) { return 1; }},
      {"tall.png", "--fit stretch", [](uint32_t, uint32_t y) { return y > 185 && y < 295 ? 1 : y < 175 || y > 305 ? 0 : -1; }},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(run("-q " + shell_word(dir + c.input) + " --size 800x480 " + c.arguments + " -o " +
                  shell_word(dir + "panel.pbm")).status, 0) << c.input << " " << c.arguments;
    const Bitmap out = read_pbm(dir + "panel.pbm");
    ASSERT_EQ(out.width, 800u) << c.input << " " << c.arguments;
    ASSERT_EQ(out.height, 480u) << c.input << " " << c.arguments;
    size_t wrong = 0;
    for (uint32_t y = 0; y < 480; ++y) {
      for (uint32_t x = 0; x < 800; ++x) {
        const int expected = c.rule(x, y);
        wrong += expected >= 0 && out.at(x, y) != expected;
      }
    }
    EXPECT_EQ(wrong, 0u) << c.input << " " << c.arguments;
  }
}
#endif

}  // namespace

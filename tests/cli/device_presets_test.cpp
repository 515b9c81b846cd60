// quillvex-cli's c and bin of grey levels and palettes, its presets, and the way back:
// each output, decoded by the test's own decoder and read back by the command, holds
// the indexes the same conversion writes as PGM or PPM.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/bmp_builder.h"
#include "common/cli_runner.h"
#include "common/device_decode.h"
#include "halftone/colour_palette.h"

namespace {

// Colour waves over a vertical ramp: every level and colour is met, and error diffusion
// leaves no long runs, so a pixel or bit out of place shows.
std::vector<uint8_t> photo_bmp(int32_t w, int32_t h) {
  BmpFile f;
  f.width = w;
  f.height = h;
  std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(h), std::vector<uint32_t>(static_cast<size_t>(w)));
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t r = static_cast<uint32_t>(127.5 + 127.5 * std::sin(x / 23.0 + y / 57.0));
      const uint32_t g = static_cast<uint32_t>(255 * y / (h - 1));
      const uint32_t b = static_cast<uint32_t>(127.5 + 127.5 * std::cos((x + y) / 31.0));
      rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = r << 16 | g << 8 | b;
    }
  }
  f.pixels = pack_rows(24, w, rows);
  return build_bmp(f);
}

// The pixels of a P5 or P6 file: a byte each (P5), or each pixel's index in `palette` (P6).
std::vector<int> pnm_indexes(const std::vector<uint8_t>& file, const char* palette) {
  const std::string text(file.begin(), file.end());
  int w = 0, h = 0, maxval = 0, at = 0;
  if (std::sscanf(text.c_str(), palette ? "P6 %d %d %d%n" : "P5 %d %d %d%n", &w, &h, &maxval, &at) != 3) return {};
  const uint8_t* p = file.data() + at + 1;
  std::vector<int> out(static_cast<size_t>(w) * h, -1);
  Palette colours;
  std::string error;
  if (palette && !parse_palette(palette, &colours, &error)) return {};
  for (size_t i = 0; i < out.size(); ++i) {
    if (!palette) {
      out[i] = p[i];
      continue;
    }
    for (int k = 0; k < colours.count; ++k) {
      if (std::equal(colours.rgb[k], colours.rgb[k] + 3, p + 3 * i)) out[i] = k;
    }
  }
  return out;
}

class DevicePresets : public CliRun {};

struct RoundTrip {
  const char* write;   // the options the output is written with (its format from its extension)
  const char* ext;     // h, bin or xbm
  const char* read;    // the options a bin is read back with, besides --size
  const char* direct;  // the same conversion's levels or palette, as PGM or PPM
  const char* palette;  // the palette's colours for PPM; null: grey levels
  // How the bytes are laid out, from the definitions of the panels and libraries.
  DeviceLayout layout;
  DeviceOn on;
  std::vector<uint8_t> codes;
  int count;
  DeviceOn plane_on[2];
};

TEST_F(DevicePresets, EveryFormatAndPresetReadsBackToTheSameIndexes) {
  constexpr DeviceOn W = DeviceOn::kWhite, B = DeviceOn::kBlack;
  const RoundTrip cases[] = {
      {"--preset epaper-4gray", "h", "", "--levels 4", nullptr, DeviceLayout::kTwoBppMsb, W, {}, 4, {W, W}},
      {"--preset epaper-4gray", "bin", "--preset epaper-4gray", "--levels 4", nullptr, DeviceLayout::kTwoBppMsb, W,
       {}, 4, {W, W}},
      {"--preset epaper-4gray-planes", "h", "", "--levels 4", nullptr, DeviceLayout::kPlanes, W, {}, 4, {W, W}},
      {"--preset epaper-bwr", "bin", "--preset epaper-bwr", "--palette bwr", "bwr", DeviceLayout::kPlanes, W, {}, 3,
       {W, W}},
      {"--preset epaper-bwy --plane-on white,black", "h", "", "--palette bwy", "bwy", DeviceLayout::kPlanes, W, {}, 3,
       {W, B}},
      {"--preset acep7", "h", "", "--palette acep7-measured", "acep7-measured", DeviceLayout::kFourBppMsb, W,
       {0, 1, 2, 3, 4, 5, 6}, 7, {W, W}},
      {"--preset acep7 --palette acep7", "bin", "--preset acep7 --palette acep7", "--palette acep7", "acep7",
       DeviceLayout::kFourBppMsb, W, {0, 1, 2, 3, 4, 5, 6}, 7, {W, W}},
      {"--preset spectra6", "bin", "--preset spectra6", "--palette spectra6-measured", "spectra6-measured",
       DeviceLayout::kFourBppMsb, W, {0, 1, 2, 3, 5, 6}, 6, {W, W}},
      {"--preset inkplate-3bit", "h", "", "--levels 8", nullptr, DeviceLayout::kFourBppMsb, W, {}, 8, {W, W}},
      {"--levels 16 --layout 4bpp-msb --on black", "bin", "--levels 16 --layout 4bpp-msb --on black", "--levels 16",
       nullptr, DeviceLayout::kFourBppMsb, B, {}, 16, {W, W}},
      {"--levels 3 --layout 2bpp-msb --codes 3,0,1", "h", "", "--levels 3", nullptr, DeviceLayout::kTwoBppMsb, W,
       {3, 0, 1}, 3, {W, W}},
      {"--palette bwr --layout 2bpp-msb", "bin", "--palette bwr --layout 2bpp-msb", "--palette bwr", "bwr",
       DeviceLayout::kTwoBppMsb, W, {}, 3, {W, W}},
      {"--preset ssd1306", "h", "", "", nullptr, DeviceLayout::kPages, W, {}, 2, {W, W}},
      {"--preset adafruit-gfx", "bin", "--preset adafruit-gfx", "", nullptr, DeviceLayout::kRowsMsb, B, {}, 2, {W, W}},
      {"--layout columns-msb", "bin", "--layout columns-msb", "", nullptr, DeviceLayout::kColumnsMsb, W, {}, 2, {W, W}},
      {"--preset u8g2-xbm", "xbm", "", "", nullptr, DeviceLayout::kRowsLsb, B, {}, 2, {W, W}},
  };
  for (const auto& size : {std::pair<int32_t, int32_t>{296, 128}, {800, 480}}) {
    const uint32_t w = static_cast<uint32_t>(size.first), h = static_cast<uint32_t>(size.second);
    const std::string wxh = std::to_string(w) + "x" + std::to_string(h);
    const std::string photo = shell_word(dir + "photo.bmp");
    write_file(dir + "photo.bmp", photo_bmp(size.first, size.second));
    for (const RoundTrip& c : cases) {
      const std::string label = std::string(c.write) + " ." + c.ext + " " + wxh;
      const std::string out = dir + "out." + c.ext, direct = dir + (c.palette ? "direct.ppm" : "direct.pgm");
      const std::string back = dir + (c.palette ? "back.ppm" : "back.pgm");
      ASSERT_EQ(run(std::string("-q -m floyd-steinberg ") + c.write + " " + photo + " -o " + shell_word(out)).status, 0)
          << label;
      const std::string converted = std::string("-q -m floyd-steinberg ") + c.direct + " " + photo;
      ASSERT_EQ(run(converted + " -o " + shell_word(direct)).status, 0) << label;
      const std::vector<int> expected = pnm_indexes(read_file(direct), c.palette);
      ASSERT_EQ(expected.size(), size_t{w} * h) << label;

      // The bytes, by the test's decoder.
      DeviceSettings s;
      const std::string ext = c.ext;
      s.format = ext == "h" ? DeviceFormat::kC : ext == "xbm" ? DeviceFormat::kXbm : DeviceFormat::kBin;
      s.layout = c.layout;
      s.on = c.on;
      s.codes = c.codes;
      s.meaning.count = c.count;
      s.meaning.palette = c.palette ? c.palette : "";
      s.plane_on[0] = c.plane_on[0];
      s.plane_on[1] = c.plane_on[1];
      s.name = "out";
      const std::vector<uint8_t> bytes = read_file(out);
      std::vector<int> decoded;
      if (index_layout(c.layout)) {
        const std::string text(bytes.begin(), bytes.end());
        decoded = device_decode::decode_indexes(
            s, s.format == DeviceFormat::kC ? device_decode::c_items(text, w, h, "out") : bytes, w, h);
      } else {
        for (uint8_t bit : device_decode::decode_device_output(s, bytes, w, h)) decoded.push_back(bit ^ (c.on == B));
      }
      EXPECT_EQ(decoded, expected) << label;
      const std::string preset = std::string(c.write).substr(0, 9) == "--preset " ? std::string(c.write).substr(9) : "";
      if (s.format == DeviceFormat::kC && !preset.empty()) {
        EXPECT_NE(std::string(bytes.begin(), bytes.end()).find(", preset " + preset.substr(0, preset.find(' ')) + ","),
                  std::string::npos)
            << label;
      }

      // The way back: a C array's comment says how; a bin is told.
      const std::string read_options =
          std::string("-q ") + (s.format == DeviceFormat::kBin ? std::string(c.read) + " --size " + wxh + " " : "");
      const Outcome o = run(read_options + shell_word(out) + " -o " + shell_word(back));
      ASSERT_EQ(o.status, 0) << label << "\n" << o.errors;
      EXPECT_EQ(pnm_indexes(read_file(back), c.palette), expected) << label;
      // Written again as it was read, the same bytes.
      const std::string again = dir + "again." + c.ext;
      const std::string name = s.format == DeviceFormat::kBin ? "" : "--name out ";
      ASSERT_EQ(run(read_options + name + shell_word(out) + " -o " + shell_word(again)).status, 0) << label;
      EXPECT_TRUE(read_file(again) == bytes) << label;
    }
  }
}

TEST_F(DevicePresets, BadDeviceInputsAndRefusedOverridesWriteNothing) {
  write_file(dir + "photo.bmp", photo_bmp(296, 128));
  const std::string photo = shell_word(dir + "photo.bmp");
  ASSERT_EQ(run("-q --preset acep7 " + photo + " -o " + shell_word(dir + "acep7.h")).status, 0);
  ASSERT_EQ(run("-q --preset epaper-bwr -f bin " + photo + " -o " + shell_word(dir + "bwr.bin")).status, 0);
  std::vector<uint8_t> bin = read_file(dir + "bwr.bin");
  ASSERT_EQ(bin.size(), 2u * 37 * 128);
  write_file(dir + "short.bin", std::vector<uint8_t>(bin.begin(), bin.begin() + 5000));
  bin.push_back(0);
  write_file(dir + "long.bin", bin);
  const std::string usage = "\nTry 'quillvex-cli --help' for more information.\n";
  const struct {
    std::string options, input;
    int status;
    std::string error;  // a usage error's line, or the input's reason
  } cases[] = {
      {"--preset acep7 --levels 4", "photo.bmp", 2,
       "--preset acep7 with --levels 4: the code map needs a different code, small enough for the layout, for each "
       "index"},
      {"--preset epaper-4gray-planes --levels 3", "photo.bmp", 2,
       "--preset epaper-4gray-planes with --levels 3: planes take 4 grey levels or a palette of three: black, white "
       "and one colour"},
      {"--levels 4 -f c", "photo.bmp", 2,
       "--levels 4 needs --layout 2bpp-msb, 4bpp-msb or planes (rows-msb holds two levels or colours)"},
      {"--palette acep7 -f bin --layout 2bpp-msb", "photo.bmp", 2, "2bpp-msb holds at most four levels or colours"},
      {"--preset acep7 -m hard", "photo.bmp", 2,
       "--palette of --preset acep7 needs letter or an error-diffusion method (--list-methods)"},
      {"--size 296x100", "acep7.h", 1, "the size given is not the one the file states"},
      {"--preset epaper-bwr --size 296x128", "short.bin", 1,
       "the data is cut short: 5000 bytes where the size and layout take 9472"},
      {"--preset epaper-bwr --size 296x128", "long.bin", 1,
       "the data does not match the size: 9473 bytes where the size and layout take 9472"},
      {"--preset epaper-bwr", "bwr.bin", 1, "raw bytes need --size WxH: they don't say their size"},
      {"--preset epaper-bwr --size 296x", "bwr.bin", 1, "--size gives a device file's own size: both sides, WxH"},
      {"-m floyd-steinberg", "acep7.h", 1, "a device file is read back as it is: -m, -t, -a and -i don't apply to it"},
      {"-f pgm", "acep7.h", 1, "its 7 colours need png, bmp or ppm (pgm holds grey levels)"},
  };
  for (const auto& c : cases) {
    write_file(dir + "kept", {'o', 'l', 'd'});
    const Outcome o = run("-q " + c.options + " " + shell_word(dir + c.input) + " -o " + shell_word(dir + "kept"));
    EXPECT_EQ(o.status, c.status) << c.options;
    EXPECT_EQ(o.errors, "quillvex-cli: " + (c.status == 2 ? c.error + usage : dir + c.input + ": " + c.error + "\n"))
        << c.options;
    EXPECT_EQ(read_file(dir + "kept"), (std::vector<uint8_t>{'o', 'l', 'd'})) << c.options;
  }
}

}  // namespace

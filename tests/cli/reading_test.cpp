// quillvex-cli reading pictures: BMP files prepared in strips, lying headers refused
// before anything is allocated, EXIF orientation, CMYK JPEG and damaged BMP headers.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/batch_pictures.h"
#include "common/bmp_builder.h"
#include "common/claimed_sizes.h"
#include "common/cli_runner.h"

namespace {

// FNV-1a over a file's bytes, as 16 hex digits.
std::string checksum(const std::vector<uint8_t>& bytes) {
  uint64_t h = 14695981039346656037ull;
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

// A photo-like colour with grain, so that any resampling difference shows after
// error diffusion.
uint32_t grainy(uint32_t x, uint32_t y) {
  uint32_t g = (x * 2654435761u) ^ (y * 40503u);
  g = (g ^ (g >> 13)) * 1274126177u;
  const uint32_t r = (x / 3 + y / 5 + (g & 31)) % 256;
  const uint32_t gr = (255 - x / 4 + y / 7 + ((g >> 8) & 31)) % 256;
  const uint32_t b = (x / 2 + y / 2 + ((g >> 16) & 63)) % 256;
  return r << 16 | gr << 8 | b;
}

// A BMP of width x height at 8, 24 or 32 bits (8 bits: a grey table), bottom-up or
// top-down, taller than one strip of rows when large.
std::vector<uint8_t> grainy_bmp(int32_t width, int32_t height, uint16_t bit_count, bool top_down) {
  BmpFile f;
  f.width = width;
  f.height = top_down ? -height : height;
  f.bit_count = bit_count;
  if (bit_count == 8) {
    for (uint32_t i = 0; i < 256; ++i) f.colours.push_back(i * 0x010101u);
  }
  std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height), std::vector<uint32_t>(static_cast<size_t>(width)));
  for (int32_t y = 0; y < height; ++y) {
    auto& row = rows[static_cast<size_t>(top_down ? y : height - 1 - y)];
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t c = grainy(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
      row[static_cast<size_t>(x)] = bit_count == 8 ? (c >> 8) & 255 : c;
    }
  }
  f.pixels = pack_rows(bit_count, width, rows);
  return build_bmp(f);
}

// A prepared BMP comes out byte for byte as it did when the program's reader decoded
// the whole picture before libvips resampled it: the checksums were taken then.
TEST_F(CliRun, PreparedBmpOutputsKeepTheirBytes) {
  write_file(dir + "up24.bmp", grainy_bmp(700, 1300, 24, false));   // three strips
  write_file(dir + "down24.bmp", grainy_bmp(700, 1300, 24, true));
  write_file(dir + "up8.bmp", grainy_bmp(1500, 1000, 8, false));
  write_file(dir + "up32.bmp", grainy_bmp(333, 1111, 32, false));
  const batch_pictures::Picture& rle = batch_pictures::kPictures[14];
  write_file(dir + "rle8.bmp", build_bmp(batch_pictures::make_file(rle, batch_pictures::random_rows(rle, 3), true)));
  const batch_pictures::Picture& four = batch_pictures::kPictures[2];
  write_file(dir + "four.bmp", build_bmp(batch_pictures::make_file(four, batch_pictures::random_rows(four, 4), false)));
  const struct {
    const char* input;
    const char* arguments;
    const char* sum;
  } cases[] = {
      {"up24.bmp", "--size 800x480", "8fb727b8705ec489"},
      {"up24.bmp", "--size 320x --fit cover", "54ffb591a847a88c"},
      {"up24.bmp", "--size 200x500 --fit cover", "49092395b440c439"},
      {"up24.bmp", "--size 250x250 --fit stretch", "f82e64d2b96b8648"},
      {"up24.bmp", "--size 1000x1000 --background black", "c89411a10c1062db"},
      {"up24.bmp", "--flip h --size x333", "3b60a0232795e3be"},
      {"up24.bmp", "--rotate 90 --size 128x64", "4a6d90fcc86411a2"},
      {"up24.bmp", "--rotate 270", "69fe35b1c4fb17c2"},
      {"up24.bmp", "--flip v --size 100x", "2a9f5a01ed465d46"},
      {"down24.bmp", "--size 800x480", "8fb727b8705ec489"},
      {"down24.bmp", "--rotate 180 --size 99x77 --fit stretch", "58f73165b3d58a1a"},
      {"up8.bmp", "--size 640x480 --fit cover", "72387115d8d69cda"},
      {"up32.bmp", "--size 77x", "a79be2acd155eee6"},
      {"rle8.bmp", "--size 100x60", "1ec9ecd4419ef7a0"},
      {"rle8.bmp", "--rotate 90", "bdaf86101db7521b"},
      {"four.bmp", "--size 50x50 --fit cover", "1133625a3321c7a2"},
  };
  for (const auto& c : cases) {
    const std::string out = dir + "out.pbm";
    ASSERT_EQ(run("-q -m floyd-steinberg " + shell_word(dir + c.input) + " " + c.arguments + " -o " + shell_word(out)).status,
              0)
        << c.input << " " << c.arguments;
    EXPECT_EQ(checksum(read_file(out)), c.sum) << c.input << " " << c.arguments;
  }
}

}  // namespace

// quillvex-cli reading pictures: BMP files prepared in strips, lying headers refused
// before anything is allocated, EXIF orientation, CMYK JPEG and damaged BMP headers.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#ifdef QVX_CLI_VIPS
#include <vips/vips.h>
#endif

#include "common/batch_pictures.h"
#include "common/bmp_builder.h"
#include "common/claimed_sizes.h"
#include "common/cli_runner.h"
#include "common/pbm_bitmap.h"

namespace {

// Runs a shell command in a process of its own; gives its exit status, the peak
// resident memory of its largest process in KiB, and the seconds it took.
struct Measured {
  int status = -1;
  long peak_kib = 0;
  double seconds = 0;
};

Measured measured_run(const std::string& command) {
  int channel[2];
  if (pipe(channel) != 0) return {};
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    // Only this process's children count here, not those the test ran before.
    const int raw = std::system(command.c_str());
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const long peak = usage.ru_maxrss;
    (void)!write(channel[1], &peak, sizeof peak);
    _exit(WIFEXITED(raw) ? WEXITSTATUS(raw) : 99);
  }
  close(channel[1]);
  Measured m;
  if (read(channel[0], &m.peak_kib, sizeof m.peak_kib) != sizeof m.peak_kib) m.peak_kib = -1;
  close(channel[0]);
  int raw = 0;
  waitpid(child, &raw, 0);
  m.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return m;
}

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

// A fit reads a BMP in strips: a picture of 36 MB takes no more memory than a tiny one.
TEST_F(CliRun, PreparingABmpHoldsAFewRowsNotThePicture) {
  write_file(dir + "large.bmp", grainy_bmp(4000, 3000, 24, false));
  write_file(dir + "tiny.bmp", grainy_bmp(40, 30, 24, false));
  const std::string cli = QVX_CLI;
  long peak[2] = {};
  const char* names[2] = {"tiny.bmp", "large.bmp"};
  for (int i = 0; i < 2; ++i) {
    // The sanitizer's quarantine would keep every freed region buffer resident.
    const Measured m = measured_run("ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=0 " + cli + " -q " +
                                    shell_word(dir + names[i]) + " --size 800x480 -o " + shell_word(dir + "out.pbm"));
    ASSERT_EQ(m.status, 0) << names[i];
    peak[i] = m.peak_kib;
  }
  // The whole picture at 3 bytes a pixel would be 35,156 KiB more.
  EXPECT_LT(peak[1] - peak[0], 16 * 1024) << "tiny " << peak[0] << " KiB, large " << peak[1] << " KiB";
}

// A 1,054-byte BMP claiming 30000 x 30000 pixels fails as fast with a preparation as
// without one: its size is checked against the file before anything is allocated.
TEST_F(CliRun, ALyingBmpHeaderFailsBeforeAnythingIsAllocated) {
  BmpFile f;
  f.width = 30000;
  f.height = 30000;
  f.bit_count = 24;
  f.image_size = 30000u * 90000u;
  f.pixels.assign(1000, 0x80);
  write_file(dir + "lying.bmp", build_bmp(f));
  const std::string cli = QVX_CLI;
  for (const char* preparation : {"", "--size 100x100", "--rotate 90", "-a --size 64x64 --fit cover"}) {
    const Measured m = measured_run(cli + " -q " + shell_word(dir + "lying.bmp") + " " + preparation + " -o " +
                                    shell_word(dir + "out.pbm") + " 2>" + shell_word(dir + "errors.txt"));
    const std::vector<uint8_t> e = read_file(dir + "errors.txt");
    EXPECT_EQ(m.status, 1) << preparation;
    EXPECT_EQ(std::string(e.begin(), e.end()), "quillvex-cli: " + dir + "lying.bmp: Read error.\n") << preparation;
    EXPECT_LT(m.peak_kib, 512 * 1024) << preparation;  // the picture is 2.5 GiB at 3 bytes a pixel
    EXPECT_LT(m.seconds, 10) << preparation;
    EXPECT_FALSE(exists(dir + "out.pbm")) << preparation;
  }
}

// Headers the Windows program shows as black pictures describe nothing the command
// can decode: refused with one message. Planes are read by nothing, so 9 planes pass.
TEST_F(CliRun, BmpHeadersWithoutDecodablePixelsAreRefused) {
  const auto grey_bmp = [](int32_t width, int32_t height, uint16_t bits, uint32_t compression) {
    BmpFile f;
    f.width = width;
    f.height = height;
    f.bit_count = bits;
    f.compression = compression;
    if (bits > 0 && bits <= 8) {
      for (uint32_t i = 0; i < (1u << bits); ++i) f.colours.push_back(0x808080);
    }
    f.pixels.assign(static_cast<size_t>(4 * 3 * 8 * 8), 0x80);  // more than any of these rows need
    f.image_size = static_cast<uint32_t>(f.pixels.size());
    return build_bmp(f);
  };
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } refused[] = {
      {"no bits", grey_bmp(8, 8, 0, 0)},
      {"7 bits", grey_bmp(8, 8, 7, 0)},
      {"compression 99", grey_bmp(8, 8, 24, 99)},
      {"JPEG inside", grey_bmp(8, 8, 0, 4)},
      {"PNG inside", grey_bmp(8, 8, 0, 5)},
      {"width 0", grey_bmp(0, 8, 24, 0)},
      {"height 0", grey_bmp(8, 0, 24, 0)},
  };
  for (const auto& c : refused) {
    write_file(dir + "in.bmp", c.bytes);
    const Outcome o = run("-q " + shell_word(dir + "in.bmp") + " -o " + shell_word(dir + "out.pbm"));
    EXPECT_EQ(o.status, 1) << c.name;
    EXPECT_EQ(o.errors, "quillvex-cli: " + dir + "in.bmp: This file format is not supported.\n") << c.name;
    EXPECT_FALSE(exists(dir + "out.pbm")) << c.name;
  }
  std::vector<uint8_t> planes = grey_bmp(8, 8, 24, 0);
  planes[26] = 9;  // the planes field of the info header
  write_file(dir + "planes.bmp", planes);
  ASSERT_EQ(run("-q -t 127 " + shell_word(dir + "planes.bmp") + " -o " + shell_word(dir + "out.pbm")).status, 0);
  // Grey 128 has luminance 128, above the density: white, not black.
  EXPECT_EQ(read_pbm(dir + "out.pbm").black, std::vector<uint8_t>(64, 0));
}

#ifdef QVX_CLI_VIPS
// Saves an 8-bit image as a JPEG of the best quality, with an EXIF orientation when not 0.
bool save_jpeg(VipsImage* image, const std::string& path, int orientation) {
  VipsImage* copy = nullptr;
  if (vips_copy(image, &copy, nullptr) != 0) return false;
  if (orientation != 0) vips_image_set_int(copy, VIPS_META_ORIENTATION, orientation);
  const int saved = vips_jpegsave(copy, path.c_str(), "Q", 100, nullptr);
  g_object_unref(copy);
  return saved == 0;
}

// Draws a grey picture of `columns` x `rows` cells of 8 x 8 pixels (whole JPEG blocks,
// so every cell stays flat), black in cell (0, 0) and white elsewhere.
VipsImage* cells_picture(int columns, int rows) {
  std::vector<uint8_t> pixels(static_cast<size_t>(columns * 8 * rows * 8), 255);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) pixels[static_cast<size_t>(y * columns * 8 + x)] = 0;
  VipsImage* memory = vips_image_new_from_memory_copy(pixels.data(), pixels.size(), columns * 8, rows * 8, 1, VIPS_FORMAT_UCHAR);
  return memory;
}

// A photo stored sideways shows upright, as a browser shows it: a 24 x 16 picture of
// 3 x 2 cells, black in its stored top-left cell, under each EXIF orientation.
TEST_F(CliRun, ExifOrientationTurnsThePictureUpright) {
  ASSERT_EQ(VIPS_INIT("qvx_cli_tests"), 0);
  VipsImage* picture = cells_picture(3, 2);
  ASSERT_NE(picture, nullptr);
  for (int orientation : {0, 1, 2, 3, 6, 8}) {
    ASSERT_TRUE(save_jpeg(picture, dir + "o" + std::to_string(orientation) + ".jpg", orientation));
  }
  g_object_unref(picture);
  const struct {
    int orientation;
    const char* arguments;
    uint32_t columns, rows;    // of cells, in the output
    uint32_t black_x, black_y;  // the black cell
  } cases[] = {
      {0, "", 3, 2, 0, 0},
      {1, "", 3, 2, 0, 0},
      {2, "", 3, 2, 2, 0},                    // mirrored left to right
      {3, "", 3, 2, 2, 1},                    // upside down
      {6, "", 2, 3, 1, 0},                    // stored turned left: turned right to show
      {8, "", 2, 3, 0, 2},                    // stored turned right: turned left to show
      {6, "--no-autorotate", 3, 2, 0, 0},
      {8, "--no-autorotate --size 48x", 3, 2, 0, 0},
      {6, "--rotate 90", 3, 2, 2, 1},         // upright first, then turned
      {6, "--size 32x", 2, 3, 1, 0},          // upright first, then fitted: cells of 16 x 16
      {3, "--flip h", 3, 2, 0, 1},
  };
  for (const auto& c : cases) {
    const std::string what = "orientation " + std::to_string(c.orientation) + " " + c.arguments;
    ASSERT_EQ(run("-q " + shell_word(dir + "o" + std::to_string(c.orientation) + ".jpg") + " " + c.arguments + " -o " +
                  shell_word(dir + "out.pbm")).status,
              0)
        << what;
    const Bitmap out = read_pbm(dir + "out.pbm");
    const uint32_t cell = out.width / c.columns;
    ASSERT_EQ(out.width, c.columns * cell) << what;
    ASSERT_EQ(out.height, c.rows * cell) << what;
    for (uint32_t y = 0; y < c.rows; ++y) {
      for (uint32_t x = 0; x < c.columns; ++x) {
        EXPECT_EQ(out.at(x * cell + cell / 2, y * cell + cell / 2), x == c.black_x && y == c.black_y)
            << what << ": cell " << x << "," << y;
      }
    }
  }
}

// Samples of an 8-bit JPEG as libvips decodes them, the pixel at (x, y), band by band.
std::vector<int> samples_at(const std::string& path, int x, int y) {
  VipsImage* image = vips_image_new_from_file(path.c_str(), nullptr);
  if (image == nullptr) return {};
  double* values = nullptr;
  int n = 0;
  std::vector<int> out;
  if (vips_getpoint(image, &values, &n, x, y, nullptr) == 0) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<int>(values[i]));
    g_free(values);
  }
  g_object_unref(image);
  return out;
}

// A CMYK JPEG comes out as the browser decodes it: R = C * K / 255 (G from M, B from Y,
// truncated) on the samples as the file stores them, taken for Adobe's inverted CMYK,
// whether or not the file carries Adobe's marker. Each cell's luminance is pinned by
// the densities either side of it.
TEST_F(CliRun, CmykJpegConvertsAsTheBrowserDecodesIt) {
  ASSERT_EQ(VIPS_INIT("qvx_cli_tests"), 0);
  // Four flat cells of 8 x 8 pixels, each its own C, M, Y, K as libvips takes them;
  // its writer stores 255 minus each (read back with libjpeg: 55 215 165 225 for the
  // first cell) behind Adobe's marker, and its reader inverts them back.
  const uint8_t cells[4][4] = {{200, 40, 90, 30}, {30, 180, 220, 60}, {120, 120, 10, 0}, {250, 5, 60, 90}};
  // By hand from the stored samples: cell 0 is R = 55 * 225 / 255 = 48, G = 215 * 225 /
  // 255 = 189, B = 165 * 225 / 255 = 145, luminance (299 * 48 + 587 * 189 + 114 * 145)
  // / 1000 = 141; the others (172, 57, 26), (135, 135, 245), (3, 161, 126).
  const int expected[4] = {141, 87, 147, 109};
  std::vector<uint8_t> pixels(32 * 8 * 4);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 32; ++x) std::memcpy(&pixels[static_cast<size_t>((y * 32 + x) * 4)], cells[x / 8], 4);
  VipsImage* cmyk = vips_image_new_from_memory_copy(pixels.data(), pixels.size(), 32, 8, 4, VIPS_FORMAT_UCHAR);
  ASSERT_NE(cmyk, nullptr);
  cmyk->Type = VIPS_INTERPRETATION_CMYK;
  ASSERT_EQ(vips_jpegsave(cmyk, (dir + "adobe.jpg").c_str(), "Q", 100, nullptr), 0);
  g_object_unref(cmyk);
  // The same samples without Adobe's marker (APP14, "Adobe").
  std::vector<uint8_t> jpeg = read_file(dir + "adobe.jpg");
  size_t at = 2;
  bool cut = false;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA) {
    const size_t length = static_cast<size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3];
    if (jpeg[at + 1] == 0xEE && at + 9 <= jpeg.size() && std::memcmp(&jpeg[at + 4], "Adobe", 5) == 0) {
      jpeg.erase(jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
      cut = true;
      break;
    }
    at += 2 + length;
  }
  ASSERT_TRUE(cut) << "libvips wrote no Adobe marker";
  write_file(dir + "plain.jpg", jpeg);
  for (const char* name : {"adobe.jpg", "plain.jpg"}) {
    for (int i = 0; i < 4; ++i) {
      // The cells are flat and exact at this quality: the file holds the samples above.
      ASSERT_EQ(samples_at(dir + name, i * 8 + 4, 4), std::vector<int>(cells[i], cells[i] + 4)) << name << " cell " << i;
    }
    for (int i = 0; i < 4; ++i) {
      for (int density : {expected[i] - 1, expected[i]}) {
        ASSERT_EQ(run("-q -t " + std::to_string(density) + " " + shell_word(dir + name) + " -o " + shell_word(dir + "out.pbm")).status, 0);
        const Bitmap out = read_pbm(dir + "out.pbm");
        ASSERT_EQ(out.width, 32u);
        // Letter: white above the density.
        EXPECT_EQ(out.at(static_cast<uint32_t>(i * 8 + 4), 4), density >= expected[i]) << name << " cell " << i << " density " << density;
      }
    }
  }
}
#endif

}  // namespace

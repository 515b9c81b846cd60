// Conversion speed of a 4000 x 3000 picture at 8, 16 (5-6-5 bit-fields), 24 and 32
// bits in every mode, in pixels per second: the median and the best of timed whole
// conversions on one core; then every halftoning method on the luminance of the 24-bit
// picture (the luminance decoded once beforehand, the 1-bit rows copied into a result
// block). Plain C++ with no benchmark library, so that the same program builds
// natively and in both Windows builds (run those under Wine).
// Then grey levels (4 and 16, Floyd-Steinberg and the nearest level) from the same
// luminance, and colour palettes (Floyd-Steinberg, nearest) from its colours; TEXT picks
// the cases whose names hold it ("acep7 floyd").
//   qvx_bench [--level=scalar|sse2|avx2|wasm128|all] [--bits=none|8|16|24|32] [--runs=N]
//             [--methods=none|all|NAME] [--levels=none|all|TEXT]
//   qvx_bench --memory=NAME   (natively) one method over a 20000 x 20000 picture fed in
//                             strips of 64 rows: the process' peak resident memory
//   qvx_bench --memory-palette=NAME   the same for Floyd-Steinberg to a built-in palette
//   qvx_bench --rgb-file=PATH   the palettes on these colours instead (4000 x 3000 pixels,
//                               3 bytes each, top row first: bench/palette-peers writes it)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#else
#ifndef __wasi__
#include <sys/resource.h>
#endif
#include <time.h>
#endif

#include "halftone/colour_palette.h"
#include "halftone/grey_levels.h"
#include "halftone/halftone.h"
#include "image/bmp_reader.h"
#include "image/le_bytes.h"
#include "image/row_decoder.h"
#include "image/simd_level.h"
#include "mono/conversion.h"
#include "mono/result_bitmap.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

struct Picture {
  std::vector<uint8_t> store;
  PictureDescription description;
};

// A photo-like pixel: smooth gradients with a little noise, so that neither the
// thresholds nor the branches are all alike. Pixels go row by row, top row first.
void photo_pixel(int32_t x, int32_t y, uint32_t& noise, uint8_t* r, uint8_t* g, uint8_t* b) {
  noise = noise * 1103515245u + 12345u;
  const uint8_t n = static_cast<uint8_t>((noise >> 24) & 0x1F);
  *r = static_cast<uint8_t>(x * 255 / kWidth + n);
  *g = static_cast<uint8_t>(y * 255 / kHeight + n);
  *b = static_cast<uint8_t>((x + y) / 28 + n);
}

// The photo as a BMP file of a depth (its rows bottom-up, as BMP stores them).
std::vector<uint8_t> photo_file(uint16_t bit_count) {
  const uint32_t colours = bit_count == 8 ? 256 : 0;
  const uint32_t masks = bit_count == 16 ? 12 : 0;
  const uint32_t stride = ((kWidth * bit_count + 31) / 32) * 4;
  const uint32_t offset = 14 + 40 + masks + 4 * colours;
  std::vector<uint8_t> file(offset + static_cast<size_t>(stride) * kHeight, 0);
  file[0] = 'B';
  file[1] = 'M';
  put_u32(&file[10], offset);
  put_u32(&file[14], 40);
  put_u32(&file[18], kWidth);
  put_u32(&file[22], kHeight);
  put_u16(&file[26], 1);
  put_u16(&file[28], bit_count);
  if (masks) {
    put_u32(&file[30], kCompressionBitFields);
    put_u32(&file[54], 0xF800);
    put_u32(&file[58], 0x07E0);
    put_u32(&file[62], 0x001F);
  }
  for (uint32_t i = 0; i < colours; ++i) put_u32(&file[54 + 4 * i], (i * 0x010101u) ^ ((i * 37) & 0x1F));
  uint32_t noise = 12345;
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = &file[offset + static_cast<size_t>(y) * stride];
    for (int32_t x = 0; x < kWidth; ++x) {
      uint8_t r, g, b;
      photo_pixel(x, y, noise, &r, &g, &b);
      if (bit_count == 8) {
        row[x] = static_cast<uint8_t>((r + g + b) / 3);
      } else if (bit_count == 16) {
        put_u16(row + 2 * x, static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)));
      } else {
        uint8_t* p = row + static_cast<size_t>(x) * (bit_count / 8);
        p[0] = b;
        p[1] = g;
        p[2] = r;
      }
    }
  }
  return file;
}

Picture make_picture(uint16_t bit_count) {
  Picture p;
  const std::vector<uint8_t> file = photo_file(bit_count);
  read_bmp_from_memory(file.data(), file.size(), p.store, p.description);
  return p;
}

struct Speed {
  double median, best;  // pixels per second
  double cpu;           // pixels per second of this thread's own processor time (0: too short to tell)
};

// Returns this thread's processor time in seconds (on Windows in steps of the clock
// tick: use enough runs).
double thread_seconds() {
#ifdef _WIN32
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0;
  const auto ticks = [](FILETIME t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return (ticks(kernel) + ticks(user)) / 1e7;
#else
  timespec t;
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0;  // none in WebAssembly under Node
  return t.tv_sec + t.tv_nsec / 1e9;
#endif
}

// Returns the median and the best pixels per second of `runs` whole conversions (the
// best one, and the one by processor time, show the code's speed on a machine that
// other work shares).
Speed measure(const Picture& p, int mode, int runs) {
  std::vector<uint8_t> result(result_block_size(kWidth, kHeight));
  prepare_result(p.store.data(), kWidth, kHeight, result.data(), static_cast<uint32_t>(result.size()));
  RandomSource random;
  std::vector<double> seconds;
  double cpu = 0;
  for (int i = 0; i < runs + 1; ++i) {
    if (i == 1) cpu = thread_seconds();
    const auto start = std::chrono::steady_clock::now();
    convert_picture(ConversionSource{p.store.data(), &p.description, nullptr}, result.data(), 128, mode, false, random,
                    nullptr, nullptr);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (i > 0) seconds.push_back(elapsed.count());  // the first run warms the caches
  }
  std::sort(seconds.begin(), seconds.end());
  cpu = thread_seconds() - cpu;
  const double pixels = double{kWidth} * kHeight;
  return Speed{pixels / seconds[seconds.size() / 2], pixels / seconds.front(), cpu > 0 ? pixels * runs / cpu : 0};
}

struct ResultRows {
  uint8_t* rows;
  uint32_t stride;
};

void store_row(void* context, int32_t row, const uint8_t* bits) {
  const ResultRows& r = *static_cast<const ResultRows*>(context);
  std::memcpy(r.rows + static_cast<size_t>(row) * r.stride, bits, (kWidth + 7) / 8);
}

// The same timing for one halftoning method, from luminance rows to the result block.
Speed measure_halftone(const std::vector<uint8_t>& luma, HalftoneMethod method, const HalftoneParams& params,
                       int runs) {
  std::vector<uint8_t> result(result_block_size(kWidth, kHeight));
  ResultRows rows{result.data() + kResultPixelOffset, result_stride(kWidth)};
  std::vector<double> seconds;
  double cpu = 0;
  for (int i = 0; i < runs + 1; ++i) {
    if (i == 1) cpu = thread_seconds();
    const auto start = std::chrono::steady_clock::now();
    HalftoneConverter converter;
    start_halftone(method, params, kWidth, converter);
    halftone_rows(converter, luma.data(), kWidth, kHeight, store_row, &rows);
    finish_halftone(converter, store_row, &rows);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (i > 0) seconds.push_back(elapsed.count());
  }
  std::sort(seconds.begin(), seconds.end());
  cpu = thread_seconds() - cpu;
  const double pixels = double{kWidth} * kHeight;
  return Speed{pixels / seconds[seconds.size() / 2], pixels / seconds.front(), cpu > 0 ? pixels * runs / cpu : 0};
}

// The luminance of the 24-bit picture, top row first.
std::vector<uint8_t> photo_luminance() {
  const Picture p = make_picture(24);
  const RowDecoder decoder = make_row_decoder(p.store.data(), p.description, RowUse::kLuminance);
  std::vector<uint8_t> luma(static_cast<size_t>(kWidth) * kHeight);
  for (int32_t y = 0; y < kHeight; ++y) decode_luminance_row(decoder, kHeight - 1 - y, &luma[static_cast<size_t>(y) * kWidth]);
  return luma;
}

const char* level_name(SimdLevel level) {
  switch (level) {
    case SimdLevel::kScalar: return "scalar";
    case SimdLevel::kSse2: return "sse2";
    case SimdLevel::kAvx2: return "avx2";
    case SimdLevel::kWasm128: return "wasm128";
  }
  return "?";
}

// The picture's colours, top row first, 3 bytes a pixel (red, green, blue).
std::vector<uint8_t> photo_rgb() {
  std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
  uint32_t noise = 12345;
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = &rgb[static_cast<size_t>(kHeight - 1 - y) * kWidth * 3];  // made bottom-up as the BMP is
    for (int32_t x = 0; x < kWidth; ++x) photo_pixel(x, y, noise, &row[3 * x], &row[3 * x + 1], &row[3 * x + 2]);
  }
  return rgb;
}

// Returns the median, best and processor-time speeds of `runs` calls of convert().
template <class Convert>
Speed time_runs(int runs, const Convert& convert) {
  std::vector<double> seconds;
  double cpu = 0;
  for (int i = 0; i < runs + 1; ++i) {
    if (i == 1) cpu = thread_seconds();
    const auto start = std::chrono::steady_clock::now();
    convert();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (i > 0) seconds.push_back(elapsed.count());  // the first run warms the caches
  }
  std::sort(seconds.begin(), seconds.end());
  cpu = thread_seconds() - cpu;
  const double pixels = double{kWidth} * kHeight;
  return Speed{pixels / seconds[seconds.size() / 2], pixels / seconds.front(), cpu > 0 ? pixels * runs / cpu : 0};
}

// Index rows are copied into a picture of one byte a pixel.
void store_indexes(void* context, int32_t row, const uint8_t* indexes) {
  std::memcpy(static_cast<uint8_t*>(context) + static_cast<size_t>(row) * kWidth, indexes, kWidth);
}

void print_speed(const char* name, const char* level, const Speed& speed) {
  std::printf("  %-30s %-6s %6.3f (best %6.3f", name, level, speed.median / 1e9, speed.best / 1e9);
  if (speed.cpu > 0) std::printf(", cpu %6.3f", speed.cpu / 1e9);
  std::printf(")\n");
  std::fflush(stdout);
}

// Grey levels from the luminance and palettes from the colours, at each level.
void levels_bench(const std::vector<SimdLevel>& levels, int runs, const std::vector<uint8_t>& rgb,
                  const std::string& only) {
  std::printf("grey levels and palettes, G pixels/s\n");
  const std::vector<uint8_t> luma = photo_luminance();
  std::vector<uint8_t> indexes(static_cast<size_t>(kWidth) * kHeight);
  const struct {
    const char* name;
    int levels;
    std::optional<HalftoneMethod> method;
  } greys[] = {
      {"4 levels floyd-steinberg", 4, HalftoneMethod::kFloydSteinberg},
      {"16 levels floyd-steinberg", 16, HalftoneMethod::kFloydSteinberg},
      {"4 levels atkinson", 4, HalftoneMethod::kAtkinson},
      {"4 levels bayer8", 4, HalftoneMethod::kBayer8},
      {"16 levels nearest", 16, std::nullopt},
  };
  const struct {
    const char* name;
    const char* palette;
    std::optional<HalftoneMethod> method;
  } palettes[] = {
      {"acep7 floyd-steinberg", "acep7", HalftoneMethod::kFloydSteinberg},
      {"acep7-measured floyd-steinberg", "acep7-measured", HalftoneMethod::kFloydSteinberg},
      {"bwr floyd-steinberg", "bwr", HalftoneMethod::kFloydSteinberg},
      {"acep7 nearest", "acep7", std::nullopt},
  };
  for (SimdLevel level : levels) {
    if (!force_simd_level(level)) continue;
    for (const auto& g : greys) {
      if (std::string(g.name).find(only) == std::string::npos) continue;
      print_speed(g.name, level_name(level), time_runs(runs, [&] {
        GreyLevelsConverter c;
        start_grey_levels(g.method, HalftoneParams{}, g.levels, kWidth, c);
        grey_level_rows(c, luma.data(), kWidth, kHeight, store_indexes, indexes.data());
        finish_grey_levels(c, store_indexes, indexes.data());
      }));
    }
    for (const auto& p : palettes) {
      if (std::string(p.name).find(only) == std::string::npos) continue;
      Palette palette;
      std::string error;
      parse_palette(p.palette, &palette, &error);
      print_speed(p.name, level_name(level), time_runs(runs, [&] {
        PaletteConverter c;
        start_palette(p.method, HalftoneParams{}, palette, kWidth, c);
        palette_rows(c, rgb.data(), 3 * size_t{kWidth}, kHeight, store_indexes, indexes.data());
        finish_palette(c, store_indexes, indexes.data());
      }));
    }
  }
}

#if !defined(_WIN32) && !defined(__wasi__)  // the memory runs read the peak resident size
void count_indexes(void* context, int32_t, const uint8_t* indexes) {
  uint64_t& sum = *static_cast<uint64_t*>(context);
  for (int32_t i = 0; i < 20000; ++i) sum += indexes[i];
}

// Floyd-Steinberg to a palette over a 20000 x 20000 picture made strip by strip;
// prints the peak resident memory.
int palette_memory_run(const char* name) {
  constexpr int32_t kSide = 20000, kStrip = 64;
  Palette palette;
  std::string error;
  if (!parse_palette(name, &palette, &error)) {
    std::fprintf(stderr, "qvx_bench: %s\n", error.c_str());
    return 2;
  }
  std::vector<uint8_t> strip(static_cast<size_t>(kStrip) * kSide * 3);
  PaletteConverter converter;
  start_palette(HalftoneMethod::kFloydSteinberg, HalftoneParams{}, palette, kSide, converter);
  uint64_t sum = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int32_t y = 0; y < kSide; y += kStrip) {
    for (int32_t r = 0; r < kStrip; ++r)
      for (int32_t x = 0; x < kSide; ++x)
        for (int c = 0; c < 3; ++c)
          strip[(static_cast<size_t>(r) * kSide + x) * 3 + c] =
              static_cast<uint8_t>((x / (79 + c) + (y + r) / 79 + (x ^ (y + r)) * (c + 1)) & 0xFF);
    palette_rows(converter, strip.data(), 3 * size_t{kSide}, kStrip, count_indexes, &sum);
  }
  finish_palette(converter, count_indexes, &sum);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%-16s floyd-steinberg 20000 x 20000: peak resident %.1f MiB, %.2f s, mean index %.3f\n", name,
              usage.ru_maxrss / 1024.0, elapsed.count(), sum / (double{kSide} * kSide));
  return 0;
}

void count_whites(void* context, int32_t, const uint8_t* bits) {
  uint64_t& whites = *static_cast<uint64_t*>(context);
  for (int32_t i = 0; i < 20000 / 8; ++i) whites += static_cast<uint64_t>(__builtin_popcount(bits[i]));
}

// Converts a 20000 x 20000 picture made strip by strip; prints the peak resident memory.
int memory_run(HalftoneMethod method) {
  constexpr int32_t kSide = 20000, kStrip = 64;
  std::vector<uint8_t> strip(static_cast<size_t>(kStrip) * kSide);
  HalftoneConverter converter;
  start_halftone(method, HalftoneParams{}, kSide, converter);
  uint64_t whites = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int32_t y = 0; y < kSide; y += kStrip) {
    for (int32_t r = 0; r < kStrip; ++r)
      for (int32_t x = 0; x < kSide; ++x)
        strip[static_cast<size_t>(r) * kSide + x] = static_cast<uint8_t>((x / 79 + (y + r) / 79 + (x ^ (y + r))) & 0xFF);
    halftone_rows(converter, strip.data(), kSide, kStrip, count_whites, &whites);
  }
  finish_halftone(converter, count_whites, &whites);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%-16s 20000 x 20000: peak resident %.1f MiB, %.2f s, %.1f %% white\n", halftone_method_info(method).name,
              usage.ru_maxrss / 1024.0, elapsed.count(), 100.0 * whites / (double{kSide} * kSide));
  return 0;
}
#endif

// Every halftoning method from the luminance rows, at each level; error diffusion
// also with serpentine rows and in linear light.
void methods_bench(const std::vector<HalftoneMethod>& methods, const std::vector<SimdLevel>& levels, int runs) {
  std::printf("halftoning from luminance rows, G pixels/s\n");
  const std::vector<uint8_t> luma = photo_luminance();
  for (HalftoneMethod method : methods) {
    const bool diffusion = halftone_method_info(method).family == HalftoneFamily::kErrorDiffusion;
    for (int variant = 0; variant < (diffusion ? 3 : 1); ++variant) {
      HalftoneParams params;
      params.serpentine = variant == 1;
      params.linear = variant == 2;
      const std::string name =
          std::string(halftone_method_info(method).name) + (variant == 1 ? " serp" : variant == 2 ? " linear" : "");
      for (SimdLevel level : levels) {
        if (!force_simd_level(level)) continue;
        const Speed speed = measure_halftone(luma, method, params, runs);
        std::printf("  %-22s %-6s %6.3f (best %6.3f", name.c_str(), level_name(level), speed.median / 1e9,
                    speed.best / 1e9);
        if (speed.cpu > 0) std::printf(", cpu %6.3f", speed.cpu / 1e9);
        std::printf(")\n");
        std::fflush(stdout);
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<SimdLevel> levels{best_simd_level()};
  int runs = 9;
  std::vector<uint16_t> depths{8, 16, 24, 32};
  bool with_levels = true;
  std::string levels_only;  // only the grey-level and palette cases whose names hold this
  std::vector<uint8_t> rgb;  // the palettes' picture when read from a file
  std::vector<HalftoneMethod> methods;
  for (const MethodDescriptor& m : halftone_methods()) methods.push_back(m.method);
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--level=all") {
      levels.clear();
      for (int l = 0; l <= static_cast<int>(best_simd_level()); ++l) levels.push_back(static_cast<SimdLevel>(l));
    } else if (arg.rfind("--level=", 0) == 0) {
      levels.clear();
      for (SimdLevel l : {SimdLevel::kScalar, SimdLevel::kSse2, SimdLevel::kAvx2, SimdLevel::kWasm128})
        if (arg.substr(8) == level_name(l)) levels.push_back(l);
    } else if (arg == "--bits=none") {
      depths.clear();
    } else if (arg.rfind("--bits=", 0) == 0) {
      depths = {static_cast<uint16_t>(std::atoi(arg.c_str() + 7))};
    } else if (arg.rfind("--runs=", 0) == 0) {
      runs = std::max(1, std::atoi(arg.c_str() + 7));
#if !defined(_WIN32) && !defined(__wasi__)  // the memory runs read the peak resident size
    } else if (arg.rfind("--memory=", 0) == 0) {
      const std::optional<HalftoneMethod> method = parse_method_name(arg.c_str() + 9);
      if (!method) {
        std::fprintf(stderr, "qvx_bench: unknown method %s\n", arg.c_str() + 9);
        return 2;
      }
      return memory_run(*method);
    } else if (arg.rfind("--memory-palette=", 0) == 0) {
      return palette_memory_run(arg.c_str() + 17);
#endif
    } else if (arg.rfind("--rgb-file=", 0) == 0) {
      const size_t size = static_cast<size_t>(kWidth) * kHeight * 3;
      rgb.assign(size + 1, 0);  // one byte more shows a longer file
      FILE* file = std::fopen(arg.c_str() + 11, "rb");
      const size_t read = file ? std::fread(rgb.data(), 1, rgb.size(), file) : 0;
      if (file) std::fclose(file);
      rgb.resize(size);
      if (read != size) {
        std::fprintf(stderr, "qvx_bench: %s is not %d x %d pixels of 3 bytes\n", arg.c_str() + 11, kWidth, kHeight);
        return 2;
      }
    } else if (arg.rfind("--levels=", 0) == 0) {
      with_levels = arg != "--levels=none";
      if (arg != "--levels=all") levels_only = arg.substr(9);
    } else if (arg == "--methods=none") {
      methods.clear();
    } else if (arg.rfind("--methods=", 0) == 0 && arg != "--methods=all") {
      const std::optional<HalftoneMethod> method = parse_method_name(arg.c_str() + 10);
      if (!method) {
        std::fprintf(stderr, "qvx_bench: unknown method %s\n", arg.c_str() + 10);
        return 2;
      }
      methods = {*method};
    } else if (arg != "--methods=all") {
      std::fprintf(stderr,
                   "usage: qvx_bench [--level=scalar|sse2|avx2|wasm128|all] [--bits=none|8|16|24|32] [--runs=N] "
                   "[--methods=none|all|NAME] [--levels=none|all|TEXT] [--rgb-file=PATH]\n");
      return 2;
    }
  }
  const char* modes[] = {"Letter", "photo(Hard)", "photo(Soft)"};
  std::printf("%d x %d, median (and best) of %d runs, G pixels/s (best level here: %s)\n", kWidth, kHeight, runs,
              level_name(best_simd_level()));
  for (uint16_t bits : depths) {
    const Picture p = make_picture(bits);
    for (SimdLevel level : levels) {
      if (!force_simd_level(level)) {
        std::printf("level %s: not on this CPU\n", level_name(level));
        continue;
      }
      std::printf("%2u-bit%s %-6s", bits, bits == 16 ? " 5-6-5" : "      ", level_name(level));
      for (int mode = 0; mode < 3; ++mode) {
        const Speed speed = measure(p, mode, runs);
        std::printf("  %s %6.3f (best %6.3f", modes[mode], speed.median / 1e9, speed.best / 1e9);
        if (speed.cpu > 0) std::printf(", cpu %6.3f", speed.cpu / 1e9);
        std::printf(")");
      }
      std::printf("\n");
      std::fflush(stdout);
    }
  }
  if (!methods.empty()) methods_bench(methods, levels, runs);
  if (with_levels) levels_bench(levels, runs, rgb.empty() ? photo_rgb() : rgb, levels_only);
  return 0;
}

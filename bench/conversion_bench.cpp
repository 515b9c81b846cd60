// Conversion speed of a 4000 x 3000 picture at 8, 24 and 32 bits in every mode,
// in pixels per second (items/s).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <vector>

#include "image/bmp_reader.h"
#include "image/le_bytes.h"
#include "mono/conversion.h"
#include "mono/result_bitmap.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

struct Picture {
  std::vector<uint8_t> store;
  PictureDescription description;
};

// A photo-like picture: smooth gradients with a little noise, so that neither the
// thresholds nor the branches are all alike.
std::vector<uint8_t> photo_file(uint16_t bit_count) {
  const uint32_t colours = bit_count == 8 ? 256 : 0;
  const uint32_t stride = ((kWidth * bit_count + 31) / 32) * 4;
  const uint32_t offset = 14 + 40 + 4 * colours;
  std::vector<uint8_t> file(offset + stride * kHeight, 0);
  file[0] = 'B';
  file[1] = 'M';
  put_u32(&file[10], offset);
  put_u32(&file[14], 40);
  put_u32(&file[18], kWidth);
  put_u32(&file[22], kHeight);
  put_u16(&file[26], 1);
  put_u16(&file[28], bit_count);
  for (uint32_t i = 0; i < colours; ++i) put_u32(&file[54 + 4 * i], (i * 0x010101u) ^ ((i * 37) & 0x1F));
  uint32_t noise = 12345;
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = &file[offset + static_cast<size_t>(y) * stride];
    for (int32_t x = 0; x < kWidth; ++x) {
      noise = noise * 1103515245u + 12345u;
      const uint8_t n = static_cast<uint8_t>((noise >> 24) & 0x1F);
      const uint8_t r = static_cast<uint8_t>(x * 255 / kWidth + n), g = static_cast<uint8_t>(y * 255 / kHeight + n),
                    b = static_cast<uint8_t>((x + y) / 28 + n);
      if (bit_count == 8) {
        row[x] = static_cast<uint8_t>((r + g + b) / 3);
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

const Picture& picture(uint16_t bit_count) {
  static std::map<uint16_t, Picture> pictures;
  Picture& p = pictures[bit_count];
  if (p.store.empty()) {
    const std::vector<uint8_t> file = photo_file(bit_count);
    read_bmp_from_memory(file.data(), file.size(), p.store, p.description);
  }
  return p;
}

void BM_Convert(benchmark::State& state) {
  const Picture& p = picture(static_cast<uint16_t>(state.range(0)));
  const int mode = static_cast<int>(state.range(1));
  std::vector<uint8_t> result(result_block_size(kWidth, kHeight));
  prepare_result(p.store.data(), kWidth, kHeight, result.data(), static_cast<uint32_t>(result.size()));
  RandomSource random;
  for (auto _ : state) {
    convert_picture(ConversionSource{p.store.data(), &p.description, nullptr}, result.data(), 128, mode, false, random,
                    nullptr, nullptr);
    benchmark::DoNotOptimize(result.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}

}  // namespace

BENCHMARK(BM_Convert)
    ->ArgsProduct({{8, 24, 32}, {kModeLetter, kModePhotoHard, kModePhotoSoft}})
    ->ArgNames({"bits", "mode"})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

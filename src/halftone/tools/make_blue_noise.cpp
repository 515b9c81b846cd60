// Writes src/halftone/blue_noise_array.cpp: a 64 x 64 blue-noise threshold array made
// by the void-and-cluster method, from a fixed seed, so the same array comes out each
// time. Build and run: cmake --build build/native --target qvx_make_blue_noise &&
// build/native/qvx_make_blue_noise > src/halftone/blue_noise_array.cpp
//
// Energy of a pixel: the sum over the chosen pixels of exp(-d^2 / (2 sigma^2)), d the
// distance on the torus (the array tiles the picture), sigma 1.5. The tightest cluster
// is the chosen pixel of most energy, the largest void the free pixel of least; ties
// go to the first pixel in row order.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSize = 64;
constexpr int kCells = kSize * kSize;
constexpr double kSigma = 1.5;

struct Field {
  std::vector<char> on;       // the chosen pixels
  std::vector<double> energy; // of every pixel, from the chosen ones
};

double kernel[kSize][kSize];  // by (dy, dx) on the torus

void make_kernel() {
  for (int dy = 0; dy < kSize; ++dy)
    for (int dx = 0; dx < kSize; ++dx) {
      const int ty = dy < kSize - dy ? dy : kSize - dy, tx = dx < kSize - dx ? dx : kSize - dx;
      kernel[dy][dx] = std::exp(-(tx * tx + ty * ty) / (2 * kSigma * kSigma));
    }
}

// Adds (sign 1) or takes away (-1) pixel p's contribution to every energy.
void spread(std::vector<double>& energy, int p, double sign) {
  const int py = p / kSize, px = p % kSize;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      energy[y * kSize + x] += sign * kernel[(y - py + kSize) % kSize][(x - px + kSize) % kSize];
}

void set(Field& f, int p, bool value) {
  f.on[p] = value;
  spread(f.energy, p, value ? 1 : -1);
}

// Returns the pixel with `value` in f.on of most (largest) or least energy.
int extreme(const Field& f, char value, bool largest) {
  int best = -1;
  for (int p = 0; p < kCells; ++p) {
    if (f.on[p] != value) continue;
    if (best < 0 || (largest ? f.energy[p] > f.energy[best] : f.energy[p] < f.energy[best])) best = p;
  }
  return best;
}

}  // namespace

int main() {
  make_kernel();
  Field f{std::vector<char>(kCells, 0), std::vector<double>(kCells, 0.0)};
  // A tenth of the pixels chosen at random from a fixed seed.
  uint32_t seed = 20240601u;
  int ones = 0;
  while (ones < kCells / 10) {
    seed = seed * 1664525u + 1013904223u;
    const int p = static_cast<int>((seed >> 8) % kCells);
    if (!f.on[p]) {
      set(f, p, true);
      ++ones;
    }
  }
  // Move pixels from the tightest cluster to the largest void until they are the same.
  for (;;) {
    const int cluster = extreme(f, 1, true);
    set(f, cluster, false);
    const int vacancy = extreme(f, 0, false);
    set(f, vacancy, true);
    if (vacancy == cluster) break;
  }
  std::vector<int> rank(kCells, -1);
  // Phase 1: take the prototype's pixels away, tightest first, ranks ones - 1 down to 0.
  Field g = f;
  for (int r = ones - 1; r >= 0; --r) {
    const int cluster = extreme(g, 1, true);
    set(g, cluster, false);
    rank[cluster] = r;
  }
  // Phase 2: fill the largest voids up to half the pixels.
  g = f;
  int count = ones;
  for (; count < kCells / 2; ++count) {
    const int vacancy = extreme(g, 0, false);
    set(g, vacancy, true);
    rank[vacancy] = count;
  }
  // Phase 3: the free pixels are now the minority: their energies among themselves,
  // and the tightest cluster of them is chosen next.
  Field free_pixels{std::vector<char>(kCells, 0), std::vector<double>(kCells, 0.0)};
  for (int p = 0; p < kCells; ++p)
    if (!g.on[p]) set(free_pixels, p, true);
  for (; count < kCells; ++count) {
    const int cluster = extreme(free_pixels, 1, true);
    set(free_pixels, cluster, false);
    rank[cluster] = count;
  }
  std::printf("// The 64 x 64 blue-noise threshold ranks 0..4095, made by\n");
  std::printf("// src/halftone/tools/make_blue_noise.cpp (void and cluster, fixed seed): do not edit.\n");
  std::printf("#include \"halftone/halftone_rows.h\"\n\n");
  std::printf("const uint16_t kBlueNoise64[64 * 64] = {\n");
  for (int y = 0; y < kSize; ++y) {
    for (int half = 0; half < 2; ++half) {
      std::printf("   ");
      for (int x = half * 32; x < half * 32 + 32; ++x) std::printf(" %d,", rank[y * kSize + x]);
      std::printf("\n");
    }
  }
  std::printf("};\n");
  return 0;
}

#include "image/simd_level.h"

#include <atomic>

namespace {

SimdLevel detect() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return SimdLevel::kAvx2;
  if (__builtin_cpu_supports("sse2")) return SimdLevel::kSse2;
#elif defined(__wasm_simd128__)
  return SimdLevel::kWasm128;
#endif
  return SimdLevel::kScalar;
}

constexpr int kNotForced = -1;

// The level the tests and the benchmark force to compare every path with the scalar
// one; kNotForced otherwise. Constant-initialised, so it holds before any code runs,
// and atomic, so a conversion on another thread reads a whole value.
std::atomic<int> g_forced_level{kNotForced};

}  // namespace

SimdLevel best_simd_level() {
  // Detected once, on first use; the initialisation of a local static is thread safe.
  static const SimdLevel best = detect();
  return best;
}

SimdLevel active_simd_level() {
  const int forced = g_forced_level.load(std::memory_order_relaxed);
  return forced == kNotForced ? best_simd_level() : static_cast<SimdLevel>(forced);
}

bool force_simd_level(SimdLevel level) {
  if (static_cast<int>(level) > static_cast<int>(best_simd_level())) return false;
  g_forced_level.store(level == best_simd_level() ? kNotForced : static_cast<int>(level), std::memory_order_relaxed);
  return true;
}

#include "image/simd_level.h"

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

SimdLevel& active() {
  static SimdLevel level = best_simd_level();
  return level;
}

}  // namespace

SimdLevel best_simd_level() {
  static const SimdLevel best = detect();
  return best;
}

SimdLevel active_simd_level() { return active(); }

bool force_simd_level(SimdLevel level) {
  if (static_cast<int>(level) > static_cast<int>(best_simd_level())) return false;
  active() = level;
  return true;
}

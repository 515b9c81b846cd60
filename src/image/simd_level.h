// Which vector instructions the row kernels use: chosen once from the CPU's
// features, and forced by the tests that compare every path with the scalar one.
#ifndef QVX_SIMD_LEVEL_H
#define QVX_SIMD_LEVEL_H

// kWasm128 is WebAssembly's 128-bit vectors, in the page's build only.
enum class SimdLevel : int { kScalar = 0, kSse2 = 1, kAvx2 = 2, kWasm128 = 3 };

// Returns the widest level this CPU (and this build) runs.
SimdLevel best_simd_level();

// Returns the level the row kernels use now (the best one unless forced).
SimdLevel active_simd_level();

// Makes the row kernels use a level; returns false, changing nothing, when the
// CPU cannot run it.
bool force_simd_level(SimdLevel level);

#endif

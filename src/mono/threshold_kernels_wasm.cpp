// The threshold kernels with WebAssembly's 128-bit vectors, for the page: the same
// results and generator states as the scalar kernels, sixteen pixels a step.
#include "mono/threshold_kernels_x86.h"

#ifdef __wasm_simd128__
#include <wasm_simd128.h>

#include "mono/random_jump.h"

namespace {

// Reverses the bytes of each 8-byte half, so that pixel 0 of a group lands on bit 7
// of its mask byte.
inline v128_t reverse_groups(v128_t v) {
  return wasm_i8x16_shuffle(v, v, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
}

inline void store2(uint8_t* out, uint32_t mask, uint8_t flip) {
  out[0] = static_cast<uint8_t>(mask ^ flip);
  out[1] = static_cast<uint8_t>((mask >> 8) ^ flip);
}

void fixed_wasm(const uint8_t* luma, int32_t bytes, int base, uint8_t flip, uint8_t* out) {
  if (base < 0 || base > 254) return scalar_threshold_kernels().fixed(luma, bytes, base, flip, out);
  const v128_t limit = wasm_u8x16_splat(static_cast<uint8_t>(base));
  int32_t i = 0;
  for (; bytes - i >= 2; i += 2, luma += 16) {
    store2(out + i, wasm_i8x16_bitmask(reverse_groups(wasm_u8x16_gt(wasm_v128_load(luma), limit))), flip);
  }
  scalar_threshold_kernels().fixed(luma, bytes - i, base, flip, out + i);
}

void varying_wasm(const uint8_t* luma, const int16_t* thresholds, int32_t bytes, uint8_t flip, uint8_t* out) {
  int32_t i = 0;
  for (; bytes - i >= 2; i += 2, luma += 16, thresholds += 16) {
    const v128_t v = wasm_v128_load(luma);
    const v128_t low = wasm_i16x8_gt(wasm_u16x8_extend_low_u8x16(v), wasm_v128_load(thresholds));
    const v128_t high = wasm_i16x8_gt(wasm_u16x8_extend_high_u8x16(v), wasm_v128_load(thresholds + 8));
    store2(out + i, wasm_i8x16_bitmask(reverse_groups(wasm_i8x16_narrow_i16x8(low, high))), flip);
  }
  scalar_threshold_kernels().varying(luma, thresholds, bytes - i, flip, out + i);
}

// Thresholds of four states: photo(Hard) base - 64 + d mod 128, photo(Soft)
// base - 127 + d mod 255 for the draw d = (s >> 16) & 0x7FFF; d / 255 is
// (d * 32897) >> 23 for every d below 2^15.
inline v128_t thresholds_of(v128_t s, bool hard, v128_t offset) {
  const v128_t d = wasm_v128_and(wasm_u32x4_shr(s, 16), wasm_i32x4_splat(0x7FFF));
  if (hard) return wasm_i32x4_add(wasm_v128_and(d, wasm_i32x4_splat(127)), offset);
  const v128_t q = wasm_u32x4_shr(wasm_i32x4_mul(d, wasm_i32x4_splat(32897)), 23);
  return wasm_i32x4_add(wasm_i32x4_sub(d, wasm_i32x4_mul(q, wasm_i32x4_splat(255))), offset);
}

void draw_wasm(RandomSource& random, int mode, int base, int32_t count, int16_t* out) {
  const LaneJumps& j = lane_jumps();
  const bool hard = mode == kModePhotoHard;
  const v128_t offset = wasm_i32x4_splat(hard ? base - 64 : base - 127);
  const v128_t step_a = wasm_i32x4_splat(static_cast<int32_t>(j.step16.a));
  const v128_t step_c = wasm_i32x4_splat(static_cast<int32_t>(j.step16.c));
  uint32_t s = random.state;
  const v128_t start = wasm_i32x4_splat(static_cast<int32_t>(s));
  v128_t v[4];
  for (int m = 0; m < 4; ++m) v[m] = wasm_i32x4_add(wasm_i32x4_mul(start, wasm_v128_load(j.a + 4 * m)), wasm_v128_load(j.c + 4 * m));
  int32_t i = 0;
  for (; count - i >= 16; i += 16) {
    wasm_v128_store(out + i, wasm_i16x8_narrow_i32x4(thresholds_of(v[0], hard, offset), thresholds_of(v[1], hard, offset)));
    wasm_v128_store(out + i + 8,
                    wasm_i16x8_narrow_i32x4(thresholds_of(v[2], hard, offset), thresholds_of(v[3], hard, offset)));
    for (int m = 0; m < 4; ++m) v[m] = wasm_i32x4_add(wasm_i32x4_mul(v[m], step_a), step_c);
    s = jumped_state(s, j.step16);
  }
  random.state = s;
  draw_thresholds_scalar(random, mode, base, count - i, out + i);
}

const ThresholdKernels kWasm = {fixed_wasm, varying_wasm, draw_wasm};

}  // namespace

const ThresholdKernels& wasm_threshold_kernels() { return kWasm; }

#endif

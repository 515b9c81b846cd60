// Lane moves of the page's wavefront bands (WebAssembly's 128-bit vectors, eight
// 16-bit lanes, one row a lane, each row two pixels behind the one above it).
#ifndef QVX_VECTOR_LANES_WASM_H
#define QVX_VECTOR_LANES_WASM_H

#ifdef __wasm_simd128__
#include <wasm_simd128.h>

#include <cstdint>

// Transposes 8 x 8 16-bit values: vector j lane i becomes vector i lane j.
inline void transpose8(v128_t* v) {
  const v128_t a0 = wasm_i16x8_shuffle(v[0], v[1], 0, 8, 1, 9, 2, 10, 3, 11);
  const v128_t a1 = wasm_i16x8_shuffle(v[0], v[1], 4, 12, 5, 13, 6, 14, 7, 15);
  const v128_t a2 = wasm_i16x8_shuffle(v[2], v[3], 0, 8, 1, 9, 2, 10, 3, 11);
  const v128_t a3 = wasm_i16x8_shuffle(v[2], v[3], 4, 12, 5, 13, 6, 14, 7, 15);
  const v128_t a4 = wasm_i16x8_shuffle(v[4], v[5], 0, 8, 1, 9, 2, 10, 3, 11);
  const v128_t a5 = wasm_i16x8_shuffle(v[4], v[5], 4, 12, 5, 13, 6, 14, 7, 15);
  const v128_t a6 = wasm_i16x8_shuffle(v[6], v[7], 0, 8, 1, 9, 2, 10, 3, 11);
  const v128_t a7 = wasm_i16x8_shuffle(v[6], v[7], 4, 12, 5, 13, 6, 14, 7, 15);
  const v128_t b0 = wasm_i32x4_shuffle(a0, a2, 0, 4, 1, 5), b1 = wasm_i32x4_shuffle(a0, a2, 2, 6, 3, 7);
  const v128_t b2 = wasm_i32x4_shuffle(a1, a3, 0, 4, 1, 5), b3 = wasm_i32x4_shuffle(a1, a3, 2, 6, 3, 7);
  const v128_t b4 = wasm_i32x4_shuffle(a4, a6, 0, 4, 1, 5), b5 = wasm_i32x4_shuffle(a4, a6, 2, 6, 3, 7);
  const v128_t b6 = wasm_i32x4_shuffle(a5, a7, 0, 4, 1, 5), b7 = wasm_i32x4_shuffle(a5, a7, 2, 6, 3, 7);
  v[0] = wasm_i64x2_shuffle(b0, b4, 0, 2);
  v[1] = wasm_i64x2_shuffle(b0, b4, 1, 3);
  v[2] = wasm_i64x2_shuffle(b1, b5, 0, 2);
  v[3] = wasm_i64x2_shuffle(b1, b5, 1, 3);
  v[4] = wasm_i64x2_shuffle(b2, b6, 0, 2);
  v[5] = wasm_i64x2_shuffle(b2, b6, 1, 3);
  v[6] = wasm_i64x2_shuffle(b3, b7, 0, 2);
  v[7] = wasm_i64x2_shuffle(b3, b7, 1, 3);
}

// Lane j takes lane j - 1's value, lane 0 lane 7 of the vector of the rows above.
inline v128_t lanes_up1(v128_t v, v128_t above) { return wasm_i16x8_shuffle(above, v, 7, 8, 9, 10, 11, 12, 13, 14); }

// All ones in the lanes whose pixel at step t lies in its row: lane j is 2 j pixels
// behind lane 0, so its pixel is t - 2 j, inside when 0 <= t - 2 j < width.
inline v128_t lanes_inside(int32_t t, int32_t width) {
  const v128_t x =
      wasm_i16x8_sub(wasm_i16x8_splat(static_cast<int16_t>(t)), wasm_i16x8_make(0, 2, 4, 6, 8, 10, 12, 14));
  return wasm_v128_and(wasm_i16x8_gt(x, wasm_i16x8_splat(-1)),
                       wasm_i16x8_gt(wasm_i16x8_splat(static_cast<int16_t>(width)), x));
}

// trunc(e * weight / 16) from a = |e| and sign = e >> 15 (a * weight below 2^16).
template <int weight>
inline v128_t sixteenth(v128_t a, v128_t sign) {
  const v128_t q = wasm_u16x8_shr(wasm_i16x8_mul(a, wasm_i16x8_splat(weight)), 4);
  return wasm_i16x8_sub(wasm_v128_xor(q, sign), sign);
}

// Floyd-Steinberg's shares of e (trunc(e * k / 16), the rest to the last), moved on a
// step: `right` for the lane's next pixel, below1 .. below3 for the lane below 1, 2
// and 3 steps on (not yet moved down a lane).
inline void give_fs_shares(v128_t e, v128_t& right, v128_t& below1, v128_t& below2, v128_t& below3) {
  const v128_t a = wasm_i16x8_abs(e), sign = wasm_i16x8_shr(e, 15);
  const v128_t r = sixteenth<7>(a, sign), down_left = sixteenth<3>(a, sign), down = sixteenth<5>(a, sign);
  right = r;
  below1 = wasm_i16x8_add(below2, down_left);
  below2 = wasm_i16x8_add(below3, down);
  below3 = wasm_i16x8_sub(e, wasm_i16x8_add(wasm_i16x8_add(r, down_left), down));
}

// Stores the low bytes of eight 16-bit indexes (0..255) at `to`.
inline void store_indexes8(uint8_t* to, v128_t indexes) {
  wasm_v128_store64_lane(to, wasm_u8x16_narrow_i16x8(indexes, indexes), 0);
}
#endif

#endif

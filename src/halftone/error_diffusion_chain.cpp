// Error diffusion one row at a time with the reference's exact arithmetic, faster: for
// serpentine rows, whose pixels form one chain through the whole picture (a row's first
// pixel takes a share of the last pixel of the row above, which ran the other way), so
// no two rows can run side by side; and for the rows the bands leave over.
//
// Only what the next pixel waits for runs pixel by pixel: w, the white flag, e and the
// shares to the pixels ahead in the row, looked up on 8-bit levels. The shares to the
// rows below go afterwards over the whole row, summed per receiving pixel in a loop
// without a chain that the compiler vectorises. Integer sums do not depend on their
// order, so the result is the reference's bit for bit.
#include <algorithm>
#include <cstring>
#include <vector>

#include "halftone/error_diffusion_chain.h"

namespace {

// The range of w the tables of the 8-bit levels cover; w outside goes the long way.
constexpr int32_t kTableLow = -1024, kTableHigh = 1280;

struct AheadShares {
  int16_t next, after;  // the shares to the next pixel and the one after it
};

// The weight of the share to the pixel dx ahead in the same row (0: none).
template <const DiffusionKernel& K>
constexpr int ahead_weight(int dx) {
  for (int k = 0; k < K.count; ++k)
    if (K.shares[k].dy == 0 && K.shares[k].dx == dx) return K.shares[k].weight;
  return 0;
}

// The shares to the pixels ahead are truncated ones in every kernel, never the remainder.
template <const DiffusionKernel& K>
constexpr bool ahead_shares_truncated() {
  return !K.remainder_to_last || K.shares[K.count - 1].dy > 0;
}

template <const DiffusionKernel& K>
const AheadShares* ahead_table() {
  static const std::vector<AheadShares> table = [] {
    std::vector<AheadShares> t(static_cast<size_t>(kTableHigh - kTableLow));
    for (int32_t w = kTableLow; w < kTableHigh; ++w) {
      const int32_t e = w > 127 ? w - 255 : w;
      t[static_cast<size_t>(w - kTableLow)] = {static_cast<int16_t>(e * ahead_weight<K>(1) / K.divisor),
                                               static_cast<int16_t>(e * ahead_weight<K>(2) / K.divisor)};
    }
    return t;
  }();
  return table.data() - kTableLow;
}

template <const DiffusionKernel& K, int D, int kDy>
void give_to_row_below(const int32_t* __restrict e, int32_t* __restrict below, int32_t width) {
  if constexpr (reaches<K>(kDy)) {
    for (int32_t x = -2; x < width + 2; ++x) below[x] += received<K, D, kDy>(e, x);
  }
}

template <const DiffusionKernel& K, int D>
void give_to_rows_below(const int32_t* e, int32_t* const* errors, int32_t width, int32_t largest) {
#if defined(__x86_64__) || defined(__i386__)
  if (largest < kWideErrorLimit && active_simd_level() == SimdLevel::kAvx2)
    return give_to_rows_below_avx2(K, D, e, errors[1], errors[2], width);
#endif
  (void)largest;
  give_to_row_below<K, D, 1>(e, errors[1], width);
  give_to_row_below<K, D, 2>(e, errors[2], width);
}

template <const DiffusionKernel& K, int D, bool kLinear>
void chain_row(const int32_t* values, int32_t* const* errors, int32_t width, bool invert, ChainScratch& scratch,
               uint8_t* bits, bool carry) {
  static_assert(ahead_shares_truncated<K>(), "the shares ahead come from the tables");
  constexpr int32_t white = kLinear ? 65535 : 255, half = white / 2;
  constexpr int kNext = ahead_weight<K>(1), kAfter = ahead_weight<K>(2);
  const AheadShares* table = kLinear ? nullptr : ahead_table<K>();
  // base: s plus what the rows above gave, two zeros either side.
  int32_t* base = scratch.base.data() + 2;
  for (int32_t x = 0; x < width; ++x) base[x] = values[x] + errors[0][x];
  base[width] = base[width + 1] = 0;  // the scratch may be wider than this part of a row
  int32_t* e_row = scratch.errors.data() + 4;
  std::fill(e_row + width, e_row + width + 4, 0);
  uint8_t* whites = scratch.whites.data();
  int32_t largest = 0;  // the OR of every |e| - (e < 0): at least the largest |e| less one
  // The chain is w -> the share to the next pixel -> its w: the next pixel's base and
  // the share two back are added before w is known.
  int32_t x = D > 0 ? 0 : width - 1;
  intptr_t w = base[x];
  intptr_t next_partial = base[x + D];
  for (int32_t i = 0; i < width; ++i, x += D) {
    intptr_t to_next, to_after;  // as wide as w: no widening on the chain
    if (!kLinear && __builtin_expect(static_cast<uintptr_t>(w - kTableLow) < uintptr_t{kTableHigh - kTableLow}, 1)) {
      to_next = table[w].next;
      to_after = table[w].after;
    } else {
      const int32_t e = w > half ? static_cast<int32_t>(w) - white : static_cast<int32_t>(w);
      to_next = e * kNext / K.divisor;
      to_after = e * kAfter / K.divisor;
    }
    const intptr_t next_w = next_partial + to_next;
    next_partial = base[x + 2 * D] + to_after;
    const bool is_white = w > half;
    const int32_t e = is_white ? static_cast<int32_t>(w) - white : static_cast<int32_t>(w);
    largest |= e ^ (e >> 31);
    e_row[x] = e;
    whites[x] = static_cast<uint8_t>(is_white != invert);
    w = next_w;
  }
  if (carry) {
    // What the last pixels give the two after them: the next part of the row takes it.
    errors[0][width] += static_cast<int32_t>(w);
    errors[0][width + 1] += static_cast<int32_t>(next_partial);
  }
  give_to_rows_below<K, D>(e_row, errors, width, largest);
  const int32_t whole = width / 8;
  for (int32_t b = 0; b < whole; ++b) {
    const uint8_t* f = whites + 8 * b;
    bits[b] = static_cast<uint8_t>(f[0] << 7 | f[1] << 6 | f[2] << 5 | f[3] << 4 | f[4] << 3 | f[5] << 2 |
                                   f[6] << 1 | f[7]);
  }
  if (whole * 8 < width) {
    bits[whole] = 0;
    for (int32_t p = whole * 8; p < width; ++p) bits[whole] |= static_cast<uint8_t>(whites[p] << (7 - (p & 7)));
  }
}

template <const DiffusionKernel& K>
void chain_row(const int32_t* values, int32_t* const* errors, int32_t width, int direction, bool linear, bool invert,
               ChainScratch& scratch, uint8_t* bits, bool carry) {
  if (direction > 0) {
    (linear ? chain_row<K, 1, true> : chain_row<K, 1, false>)(values, errors, width, invert, scratch, bits, carry);
  } else {
    (linear ? chain_row<K, -1, true> : chain_row<K, -1, false>)(values, errors, width, invert, scratch, bits, false);
  }
}

}  // namespace

void size_chain_scratch(ChainScratch& scratch, int32_t width) {
  scratch.base.assign(static_cast<size_t>(width) + 4, 0);
  scratch.errors.assign(static_cast<size_t>(width) + 8, 0);
  scratch.whites.assign(static_cast<size_t>(width) + 8, 0);
}

void diffuse_row_chain(const DiffusionKernel& kernel, const int32_t* values, int32_t* const* errors, int32_t width,
                       int direction, bool linear, bool invert, ChainScratch& scratch, uint8_t* bits, bool carry) {
  using Row = void (*)(const int32_t*, int32_t* const*, int32_t, int, bool, bool, ChainScratch&, uint8_t*, bool);
  Row row = chain_row<kFloydSteinbergKernel>;
  if (&kernel == &kJarvisKernel) row = chain_row<kJarvisKernel>;
  if (&kernel == &kStuckiKernel) row = chain_row<kStuckiKernel>;
  if (&kernel == &kBurkesKernel) row = chain_row<kBurkesKernel>;
  if (&kernel == &kSierraKernel) row = chain_row<kSierraKernel>;
  if (&kernel == &kSierra2Kernel) row = chain_row<kSierra2Kernel>;
  if (&kernel == &kSierraLiteKernel) row = chain_row<kSierraLiteKernel>;
  if (&kernel == &kAtkinsonKernel) row = chain_row<kAtkinsonKernel>;
  row(values, errors, width, direction, linear, invert, scratch, bits, carry);
}

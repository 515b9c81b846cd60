// The shares a diffused row gives to the rows below, eight receiving pixels at a time
// with AVX2 in 32-bit lanes (the shares as shares_x86.h gives them).
#include "halftone/error_diffusion_chain.h"

#if defined(__x86_64__) || defined(__i386__)
#include "halftone/shares_x86.h"

#define QVX_AVX2 __attribute__((target("avx2")))
// Deep template recursions stay inline with GCC too (a vector returned across a call
// would change the ABI).
#define QVX_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace {

// The truncated shares 0 .. k - 1 of e, summed.
template <const DiffusionKernel& K, int k>
QVX_AVX2_INLINE __m256i shares_before(__m256i e) {
  if constexpr (k == 0) {
    return _mm256_setzero_si256();
  } else {
    return _mm256_add_epi32(shares_before<K, k - 1>(e),
                            truncated_share<K.shares[k - 1].weight, K.divisor>(e));
  }
}

template <const DiffusionKernel& K, int k>
QVX_AVX2_INLINE __m256i share_vector(__m256i e) {
  if constexpr (K.remainder_to_last && k == K.count - 1) {
    return _mm256_sub_epi32(e, shares_before<K, k>(e));
  } else {
    return truncated_share<K.shares[k].weight, K.divisor>(e);
  }
}

template <const DiffusionKernel& K, int D, int kDy, int k = 0>
QVX_AVX2_INLINE __m256i received_vector(const int32_t* e, int32_t x) {
  if constexpr (k == K.count) {
    return _mm256_setzero_si256();
  } else if constexpr (K.shares[k].dy == kDy) {
    const __m256i from = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(e + x - D * K.shares[k].dx));
    return _mm256_add_epi32(share_vector<K, k>(from), received_vector<K, D, kDy, k + 1>(e, x));
  } else {
    return received_vector<K, D, kDy, k + 1>(e, x);
  }
}

template <const DiffusionKernel& K, int D, int kDy>
QVX_AVX2 void give_to_row_below(const int32_t* e, int32_t* below, int32_t width) {
  if constexpr (reaches<K>(kDy)) {
    int32_t x = -2;
    for (; x + 8 <= width + 2; x += 8) {
      __m256i* to = reinterpret_cast<__m256i*>(below + x);
      _mm256_storeu_si256(to, _mm256_add_epi32(_mm256_loadu_si256(to), received_vector<K, D, kDy>(e, x)));
    }
    for (; x < width + 2; ++x) below[x] += received<K, D, kDy>(e, x);
  }
}

template <const DiffusionKernel& K>
QVX_AVX2 void give(int direction, const int32_t* e, int32_t* below1, int32_t* below2, int32_t width) {
  if (direction > 0) {
    give_to_row_below<K, 1, 1>(e, below1, width);
    give_to_row_below<K, 1, 2>(e, below2, width);
  } else {
    give_to_row_below<K, -1, 1>(e, below1, width);
    give_to_row_below<K, -1, 2>(e, below2, width);
  }
}

}  // namespace

QVX_AVX2 void give_to_rows_below_avx2(const DiffusionKernel& kernel, int direction, const int32_t* e, int32_t* below1,
                             int32_t* below2, int32_t width) {
  using Give = void (*)(int, const int32_t*, int32_t*, int32_t*, int32_t);
  Give give_shares = give<kFloydSteinbergKernel>;
  if (&kernel == &kJarvisKernel) give_shares = give<kJarvisKernel>;
  if (&kernel == &kStuckiKernel) give_shares = give<kStuckiKernel>;
  if (&kernel == &kBurkesKernel) give_shares = give<kBurkesKernel>;
  if (&kernel == &kSierraKernel) give_shares = give<kSierraKernel>;
  if (&kernel == &kSierra2Kernel) give_shares = give<kSierra2Kernel>;
  if (&kernel == &kSierraLiteKernel) give_shares = give<kSierraLiteKernel>;
  if (&kernel == &kAtkinsonKernel) give_shares = give<kAtkinsonKernel>;
  give_shares(direction, e, below1, below2, width);
}

#endif

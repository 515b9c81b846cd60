// The one random generator the conversion and both panes draw from. It starts at 1
// in every process and is never re-seeded, so a batch run is fully determined.
#ifndef QVX_RANDOM_SOURCE_H
#define QVX_RANDOM_SOURCE_H

#include <cstdint>

// A draw is the affine step s -> kRandomMultiplier s + kRandomIncrement (mod 2^32).
constexpr uint32_t kRandomMultiplier = 22695477u;
constexpr uint32_t kRandomIncrement = 1u;

struct RandomSource {
  uint32_t state = 1;
};

// Returns the next value 0..32767.
inline int draw_random(RandomSource& random) {
  random.state = random.state * kRandomMultiplier + kRandomIncrement;
  return static_cast<int>((random.state >> 16) & 0x7FFF);
}

#endif

// Moving the random source forward without drawing, so that a picture read in
// another row order than it is converted in still gets each pixel's own draw, and
// the vector kernels can give each lane its own place in the sequence.
#ifndef QVX_RANDOM_JUMP_H
#define QVX_RANDOM_JUMP_H

#include <cstdint>

#include "mono/random_source.h"

// The generator after `steps` draws from state s is a * s + c (mod 2^32).
struct RandomJump {
  uint32_t a, c;
};

// Returns the jump of `steps` draws.
RandomJump random_jump(uint64_t steps);

// Returns the state a jump leads to from `state`.
inline uint32_t jumped_state(uint32_t state, RandomJump jump) { return jump.a * state + jump.c; }

// Returns the source as it stands after `draws` more draws from `start`.
inline RandomSource random_after(RandomSource start, uint64_t draws) {
  start.state = jumped_state(start.state, random_jump(draws));
  return start;
}

// The vector draws: lane j of register m holds the state after (lanes) m + j + 1
// draws, and every register then moves on by one whole step of 16 or 32 draws.
constexpr int kLaneJumpCount = 32;

struct LaneJumps {
  uint32_t a[kLaneJumpCount], c[kLaneJumpCount];  // the jumps of k + 1 draws
  RandomJump step16, step32;
};

// Returns the jumps, worked out once.
const LaneJumps& lane_jumps();

#endif

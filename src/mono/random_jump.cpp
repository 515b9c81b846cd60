#include "mono/random_jump.h"

RandomJump random_jump(uint64_t steps) {
  // Composes the affine step with itself by squaring, taking the powers that the
  // count's bits name.
  RandomJump result{1, 0}, power{kRandomMultiplier, kRandomIncrement};
  for (; steps != 0; steps >>= 1) {
    if (steps & 1) result = RandomJump{power.a * result.a, power.a * result.c + power.c};
    power = RandomJump{power.a * power.a, power.a * power.c + power.c};
  }
  return result;
}

const LaneJumps& lane_jumps() {
  static const LaneJumps jumps = [] {
    LaneJumps j;
    for (int k = 0; k < kLaneJumpCount; ++k) {
      const RandomJump step = random_jump(static_cast<uint64_t>(k + 1));
      j.a[k] = step.a;
      j.c[k] = step.c;
    }
    j.step16 = random_jump(16);
    j.step32 = random_jump(32);
    return j;
  }();
  return jumps;
}

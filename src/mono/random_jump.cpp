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

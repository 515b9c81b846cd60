#include "mono/random_jump.h"

RandomSource random_after(RandomSource start, uint64_t draws) {
  // A draw is the affine map s -> a s + c (mod 2^32); compose it with itself by
  // squaring, taking the powers that the count's bits name.
  uint32_t a = 22695477u, c = 1u;
  uint32_t total_a = 1u, total_c = 0u;
  for (; draws != 0; draws >>= 1) {
    if (draws & 1) {
      total_a *= a;
      total_c = total_c * a + c;
    }
    c = c * a + c;
    a = a * a;
  }
  start.state = start.state * total_a + total_c;
  return start;
}

// Moving the random source forward without drawing, so that a picture read in
// another row order than it is converted in still gets each pixel's own draw.
#ifndef QVX_RANDOM_JUMP_H
#define QVX_RANDOM_JUMP_H

#include <cstdint>

#include "mono/random_source.h"

// Returns the source as it stands after `draws` more draws from `start`.
RandomSource random_after(RandomSource start, uint64_t draws);

#endif

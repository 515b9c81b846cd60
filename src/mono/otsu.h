// Otsu's threshold of a luminance histogram, as a density.
#ifndef QVX_OTSU_H
#define QVX_OTSU_H

#include <cstdint>

// Returns the t (0..254) that maximises the between-class variance of the classes
// 0..t and t+1..255: pixels above t turn white. An empty or one-level histogram gives 127.
int otsu_threshold(const uint64_t histogram[256]);

#endif

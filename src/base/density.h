// The density (the Letter threshold, the photo modes' base and every halftoning
// method's tone offset): its range on the slider and on the command lines, and its
// value when none is given. The Windows program and the method descriptors both
// take it from here.
#ifndef QVX_BASE_DENSITY_H
#define QVX_BASE_DENSITY_H

constexpr int kDensityMin = 0;
constexpr int kDensityMax = 254;
constexpr int kDensityDefault = 127;

#endif

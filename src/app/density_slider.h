// The density slider: how its scroll codes move the density.
#ifndef QVX_DENSITY_SLIDER_H
#define QVX_DENSITY_SLIDER_H

// Returns the change of the density for a scroll code of the density scroll bar.
int density_step(int code, int thumb, int current);

// Returns the density after a scroll code, limited to kDensityMin..kDensityMax.
int next_density(int code, int thumb, int current);

#endif

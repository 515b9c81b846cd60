#include "app/density_slider.h"

#include "mono/conversion.h"
#include "view/view_state.h"

int density_step(int code, int thumb, int current) {
  switch (code) {
    case kLineUp: return -1;
    case kLineDown: return 1;
    case kPageUp: return -16;
    case kPageDown: return 16;
    case kThumbPosition:
    case kThumbTrack: return thumb - current;
    default: return 0;
  }
}

int next_density(int code, int thumb, int current) {
  const int next = current + density_step(code, thumb, current);
  return next < kDensityMin ? kDensityMin : next > kDensityMax ? kDensityMax : next;
}

#include "mono/otsu.h"

#include "mono/conversion.h"

int otsu_threshold(const uint64_t histogram[256]) {
  long double total = 0, sum = 0;
  for (int i = 0; i < 256; ++i) {
    total += histogram[i];
    sum += static_cast<long double>(i) * histogram[i];
  }
  if (total == 0) return kDensityDefault;
  long double weight_low = 0, sum_low = 0, best = -1;
  int best_t = -1;
  for (int t = 0; t < 255; ++t) {
    weight_low += histogram[t];
    sum_low += static_cast<long double>(t) * histogram[t];
    const long double weight_high = total - weight_low;
    if (weight_low == 0 || weight_high == 0) continue;
    const long double mean_low = sum_low / weight_low;
    const long double mean_high = (sum - sum_low) / weight_high;
    const long double between = weight_low * weight_high * (mean_low - mean_high) * (mean_low - mean_high);
    if (between > best) {
      best = between;
      best_t = t;
    }
  }
  return best_t < 0 ? kDensityDefault : best_t;
}

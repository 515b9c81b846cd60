// Local thresholds: each pixel against the sums of its window, the window's column
// sums kept by the converter over its band of rows.
#include <cmath>
#include <cstring>

#include "halftone/halftone_rows.h"

void local_threshold_row(HalftoneMethod method, const uint16_t* s, const int64_t* column_sums,
                         const int64_t* column_squares, int32_t rows, int32_t width, int32_t radius, int percent,
                         double k, int32_t white, bool invert, int64_t* row_sums, int64_t* row_squares,
                         uint8_t* bits) {
  // Sums along the row of the column sums: the window of x is row_sums[hi] - row_sums[lo].
  row_sums[0] = 0;
  row_squares[0] = 0;
  for (int32_t x = 0; x < width; ++x) {
    row_sums[x + 1] = row_sums[x] + column_sums[x];
    row_squares[x + 1] = row_squares[x] + column_squares[x];
  }
  std::memset(bits, 0, (static_cast<size_t>(width) + 7) / 8);
  // Sauvola's dynamic range R: half the 8-bit scale, and 257 times that in linear light.
  const double range = white == 255 ? 128.0 : 128.0 * 257.0;
  for (int32_t x = 0; x < width; ++x) {
    const int32_t lo = x - radius < 0 ? 0 : x - radius;
    const int32_t hi = x + radius + 1 > width ? width : x + radius + 1;
    const int64_t n = int64_t{rows} * (hi - lo);
    const int64_t sum = row_sums[hi] - row_sums[lo];
    bool is_white;
    if (method == HalftoneMethod::kBradley) {
      is_white = int64_t{s[x]} * n * 100 > sum * (100 - percent);
    } else {
      const double count = static_cast<double>(n);
      const double m = static_cast<double>(sum) / count;
      const double mean_of_squares = static_cast<double>(row_squares[hi] - row_squares[lo]) / count;
      const double square_of_mean = m * m;
      const double variance = mean_of_squares - square_of_mean;
      const double sd = std::sqrt(variance > 0 ? variance : 0.0);
      double t;
      if (method == HalftoneMethod::kSauvola) {
        const double ratio = sd / range;
        const double spread = k * (ratio - 1.0);
        t = m * (1.0 + spread);
      } else {
        const double above = k * sd;
        t = m + above;
      }
      is_white = static_cast<double>(s[x]) > t;
    }
    if (is_white != invert) bits[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }
}

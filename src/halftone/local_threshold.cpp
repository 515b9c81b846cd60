// Local thresholds: each pixel against the sums of its window, the window's column
// sums kept by the converter over its band of rows.
#include <cmath>
#include <cstring>

#include "halftone/halftone_rows.h"

bool local_white(HalftoneMethod method, int64_t s, int64_t n, int64_t sum, int64_t squares, int percent, double k,
                 double range) {
  if (method == HalftoneMethod::kBradley) return s * n * 100 > sum * (100 - percent);
  const int64_t above = n * s - sum;  // n (s - m)
  const double count = static_cast<double>(n), total = static_cast<double>(sum);
  const double spread = count * static_cast<double>(squares) - total * total;  // n^2 sd^2
  const double root = std::sqrt(spread > 0 ? spread : 0.0);                    // n sd
  if (method == HalftoneMethod::kNiblack) {
    const double right = k * root;
    return static_cast<double>(above) > right;
  }
  const double scale = count * range;  // n R
  const double left = scale * static_cast<double>(above);
  const double weight = k * total;
  const double slack = scale - root;
  const double right = weight * slack;
  return left > -right;
}

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
  const double range = local_range(white);
  for (int32_t x = 0; x < width; ++x) {
    const int32_t lo = x - radius < 0 ? 0 : x - radius;
    const int32_t hi = x + radius + 1 > width ? width : x + radius + 1;
    const bool is_white = local_white(method, s[x], int64_t{rows} * (hi - lo), row_sums[hi] - row_sums[lo],
                                      row_squares[hi] - row_squares[lo], percent, k, range);
    if (is_white != invert) bits[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }
}

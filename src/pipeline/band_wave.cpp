#include "pipeline/band_wave.h"

#include <algorithm>

#include "halftone/halftone_rows.h"
#include "image/simd_level.h"

namespace {

// Diffuses `rows` rows (luminance at luma, row after row) one at a time into their bits,
// the errors carried into the first two in above0 and above1; below gets the errors
// carried into the two rows after them (rows of the thread's scratch).
void diffuse_rows_alone(const HalftoneConverter& c, WaveThread& w, const uint8_t* luma, int32_t rows,
                        const int32_t* above0, const int32_t* above1, uint8_t* bits, int32_t** below) {
  const int32_t width = c.width;
  const size_t bytes = (static_cast<size_t>(width) + 7) / 8;
  int32_t* ring[kErrorRows];
  for (int i = 0; i < kErrorRows; ++i) ring[i] = w.errors.data() + static_cast<size_t>(i) * (static_cast<size_t>(width) + 4) + 2;
  std::fill(w.errors.begin(), w.errors.end(), 0);
  std::copy(above0, above0 + width, ring[0]);
  std::copy(above1, above1 + width, ring[1]);
  const DiffusionKernel& kernel = diffusion_kernel(c.method);
  for (int32_t r = 0; r < rows; ++r, luma += width, bits += bytes) {
    int32_t* errors[kErrorRows] = {ring[r % 3], ring[(r + 1) % 3], ring[(r + 2) % 3]};
    for (int32_t x = 0; x < width; ++x) w.values[x] = c.tone[luma[x]];
    if (c.chained) {
      diffuse_row_chain(kernel, w.values.data(), errors, width, 1, c.params.linear, c.params.invert, w.chain, bits);
    } else {
      diffuse_row_scalar(kernel, w.values.data(), errors, width, 1, c.white / 2, c.white, c.params.invert, bits);
    }
    // The row's own errors are used up: it becomes the row three below, pads included.
    std::fill(errors[0] - 2, errors[0] + width + 2, 0);
  }
  below[0] = ring[rows % 3];
  below[1] = ring[(rows + 1) % 3];
}

uint8_t* wave_luma_row(BandWave& w, int32_t width, int32_t row) {
  return w.luma.data() + static_cast<size_t>(row % w.ring_rows) * static_cast<size_t>(width);
}

uint8_t* wave_bits_of(BandWave& w, int32_t width, int64_t band) {
  return w.bits.data() + static_cast<size_t>(band % w.ring_bands) * static_cast<size_t>(w.rows) * ((static_cast<size_t>(width) + 7) / 8);
}

// The errors carried into row r (0 or 1) of a band.
int32_t* carried_row(BandWave& w, int32_t width, int64_t band, int r) {
  const int64_t slot = band % (w.ring_bands + 2);
  return w.carried.data() + static_cast<size_t>(slot * 2 + r) * static_cast<size_t>(width);
}

// A band as it goes: which it is, how far the band above was last seen, how far it handed on.
struct BandPlace {
  BandWave* wave;
  int32_t width;
  int64_t band;
  int64_t seen;
  int32_t given;
};

void wait_for_band_above(void* context, int32_t columns) {
  BandPlace& p = *static_cast<BandPlace*>(context);
  if (p.band == 0) return;
  const int64_t needed = (p.band - 1) * (int64_t{p.width} + 1) + columns;
  // A later band in the same slot means this one is done: the ring holds no more bands than slots.
  const std::atomic<int64_t>& above = p.wave->progress[static_cast<size_t>((p.band - 1) % p.wave->ring_bands)].value;
  if (p.seen < needed) p.seen = wait_for_progress(above, needed);
}

void hand_on(void* context, int32_t columns) {
  BandPlace& p = *static_cast<BandPlace*>(context);
  p.given = columns;
  p.wave->progress[static_cast<size_t>(p.band % p.wave->ring_bands)].value.store(
      p.band * (int64_t{p.width} + 1) + columns, std::memory_order_release);
}

// The next band whose rows are all in the ring, taken; kNoBandYet, or kNoBandLeft once
// every whole band is taken.
constexpr int64_t kNoBandYet = -1, kNoBandLeft = -2;

int64_t take_band(BandWave& w) {
  int64_t b = w.next_band.load(std::memory_order_relaxed);
  for (;;) {
    if (b >= w.bands) return kNoBandLeft;
    if ((b + 1) * w.rows > w.rows_in.load(std::memory_order_acquire)) return kNoBandYet;
    // Bands that make their own rows wait for their room in the ring.
    if (w.fill_any && b >= w.delivered.load(std::memory_order_acquire) + w.ring_bands) return kNoBandYet;
    if (w.next_band.compare_exchange_weak(b, b + 1, std::memory_order_relaxed)) return b;
  }
}

// Bands taken but not begun (the rows are there): what the other threads still have to do.
int64_t bands_waiting(const BandWave& w) {
  return std::min<int64_t>(w.bands, w.rows_in.load(std::memory_order_relaxed) / w.rows) -
         w.next_band.load(std::memory_order_relaxed);
}

// Diffuses band b on the vector path, linked to the bands above and below it, then
// marks its bits there.
void diffuse_wave_band(const HalftoneConverter& c, BandWave& w, int thread, int64_t band) {
  const int32_t width = c.width;
  const size_t bytes = (static_cast<size_t>(width) + 7) / 8;
  WaveThread& t = w.threads[static_cast<size_t>(thread)];
  BandPlace place{&w, width, band, -1, 0};
  const BandLink link{wait_for_band_above, hand_on, &place, carried_row(w, width, band + 1, 0),
                      carried_row(w, width, band + 1, 1)};
  const int32_t* above0 = carried_row(w, width, band, 0);
  const int32_t* above1 = carried_row(w, width, band, 1);
  const uint8_t* luma = wave_luma_row(w, width, static_cast<int32_t>(band * w.rows));
  if (w.fill_any) {
    for (int32_t j = 0; j < w.rows; ++j) {
      const int32_t y = static_cast<int32_t>(band * w.rows) + j;
      (*w.fill_any)(y, wave_luma_row(w, width, y));
    }
  }
  uint8_t* bits = wave_bits_of(w, width, band);
  const uint8_t* rows[kDiffusionBandRows];
  uint8_t* out[kDiffusionBandRows];
  for (int j = 0; j < w.rows; ++j) {
    rows[j] = luma + static_cast<size_t>(j) * static_cast<size_t>(width);
    out[j] = bits + static_cast<size_t>(j) * bytes;
  }
#if defined(__x86_64__) || defined(__i386__)
  const bool done =
      c.params.linear
          ? diffuse_band_wide_avx2(c.method, rows, c.tone, above0, above1, width, c.params.invert, t.scratch, out, &link)
          : diffuse_band_avx2(c.method, rows, 127 - c.params.density, above0, above1, width, c.params.invert,
                              t.scratch, out, &link);
#else
  const bool done = false;
#endif
  if (!done) {
    // Errors past the vector range: the rows one at a time once the band above is whole;
    // what was handed on already is exact and stays.
    wait_for_band_above(&place, width);
    int32_t* below[2];
    diffuse_rows_alone(c, t, luma, w.rows, above0, above1, bits, below);
    std::copy(below[0] + place.given, below[0] + width, link.below0 + place.given);
    std::copy(below[1] + place.given, below[1] + width, link.below1 + place.given);
    hand_on(&place, width);
  }
  w.finished[static_cast<size_t>(band % w.ring_bands)].value.store(band, std::memory_order_release);
}

// A thread's loop: every band it can take, until none is left or the picture is abandoned.
void serve_wave(const HalftoneConverter& c, BandWave& w, int thread) {
  for (int spins = 0;;) {
    const int64_t band = take_band(w);
    if (band >= 0) {
      diffuse_wave_band(c, w, thread, band);
      spins = 0;
    } else if (band == kNoBandLeft || w.stop.load(std::memory_order_relaxed)) {
      return;
    } else if (++spins > 64) {
      yield_band();
    }
  }
}

// Gives the sink every band finished in order from the first not given yet.
void deliver_bands(BandWave& w) {
  const size_t bytes = (static_cast<size_t>(w.width) + 7) / 8;
  for (int64_t d = w.delivered.load(std::memory_order_relaxed);
       d < w.bands && w.finished[static_cast<size_t>(d % w.ring_bands)].value.load(std::memory_order_acquire) == d; ++d) {
    const uint8_t* bits = wave_bits_of(w, w.width, d);
    for (int32_t r = 0; r < w.rows; ++r) w.sink.take(w.sink.context, static_cast<int32_t>(d * w.rows) + r, bits + r * bytes);
    w.delivered.store(d + 1, std::memory_order_release);
  }
}

// The caller's share while it waits: the bands given out, a band diffused if one is
// there, else a moment for the others.
void help_wave(BandWave& w) {
  deliver_bands(w);
  const int64_t band = take_band(w);
  if (band >= 0) {
    diffuse_wave_band(*w.converter, w, 0, band);
    deliver_bands(w);
  } else {
    yield_band();
  }
}

}  // namespace

BandWave::~BandWave() {
  if (!job) return;
  // An abandoned picture: the threads finish the bands they have and take no more.
  stop.store(true);
  finish_bands(*pool);
}

bool band_wave_takes(const HalftoneConverter& c) {
#if defined(__x86_64__) || defined(__i386__)
  return halftone_method_info(c.method).family == HalftoneFamily::kErrorDiffusion && c.banded != 0 &&
         active_simd_level() == SimdLevel::kAvx2;
#else
  (void)c;
  return false;
#endif
}

void start_band_wave(BandWave& w, const HalftoneConverter& c, int32_t height, bool linear, BandThreads& pool,
               WaveSink sink) {
  w.converter = &c;
  w.width = c.width;
  w.height = height;
  w.sink = sink;
  const int count = pool.count;
  const size_t width = static_cast<size_t>(c.width), bytes = (width + 7) / 8;
  w.rows = c.banded;
  w.bands = height / w.rows;
  // About 1 MiB of luminance ahead (a few strips), four bands a thread at least, no
  // more than the picture.
  const int64_t whole = (int64_t{height} + w.rows - 1) / w.rows;
  w.ring_bands = std::max<int64_t>(4 * count, (int64_t{1} << 20) / static_cast<int64_t>(width * w.rows) + 1);
  w.ring_bands = std::max<int64_t>(1, std::min(w.ring_bands, whole));
  w.ring_rows = static_cast<int32_t>(w.ring_bands * w.rows);
  w.luma.assign(static_cast<size_t>(w.ring_rows) * width, 0);
  w.bits.assign(static_cast<size_t>(w.ring_rows) * bytes, 0);
  w.carried.assign(static_cast<size_t>(w.ring_bands + 2) * 2 * width, 0);
  w.threads.resize(static_cast<size_t>(count));
  for (WaveThread& t : w.threads) {
    if (linear) {
      size_wide_band_scratch(t.scratch, c.width);
    } else {
      size_band_scratch(t.scratch, c.width);
    }
    t.values.assign(width, 0);
    t.errors.assign(kErrorRows * (width + 4), 0);
    size_chain_scratch(t.chain, c.width);
  }
  w.progress.reset(new WaveCount[static_cast<size_t>(w.ring_bands)]);
  w.finished.reset(new WaveCount[static_cast<size_t>(w.ring_bands)]);
  w.pool = &pool;
}

void feed_band_wave(BandWave& w, int32_t top, int32_t rows, const std::function<void(int32_t, uint8_t*)>& fill) {
  if (!w.job) {
    w.job = [&w](int thread) { serve_wave(*w.converter, w, thread); };
    start_bands(*w.pool, w.job);
  }
  // Leave the others as many bands as they took while the caller was away, and one
  // more: fewer if they had some left over, more if they ran out.
  const int64_t keep = w.next_band.load(std::memory_order_relaxed) - w.left_at + 1;
  for (int32_t k = 0; k < rows; ++k) {
    const int32_t y = top + k;
    while (y >= w.delivered.load(std::memory_order_relaxed) * w.rows + w.ring_rows) help_wave(w);
    fill(k, wave_luma_row(w, w.width, y));
    if ((y + 1) % w.rows == 0) w.rows_in.store(y + 1, std::memory_order_release);
  }
  w.rows_in.store(top + rows, std::memory_order_release);
  deliver_bands(w);
  while (bands_waiting(w) > keep) help_wave(w);
  w.left_at = w.next_band.load(std::memory_order_relaxed);
}

void run_band_wave(BandWave& w, const std::function<void(int32_t, uint8_t*)>& fill) {
  w.fill_any = &fill;
  w.rows_in.store(w.height, std::memory_order_release);
  w.job = [&w](int thread) { serve_wave(*w.converter, w, thread); };
  start_bands(*w.pool, w.job);
  finish_band_wave(w);
  w.fill_any = nullptr;
}

void finish_band_wave(BandWave& w) {
  if (w.ended) return;
  w.ended = true;
  for (int64_t band; (band = take_band(w)) != kNoBandLeft;) {
    if (band >= 0) {
      diffuse_wave_band(*w.converter, w, 0, band);
    } else if (w.fill_any) {
      yield_band();
    }
    deliver_bands(w);
  }
  if (w.job) finish_bands(*w.pool);
  w.job = nullptr;
  deliver_bands(w);
  const int32_t first = static_cast<int32_t>(w.bands * w.rows), rows = w.height - first;
  if (rows <= 0) return;
  const size_t bytes = (static_cast<size_t>(w.width) + 7) / 8;
  if (w.fill_any) {
    for (int32_t y = first; y < w.height; ++y) (*w.fill_any)(y, wave_luma_row(w, w.width, y));
  }
  int32_t* below[2];
  uint8_t* bits = wave_bits_of(w, w.width, w.bands);
  diffuse_rows_alone(*w.converter, w.threads[0], wave_luma_row(w, w.width, first), rows,
                     carried_row(w, w.width, w.bands, 0), carried_row(w, w.width, w.bands, 1), bits, below);
  for (int32_t r = 0; r < rows; ++r) w.sink.take(w.sink.context, first + r, bits + r * bytes);
}


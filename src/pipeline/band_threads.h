// A few threads that convert bands of one picture's rows side by side: started once
// per picture, each band handed out as a numbered job, the caller working the first.
// Where the build has no threads (WebAssembly), the caller works every band alone.
#ifndef QVX_PIPELINE_BAND_THREADS_H
#define QVX_PIPELINE_BAND_THREADS_H

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>

struct BandPool;

struct BandThreads {
  int count = 1;  // the caller and the threads started
  BandPool* pool = nullptr;
  BandThreads() = default;
  BandThreads(const BandThreads&) = delete;
  BandThreads& operator=(const BandThreads&) = delete;
  ~BandThreads();
};

// Starts count - 1 threads beside the caller (fewer when the system has none to give).
void start_band_threads(BandThreads& bands, int count);

// Runs job(0) .. job(count - 1), job(0) on the caller, and returns when all are done.
// The jobs must not throw: allocate before.
void run_bands(BandThreads& bands, const std::function<void(int)>& job);

// Starts job(1) .. job(count - 1) on the threads and returns at once, so that the caller
// can go on with other work; the job must live until finish_bands returns, and nothing
// else may run on the threads meanwhile.
void start_bands(BandThreads& bands, const std::function<void(int)>& job);

// Returns when the jobs start_bands started are done.
void finish_bands(BandThreads& bands);

// Lets another thread run: a band waiting for the band above it.
void yield_band();

// Waits until another thread's published progress reaches `needed`; returns the last
// value seen. Spins a little, then lets other threads run.
inline int64_t wait_for_progress(const std::atomic<int64_t>& progress, int64_t needed) {
  int64_t seen = progress.load(std::memory_order_acquire);
  for (int spins = 0; seen < needed; ++spins) {
    if (spins > 64) yield_band();
    seen = progress.load(std::memory_order_acquire);
  }
  return seen;
}

// A wavefront of rows: each row tells the row below how far it is, as
// row * (width + 1) + columns done, every kWaveChunk columns.
constexpr int32_t kWaveChunk = 256;

// Runs row y of a wavefront: chunk(x0, x1) for its columns in turn, each once the row
// above (which publishes `above`; null for the first row) is four columns past it, as
// the kernels reach two columns either side. Publishes all but the last chunk in
// `own`: the caller says the row is done with finish_wave_row.
template <class Chunk>
void run_wave_row(const std::atomic<int64_t>* above, std::atomic<int64_t>& own, int32_t y, int32_t width,
                  Chunk chunk) {
  const int64_t span = int64_t{width} + 1;
  for (int32_t x0 = 0; x0 < width; x0 += kWaveChunk) {
    const int32_t x1 = std::min(width, x0 + kWaveChunk);
    if (above) wait_for_progress(*above, int64_t{y - 1} * span + std::min(width, x1 + 4));
    chunk(x0, x1);
    if (x1 < width) own.store(int64_t{y} * span + x1, std::memory_order_release);
  }
}

inline void finish_wave_row(std::atomic<int64_t>& own, int32_t y, int32_t width) {
  own.store(int64_t{y} * (int64_t{width} + 1) + width, std::memory_order_release);
}

// The first row of band `band` of `count` over `rows` rows: equal bands, in order.
inline int32_t band_start(int32_t rows, int band, int count) {
  return static_cast<int32_t>(int64_t{rows} * band / count);
}

#endif

// Error diffusion of one picture on the vector bands of several threads side by side,
// while its strips are still read: the reader puts each strip's luminance into a ring
// of rows, and every thread takes the next band whose rows are there.
#ifndef QVX_PIPELINE_BAND_WAVE_H
#define QVX_PIPELINE_BAND_WAVE_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "pipeline/band_threads.h"
#include "halftone/halftone.h"

// Where the diffused rows go, each once, in order from the top.
struct WaveSink {
  void* context = nullptr;
  void (*take)(void* context, int32_t top, const uint8_t* bits) = nullptr;
};

// One thread's scratch for the vector bands side by side, and for rows it takes one at
// a time (a band whose errors outgrow the vector range, the rows after the last band).
struct WaveThread {
  DiffusionBandScratch scratch;
  std::vector<int32_t> values;  // one row of s
  std::vector<int32_t> errors;  // kErrorRows rows of width + 4
  ChainScratch chain;
};

// A count one thread sets and others read, alone on its cache line so that the bands
// next to each other don't take the line from each other.
struct alignas(64) WaveCount {
  std::atomic<int64_t> value{-1};
};

// Error diffusion on the vector bands side by side, while the strips are still read:
// the caller puts each strip's luminance into a ring of rows, and every thread, the
// caller too when it has nothing else to do, takes the next band whose rows are there.
// A band runs a stretch of columns behind the band above it (BandLink).
struct BandWave {
  int32_t rows = 0;          // rows a band
  int32_t ring_rows = 0;     // rows of luminance held: ring_bands bands
  int64_t ring_bands = 0;
  int64_t bands = 0;         // whole bands in the picture; the rows after them go one at a time
  std::vector<uint8_t> luma;      // row y at y % ring_rows
  std::vector<uint8_t> bits;      // band b's rows at b % ring_bands
  std::vector<int32_t> carried;   // the errors carried into band b's first two rows at b % (ring_bands + 2)
  std::vector<WaveThread> threads;  // the caller's first
  std::unique_ptr<WaveCount[]> progress;  // per ring band: band * (width + 1) + columns handed on
  std::unique_ptr<WaveCount[]> finished;  // per ring band: the last band whose bits are there
  std::atomic<int32_t> rows_in{0};     // rows whose luminance is in the ring
  std::atomic<int64_t> next_band{0};   // the next band to take
  std::atomic<int64_t> delivered{0};   // bands given to the output: their rows' room is free
  std::atomic<bool> stop{false};       // the picture is abandoned
  int64_t left_at = 0;                 // next_band when the caller last went back to read
  BandThreads* pool = nullptr;
  std::function<void(int)> job;        // the threads' loop, once started
  const HalftoneConverter* converter = nullptr;
  // Every row of the picture at hand (run_band_wave): each band makes its own rows'
  // luminance, on whichever thread takes it.
  const std::function<void(int32_t, uint8_t*)>* fill_any = nullptr;
  int32_t width = 0, height = 0;
  bool ended = false;  // every row given to the sink
  WaveSink sink{};
  ~BandWave();
};

// Says whether the converter's error diffusion runs on the vector bands a wave shares
// out: AVX2, and rows that don't snake.
bool band_wave_takes(const HalftoneConverter& c);

// Sets the wave up for the converter's picture (width x height) on the pool's threads:
// every buffer is allocated here, none while the threads run.
void start_band_wave(BandWave& w, const HalftoneConverter& c, int32_t height, bool linear, BandThreads& pool,
                     WaveSink sink);

// Puts rows top .. top + rows - 1 into the ring, fill(k, row) making row top + k, each
// once its room is free; then diffuses bands itself while the other threads have more
// waiting than they need until the next strip is read.
void feed_band_wave(BandWave& w, int32_t top, int32_t rows, const std::function<void(int32_t, uint8_t*)>& fill);

// Diffuses a picture whose every row fill(top, row) can make at any time, on any
// thread: each band makes its own rows, so the making is shared out too. Then
// finish_band_wave as after the last strip.
void run_band_wave(BandWave& w, const std::function<void(int32_t, uint8_t*)>& fill);

// Ends the picture: every band left diffused, the rows after the last band one at a
// time on the caller, and all given to the sink; nothing more once ended.
void finish_band_wave(BandWave& w);

#endif

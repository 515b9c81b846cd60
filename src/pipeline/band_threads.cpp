#include "pipeline/band_threads.h"

#ifdef __wasi__

struct BandPool {};

BandThreads::~BandThreads() = default;

void start_band_threads(BandThreads& b, int) { b.count = 1; }

void run_bands(BandThreads& b, const std::function<void(int)>& job) {
  for (int i = 0; i < b.count; ++i) job(i);
}

void yield_band() {}

void start_bands(BandThreads&, const std::function<void(int)>&) {}

void finish_bands(BandThreads&) {}

#else

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

struct BandPool {
  std::vector<std::thread> threads;
  std::mutex lock;
  std::condition_variable wake, done;
  const std::function<void(int)>* job = nullptr;
  std::atomic<uint64_t> round{0};  // which call of run_bands the threads work on
  std::atomic<int> busy{0};        // threads still on this round
  std::atomic<bool> stop{false};
};

namespace {

// A round of bands lasts from tens of microseconds to milliseconds: a thread that
// waits spins this long before it sleeps, so that strip after strip is not each
// delayed by waking a sleeping thread (tens of microseconds on a virtual machine).
constexpr int kSpins = 4000;

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

void serve(BandPool& p, int index) {
  uint64_t seen = 0;
  for (;;) {
    for (int spin = 0; spin < kSpins && p.round.load(std::memory_order_acquire) == seen && !p.stop.load(); ++spin) {
      relax();
    }
    {
      std::unique_lock<std::mutex> hold(p.lock);
      p.wake.wait(hold, [&] { return p.stop.load() || p.round.load(std::memory_order_acquire) != seen; });
      if (p.stop.load()) return;
      seen = p.round.load(std::memory_order_acquire);
    }
    (*p.job)(index);
    if (p.busy.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      std::lock_guard<std::mutex> hold(p.lock);
      p.done.notify_one();
    }
  }
}

}  // namespace

void yield_band() { std::this_thread::yield(); }

BandThreads::~BandThreads() {
  if (!pool) return;
  {
    std::lock_guard<std::mutex> hold(pool->lock);
    pool->stop.store(true);
  }
  pool->wake.notify_all();
  for (std::thread& t : pool->threads) t.join();
  delete pool;
}

void start_band_threads(BandThreads& b, int count) {
  if (count <= 1 || b.pool) return;
  b.pool = new BandPool;
  for (int i = 1; i < count; ++i) {
    try {
      b.pool->threads.emplace_back(serve, std::ref(*b.pool), i);
    } catch (const std::system_error&) {
      break;  // the bands are shared among the threads there are
    }
  }
  b.count = static_cast<int>(b.pool->threads.size()) + 1;
}

void start_bands(BandThreads& b, const std::function<void(int)>& job) {
  if (b.count == 1) return;
  BandPool& p = *b.pool;
  {
    std::lock_guard<std::mutex> hold(p.lock);
    p.job = &job;
    p.busy.store(b.count - 1, std::memory_order_relaxed);
    p.round.fetch_add(1, std::memory_order_release);
  }
  p.wake.notify_all();
}

void finish_bands(BandThreads& b) {
  if (b.count == 1) return;
  BandPool& p = *b.pool;
  for (int spin = 0; spin < kSpins && p.busy.load(std::memory_order_acquire) != 0; ++spin) relax();
  std::unique_lock<std::mutex> hold(p.lock);
  p.done.wait(hold, [&] { return p.busy.load(std::memory_order_acquire) == 0; });
}

void run_bands(BandThreads& b, const std::function<void(int)>& job) {
  if (b.count == 1) return job(0);
  start_bands(b, job);
  job(0);
  finish_bands(b);
}

#endif

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
  uint64_t round = 0;  // which call of run_bands the threads work on
  int busy = 0;        // threads still on this round
  bool stop = false;
};

namespace {

void serve(BandPool& p, int index) {
  uint64_t seen = 0;
  for (;;) {
    const std::function<void(int)>* job;
    {
      std::unique_lock<std::mutex> hold(p.lock);
      p.wake.wait(hold, [&] { return p.stop || p.round != seen; });
      if (p.stop) return;
      seen = p.round;
      job = p.job;
    }
    (*job)(index);
    std::lock_guard<std::mutex> hold(p.lock);
    if (--p.busy == 0) p.done.notify_one();
  }
}

}  // namespace

void yield_band() { std::this_thread::yield(); }

BandThreads::~BandThreads() {
  if (!pool) return;
  {
    std::lock_guard<std::mutex> hold(pool->lock);
    pool->stop = true;
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
    p.busy = b.count - 1;
    ++p.round;
  }
  p.wake.notify_all();
}

void finish_bands(BandThreads& b) {
  if (b.count == 1) return;
  BandPool& p = *b.pool;
  std::unique_lock<std::mutex> hold(p.lock);
  p.done.wait(hold, [&] { return p.busy == 0; });
}

void run_bands(BandThreads& b, const std::function<void(int)>& job) {
  if (b.count == 1) return job(0);
  start_bands(b, job);
  job(0);
  finish_bands(b);
}

#endif

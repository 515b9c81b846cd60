// Lets the command's workers convert side by side, and one of them, now and then,
// run alone. libvips keeps one error text for the whole process, which any worker's
// next picture clears: a picture that failed is read again alone, so that its reason
// is its own and the same as in a run with one worker.
#ifndef QVX_CLI_WORKER_GATE_H
#define QVX_CLI_WORKER_GATE_H

#include <condition_variable>
#include <mutex>

class WorkerGate {
 public:
  void enter_shared() {
    std::unique_lock<std::mutex> hold(lock_);
    // A worker waiting to run alone goes first, so that it is never starved.
    changed_.wait(hold, [this] { return !alone_ && waiting_alone_ == 0; });
    ++sharing_;
  }
  void leave_shared() {
    std::lock_guard<std::mutex> hold(lock_);
    if (--sharing_ == 0) changed_.notify_all();
  }
  void enter_alone() {
    std::unique_lock<std::mutex> hold(lock_);
    ++waiting_alone_;
    changed_.wait(hold, [this] { return !alone_ && sharing_ == 0; });
    --waiting_alone_;
    alone_ = true;
  }
  void leave_alone() {
    std::lock_guard<std::mutex> hold(lock_);
    alone_ = false;
    changed_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  int sharing_ = 0;
  int waiting_alone_ = 0;
  bool alone_ = false;
};

// Holds the gate shared, or alone, for a scope.
class GateHold {
 public:
  GateHold(WorkerGate& gate, bool alone) : gate_(gate), alone_(alone) {
    if (alone_) {
      gate_.enter_alone();
    } else {
      gate_.enter_shared();
    }
  }
  ~GateHold() {
    if (alone_) {
      gate_.leave_alone();
    } else {
      gate_.leave_shared();
    }
  }
  GateHold(const GateHold&) = delete;
  GateHold& operator=(const GateHold&) = delete;

 private:
  WorkerGate& gate_;
  bool alone_;
};

#endif

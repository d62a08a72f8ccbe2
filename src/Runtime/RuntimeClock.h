#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

// Seconds of wall-clock time at performance-counter resolution that never
// decrease. Wall time anchors the clock; the performance counter measures
// between anchors. The clock re-anchors when the counter and the tick count
// disagree by more than 500 ms (a suspended or unreliable counter) or the
// counter drifts more than 31.25 ms from wall time. Small steps back of the
// wall clock (under two seconds) are held flat; larger ones hold the
// previous maximum until the clock catches up. Any thread.
class CRuntimeClock {
 public:
  // The time sources, injectable so that tests can move them.
  struct Sources {
    std::function<int64_t()> systemMs;          // ms since 1970 (wall clock)
    std::function<int64_t()> counterFrequency;  // 0: no performance counter
    std::function<int64_t()> counter;
    std::function<uint32_t()> tickCount;
    // Reads the wall clock for a re-anchor; the real source raises the timer
    // resolution around the read.
    std::function<int64_t()> preciseSystemMs;
  };

  explicit CRuntimeClock(Sources sources);

  [[nodiscard]] double Seconds();
  [[nodiscard]] int64_t Milliseconds();

  static Sources SystemSources();

 private:
  int64_t MillisecondsLocked();

  Sources sources_;
  std::mutex mutex_;
  bool initialised_ = false;
  int64_t frequency_ = 0;
  bool haveReading_ = false;
  int64_t lastCounter_ = 0;
  uint32_t lastTick_ = 0;
  bool resyncRequested_ = false;
  bool anchored_ = false;
  int64_t baseTime_ = 0;
  int64_t baseCounterMs_ = 0;
  bool haveLast_ = false;
  int64_t last_ = 0;
  double lastSeconds_ = 0.0;
};

// The process-wide clock over the system's time sources.
[[nodiscard]] double RuntimeClock();

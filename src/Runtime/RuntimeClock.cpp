#include "Runtime/RuntimeClock.h"

#include <windows.h>
#include <mmsystem.h>

#include <utility>

namespace {

constexpr int64_t kUnixEpochIn100ns = 116444736000000000LL;

int64_t SystemTimeMs() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  return (static_cast<int64_t>(t.QuadPart) - kUnixEpochIn100ns) / 10000;
}

int64_t CounterToMs(int64_t counter, int64_t frequency) {
  // Split to keep counter * 1000 from overflowing on long uptimes.
  return counter / frequency * 1000 + counter % frequency * 1000 / frequency;
}

int64_t Abs(int64_t v) {
  return v < 0 ? -v : v;
}

}  // namespace

CRuntimeClock::CRuntimeClock(Sources sources) : sources_(std::move(sources)) {}

CRuntimeClock::Sources CRuntimeClock::SystemSources() {
  Sources s;
  s.systemMs = &SystemTimeMs;
  s.counterFrequency = [] {
    LARGE_INTEGER f;
    return ::QueryPerformanceFrequency(&f) ? static_cast<int64_t>(f.QuadPart) : int64_t{0};
  };
  s.counter = [] {
    LARGE_INTEGER c;
    ::QueryPerformanceCounter(&c);
    return static_cast<int64_t>(c.QuadPart);
  };
  s.tickCount = [] { return static_cast<uint32_t>(::GetTickCount()); };
  s.preciseSystemMs = [] {
    ::timeBeginPeriod(1);
    int64_t t = SystemTimeMs();
    ::timeEndPeriod(1);
    return t;
  };
  return s;
}

int64_t CRuntimeClock::MillisecondsLocked() {
  int64_t system = sources_.systemMs();
  if (!initialised_) {
    initialised_ = true;
    frequency_ = sources_.counterFrequency();
  }
  int64_t t;
  if (frequency_ <= 0) {
    t = system;
  } else {
    const int64_t counter = sources_.counter();
    const uint32_t tick = sources_.tickCount();
    if (haveReading_) {
      const int64_t counterElapsed = CounterToMs(counter - lastCounter_, frequency_);
      const int64_t tickElapsed = static_cast<uint32_t>(tick - lastTick_);
      if (Abs(counterElapsed - tickElapsed) > 500) resyncRequested_ = true;
    }
    haveReading_ = true;
    lastCounter_ = counter;
    lastTick_ = tick;
    const int64_t counterMs = CounterToMs(counter, frequency_);
    if (resyncRequested_ || !anchored_) {
      system = sources_.preciseSystemMs();
      baseTime_ = system;
      baseCounterMs_ = counterMs;
      anchored_ = true;
      resyncRequested_ = false;
    }
    t = baseTime_ + (counterMs - baseCounterMs_);
    // Compare the counter's view of elapsed time with the wall clock's;
    // 31.25 ms is two ticks of the default 15.625 ms timer.
    const int64_t drift = (counterMs - baseCounterMs_) - (system - baseTime_);
    if (drift * 100 > 3125 || drift * 100 < -3125) resyncRequested_ = true;
  }
  if (haveLast_ && t < last_ && last_ - t < 2000) return last_;
  haveLast_ = true;
  last_ = t;
  return t;
}

int64_t CRuntimeClock::Milliseconds() {
  std::lock_guard<std::mutex> hold(mutex_);
  return MillisecondsLocked();
}

double CRuntimeClock::Seconds() {
  std::lock_guard<std::mutex> hold(mutex_);
  // The millisecond clock may step back by two seconds or more after a large
  // wall-clock change; the seconds never do.
  const double s = static_cast<double>(MillisecondsLocked()) / 1000.0;
  if (s > lastSeconds_) lastSeconds_ = s;
  return lastSeconds_;
}

double RuntimeClock() {
  static CRuntimeClock clock(CRuntimeClock::SystemSources());
  return clock.Seconds();
}

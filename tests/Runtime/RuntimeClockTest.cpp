#include "Runtime/RuntimeClock.h"

#include <gtest/gtest.h>

namespace {

// Time sources the test moves: a wall clock, a 1 MHz performance counter and
// the tick count, all advanced together unless the test says otherwise.
struct FakeTime {
  int64_t systemMs = 1'700'000'000'000;
  int64_t counter = 5'000'000;  // ticks of 1 us
  uint32_t tick = 4'000'000'000u;
  bool hasCounter = true;

  void Advance(int64_t ms) {
    systemMs += ms;
    counter += ms * 1000;
    tick += static_cast<uint32_t>(ms);
  }

  CRuntimeClock::Sources Sources() {
    CRuntimeClock::Sources s;
    s.systemMs = [this] { return systemMs; };
    s.preciseSystemMs = [this] { return systemMs; };
    s.counterFrequency = [this] { return hasCounter ? int64_t{1'000'000} : int64_t{0}; };
    s.counter = [this] { return counter; };
    s.tickCount = [this] { return tick; };
    return s;
  }
};

TEST(RuntimeClockTest, FollowsTheCounterBetweenAnchors) {
  FakeTime time;
  CRuntimeClock clock(time.Sources());
  const double start = clock.Seconds();
  EXPECT_DOUBLE_EQ(start, 1'700'000'000.0);
  time.Advance(1234);
  EXPECT_NEAR(clock.Seconds() - start, 1.234, 1e-6);
}

TEST(RuntimeClockTest, WithoutCounterUsesTheWallClock) {
  FakeTime time;
  time.hasCounter = false;
  CRuntimeClock clock(time.Sources());
  EXPECT_EQ(clock.Milliseconds(), time.systemMs);
  time.systemMs += 15;
  EXPECT_EQ(clock.Milliseconds(), time.systemMs);
}

// Steps of 10 ms after the wall clock is set back by `backMs`; returns the
// readings.
std::vector<double> ReadAfterSetBack(int64_t backMs, int steps) {
  FakeTime time;
  CRuntimeClock clock(time.Sources());
  for (int i = 0; i < 10; ++i) {
    time.Advance(10);
    (void)clock.Seconds();
  }
  std::vector<double> readings{clock.Seconds()};
  time.systemMs -= backMs;
  for (int i = 0; i < steps; ++i) {
    time.Advance(10);
    readings.push_back(clock.Seconds());
  }
  return readings;
}

TEST(RuntimeClockTest, NeverDecreasesWhenWallClockGoesBack) {
  for (int64_t back : {1000, 5000}) {
    std::vector<double> r = ReadAfterSetBack(back, 1000);
    for (size_t i = 1; i < r.size(); ++i) {
      ASSERT_GE(r[i], r[i - 1]) << "set back " << back << " ms, step " << i;
    }
  }
}

TEST(RuntimeClockTest, HoldsForAboutTheSetBackThenRisesAgain) {
  for (int64_t back : {1000, 5000}) {
    std::vector<double> r = ReadAfterSetBack(back, 1000);
    const double before = r[0];
    // Flat for about the time the wall clock went back...
    size_t flat = 1;
    while (flat < r.size() && r[flat] <= before + 0.010001) ++flat;
    const double flatMs = static_cast<double>(flat) * 10.0;
    EXPECT_NEAR(flatMs, static_cast<double>(back), 50.0) << "set back " << back;
    // ...then rising with the counter again.
    ASSERT_LT(flat + 10, r.size());
    EXPECT_NEAR(r[flat + 10] - r[flat], 0.100, 0.0011);
  }
}

TEST(RuntimeClockTest, ReanchorsWhenCounterAndTickCountDisagree) {
  FakeTime time;
  CRuntimeClock clock(time.Sources());
  (void)clock.Milliseconds();
  // The counter jumps 10 s ahead while wall time and ticks move 100 ms.
  time.Advance(100);
  time.counter += 10'000'000;
  // The jump is detected and the clock re-anchors on wall time at once.
  EXPECT_EQ(clock.Milliseconds(), time.systemMs);
  time.Advance(100);
  EXPECT_EQ(clock.Milliseconds(), time.systemMs);
}

TEST(RuntimeClockTest, TickCountWrapIsNotADisagreement) {
  FakeTime time;
  time.tick = 0xFFFFFF00u;
  CRuntimeClock clock(time.Sources());
  const int64_t start = clock.Milliseconds();
  time.Advance(400);  // the tick count wraps through zero
  EXPECT_EQ(clock.Milliseconds() - start, 400);
}

}  // namespace

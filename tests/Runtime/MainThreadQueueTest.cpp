#include "Runtime/MainThreadQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Runtime/Runtime.h"

namespace {

// A queue with a counted wake-up and a clock the test moves.
class MainThreadQueueTest : public ::testing::Test {
 protected:
  CMainThreadQueue queue_{[this] {
                            ++wakes_;
                            return wakeSucceeds_.load();
                          },
                          [this] { return now_; }};
  std::atomic<int> wakes_{0};
  std::atomic<bool> wakeSucceeds_{true};
  double now_ = 100.0;
  std::vector<int> ran_;
};

// Records its id when run and, optionally, advances the test's clock.
struct RecordTask final : MainThreadTaskBase {
  RecordTask(std::vector<int>& log, int id, double* clock = nullptr, double step = 0)
      : log(log), id(id), clock(clock), step(step) {}
  void Run() override {
    log.push_back(id);
    if (clock) *clock += step;
  }
  std::vector<int>& log;
  int id;
  double* clock;
  double step;
};

struct CountedTask final : MainThreadTaskBase {
  explicit CountedTask(std::atomic<int>& alive, std::atomic<int>& runs) : alive(alive), runs(runs) {
    ++alive;
  }
  ~CountedTask() override { --alive; }
  void Run() override { ++runs; }
  std::atomic<int>& alive;
  std::atomic<int>& runs;
};

void Post(CMainThreadQueue& queue, MainThreadTaskBase* task) {
  queue.Post(&InvokeMainThreadTask, MainThreadTaskRef(task));
}

TEST_F(MainThreadQueueTest, TwoThreadsPostingIntoEmptyQueueWakeOnceAndRunInOrder) {
  std::atomic<bool> firstPosted{false};
  std::thread a([&] {
    Post(queue_, new RecordTask(ran_, 1));
    firstPosted = true;
  });
  std::thread b([&] {
    while (!firstPosted) std::this_thread::yield();
    Post(queue_, new RecordTask(ran_, 2));
  });
  a.join();
  b.join();
  EXPECT_EQ(wakes_, 1);
  queue_.RunTasks();
  EXPECT_EQ(ran_, (std::vector<int>{1, 2}));
  EXPECT_TRUE(queue_.Empty());
}

struct PostingTask final : MainThreadTaskBase {
  PostingTask(CMainThreadQueue& queue, std::vector<int>& log) : queue(queue), log(log) {}
  void Run() override {
    Post(queue, new RecordTask(log, 2));
    log.push_back(1);
  }
  CMainThreadQueue& queue;
  std::vector<int>& log;
};

TEST_F(MainThreadQueueTest, TaskPostedByATaskRunsAfterItInTheSameDrain) {
  Post(queue_, new PostingTask(queue_, ran_));
  Post(queue_, new RecordTask(ran_, 3));
  queue_.RunTasks();
  EXPECT_EQ(ran_, (std::vector<int>{1, 3, 2}));
  EXPECT_TRUE(queue_.Empty());
}

TEST_F(MainThreadQueueTest, DrainStopsAfterTheTaskThatCrossesTheBudgetAndWakesAgain) {
  for (int i = 1; i <= 5; ++i) Post(queue_, new RecordTask(ran_, i, &now_, 0.03));
  ASSERT_EQ(wakes_, 1);
  queue_.RunTasks();  // 0.03 s after the first task, 0.06 s after the second
  EXPECT_EQ(ran_, (std::vector<int>{1, 2}));
  EXPECT_EQ(wakes_, 2);
  queue_.RunTasks();
  EXPECT_EQ(ran_, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(wakes_, 3);
  queue_.RunTasks();
  EXPECT_EQ(ran_, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(wakes_, 3);  // nothing left, no further wake-up
}

TEST_F(MainThreadQueueTest, WakeUpOnEmptyQueueDoesNothing) {
  queue_.RunTasks();
  EXPECT_TRUE(ran_.empty());
  EXPECT_EQ(wakes_, 0);
}

TEST_F(MainThreadQueueTest, AtMostOneWakeUpIsPending) {
  Post(queue_, new RecordTask(ran_, 1));
  queue_.RunTasks();
  // The drain has started: the next empty-to-non-empty post asks again.
  Post(queue_, new RecordTask(ran_, 2));
  EXPECT_EQ(wakes_, 2);
  queue_.RunTasks();
  EXPECT_EQ(ran_, (std::vector<int>{1, 2}));
}

TEST_F(MainThreadQueueTest, FailedWakeUpIsRetriedByTheNextPost) {
  wakeSucceeds_ = false;
  Post(queue_, new RecordTask(ran_, 1));
  EXPECT_EQ(wakes_, 1);
  EXPECT_FALSE(queue_.Empty());  // what the periodic timer looks at
  // A lost wake-up must not count as pending, or no later post would ask.
  wakeSucceeds_ = true;
  queue_.DropAll();
  Post(queue_, new RecordTask(ran_, 2));
  EXPECT_EQ(wakes_, 2);
}

TEST_F(MainThreadQueueTest, DroppedTasksAreReleasedWithoutRunning) {
  std::atomic<int> alive{0}, runs{0};
  for (int i = 0; i < 3; ++i) Post(queue_, new CountedTask(alive, runs));
  EXPECT_EQ(alive, 3);
  queue_.DropAll();
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(runs, 0);
  queue_.RunTasks();
  EXPECT_EQ(runs, 0);
}

TEST_F(MainThreadQueueTest, TaskDiesRightAfterItRuns) {
  std::atomic<int> alive{0}, runs{0};
  Post(queue_, new CountedTask(alive, runs));
  queue_.RunTasks();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(alive, 0);
}

}  // namespace

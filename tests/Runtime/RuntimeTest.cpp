#include "Runtime/Runtime.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Runtime/RefPtr.h"
#include "Runtime/RefThreadSafeBase.h"
#include "support/MessagePump.h"

namespace {

struct Payload final : CRefThreadSafeBase<Payload> {
  explicit Payload(std::atomic<int>& alive) : alive(alive) { ++alive; }
  virtual ~Payload() { --alive; }
  std::atomic<int>& alive;
};

struct Observed {
  std::vector<int> order;
  std::vector<DWORD> threads;
};

void Note(Observed* observed, int id) {
  observed->order.push_back(id);
  observed->threads.push_back(::GetCurrentThreadId());
}

void KeepPayload(const CRefPtr<Payload>&, int) {}

using NoteTask = MainThreadTask2<Observed*, Observed*, int, int>;
using PayloadTask = MainThreadTask2<CRefPtr<Payload>, const CRefPtr<Payload>&, int, int>;

TEST(RuntimeTest, StartupFillsTheRecordAndShutdownClearsIt) {
  RuntimeRecord record;
  int owner = 0;
  RuntimeStartup(&owner, record);
  EXPECT_EQ(record.owner, &owner);
  EXPECT_NE(record.timerId, 0u);
  HWND window = MainThreadDispatchWindow();
  ASSERT_NE(window, nullptr);
  wchar_t className[64] = {};
  ::GetClassNameW(window, className, 64);
  EXPECT_STREQ(className, L"ThreadingWindowClass");
  RuntimeShutdown(record);
  EXPECT_EQ(record.owner, nullptr);
  EXPECT_EQ(record.timerId, 0u);
  EXPECT_EQ(MainThreadDispatchWindow(), nullptr);
  EXPECT_FALSE(::IsWindow(window));
}

TEST(RuntimeTest, TasksFromWorkerThreadsRunOnTheMainThreadInPostingOrder) {
  RuntimeRecord record;
  RuntimeStartup(&record, record);
  Observed observed;
  std::atomic<int> next{0};
  std::vector<std::thread> workers;
  // Each worker posts under a shared turn counter, so the posting order is
  // known: 0, 1, 2, ... across threads.
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      for (int turn = w; turn < 40; turn += 4) {
        while (next.load() != turn) std::this_thread::yield();
        PostTask(new NoteTask(&Note, &observed, turn));
        next = turn + 1;
      }
    });
  }
  for (auto& t : workers) t.join();
  EXPECT_TRUE(PumpUntil([&] { return observed.order.size() == 40; }));
  RuntimeShutdown(record);
  ASSERT_EQ(observed.order.size(), 40u);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(observed.order[i], i);
    EXPECT_EQ(observed.threads[i], ::GetCurrentThreadId());
  }
}

TEST(RuntimeTest, TasksQueuedAtShutdownAreReleasedUnrun) {
  RuntimeRecord record;
  RuntimeStartup(&record, record);
  std::atomic<int> alive{0};
  {
    CRefPtr<Payload> payload(new Payload(alive));
    for (int i = 0; i < 3; ++i) PostTask(new PayloadTask(&KeepPayload, payload, i));
  }
  EXPECT_EQ(alive, 1);  // the queued tasks hold it
  RuntimeShutdown(record);
  EXPECT_EQ(alive, 0);
}

// The engines' worker threads may post until they have stopped, so they stop
// before the queue is dropped: a task they post while stopping is released
// by the shut-down, not left behind.
std::atomic<int>* gAliveAtStop = nullptr;
std::atomic<int> gPostedWhileStopping{0};

void StopEnginesPostingATask() {
  CRefPtr<Payload> payload(new Payload(*gAliveAtStop));
  std::thread worker([payload] { PostTask(new PayloadTask(&KeepPayload, payload, 0)); });
  worker.join();
  ++gPostedWhileStopping;
}

TEST(RuntimeTest, EnginesStopBeforeQueuedTasksAreDropped) {
  std::atomic<int> alive{0};
  gAliveAtStop = &alive;
  gPostedWhileStopping = 0;
  RuntimeEngineHooks hooks;
  hooks.stop = &StopEnginesPostingATask;
  SetRuntimeEngineHooks(hooks);
  RuntimeRecord record;
  RuntimeStartup(&record, record);
  RuntimeShutdown(record);
  SetRuntimeEngineHooks(RuntimeEngineHooks{});
  EXPECT_EQ(gPostedWhileStopping, 1);
  EXPECT_EQ(alive, 0);
}

std::atomic<int> gTimerCalls{0};
void CountTimer() {
  ++gTimerCalls;
}

TEST(RuntimeTest, TransferTimerTicksEveryHalfSecondWhileRunning) {
  gTimerCalls = 0;
  RuntimeEngineHooks hooks;
  hooks.timer = &CountTimer;
  SetRuntimeEngineHooks(hooks);
  RuntimeRecord record;
  RuntimeStartup(&record, record);
  EXPECT_TRUE(PumpUntil([] { return gTimerCalls.load() >= 2; }, 5000));
  RuntimeShutdown(record);
  const int calls = gTimerCalls;
  PumpFor(700);
  SetRuntimeEngineHooks(RuntimeEngineHooks{});
  EXPECT_EQ(gTimerCalls, calls);  // killed with the engines
}

TEST(RuntimeTest, SecondStartupDispatchesAgain) {
  RuntimeRecord record;
  RuntimeStartup(&record, record);
  RuntimeShutdown(record);
  RuntimeStartup(&record, record);
  Observed observed;
  PostTask(new NoteTask(&Note, &observed, 7));
  EXPECT_TRUE(PumpUntil([&] { return !observed.order.empty(); }));
  RuntimeShutdown(record);
  EXPECT_EQ(observed.order, std::vector<int>{7});
}

}  // namespace

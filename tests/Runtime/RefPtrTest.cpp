#include "Runtime/RefPtr.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Runtime/MainThreadQueue.h"
#include "Runtime/RefThreadSafeBase.h"
#include "Runtime/Runtime.h"

namespace {

struct Tracked final : CRefThreadSafeBase<Tracked> {
  Tracked(std::atomic<int>& destroyed, std::atomic<DWORD>& destroyedOn)
      : destroyed(destroyed), destroyedOn(destroyedOn) {}
  virtual ~Tracked() {
    ++destroyed;
    destroyedOn = ::GetCurrentThreadId();
  }
  std::atomic<int>& destroyed;
  std::atomic<DWORD>& destroyedOn;
};

class RefPtrTest : public ::testing::Test {
 protected:
  Tracked* Make() { return new Tracked(destroyed_, destroyedOn_); }
  std::atomic<int> destroyed_{0};
  std::atomic<DWORD> destroyedOn_{0};
};

TEST_F(RefPtrTest, FirstPointerTakesTheFirstReferenceAndLastOneDestroys) {
  Tracked* raw = Make();
  EXPECT_EQ(raw->RefCountForTesting(), 0);
  {
    CRefPtr<Tracked> a(raw);
    EXPECT_EQ(raw->RefCountForTesting(), 1);
    CRefPtr<Tracked> b(a);
    EXPECT_EQ(raw->RefCountForTesting(), 2);
  }
  EXPECT_EQ(destroyed_, 1);
}

TEST_F(RefPtrTest, SelfAssignmentLeavesTheCountUnchanged) {
  CRefPtr<Tracked> a(Make());
  CRefPtr<Tracked>& alias = a;
  a = alias;
  EXPECT_EQ(a->RefCountForTesting(), 1);
  a = std::move(alias);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->RefCountForTesting(), 1);
  EXPECT_EQ(destroyed_, 0);
}

TEST_F(RefPtrTest, AssigningTheSameObjectThroughAnotherPointerKeepsIt) {
  CRefPtr<Tracked> a(Make());
  CRefPtr<Tracked> b(a.get());
  a = b;  // same object, last-but-one reference: must not destroy
  b = nullptr;
  EXPECT_EQ(destroyed_, 0);
  EXPECT_EQ(a->RefCountForTesting(), 1);
}

TEST_F(RefPtrTest, LastReleaseOnAnotherThreadDestroysThere) {
  CRefPtr<Tracked> a(Make());
  DWORD workerId = 0;
  std::thread worker([moved = std::move(a), &workerId]() mutable {
    workerId = ::GetCurrentThreadId();
    moved = nullptr;
  });
  worker.join();
  EXPECT_EQ(destroyed_, 1);
  EXPECT_EQ(destroyedOn_, workerId);
}

TEST_F(RefPtrTest, ManyThreadsCopyingAndDroppingDestroyExactlyOnce) {
  for (int round = 0; round < 20; ++round) {
    CRefPtr<Tracked> shared(Make());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([copy = shared]() mutable {
        for (int i = 0; i < 1000; ++i) {
          CRefPtr<Tracked> local(copy);
          CRefPtr<Tracked> other;
          other = local;
        }
      });
    }
    shared = nullptr;
    for (auto& t : threads) t.join();
  }
  EXPECT_EQ(destroyed_, 20);
}

void Touch(const CRefPtr<Tracked>&, int) {}

TEST_F(RefPtrTest, ObjectSharedByAQueuedTaskAndAWorkerListDiesOnceWithTheLastHolder) {
  CMainThreadQueue queue([] { return true; }, [] { return 0.0; });
  std::vector<CRefPtr<Tracked>> workerList;
  {
    CRefPtr<Tracked> object(Make());
    workerList.push_back(object);
    using Task = MainThreadTask2<CRefPtr<Tracked>, const CRefPtr<Tracked>&, int, int>;
    queue.Post(&InvokeMainThreadTask, MainThreadTaskRef(new Task(&Touch, object, 1)));
  }
  std::thread worker([&] { workerList.clear(); });
  worker.join();
  EXPECT_EQ(destroyed_, 0);  // the queued task still holds it
  queue.RunTasks();
  EXPECT_EQ(destroyed_, 1);
  EXPECT_EQ(destroyedOn_, ::GetCurrentThreadId());
}

}  // namespace

#include "Http/HttpMgr.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "Http/HttpBase.h"
#include "Http/HttpEngines.h"

namespace {

// A request that starts without any transfer, so the scheduling rules can be
// watched without a network.
class FakeRequest : public CHttpBase {
 public:
  FakeRequest() : CHttpBase(nullptr, nullptr) {}
  bool Start() override {
    ++starts;
    if (onStart) onStart();
    if (!startSucceeds || running) return false;
    running = true;
    return true;
  }
  void Stop() override {
    running = false;
    CHttpBase::Stop();
  }
  void Done(CURLcode) override {}
  void OnHttpCode(const HttpStatusNotice&) override {}
  void OnTimer() override { ++timers; }

  int starts = 0;
  int timers = 0;
  bool startSucceeds = true;
  std::function<void()> onStart;
};

class HttpMgrTest : public ::testing::Test {
 protected:
  FakeRequest& Make() {
    requests_.push_back(std::make_unique<FakeRequest>());
    return *requests_.back();
  }
  void TearDown() override {
    for (auto& r : requests_) r->Stop();
  }

  CHttpMgr manager_;
  std::vector<std::unique_ptr<FakeRequest>> requests_;
};

TEST_F(HttpMgrTest, EleventhRequestWaitsUntilOneOfTenIsRemoved) {
  for (int i = 0; i < 11; ++i) ASSERT_TRUE(SubmitRequest(&manager_, &Make()));
  EXPECT_EQ(manager_.RunningCount(), 10u);
  EXPECT_EQ(manager_.RequestCount(), 11u);
  EXPECT_FALSE(requests_[10]->running);
  EXPECT_EQ(requests_[10]->starts, 0);
  requests_[3]->Stop();
  EXPECT_TRUE(requests_[10]->running);
  EXPECT_TRUE(requests_[10]->scheduled);
  EXPECT_EQ(manager_.RunningCount(), 10u);
  EXPECT_EQ(manager_.RequestCount(), 10u);
}

TEST_F(HttpMgrTest, DuplicateSubmissionLeavesOneEntry) {
  FakeRequest& r = Make();
  ASSERT_TRUE(SubmitRequest(&manager_, &r));
  ASSERT_TRUE(SubmitRequest(&manager_, &r));
  EXPECT_EQ(manager_.RequestCount(), 1u);
  EXPECT_EQ(manager_.RunningCount(), 1u);
  EXPECT_EQ(r.starts, 1);
}

TEST_F(HttpMgrTest, SubmissionToAnotherManagerRemovesFromTheFirst) {
  CHttpMgr other;
  FakeRequest& r = Make();
  ASSERT_TRUE(SubmitRequest(&manager_, &r));
  EXPECT_TRUE(SubmitRequest(&other, &r));  // only leaves the first
  EXPECT_EQ(manager_.RequestCount(), 0u);
  EXPECT_EQ(other.RequestCount(), 0u);
  EXPECT_FALSE(SubmitRequest(nullptr, &Make()));
}

TEST_F(HttpMgrTest, RetryWaitEndsAtTheFirstTimerMoreThan500msLater) {
  FakeRequest& r = Make();
  r.retryWait = true;
  r.retryTick = 1000;
  ASSERT_TRUE(SubmitRequest(&manager_, &r));
  EXPECT_EQ(r.starts, 0);
  manager_.EndRetryWaits(1500);  // exactly 500: not yet
  EXPECT_EQ(r.starts, 0);
  manager_.EndRetryWaits(1501);
  EXPECT_EQ(r.starts, 1);
  EXPECT_TRUE(r.scheduled);
  EXPECT_EQ(manager_.RunningCount(), 1u);
}

TEST_F(HttpMgrTest, RetryWaitSurvivesTheTickCountWrap) {
  FakeRequest& r = Make();
  r.retryWait = true;
  r.retryTick = 0xFFFFFF00u;
  ASSERT_TRUE(SubmitRequest(&manager_, &r));
  manager_.EndRetryWaits(0xFFFFFF00u + 400);  // wrapped, 400 ms later
  EXPECT_TRUE(r.retryWait);
  manager_.EndRetryWaits(0x00000100u);  // wrapped, 512 ms later
  EXPECT_FALSE(r.retryWait);
  EXPECT_EQ(r.starts, 1);
}

TEST_F(HttpMgrTest, OtherSchedulingStartsAWaitingRequestEarlyUncounted) {
  FakeRequest& waiting = Make();
  waiting.retryWait = true;
  waiting.retryTick = ::GetTickCount();
  ASSERT_TRUE(SubmitRequest(&manager_, &waiting));
  ASSERT_TRUE(SubmitRequest(&manager_, &Make()));
  EXPECT_TRUE(waiting.running);
  EXPECT_FALSE(waiting.scheduled);
  EXPECT_EQ(manager_.RunningCount(), 1u);
  waiting.Stop();  // leaves without touching the count
  EXPECT_EQ(manager_.RunningCount(), 1u);
}

TEST_F(HttpMgrTest, RemovingAnUnscheduledRequestChangesNothing) {
  FakeRequest& refused = Make();
  refused.startSucceeds = false;
  ASSERT_TRUE(SubmitRequest(&manager_, &refused));
  EXPECT_EQ(refused.starts, 1);
  FakeRequest& other = Make();
  ASSERT_TRUE(SubmitRequest(&manager_, &other));
  EXPECT_EQ(refused.starts, 2);  // every scheduling pass tries it again
  const int otherStarts = other.starts;
  EXPECT_TRUE(manager_.Remove(&refused));
  EXPECT_EQ(manager_.RunningCount(), 1u);
  EXPECT_EQ(other.starts, otherStarts);
}

TEST_F(HttpMgrTest, OnlyRunningRequestsGetTimerCalls) {
  FakeRequest& a = Make();
  FakeRequest& idle = Make();
  idle.startSucceeds = false;
  ASSERT_TRUE(SubmitRequest(&manager_, &a));
  ASSERT_TRUE(SubmitRequest(&manager_, &idle));
  manager_.TickRunning();
  EXPECT_EQ(a.timers, 1);
  EXPECT_EQ(idle.timers, 0);
}

TEST_F(HttpMgrTest, StartThatStopsOtherRequestsDoesNotBreakTheWalk) {
  FakeRequest& first = Make();
  first.startSucceeds = false;
  ASSERT_TRUE(SubmitRequest(&manager_, &first));
  FakeRequest& second = Make();
  FakeRequest& third = Make();
  second.startSucceeds = false;
  third.startSucceeds = false;
  ASSERT_TRUE(SubmitRequest(&manager_, &second));
  ASSERT_TRUE(SubmitRequest(&manager_, &third));
  // A synchronous failure that makes the owner drop requests mid-walk.
  first.onStart = [&] {
    second.Stop();
    first.Stop();
  };
  third.startSucceeds = true;
  manager_.Schedule();
  EXPECT_EQ(manager_.RequestCount(), 1u);
  EXPECT_EQ(second.starts, 2);  // not started again once removed
  EXPECT_TRUE(third.running);
  EXPECT_EQ(manager_.RunningCount(), 1u);
}

TEST_F(HttpMgrTest, ClearForgetsEveryRequest) {
  FakeRequest& r = Make();
  ASSERT_TRUE(SubmitRequest(&manager_, &r));
  manager_.Clear();
  EXPECT_EQ(manager_.RequestCount(), 0u);
  EXPECT_EQ(manager_.RunningCount(), 0u);
  EXPECT_EQ(r.Manager(), nullptr);
}

}  // namespace

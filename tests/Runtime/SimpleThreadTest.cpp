#include "Runtime/SimpleThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "Runtime/TextUtils.h"
#include "support/LogCapture.h"

namespace {

class CountingThread final : public CSimpleThread {
 public:
  explicit CountingThread(bool honourStop, DWORD runMs = INFINITE)
      : honourStop_(honourStop), runMs_(runMs) {}
  ~CountingThread() override { StopThread(INFINITE); }

  std::atomic<int> executions{0};
  std::atomic<bool> started{false};

 protected:
  void Execute() override {
    ++executions;
    started = true;
    const ULONGLONG end = runMs_ == INFINITE ? ~0ULL : ::GetTickCount64() + runMs_;
    while (::GetTickCount64() < end) {
      if (honourStop_ && IsStopRequested()) return;
      ::Sleep(1);
    }
  }

 private:
  const bool honourStop_;
  const DWORD runMs_;
};

bool WaitFor(const std::atomic<bool>& flag) {
  for (int i = 0; i < 5000 && !flag; ++i) ::Sleep(1);
  return flag;
}

TEST(SimpleThreadTest, StopOnIdleObjectReturnsAtOnce) {
  CountingThread thread(true);
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_TRUE(thread.StopThread(INFINITE));
  EXPECT_FALSE(thread.DestroyThread(0));  // nothing to destroy
}

TEST(SimpleThreadTest, StartOnRunningObjectCreatesNoSecondThread) {
  CountingThread thread(true);
  ASSERT_TRUE(thread.StartThread());
  ASSERT_TRUE(WaitFor(thread.started));
  const DWORD id = thread.ThreadId();
  EXPECT_TRUE(thread.StartThread());
  EXPECT_EQ(thread.ThreadId(), id);
  EXPECT_TRUE(thread.StopThread(INFINITE));
  EXPECT_EQ(thread.executions, 1);
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.ThreadId(), 0u);
}

TEST(SimpleThreadTest, StartAfterTheWorkReturnedCreatesANewThread) {
  CountingThread thread(false, 0);  // returns at once
  ASSERT_TRUE(thread.StartThread());
  for (int i = 0; i < 5000 && thread.IsRunning(); ++i) ::Sleep(1);
  ASSERT_FALSE(thread.IsRunning());
  ASSERT_TRUE(thread.StartThread());
  for (int i = 0; i < 5000 && thread.IsRunning(); ++i) ::Sleep(1);
  EXPECT_EQ(thread.executions, 2);
}

TEST(SimpleThreadTest, ThreadIgnoringStopIsTerminatedAfterTimeoutAndLogged) {
  LogCapture log;
  ASSERT_TRUE(log.IsCapturing());

  CountingThread thread(/*honourStop=*/false);
  ASSERT_TRUE(thread.StartThread());
  ASSERT_TRUE(WaitFor(thread.started));
  const DWORD id = thread.ThreadId();
  const ULONGLONG before = ::GetTickCount64();
  EXPECT_TRUE(thread.StopThread(200));
  const ULONGLONG waited = ::GetTickCount64() - before;
  EXPECT_GE(waited, 150u);
  EXPECT_LT(waited, 3000u);
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.ThreadId(), 0u);

  const std::wstring text = log.Text();
  EXPECT_NE(text.find(FormatWide(L"[ERRO][Runtime/SimpleThread.cpp:")), std::wstring::npos)
      << ToUtf8(text);
  EXPECT_NE(text.find(FormatWide(L"CSimpleThread::DestroyThread线程结束超时 tid:%d ", id)),
            std::wstring::npos)
      << ToUtf8(text);
}

}  // namespace

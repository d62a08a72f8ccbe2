#include "Runtime/MainThreadQueue.h"

#include <utility>

CMainThreadQueue::CMainThreadQueue(WakeFunction wake, ClockFunction clock)
    : wake_(std::move(wake)), clock_(std::move(clock)) {}

CMainThreadQueue::~CMainThreadQueue() {
  DropAll();
}

void CMainThreadQueue::Wake() {
  if (wakePending_.exchange(true)) return;
  if (!wake_()) wakePending_ = false;
}

void CMainThreadQueue::Post(MainThreadInvoker invoker, const MainThreadTaskRef& task) {
  bool wasEmpty;
  {
    CAutoLock hold(lock_);
    wasEmpty = entries_.empty();
    entries_.push_back(Entry{invoker, task});
  }
  if (wasEmpty) Wake();
}

bool CMainThreadQueue::Empty() {
  CAutoLock hold(lock_);
  return entries_.empty();
}

void CMainThreadQueue::RunTasks() {
  // A wake-up is being served: posts from here on may ask for a new one.
  wakePending_ = false;
  const double start = clock_();
  for (;;) {
    Entry entry;
    {
      CAutoLock hold(lock_);
      if (entries_.empty()) return;
      entry = std::move(entries_.front());
      entries_.pop_front();
    }
    entry.invoker(&entry.task);
    entry.task = nullptr;  // the task dies here unless something else holds it
    if (clock_() - start > kDrainBudgetSeconds) {
      if (!Empty()) Wake();
      return;
    }
  }
}

void CMainThreadQueue::DropAll() {
  std::deque<Entry> dropped;
  {
    CAutoLock hold(lock_);
    dropped.swap(entries_);
  }
  // Released outside the lock: a task's destructor may release objects whose
  // own destructors post.
  dropped.clear();
}

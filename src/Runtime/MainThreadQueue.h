#pragma once

#include <atomic>
#include <deque>
#include <functional>

#include "Runtime/CriticalSection.h"
#include "Runtime/MainThreadTask.h"

// A first-in first-out queue of main-thread tasks with coalesced wake-ups.
// Post() may be called from any thread; RunTasks() and DropAll() only on the
// thread that drains (the main thread). The lock is held only while entries
// are added or removed, never while a task runs, so tasks may post.
//
// The wake-up function asks the draining thread to call RunTasks() soon
// (for the process-wide queue: a message to the dispatch window). It runs
// at most once per empty-to-non-empty transition while no wake-up is
// pending, and when a drain stops on its time budget. It returns false when
// the request could not be delivered; the next post tries again, and the
// owner's periodic timer drains a queue left non-empty.
class CMainThreadQueue {
 public:
  using WakeFunction = std::function<bool()>;
  using ClockFunction = std::function<double()>;  // seconds, never decreasing

  static constexpr double kDrainBudgetSeconds = 0.05;

  CMainThreadQueue(WakeFunction wake, ClockFunction clock);
  ~CMainThreadQueue();
  CMainThreadQueue(const CMainThreadQueue&) = delete;
  CMainThreadQueue& operator=(const CMainThreadQueue&) = delete;

  void Post(MainThreadInvoker invoker, const MainThreadTaskRef& task);
  // Runs queued tasks until the queue is empty or the budget is spent.
  void RunTasks();
  // Releases every queued task without running it.
  void DropAll();
  [[nodiscard]] bool Empty();

 private:
  struct Entry {
    MainThreadInvoker invoker = nullptr;
    MainThreadTaskRef task;
  };

  void Wake();

  WakeFunction wake_;
  ClockFunction clock_;
  CCriticalSection lock_;
  std::deque<Entry> entries_;
  std::atomic<bool> wakePending_{false};
};

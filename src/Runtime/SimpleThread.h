#pragma once

#include <windows.h>

#include <atomic>

#include "Runtime/ScopedHandle.h"

// One Windows thread running the virtual Execute() until it returns. The
// work function polls IsStopRequested(); StopThread() asks it to stop and
// waits up to a timeout, after which the thread is terminated.
//
// Threads: StartThread/StopThread/DestroyThread/IsRunning are called by the
// owner on one thread; Execute runs on the created thread. A derived class
// must stop its thread in its own destructor, before its members go away.
class CSimpleThread {
 public:
  CSimpleThread() = default;
  CSimpleThread(const CSimpleThread&) = delete;
  CSimpleThread& operator=(const CSimpleThread&) = delete;
  virtual ~CSimpleThread();

  // Sets the stop flag and waits `timeoutMs` (INFINITE for no limit).
  // True when no thread runs afterwards.
  virtual bool StopThread(DWORD timeoutMs);
  // True when a thread runs afterwards (a running one is kept).
  virtual bool StartThread();

  // True while the thread exists and has not returned from Execute; closes
  // the handle of a thread that has ended.
  bool IsRunning();
  // Waits for the thread (unless called on it), terminates it after
  // `timeoutMs`, and forgets it. False when there was no thread.
  bool DestroyThread(DWORD timeoutMs);

  [[nodiscard]] DWORD ThreadId() const { return threadId_.load(); }

 protected:
  virtual void Execute() = 0;
  // Called by StopThread right after the stop flag is set, before waiting:
  // a work function blocked in a wait of its own is woken here.
  virtual void WakeForStop() {}
  [[nodiscard]] bool IsStopRequested() const {
    return stopRequested_.load(std::memory_order_acquire);
  }

 private:
  static unsigned __stdcall ThreadProc(void* self);

  ScopedKernelHandle thread_;
  std::atomic<DWORD> threadId_{0};
  std::atomic<bool> stopRequested_{false};
};

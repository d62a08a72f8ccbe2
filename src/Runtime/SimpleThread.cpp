#include "Runtime/SimpleThread.h"

#include <process.h>

#include "Runtime/Log.h"

CSimpleThread::~CSimpleThread() {
  // Derived classes stop their thread in their own destructor, while the
  // members Execute uses still exist; this only keeps the handle from leaking
  // when there was nothing left to stop.
  StopThread(INFINITE);
}

bool CSimpleThread::IsRunning() {
  if (!thread_) return false;
  DWORD code = 0;
  if (::GetExitCodeThread(thread_.get(), &code) && code == STILL_ACTIVE) return true;
  thread_.reset();
  threadId_ = 0;
  return false;
}

bool CSimpleThread::StartThread() {
  if (IsRunning()) return true;
  stopRequested_.store(false, std::memory_order_release);
  thread_.reset();
  threadId_ = 0;
  unsigned id = 0;
  uintptr_t h = _beginthreadex(nullptr, 0, &CSimpleThread::ThreadProc, this, 0, &id);
  if (h == 0) return false;
  thread_.reset(reinterpret_cast<HANDLE>(h));
  threadId_ = id;
  return true;
}

bool CSimpleThread::StopThread(DWORD timeoutMs) {
  if (!IsRunning()) return true;
  stopRequested_.store(true, std::memory_order_release);
  WakeForStop();
  return DestroyThread(timeoutMs);
}

bool CSimpleThread::DestroyThread(DWORD timeoutMs) {
  if (!thread_) return false;
  if (threadId_ != ::GetCurrentThreadId()) {
    if (::WaitForSingleObject(thread_.get(), timeoutMs) == WAIT_TIMEOUT) {
      LOG_CONSOLE(LOG_ERRO, L"CSimpleThread::DestroyThread线程结束超时 tid:%d ",
                  static_cast<int>(threadId_.load()));
      ::TerminateThread(thread_.get(), 0);
    }
  }
  thread_.reset();
  threadId_ = 0;
  return true;
}

unsigned __stdcall CSimpleThread::ThreadProc(void* self) {
  static_cast<CSimpleThread*>(self)->Execute();
  _endthreadex(0);
  return 0;
}

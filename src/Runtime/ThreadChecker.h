#pragma once

#include <windows.h>

#include <cassert>

// Remembers the thread that constructed it. Objects with thread affinity
// hold one and check it at the top of their thread-bound methods; the check
// compiles to nothing unless TESSEL_DCHECK_ON is set.
class CThreadChecker {
 public:
  CThreadChecker() : threadId_(::GetCurrentThreadId()) {}
  [[nodiscard]] bool OnValidThread() const { return ::GetCurrentThreadId() == threadId_; }
  // For objects created on one thread and then handed to the thread that
  // will own them.
  void Rebind() { threadId_ = ::GetCurrentThreadId(); }

 private:
  DWORD threadId_;
};

#if defined(TESSEL_DCHECK_ON)
#define DCHECK_ON_THREAD(checker)                                                    \
  do {                                                                               \
    if (!(checker).OnValidThread()) {                                                \
      ::OutputDebugStringW(L"thread affinity violated: " _CRT_WIDE(__FILE__) L"\n"); \
      ::DebugBreak();                                                                \
    }                                                                                \
  } while (0)
#else
#define DCHECK_ON_THREAD(checker) \
  do {                            \
  } while (0)
#endif

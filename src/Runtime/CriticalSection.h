#pragma once

#include <windows.h>

// A Windows critical section (re-entrant) and its scoped holder. The lock may
// be taken by any thread.
class CCriticalSection {
 public:
  CCriticalSection() { ::InitializeCriticalSection(&section_); }
  ~CCriticalSection() { ::DeleteCriticalSection(&section_); }
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Enter() { ::EnterCriticalSection(&section_); }
  void Leave() { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class CAutoLock {
 public:
  explicit CAutoLock(CCriticalSection& lock) : lock_(lock) { lock_.Enter(); }
  ~CAutoLock() { lock_.Leave(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CCriticalSection& lock_;
};

#pragma once

#include <atomic>
#include <cstdint>

// Interlocked reference count for objects shared between threads (transfers,
// main-thread tasks). A new object starts at 0; the first CRefPtr makes it 1
// and the last release deletes it through T's virtual destructor, on
// whichever thread lets go last. Hold such objects only through CRefPtr.
template <class T>
class CRefThreadSafeBase {
 public:
  void AddRef() const { count_.fetch_add(1, std::memory_order_relaxed); }

  void Release() const {
    // acq_rel: every write made through any reference happens-before the
    // delete on the thread that drops the last one.
    if (count_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      delete static_cast<const T*>(this);
    }
  }

  [[nodiscard]] int32_t RefCountForTesting() const { return count_.load(); }

 protected:
  CRefThreadSafeBase() = default;
  ~CRefThreadSafeBase() = default;
  CRefThreadSafeBase(const CRefThreadSafeBase&) = delete;
  CRefThreadSafeBase& operator=(const CRefThreadSafeBase&) = delete;

 private:
  mutable std::atomic<int32_t> count_{0};
};

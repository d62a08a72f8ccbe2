#pragma once

#include <windows.h>

#include <utility>

// Owns one Windows handle of the kind described by Traits:
//   using Handle = ...;  static Handle Invalid();  static void Close(Handle);
// Move-only; the destructor closes. Thread affinity: none of its own, the
// owner's.
template <class Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle h) : handle_(h) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~ScopedHandle() { reset(); }

  [[nodiscard]] Handle get() const { return handle_; }
  [[nodiscard]] bool valid() const { return handle_ != Traits::Invalid(); }
  explicit operator bool() const { return valid(); }

  void reset(Handle h = Traits::Invalid()) {
    Handle old = std::exchange(handle_, h);
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  [[nodiscard]] Handle release() { return std::exchange(handle_, Traits::Invalid()); }

 private:
  Handle handle_ = Traits::Invalid();
};

// Kernel objects that use null for "none" (threads, events, processes).
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;

struct WindowHandleTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DestroyWindow(h); }
};
using ScopedWindow = ScopedHandle<WindowHandleTraits>;

#pragma once

#include <utility>

// Smart pointer over a CRefThreadSafeBase object. One CRefPtr is used by one
// thread at a time; copies may live and die on different threads.
template <class T>
class CRefPtr {
 public:
  CRefPtr() = default;
  CRefPtr(T* p) : ptr_(p) {  // NOLINT: implicit, like a raw pointer
    if (ptr_) ptr_->AddRef();
  }
  CRefPtr(const CRefPtr& other) : CRefPtr(other.ptr_) {}
  CRefPtr(CRefPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ~CRefPtr() {
    if (ptr_) ptr_->Release();
  }

  CRefPtr& operator=(const CRefPtr& other) {
    if (this != &other) {
      // Take the new reference before dropping the old one: both may be the
      // same object, whose last reference this might be.
      T* old = ptr_;
      ptr_ = other.ptr_;
      if (ptr_) ptr_->AddRef();
      if (old) old->Release();
    }
    return *this;
  }
  CRefPtr& operator=(CRefPtr&& other) noexcept {
    if (this != &other) {
      T* old = std::exchange(ptr_, std::exchange(other.ptr_, nullptr));
      if (old) old->Release();
    }
    return *this;
  }

  [[nodiscard]] T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  T& operator*() const { return *ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

 private:
  T* ptr_ = nullptr;
};

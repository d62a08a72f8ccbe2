#pragma once

namespace SkinUI {

// Growable array of untyped, non-owned pointers. Storage grows when an
// addition makes the count reach the capacity: 0 becomes 11, anything else
// doubles. A failed allocation leaves the array as it was. No thread
// affinity of its own.
class CUIPtrArray {
 public:
  explicit CUIPtrArray(int preallocate = 0);
  CUIPtrArray(const CUIPtrArray& other);
  CUIPtrArray& operator=(const CUIPtrArray& other);
  ~CUIPtrArray();

  void Empty();
  [[nodiscard]] bool IsEmpty() const { return count_ == 0; }
  [[nodiscard]] int GetSize() const { return count_; }
  [[nodiscard]] int GetCapacity() const { return capacity_; }

  [[nodiscard]] bool Add(void* item);
  // `index` from 0 to the count; later items move up.
  [[nodiscard]] bool InsertAt(int index, void* item);
  [[nodiscard]] bool SetAt(int index, void* item);
  // `index` below the count; later items move down.
  bool Remove(int index);
  [[nodiscard]] int Find(void* item) const;
  // Null at or past the count (and below 0).
  [[nodiscard]] void* GetAt(int index) const;
  void* operator[](int index) const { return GetAt(index); }

 private:
  [[nodiscard]] bool Grow();

  void** items_ = nullptr;
  int count_ = 0;
  int capacity_ = 0;
};

}  // namespace SkinUI

#pragma once

#include <cstdint>

#include "SkinUI/Utils/UIString.h"

namespace SkinUI {

// Hash map from a case-sensitive string key to an untyped, non-owned
// pointer. Chained buckets (83 unless resized); a lookup moves the entry it
// finds to the front of its bucket, so the names a window paints with stay
// cheap to find. Iteration runs over the buckets from the last to the first,
// each from its front. No thread affinity of its own.
class CUIStringMap {
 public:
  static constexpr int kDefaultBuckets = 83;

  explicit CUIStringMap(int buckets = kDefaultBuckets);
  CUIStringMap(const CUIStringMap&) = delete;
  CUIStringMap& operator=(const CUIStringMap&) = delete;
  ~CUIStringMap();

  // Drops every entry and uses `buckets` buckets from now on.
  void Resize(int buckets = kDefaultBuckets);
  void RemoveAll() { Resize(buckets_); }

  // The value, or null when absent (a present key may also map to null).
  [[nodiscard]] void* Find(const wchar_t* key);
  [[nodiscard]] bool Contains(const wchar_t* key);
  // Refuses a key that is already present.
  [[nodiscard]] bool Insert(const wchar_t* key, void* value);
  // Replaces the value of a present key and returns the old one; adds the
  // key (returning null) otherwise.
  void* Set(const wchar_t* key, void* value);
  bool Remove(const wchar_t* key);

  [[nodiscard]] int GetSize() const { return count_; }
  // The key at position `index` of the iteration order, or null.
  [[nodiscard]] const CUIString* GetAt(int index) const;
  // The value stored under the key at position `index`, or null.
  [[nodiscard]] void* GetValueAt(int index) const;

  // Starts at 0 and takes hash * 33 + character for each character from the
  // last to the first, in 32-bit unsigned arithmetic.
  [[nodiscard]] static uint32_t Hash(const wchar_t* key);

 private:
  struct Item {
    CUIString key;
    void* value;
    Item* next;
  };
  [[nodiscard]] Item* Lookup(const wchar_t* key, bool moveToFront);
  [[nodiscard]] const Item* ItemAt(int index) const;
  void FreeBuckets();

  Item** table_ = nullptr;
  int buckets_ = 0;
  int count_ = 0;
};

}  // namespace SkinUI

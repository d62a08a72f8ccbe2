#include "SkinUI/Utils/UIStringMap.h"

#include <cwchar>
#include <new>

namespace SkinUI {

CUIStringMap::CUIStringMap(int buckets) {
  Resize(buckets);
}

CUIStringMap::~CUIStringMap() {
  FreeBuckets();
}

void CUIStringMap::FreeBuckets() {
  for (int b = 0; b < buckets_; ++b) {
    Item* item = table_[b];
    while (item != nullptr) {
      Item* next = item->next;
      delete item;
      item = next;
    }
  }
  delete[] table_;
  table_ = nullptr;
  count_ = 0;
}

void CUIStringMap::Resize(int buckets) {
  FreeBuckets();
  buckets_ = buckets > 0 ? buckets : kDefaultBuckets;
  table_ = new Item*[buckets_]();
}

uint32_t CUIStringMap::Hash(const wchar_t* key) {
  uint32_t hash = 0;
  if (key == nullptr) return hash;
  for (size_t i = wcslen(key); i > 0; --i) hash = hash * 33 + static_cast<uint32_t>(key[i - 1]);
  return hash;
}

CUIStringMap::Item* CUIStringMap::Lookup(const wchar_t* key, bool moveToFront) {
  if (key == nullptr) return nullptr;
  Item** head = &table_[Hash(key) % static_cast<uint32_t>(buckets_)];
  Item* previous = nullptr;
  for (Item* item = *head; item != nullptr; previous = item, item = item->next) {
    if (item->key != key) continue;
    if (moveToFront && previous != nullptr) {
      previous->next = item->next;
      item->next = *head;
      *head = item;
    }
    return item;
  }
  return nullptr;
}

void* CUIStringMap::Find(const wchar_t* key) {
  Item* item = Lookup(key, true);
  return item ? item->value : nullptr;
}

bool CUIStringMap::Contains(const wchar_t* key) {
  return Lookup(key, true) != nullptr;
}

bool CUIStringMap::Insert(const wchar_t* key, void* value) {
  if (key == nullptr || Lookup(key, false) != nullptr) return false;
  const uint32_t bucket = Hash(key) % static_cast<uint32_t>(buckets_);
  table_[bucket] = new Item{CUIString(key), value, table_[bucket]};
  ++count_;
  return true;
}

void* CUIStringMap::Set(const wchar_t* key, void* value) {
  if (key == nullptr) return nullptr;
  if (Item* item = Lookup(key, true)) {
    void* old = item->value;
    item->value = value;
    return old;
  }
  (void)Insert(key, value);
  return nullptr;
}

bool CUIStringMap::Remove(const wchar_t* key) {
  if (key == nullptr) return false;
  Item** link = &table_[Hash(key) % static_cast<uint32_t>(buckets_)];
  for (Item* item = *link; item != nullptr; link = &item->next, item = item->next) {
    if (item->key == key) {
      *link = item->next;
      delete item;
      --count_;
      return true;
    }
  }
  return false;
}

const CUIStringMap::Item* CUIStringMap::ItemAt(int index) const {
  if (index < 0) return nullptr;
  int position = 0;
  for (int b = buckets_ - 1; b >= 0; --b) {
    for (const Item* item = table_[b]; item != nullptr; item = item->next) {
      if (position++ == index) return item;
    }
  }
  return nullptr;
}

const CUIString* CUIStringMap::GetAt(int index) const {
  const Item* item = ItemAt(index);
  return item ? &item->key : nullptr;
}

void* CUIStringMap::GetValueAt(int index) const {
  const Item* item = ItemAt(index);
  return item ? item->value : nullptr;
}

}  // namespace SkinUI

#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Runtime/ProtoValueException.h"

// A small dynamically typed value: null, integer, real, 8-bit string, UTF-16
// string, array or map (UTF-16 keys, case-sensitive, ordered). Indexing a
// null value turns it into an array or a map, so nested records are built by
// plain indexing: result[L"curl"][L"code"] = 5. Copies are deep. Reading
// accessors on null values return shared defaults and never throw; other
// wrong-type accesses throw ProtoValueException. Used by one thread at a time.
class ProtoValue {
 public:
  enum class Type : int32_t {
    kNull = 0,
    kInteger = 1,
    kReal = 2,
    kString8 = 3,
    kString = 4,
    kArray = 5,
    kMap = 6,
  };
  using Array = std::vector<ProtoValue>;
  using Map = std::map<std::wstring, ProtoValue>;

  ProtoValue() = default;
  explicit ProtoValue(Type type);
  ProtoValue(int64_t value);  // NOLINT: implicit for assignment
  ProtoValue(int value) : ProtoValue(static_cast<int64_t>(value)) {}  // NOLINT
  ProtoValue(const std::wstring& value);                              // NOLINT
  ProtoValue(const wchar_t* value);                                   // NOLINT
  ProtoValue(const ProtoValue& other);
  ProtoValue(ProtoValue&& other) noexcept;
  ProtoValue& operator=(const ProtoValue& other);
  ProtoValue& operator=(ProtoValue&& other) noexcept;
  ~ProtoValue();

  [[nodiscard]] Type type() const { return type_; }
  void Clear();

  ProtoValue& operator[](int index);
  ProtoValue& operator[](const wchar_t* key);
  ProtoValue& operator[](const std::wstring& key) { return (*this)[key.c_str()]; }

  [[nodiscard]] const ProtoValue& Get(const std::wstring& key) const;
  [[nodiscard]] bool Has(const std::wstring& key) const;
  [[nodiscard]] const int64_t& integer() const;
  [[nodiscard]] const std::wstring& string() const;
  void Append(const ProtoValue& value);
  [[nodiscard]] size_t Count() const;

 private:
  void Swap(ProtoValue& other) noexcept;

  Type type_ = Type::kNull;
  union Payload {
    int64_t integer;
    double real;
    std::string* string8;
    std::wstring* string;
    Array* array;
    Map* map;
  } payload_{0};
};

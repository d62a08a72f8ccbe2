#include "Runtime/ProtoValue.h"

#include <utility>

namespace {

const ProtoValue& SharedNull() {
  static const ProtoValue value;
  return value;
}

const int64_t kSharedZero = 0;

const std::wstring& SharedEmptyString() {
  static const std::wstring value;
  return value;
}

}  // namespace

ProtoValue::ProtoValue(Type type) : type_(type) {
  switch (type) {
    case Type::kString8:
      payload_.string8 = new std::string();
      break;
    case Type::kString:
      payload_.string = new std::wstring();
      break;
    case Type::kArray:
      payload_.array = new Array();
      break;
    case Type::kMap:
      payload_.map = new Map();
      break;
    case Type::kReal:
      payload_.real = 0.0;
      break;
    case Type::kNull:
    case Type::kInteger:
      break;
    default:
      type_ = Type::kNull;
      break;
  }
}

ProtoValue::ProtoValue(int64_t value) : type_(Type::kInteger) {
  payload_.integer = value;
}

ProtoValue::ProtoValue(const std::wstring& value) : type_(Type::kString) {
  payload_.string = new std::wstring(value);
}

ProtoValue::ProtoValue(const wchar_t* value) : type_(Type::kString) {
  payload_.string = new std::wstring(value != nullptr ? value : L"");
}

ProtoValue::ProtoValue(const ProtoValue& other) : type_(other.type_) {
  switch (other.type_) {
    case Type::kString8:
      payload_.string8 = new std::string(*other.payload_.string8);
      break;
    case Type::kString:
      payload_.string = new std::wstring(*other.payload_.string);
      break;
    case Type::kArray:
      payload_.array = new Array(*other.payload_.array);
      break;
    case Type::kMap:
      payload_.map = new Map(*other.payload_.map);
      break;
    default:
      payload_ = other.payload_;
      break;
  }
}

ProtoValue::ProtoValue(ProtoValue&& other) noexcept : type_(other.type_), payload_(other.payload_) {
  other.type_ = Type::kNull;
  other.payload_.integer = 0;
}

ProtoValue& ProtoValue::operator=(const ProtoValue& other) {
  // Copy first: `other` may live inside this value's own payload.
  ProtoValue copy(other);
  Swap(copy);
  return *this;
}

ProtoValue& ProtoValue::operator=(ProtoValue&& other) noexcept {
  // Moving out first keeps a value moved from its own payload valid.
  ProtoValue taken(std::move(other));
  Swap(taken);
  return *this;
}

ProtoValue::~ProtoValue() {
  Clear();
}

void ProtoValue::Swap(ProtoValue& other) noexcept {
  std::swap(type_, other.type_);
  std::swap(payload_, other.payload_);
}

void ProtoValue::Clear() {
  switch (type_) {
    case Type::kString8:
      delete payload_.string8;
      break;
    case Type::kString:
      delete payload_.string;
      break;
    case Type::kArray:
      delete payload_.array;
      break;
    case Type::kMap:
      delete payload_.map;
      break;
    default:
      break;
  }
  type_ = Type::kNull;
  payload_.integer = 0;
}

ProtoValue& ProtoValue::operator[](int index) {
  if (type_ == Type::kNull) *this = ProtoValue(Type::kArray);
  if (type_ != Type::kArray || index < 0) {
    throw ProtoValueException{1, L"ProtoValue operator[int] out of range"};
  }
  Array& array = *payload_.array;
  const size_t i = static_cast<size_t>(index);
  if (i == array.size()) array.emplace_back();
  if (i >= array.size()) throw ProtoValueException{1, L"ProtoValue operator[int] out of range"};
  return array[i];
}

ProtoValue& ProtoValue::operator[](const wchar_t* key) {
  if (type_ == Type::kNull) *this = ProtoValue(Type::kMap);
  if (type_ != Type::kMap) throw ProtoValueException{2, L"ProtoValue operator[string] wrong type"};
  return (*payload_.map)[key != nullptr ? key : L""];
}

const ProtoValue& ProtoValue::Get(const std::wstring& key) const {
  if (type_ != Type::kMap) return SharedNull();
  auto it = payload_.map->find(key);
  return it != payload_.map->end() ? it->second : SharedNull();
}

bool ProtoValue::Has(const std::wstring& key) const {
  return type_ == Type::kMap && payload_.map->count(key) != 0;
}

const int64_t& ProtoValue::integer() const {
  if (type_ == Type::kNull) return kSharedZero;
  if (type_ != Type::kInteger) throw ProtoValueException{3, L"ProtoValue::integer wrong type"};
  return payload_.integer;
}

const std::wstring& ProtoValue::string() const {
  if (type_ == Type::kNull) return SharedEmptyString();
  if (type_ != Type::kString) throw ProtoValueException{3, L"ProtoValue::string wrong type"};
  return *payload_.string;
}

void ProtoValue::Append(const ProtoValue& value) {
  // Copied before indexing: appending may move the array that holds `value`.
  ProtoValue copy(value);
  (*this)[static_cast<int>(Count())] = std::move(copy);
}

size_t ProtoValue::Count() const {
  if (type_ == Type::kArray) return payload_.array->size();
  if (type_ == Type::kMap) return payload_.map->size();
  return 0;
}

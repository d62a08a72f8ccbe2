#pragma once

#include <cstdint>
#include <string>

// Thrown by value by ProtoValue on a wrong-type or out-of-range access.
// Codes: 1 integer index out of range (or integer indexing of a map),
// 2 key indexing of a non-map, 3 accessor of the wrong type.
struct ProtoValueException {
  int32_t code;
  std::wstring message;
};

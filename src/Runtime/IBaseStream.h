#pragma once

#include <cstdint>

// Input stream a transfer reads an upload from. Failure is a negative count.
// Used by one thread at a time.
class IBaseStream {
 public:
  virtual ~IBaseStream() = default;
  // Reads exactly `length` bytes: returns `length`, 0 at the end, -1 when
  // fewer remain (nothing is read then).
  [[nodiscard]] virtual int32_t Read(void* buffer, uint32_t length) = 0;
  [[nodiscard]] virtual uint32_t Size() const = 0;
  virtual void Close() = 0;
};

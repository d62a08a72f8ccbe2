#pragma once

#include <cstdint>
#include <memory>

#include "Runtime/IBaseStream.h"

// Input stream over its own copy of a block of bytes.
class IBufferStream : public IBaseStream {
 public:
  IBufferStream(uint32_t length, const void* bytes);

  [[nodiscard]] int32_t Read(void* buffer, uint32_t length) override;
  [[nodiscard]] uint32_t Size() const override { return size_; }
  void Close() override;

  [[nodiscard]] uint32_t Position() const { return position_; }

 private:
  std::unique_ptr<uint8_t[]> data_;
  uint32_t size_ = 0;
  uint32_t position_ = 0;
};

#pragma once

#include <cstdint>
#include <memory>

#include "Runtime/OBaseStream.h"

// Output stream into a growing memory buffer; the owning request reads
// Data()/Size() after the transfer. Starts with 2 MiB; a reset or closed
// stream starts again at 512 KiB.
class OBufferStream : public OBaseStream {
 public:
  static constexpr uint32_t kInitialCapacity = 2 * 1024 * 1024;
  static constexpr uint32_t kRestartCapacity = 512 * 1024;

  // `limit` caps the bytes the stream accepts (in-memory responses have no
  // business being large).
  explicit OBufferStream(uint32_t limit = INT32_MAX);

  // Returns `length`, or -1 when the total would pass the limit (nothing is
  // written then).
  [[nodiscard]] int32_t Write(const void* data, uint32_t length) override;
  void Close() override;
  void Reset() override { Close(); }

  [[nodiscard]] const uint8_t* Data() const { return buffer_.get(); }
  [[nodiscard]] uint32_t Size() const { return size_; }
  [[nodiscard]] uint32_t Capacity() const { return capacity_; }

 private:
  std::unique_ptr<uint8_t[]> buffer_;
  uint32_t capacity_ = 0;
  uint32_t size_ = 0;
  uint32_t limit_;
};

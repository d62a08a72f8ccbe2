#include "Runtime/OBufferStream.h"

#include <cstring>

OBufferStream::OBufferStream(uint32_t limit)
    : buffer_(new uint8_t[kInitialCapacity]),
      capacity_(kInitialCapacity),
      limit_(limit < INT32_MAX - 10 ? limit : INT32_MAX - 10) {}

int32_t OBufferStream::Write(const void* data, uint32_t length) {
  // Room for 10 bytes beyond the data lets readers terminate text in place.
  if (uint64_t{size_} + length > limit_) return -1;
  const uint64_t needed = uint64_t{size_} + length + 10;
  if (needed > capacity_) {
    uint64_t capacity = capacity_ == 0 ? kRestartCapacity : capacity_;
    while (capacity < needed) capacity *= 2;
    std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]);
    if (size_ > 0) memcpy(grown.get(), buffer_.get(), size_);
    buffer_ = std::move(grown);
    capacity_ = static_cast<uint32_t>(capacity);
  }
  if (length > 0) memcpy(buffer_.get() + size_, data, length);
  size_ += length;
  return static_cast<int32_t>(length);
}

void OBufferStream::Close() {
  buffer_.reset();
  capacity_ = 0;
  size_ = 0;
}

#include "Runtime/IBufferStream.h"

#include <cstring>

IBufferStream::IBufferStream(uint32_t length, const void* bytes)
    : data_(new uint8_t[length > 0 ? length : 1]), size_(length) {
  if (length > 0) memcpy(data_.get(), bytes, length);
}

int32_t IBufferStream::Read(void* buffer, uint32_t length) {
  if (position_ == size_) return 0;
  // A single call returns at most INT32_MAX bytes, as the count is signed.
  if (length > size_ - position_ || length > INT32_MAX) return -1;
  memcpy(buffer, data_.get() + position_, length);
  position_ += length;
  return static_cast<int32_t>(length);
}

void IBufferStream::Close() {
  data_.reset();
  size_ = 0;
  position_ = 0;
}

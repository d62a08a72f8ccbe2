#pragma once

#include <cstdint>

// Output stream a transfer writes a response body into. Write returns the
// number of bytes taken or a negative count on failure; a sink that fails
// records a result pair (type, code) that the request reads afterwards.
// Used by one thread at a time: the worker while a transfer runs, the
// main thread before and after.
class OBaseStream {
 public:
  virtual ~OBaseStream() = default;
  [[nodiscard]] virtual int32_t Write(const void* data, uint32_t length) = 0;
  virtual void Close() = 0;
  virtual void Reset() = 0;

  [[nodiscard]] int32_t ErrorCode() const { return errorCode_; }
  [[nodiscard]] int32_t ErrorType() const { return errorType_; }

 protected:
  void SetError(int32_t type, int32_t code) {
    errorType_ = type;
    errorCode_ = code;
  }

 private:
  int32_t errorCode_ = 0;
  int32_t errorType_ = 0;
};

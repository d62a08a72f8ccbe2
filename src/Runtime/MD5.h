#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The MD5 message digest of RFC 1321, computed incrementally or over a whole
// C stream, returned as lower-case hexadecimal text. Misuse (updating or
// finalizing twice, reading before finalizing) is reported on stderr and
// otherwise ignored. Used by one thread at a time.
class MD5 {
 public:
  MD5();
  // Reads `stream` to its end, closes it and finalizes. A null stream gives
  // the digest of no bytes.
  explicit MD5(FILE* stream);

  void update(const void* data, size_t length);
  void finalize();
  // 32 lower-case hex digits, or an empty string before finalize().
  [[nodiscard]] std::string hex_digest();
  [[nodiscard]] const uint8_t* digest() const { return digest_; }

 private:
  void Init();
  void Transform(const uint8_t* blocks, size_t count);

  uint32_t state_[4];
  uint32_t count_[2];  // message length in bits, low word first
  uint8_t buffer_[64];
  uint8_t digest_[16];
  bool finalized_ = false;
  char hex_[33];
};

// MD5 throughput of our digest against Windows' BCrypt MD5, in the same
// process, over the same buffer.
#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Runtime/MD5.h"

namespace {

constexpr size_t kBufferBytes = 256u << 20;
constexpr int kRounds = 3;

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER c;
  ::QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Best of a few rounds, in MB/s (10^6 bytes).
double Throughput(const std::function<std::string()>& digest, std::string& result) {
  double best = 0;
  for (int round = 0; round < kRounds; ++round) {
    const double start = Now();
    result = digest();
    const double seconds = Now() - start;
    best = std::max(best, static_cast<double>(kBufferBytes) / 1e6 / seconds);
  }
  return best;
}

std::string Hex(const unsigned char* digest) {
  char hex[33];
  for (int i = 0; i < 16; ++i) snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  return std::string(hex, 32);
}

}  // namespace

int wmain() {
  std::vector<unsigned char> buffer(kBufferBytes);
  uint32_t x = 88172645u;
  for (size_t i = 0; i < buffer.size(); i += 4) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    memcpy(&buffer[i], &x, 4);
  }

  std::string ours, baseline;
  const double oursMBs = Throughput(
      [&] {
        MD5 md5;
        md5.update(buffer.data(), buffer.size());
        md5.finalize();
        return md5.hex_digest();
      },
      ours);

  BCRYPT_ALG_HANDLE alg = nullptr;
  if (BCryptOpenAlgorithmProvider(&alg, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0) {
    fprintf(stderr, "bench md5: BCrypt MD5 unavailable\n");
    return 1;
  }
  const double baselineMBs = Throughput(
      [&] {
        BCRYPT_HASH_HANDLE hash = nullptr;
        unsigned char digest[16] = {};
        BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0);
        BCryptHashData(hash, buffer.data(), static_cast<ULONG>(buffer.size()), 0);
        BCryptFinishHash(hash, digest, 16, 0);
        BCryptDestroyHash(hash);
        return Hex(digest);
      },
      baseline);
  BCryptCloseAlgorithmProvider(alg, 0);

  if (ours != baseline) {
    fprintf(stderr, "bench md5: digests differ (%s vs %s)\n", ours.c_str(), baseline.c_str());
    return 1;
  }
  printf("bench md5 ratio=%.3f ours=%.1fMB/s baseline=%.1fMB/s\n", oursMBs / baselineMBs, oursMBs,
         baselineMBs);
  return 0;
}

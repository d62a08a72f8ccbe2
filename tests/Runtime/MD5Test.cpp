#include "Runtime/MD5.h"

#include <windows.h>
#include <bcrypt.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace {

std::string Md5Of(const std::string& bytes) {
  MD5 md5;
  md5.update(bytes.data(), bytes.size());
  md5.finalize();
  return md5.hex_digest();
}

// Windows' own MD5 over the same bytes, fed in the same pieces as the file.
std::string BCryptMd5Hex(const std::wstring& path) {
  BCRYPT_ALG_HANDLE alg = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  EXPECT_EQ(BCryptOpenAlgorithmProvider(&alg, BCRYPT_MD5_ALGORITHM, nullptr, 0), 0);
  EXPECT_EQ(BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0), 0);
  FILE* f = _wfopen(path.c_str(), L"rb");
  EXPECT_NE(f, nullptr);
  std::vector<unsigned char> buffer(1 << 20);
  size_t n;
  while (f != nullptr && (n = fread(buffer.data(), 1, buffer.size(), f)) > 0) {
    BCryptHashData(hash, buffer.data(), static_cast<ULONG>(n), 0);
  }
  if (f != nullptr) fclose(f);
  unsigned char digest[16];
  BCryptFinishHash(hash, digest, 16, 0);
  BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(alg, 0);
  char hex[33];
  for (int i = 0; i < 16; ++i) snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  return std::string(hex, 32);
}

TEST(MD5Test, RfcTestSuite) {
  struct Case {
    const char* input;
    const char* digest;
  };
  const Case cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const Case& c : cases) EXPECT_EQ(Md5Of(c.input), c.digest) << '"' << c.input << '"';
}

TEST(MD5Test, PiecewiseUpdatesMatchOneUpdate) {
  std::string bytes(1000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  const std::string whole = Md5Of(bytes);
  // Pieces that straddle the 64-byte block and the 56-byte padding limit.
  for (size_t piece : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 127u}) {
    MD5 md5;
    for (size_t at = 0; at < bytes.size(); at += piece) {
      md5.update(bytes.data() + at, std::min(piece, bytes.size() - at));
    }
    md5.finalize();
    EXPECT_EQ(md5.hex_digest(), whole) << "pieces of " << piece;
  }
}

TEST(MD5Test, StreamConstructorMatchesOneUpdate) {
  TempDir dir;
  for (size_t size : {0u, 1024u, 1025u}) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i ^ (i >> 8));
    const std::wstring path = dir.File(L"s" + std::to_wstring(size));
    WriteFileBytes(path, bytes);
    MD5 fromStream(_wfopen(path.c_str(), L"rb"));
    EXPECT_EQ(fromStream.hex_digest(), Md5Of(bytes)) << size;
  }
}

TEST(MD5Test, MisuseIsIgnored) {
  MD5 md5;
  md5.update("abc", 3);
  EXPECT_EQ(md5.hex_digest(), "");  // not finalized yet
  md5.finalize();
  md5.update("def", 3);  // ignored
  md5.finalize();        // ignored
  EXPECT_EQ(md5.hex_digest(), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(MD5Test, HundredMegabyteFileMatchesWindowsMd5) {
  TempDir dir;
  const std::wstring path = dir.File(L"big.bin");
  {
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::vector<uint32_t> chunk(1 << 18);  // 1 MiB
    uint32_t x = 2463534242u;
    for (int mb = 0; mb < 100; ++mb) {
      for (uint32_t& w : chunk) {  // xorshift32: bytes with no structure
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        w = x;
      }
      ASSERT_EQ(fwrite(chunk.data(), 4, chunk.size(), f), chunk.size());
    }
    // An odd tail, so the last block is partial.
    ASSERT_EQ(fwrite("tail", 1, 3, f), 3u);
    fclose(f);
  }
  MD5 md5(_wfopen(path.c_str(), L"rb"));
  EXPECT_EQ(md5.hex_digest(), BCryptMd5Hex(path));
}

}  // namespace

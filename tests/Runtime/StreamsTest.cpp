#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Runtime/IBufferStream.h"
#include "Runtime/OBufferStream.h"

namespace {

TEST(IBufferStreamTest, ReadsWholeRequestsOnlyAndReportsTheEnd) {
  const char bytes[] = "0123456789abcde";
  IBufferStream stream(15, bytes);
  char out[16] = {};
  EXPECT_EQ(stream.Size(), 15u);
  EXPECT_EQ(stream.Read(out, 10), 10);
  EXPECT_EQ(std::string(out, 10), "0123456789");
  EXPECT_EQ(stream.Read(out, 10), -1);  // a short read is refused...
  EXPECT_EQ(stream.Position(), 10u);    // ...and consumes nothing
  EXPECT_EQ(stream.Read(out, 5), 5);
  EXPECT_EQ(std::string(out, 5), "abcde");
  EXPECT_EQ(stream.Read(out, 5), 0);
}

TEST(IBufferStreamTest, KeepsItsOwnCopy) {
  std::string source = "abc";
  IBufferStream stream(3, source.data());
  source = "xyz";
  char out[3];
  ASSERT_EQ(stream.Read(out, 3), 3);
  EXPECT_EQ(std::string(out, 3), "abc");
  stream.Close();
  EXPECT_EQ(stream.Size(), 0u);
  EXPECT_EQ(stream.Read(out, 1), 0);
}

TEST(OBufferStreamTest, GrowsOnceFromTwoToFourMiBForThreeMiB) {
  OBufferStream stream;
  EXPECT_EQ(stream.Capacity(), 2u * 1024 * 1024);
  std::vector<uint8_t> piece(16 * 1024);
  int growths = 0;
  uint32_t capacity = stream.Capacity();
  for (uint32_t written = 0; written < 3u * 1024 * 1024; written += piece.size()) {
    for (size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<uint8_t>((written + i) % 251);
    ASSERT_EQ(stream.Write(piece.data(), piece.size()), static_cast<int32_t>(piece.size()));
    if (stream.Capacity() != capacity) {
      ++growths;
      capacity = stream.Capacity();
    }
  }
  EXPECT_EQ(growths, 1);
  EXPECT_EQ(stream.Capacity(), 4u * 1024 * 1024);
  ASSERT_EQ(stream.Size(), 3u * 1024 * 1024);
  for (uint32_t i = 0; i < stream.Size(); i += 4099) {
    ASSERT_EQ(stream.Data()[i], static_cast<uint8_t>(i % 251)) << i;
  }
}

TEST(OBufferStreamTest, AfterResetTheBufferRestartsAt512KiB) {
  OBufferStream stream;
  ASSERT_EQ(stream.Write("xyz", 3), 3);
  stream.Reset();
  EXPECT_EQ(stream.Capacity(), 0u);
  EXPECT_EQ(stream.Size(), 0u);
  std::string hundred(100, 'q');
  ASSERT_EQ(stream.Write(hundred.data(), 100), 100);
  EXPECT_EQ(stream.Capacity(), 512u * 1024);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Data()), stream.Size()), hundred);
}

TEST(OBufferStreamTest, WriteThatWouldOverflowTheCountIsRefused) {
  OBufferStream stream;
  ASSERT_EQ(stream.Write("ab", 2), 2);
  // Never dereferenced: the size check comes first.
  EXPECT_EQ(stream.Write(reinterpret_cast<const void*>(1), 0x7FFFFFFFu), -1);
  EXPECT_EQ(stream.Size(), 2u);
  EXPECT_EQ(stream.ErrorType(), 0);
  EXPECT_EQ(stream.ErrorCode(), 0);
}

}  // namespace

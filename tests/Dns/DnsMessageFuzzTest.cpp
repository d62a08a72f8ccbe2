#include "Dns/DnsMessage.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/DnsResponder.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kId = 0x4D2A;
constexpr int kMutations = 100000;

// Two pages, the second inaccessible: a message copied to the end of the
// first faults on any read past its length instead of reading garbage.
class GuardedBuffer {
 public:
  GuardedBuffer() {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    page_ = info.dwPageSize;
    base_ = static_cast<uint8_t*>(
        ::VirtualAlloc(nullptr, page_ * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    guarded_ = base_ != nullptr && ::VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old);
  }
  ~GuardedBuffer() {
    if (base_ != nullptr) ::VirtualFree(base_, 0, MEM_RELEASE);
  }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  [[nodiscard]] bool Ready() const { return guarded_; }
  [[nodiscard]] size_t Capacity() const { return page_; }
  // The copy ends exactly at the guard page.
  const uint8_t* Place(const Bytes& message) {
    uint8_t* at = base_ + page_ - message.size();
    if (!message.empty()) std::memcpy(at, message.data(), message.size());
    return at;
  }

 private:
  size_t page_ = 0;
  uint8_t* base_ = nullptr;
  bool guarded_ = false;
};

std::vector<Bytes> SeedReplies() {
  std::vector<Bytes> seeds;
  for (const char* host : {"x", "download.example.test", "a.b.c.d.e.f.g.h"}) {
    Bytes query;
    if (!BuildDnsQuery(host, kId, query)) continue;
    for (DnsReplyKind kind :
         {DnsReplyKind::kTwoA, DnsReplyKind::kCnameOnly, DnsReplyKind::kPointerInQuestion,
          DnsReplyKind::kPointerLoop, DnsReplyKind::kLongName, DnsReplyKind::kCutInFields}) {
      seeds.push_back(BuildDnsReply(kind, query));
    }
  }
  return seeds;
}

void Mutate(Bytes& message, std::mt19937& random) {
  static const uint8_t kTelling[] = {0x00, 0x01, 0x3F, 0x40, 0x7F, 0x80, 0xBF, 0xC0, 0xFF, 0x0C};
  auto pick = [&](size_t bound) {
    return std::uniform_int_distribution<size_t>(0, bound - 1)(random);
  };
  const int edits = 1 + static_cast<int>(pick(4));
  for (int i = 0; i < edits && !message.empty(); ++i) {
    switch (pick(7)) {
      case 0:  // any byte
        message[pick(message.size())] = static_cast<uint8_t>(pick(256));
        break;
      case 1:  // a value that means something to a name reader
        message[pick(message.size())] = kTelling[pick(sizeof(kTelling))];
        break;
      case 2: {  // a compression pointer anywhere, to anywhere
        const size_t at = pick(message.size());
        const size_t target = pick(message.size() + 16);
        message[at] = static_cast<uint8_t>(0xC0 | ((target >> 8) & 0x3F));
        if (at + 1 < message.size()) message[at + 1] = static_cast<uint8_t>(target & 0xFF);
        break;
      }
      case 3:  // cut short
        message.resize(pick(message.size() + 1));
        break;
      case 4:  // a byte inserted
        message.insert(message.begin() + static_cast<std::ptrdiff_t>(pick(message.size() + 1)),
                       static_cast<uint8_t>(pick(256)));
        break;
      case 5: {  // a run repeated
        const size_t from = pick(message.size());
        const size_t size = 1 + pick(std::min<size_t>(32, message.size() - from));
        const Bytes run(message.begin() + static_cast<std::ptrdiff_t>(from),
                        message.begin() + static_cast<std::ptrdiff_t>(from + size));
        message.insert(message.begin() + static_cast<std::ptrdiff_t>(pick(message.size() + 1)),
                       run.begin(), run.end());
        break;
      }
      case 6:  // question or answer count
        if (message.size() >= 8) message[4 + pick(4)] = static_cast<uint8_t>(pick(256));
        break;
    }
  }
}

TEST(DnsMessageFuzzTest, MutatedRepliesNeverReadPastTheirLengthOrHang) {
  GuardedBuffer buffer;
  ASSERT_TRUE(buffer.Ready());
  const std::vector<Bytes> seeds = SeedReplies();
  ASSERT_FALSE(seeds.empty());
  std::mt19937 random(20240611u);
  int counts[3] = {0, 0, 0};
  const ULONGLONG start = ::GetTickCount64();
  for (int i = 0; i < kMutations; ++i) {
    Bytes message = seeds[random() % seeds.size()];
    Mutate(message, random);
    if (message.size() > buffer.Capacity()) message.resize(buffer.Capacity());
    const uint8_t* data = buffer.Place(message);

    std::vector<DnsAddress> addresses;
    const DnsResponseStatus status = ParseDnsResponse(data, message.size(), kId, addresses);
    ++counts[static_cast<int>(status)];
    if (status == DnsResponseStatus::kAnswered) {
      const size_t answers = (static_cast<size_t>(message[6]) << 8) | message[7];
      ASSERT_LE(addresses.size(), answers) << "iteration " << i;
    } else {
      ASSERT_TRUE(addresses.empty()) << "iteration " << i;
    }

    // Names at arbitrary offsets, as a reader would meet them.
    size_t offset = random() % (message.size() + 1);
    std::string name;
    if (ReadDnsName(data, message.size(), offset, true, name)) {
      ASSERT_LE(offset, message.size()) << "iteration " << i;
      ASSERT_FALSE(name.empty());
      ASSERT_LT(name.size(), kDnsMaxNameSize);
    }
  }
  const ULONGLONG took = ::GetTickCount64() - start;
  EXPECT_LT(took, 60000u);
  // The mutations reach every outcome, so each path was exercised.
  EXPECT_GT(counts[static_cast<int>(DnsResponseStatus::kAnswered)], 1000);
  EXPECT_GT(counts[static_cast<int>(DnsResponseStatus::kIgnored)], 1000);
  EXPECT_GT(counts[static_cast<int>(DnsResponseStatus::kMalformed)], 1000);
}

TEST(DnsMessageFuzzTest, RandomHostsEncodeWithinTheQueryBuffer) {
  std::mt19937 random(7u);
  const char alphabet[] = {'a', 'b', '.', '-', '9'};
  for (int i = 0; i < 20000; ++i) {
    std::string host(random() % 300, 'a');
    for (char& c : host) c = alphabet[random() % sizeof(alphabet)];
    // Some long labels, so both limits are met.
    if (random() % 4 == 0)
      host.insert(random() % (host.size() + 1), std::string(60 + random() % 8, 'z'));
    size_t longestLabel = 0;
    size_t run = 0;
    bool anyLabel = false;
    for (char c : host) {
      run = c == '.' ? 0 : run + 1;
      anyLabel = anyLabel || c != '.';
      longestLabel = std::max(longestLabel, run);
    }
    const bool fits = host.size() <= kDnsMaxHostLength && longestLabel <= 63 && anyLabel;
    Bytes query;
    ASSERT_EQ(BuildDnsQuery(host, kId, query), fits) << host;
    if (fits) {
      ASSERT_LE(query.size(), kDnsQueryBufferSize);
      // The query's own name reads back as the host without empty pieces.
      size_t offset = 12;
      std::string name;
      std::string expected;
      for (size_t p = 0; p < host.size(); ++p) {
        if (host[p] != '.' || (!expected.empty() && expected.back() != '.')) expected += host[p];
      }
      if (!expected.empty() && expected.back() == '.') expected.pop_back();
      if (expected.size() < kDnsMaxNameSize) {
        ASSERT_TRUE(ReadDnsName(query.data(), query.size(), offset, false, name)) << host;
        ASSERT_EQ(name, expected);
        ASSERT_EQ(offset, query.size() - 4);
      }
    }
  }
}

}  // namespace

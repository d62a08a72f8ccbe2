#include "Dns/DnsMessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/DnsResponder.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kId = 0x1234;

Bytes Query(const std::string& host) {
  Bytes query;
  EXPECT_TRUE(BuildDnsQuery(host, kId, query)) << host;
  return query;
}

// The encoded name of a query: from the header to type and class.
Bytes NameOf(const Bytes& query) {
  return Bytes(query.begin() + 12, query.end() - 4);
}

TEST(DnsMessageTest, QueryHasIdInMachineOrderAndBigEndianFields) {
  const Bytes expected = {0x34, 0x12, 0x01, 0x00, 0,   1, 0, 0, 0, 0, 0, 0,  //
                          2,    'a',  'b',  1,    'c', 0,                    //
                          0,    1,    0,    1};
  EXPECT_EQ(Query("ab.c"), expected);
}

TEST(DnsMessageTest, EmptyPiecesBetweenDotsAreSkipped) {
  const struct {
    const char* host;
    Bytes name;
  } cases[] = {
      {"a..b", {1, 'a', 1, 'b', 0}},
      {".a.", {1, 'a', 0}},
      {"a...b..", {1, 'a', 1, 'b', 0}},
      {"x", {1, 'x', 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(NameOf(Query(c.host)), c.name) << c.host;
}

TEST(DnsMessageTest, HostsThatDoNotFitAQueryAreRefused) {
  const std::string label63(63, 'a');
  const std::string longest = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'b');
  ASSERT_EQ(longest.size(), kDnsMaxHostLength);
  Bytes query;
  ASSERT_TRUE(BuildDnsQuery(longest, kId, query));
  EXPECT_EQ(query.size(), kDnsQueryBufferSize);

  const std::string refused[] = {longest + "b", std::string(64, 'a') + ".com", "", "...",
                                 std::string(300, 'a')};
  for (const std::string& host : refused) {
    query = {1, 2, 3};
    EXPECT_FALSE(BuildDnsQuery(host, kId, query)) << host;
    EXPECT_TRUE(query.empty());
  }
}

struct ReplyCase {
  const char* name;
  DnsReplyKind kind;
  DnsResponseStatus status;
  const char* addresses;
};

class DnsReplyParseTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(DnsReplyParseTest, ReplyIsClassifiedAndItsAddressesRead) {
  const ReplyCase& c = GetParam();
  const Bytes query = Query("download.example.test");
  const Bytes reply = BuildDnsReply(c.kind, query);
  std::vector<DnsAddress> addresses = {{1, 1, 1, 1}};
  EXPECT_EQ(ParseDnsResponse(reply.data(), reply.size(), kId, addresses), c.status);
  EXPECT_EQ(FormatDnsAddressList(addresses), c.addresses);
}

using S = DnsResponseStatus;
using K = DnsReplyKind;
INSTANTIATE_TEST_SUITE_P(
    Replies, DnsReplyParseTest,
    ::testing::Values(ReplyCase{"Silent", K::kSilent, S::kIgnored, ""},
                      ReplyCase{"TwoA", K::kTwoA, S::kAnswered, "10.1.2.3;203.0.113.250"},
                      ReplyCase{"CnameOnly", K::kCnameOnly, S::kAnswered, ""},
                      ReplyCase{"PointerInQuestion", K::kPointerInQuestion, S::kMalformed, ""},
                      ReplyCase{"WrongId", K::kWrongId, S::kIgnored, ""},
                      ReplyCase{"Truncated", K::kTruncated, S::kIgnored, ""},
                      ReplyCase{"ErrorCode", K::kErrorCode, S::kIgnored, ""},
                      ReplyCase{"NoAnswers", K::kNoAnswers, S::kIgnored, ""},
                      ReplyCase{"NotAResponse", K::kNotAResponse, S::kIgnored, ""},
                      ReplyCase{"ShortHeader", K::kShortHeader, S::kIgnored, ""},
                      ReplyCase{"PointerToItself", K::kPointerToItself, S::kMalformed, ""},
                      ReplyCase{"PointerLoop", K::kPointerLoop, S::kMalformed, ""},
                      ReplyCase{"PointerPastEnd", K::kPointerPastEnd, S::kMalformed, ""},
                      ReplyCase{"RootName", K::kRootName, S::kMalformed, ""},
                      ReplyCase{"LongName", K::kLongName, S::kMalformed, ""},
                      ReplyCase{"BadALength", K::kBadALength, S::kMalformed, ""},
                      ReplyCase{"CutInAddress", K::kCutInAddress, S::kMalformed, ""},
                      ReplyCase{"CutInFields", K::kCutInFields, S::kMalformed, ""}),
    [](const ::testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

TEST(DnsMessageTest, AuthoritativeAndRecursionAvailableBitsDoNotMatter) {
  const Bytes query = Query("a.test");
  const struct {
    uint16_t flags;
    DnsResponseStatus status;
  } cases[] = {
      {0x8100, S::kAnswered}, {0x8180, S::kAnswered}, {0x8580, S::kAnswered}, {0x8000, S::kIgnored},
      {0x8190, S::kIgnored},  {0x8980, S::kIgnored},  // no RD; Z bit; opcode
      {0x8182, S::kIgnored},
  };
  for (const auto& c : cases) {
    Bytes reply = BuildDnsReply(K::kTwoA, query);
    reply[2] = static_cast<uint8_t>(c.flags >> 8);
    reply[3] = static_cast<uint8_t>(c.flags & 0xFF);
    std::vector<DnsAddress> addresses;
    EXPECT_EQ(ParseDnsResponse(reply.data(), reply.size(), kId, addresses), c.status)
        << std::hex << c.flags;
  }
}

TEST(DnsMessageTest, IdIsComparedByteForByteAsSent) {
  const Bytes query = Query("a.test");
  Bytes reply = BuildDnsReply(K::kTwoA, query);
  std::vector<DnsAddress> addresses;
  // The same id read big-endian would be 0x3412.
  EXPECT_EQ(ParseDnsResponse(reply.data(), reply.size(), 0x3412, addresses), S::kIgnored);
  EXPECT_EQ(ParseDnsResponse(reply.data(), reply.size(), kId, addresses), S::kAnswered);
}

// A message of `prefix` bytes (anything) followed by the name under test.
Bytes WithName(const Bytes& name, size_t prefix = 12) {
  Bytes message(prefix + name.size(), 0);
  std::copy(name.begin(), name.end(), message.begin() + static_cast<std::ptrdiff_t>(prefix));
  return message;
}

Bytes Labels(std::initializer_list<size_t> sizes) {
  Bytes name;
  for (size_t size : sizes) {
    name.push_back(static_cast<uint8_t>(size));
    name.insert(name.end(), size, 'n');
  }
  name.push_back(0);
  return name;
}

TEST(DnsMessageTest, NameMustFitOneHundredTwentyEightBytesWithItsEnd) {
  const struct {
    Bytes name;
    size_t dottedSize;  // 0 when it must not be read
  } cases[] = {
      {Labels({63, 63}), 127},  // 127 characters and the end: exactly 128
      {Labels({62, 63}), 126},
      {Labels({62, 63, 1}), 0},  // 128 characters
      {Labels({50, 50, 50}), 0},
  };
  for (const auto& c : cases) {
    const Bytes message = WithName(c.name);
    size_t offset = 12;
    std::string name;
    EXPECT_EQ(ReadDnsName(message.data(), message.size(), offset, true, name), c.dottedSize > 0);
    if (c.dottedSize > 0) {
      EXPECT_EQ(name.size(), c.dottedSize);
      EXPECT_EQ(offset, message.size());
    }
  }
}

TEST(DnsMessageTest, PointerEndsTheNameInPlaceAndContinuesEarlier) {
  // "www" at 12, then at 17 "cdn" + pointer back to 12.
  Bytes message = WithName({3, 'w', 'w', 'w', 0, 3, 'c', 'd', 'n', 0xC0, 12, 0xEE});
  size_t offset = 17;
  std::string name;
  ASSERT_TRUE(ReadDnsName(message.data(), message.size(), offset, true, name));
  EXPECT_EQ(name, "cdn.www");
  EXPECT_EQ(offset, 23u);  // past the pointer, not past where it led

  offset = 17;
  EXPECT_FALSE(ReadDnsName(message.data(), message.size(), offset, false, name));
  EXPECT_EQ(offset, 17u);
}

TEST(DnsMessageTest, PointersThatDoNotGoBackBeforeTheirNameAreRefused) {
  const struct {
    const char* what;
    Bytes bytes;  // the name starts at 12
  } cases[] = {
      {"to itself", {0xC0, 12}},
      {"into its own labels", {1, 'a', 0xC0, 12}},
      {"forward", {0xC0, 15, 0, 1, 'b', 0}},
      {"past the end", {0xC0, 200}},
      {"second byte missing", {0xC0}},
      {"label past the end", {5, 'a', 'b'}},
      {"no end", {1, 'a'}},
      {"root label only", {0}},
      {"pointer to root label", {0xC0, 11}},
  };
  for (const auto& c : cases) {
    const Bytes message = WithName(c.bytes);
    size_t offset = 12;
    std::string name;
    EXPECT_FALSE(ReadDnsName(message.data(), message.size(), offset, true, name)) << c.what;
  }
}

TEST(DnsMessageTest, AddressBytesPrintAsUnsigned) {
  EXPECT_EQ(FormatDnsAddressList({{255, 128, 0, 1}, {192, 168, 200, 254}}),
            "255.128.0.1;192.168.200.254");
  EXPECT_EQ(FormatDnsAddressList({}), "");
}

}  // namespace

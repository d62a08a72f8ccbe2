#include "Dns/DnsResolverEndpoint.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DnsResolverEndpointTest, ReadsAddressWithAndWithoutPort) {
  struct Case {
    const char* text;
    DnsResolverEndpoint expected;
  };
  const Case cases[] = {
      {"127.0.0.1:5353", {{127, 0, 0, 1}, 5353}},
      {"8.8.4.4", {{8, 8, 4, 4}, 53}},
      {"255.255.255.255:65535", {{255, 255, 255, 255}, 65535}},
      {"0.0.0.0:1", {{0, 0, 0, 0}, 1}},
  };
  for (const Case& c : cases) {
    DnsResolverEndpoint endpoint;
    ASSERT_TRUE(ParseDnsResolverEndpoint(c.text, endpoint)) << c.text;
    EXPECT_EQ(endpoint, c.expected) << c.text;
    EXPECT_EQ(FormatDnsResolverEndpoint(endpoint),
              std::string(c.text).find(':') == std::string::npos ? std::string(c.text) + ":53"
                                                                 : std::string(c.text));
  }
}

TEST(DnsResolverEndpointTest, RejectsMalformedTextAndKeepsTheOldValue) {
  const char* bad[] = {"",          "127.0.0",       "127.0.0.1.",  "256.0.0.1",     "1.2.3.4:",
                       "1.2.3.4:0", "1.2.3.4:65536", "1.2.3.4:53x", " 1.2.3.4",      "1.2.3.4 ",
                       "1..3.4",    "-1.2.3.4",      "1.2.3.4:-53", "0001234.1.1.1", "a.b.c.d"};
  for (const char* text : bad) {
    DnsResolverEndpoint endpoint{{9, 9, 9, 9}, 99};
    EXPECT_FALSE(ParseDnsResolverEndpoint(text, endpoint)) << text;
    EXPECT_EQ(endpoint, (DnsResolverEndpoint{{9, 9, 9, 9}, 99})) << text;
  }
}

}  // namespace

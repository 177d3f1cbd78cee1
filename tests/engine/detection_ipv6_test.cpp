// IPv6 detection's portable parts: the address text both ways, the choice among interface
// addresses, the reading of an IP-check reply, the dispatcher by method, and the URLs that carry
// the address.
#include <gtest/gtest.h>

#include "detection/detect_ipv6.h"
#include "protocol/update_url.h"
#include "settings/settings_path.h"
#include "test_files.h"

namespace zelquo {
namespace {

Ipv6Bytes Bytes(const char* text) { return ParseIpv6Text(text).value(); }

TEST(Ipv6TextTest, ParsesAndWritesTheCanonicalForm) {
  const struct {
    const char* text;
    const char* canonical;  // nullptr: not an address
  } rows[] = {
      {"2001:db8::1", "2001:db8::1"},
      {"2001:0DB8:0000:0000:0000:0000:0000:0001", "2001:db8::1"},
      {"::", "::"},
      {"::1", "::1"},
      {"fe80::", "fe80::"},
      {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},  // the first of two equal runs
      {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"},  // a single zero group stays
      {"::ffff:192.0.2.1", "::ffff:c000:201"},
      {"1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7:8"},
      {"", nullptr},
      {"1:2:3:4:5:6:7", nullptr},
      {"1:2:3:4:5:6:7:8:9", nullptr},
      {"1::2::3", nullptr},
      {"1:::2", nullptr},
      {"12345::", nullptr},
      {"2001:db8::g", nullptr},
      {"2001:db8::1 ", nullptr},
      {"[2001:db8::1]", nullptr},
      {"fe80::1%eth0", nullptr},
      {"2001:db8::/64", nullptr},
      {"::1.2.3", nullptr},
      {"::01.2.3.4", nullptr},
      {"203.0.113.9", nullptr},
      {"1:2:3:4:5:6:7::8", nullptr},
  };
  for (const auto& row : rows) {
    const std::optional<Ipv6Bytes> parsed = ParseIpv6Text(row.text);
    if (row.canonical == nullptr) {
      EXPECT_FALSE(parsed) << row.text;
    } else {
      ASSERT_TRUE(parsed) << row.text;
      EXPECT_EQ(Ipv6Text(*parsed), row.canonical) << row.text;
    }
  }
}

Ipv6Candidate Stable(const char* address, std::uint32_t index = 2, std::uint32_t preferred = 0xffffffff) {
  Ipv6Candidate candidate;
  candidate.address = Bytes(address);
  candidate.interface_index = index;
  candidate.interface_up = true;
  candidate.preferred_lifetime = preferred;
  return candidate;
}

Ipv6Candidate With(Ipv6Candidate candidate, bool Ipv6Candidate::*flag) {
  candidate.*flag = true;
  return candidate;
}

TEST(ChooseIpv6AddressTest, PassesOverUnusableAddressesAndPrefersStableOnes) {
  Ipv6Candidate down = Stable("2001:db8::d");
  down.interface_up = false;
  const struct {
    const char* name;
    std::vector<Ipv6Candidate> candidates;
    const char* chosen;
  } rows[] = {
      {"nothing", {}, ""},
      {"kinds that never go out",
       {Stable("::1"), Stable("fe80::1"), Stable("fd00::1"), Stable("fc00::1"), Stable("ff02::1"),
        Stable("::ffff:192.0.2.1"), Stable("4000::1"), Stable("::")},
       ""},
      {"states that never go out",
       {With(Stable("2001:db8::1"), &Ipv6Candidate::tentative), With(Stable("2001:db8::2"), &Ipv6Candidate::dad_failed),
        With(Stable("2001:db8::3"), &Ipv6Candidate::deprecated), Stable("2001:db8::4", 2, 0),
        With(Stable("2001:db8::5"), &Ipv6Candidate::interface_loopback), down},
       ""},
      {"a global address beside the others",
       {Stable("fe80::1"), Stable("fd00::1"), Stable("2001:db8::10")}, "2001:db8::10"},
      {"stable before temporary, whatever the lifetimes",
       {With(Stable("2001:db8::99"), &Ipv6Candidate::temporary), Stable("2001:db8::10", 3, 100)}, "2001:db8::10"},
      {"a temporary one when it is all there is",
       {With(Stable("2001:db8::99"), &Ipv6Candidate::temporary), Stable("fd00::1")}, "2001:db8::99"},
      {"longest preferred lifetime first",
       {Stable("2001:db8::1", 2, 600), Stable("2001:db8::2", 3, 3600)}, "2001:db8::2"},
      {"then lowest interface index",
       {Stable("2001:db8::1", 5), Stable("2001:db8::2", 3)}, "2001:db8::2"},
      {"then lowest address, whatever the order",
       {Stable("2001:db8::20"), Stable("2001:db8::3"), Stable("2001:db8::10")}, "2001:db8::3"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ChooseIpv6Address(row.candidates), row.chosen) << row.name;
    std::vector<Ipv6Candidate> reversed(row.candidates.rbegin(), row.candidates.rend());
    EXPECT_EQ(ChooseIpv6Address(reversed), row.chosen) << row.name << ", listed the other way round";
  }
}

TEST(Ipv6FromIpCheckReplyTest, OnlyAWholeGoodAnswerGivesAnAddress) {
  const struct {
    const char* reply;
    const char* address;
  } rows[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 13\r\n\r\nip2001:db8::7", "2001:db8::7"},
      {"HTTP/1.0 200 OK\r\n\r\nip2001:DB8:0::7\r\nmore", "2001:db8::7"},
      {"HTTP/1.1 200\n\nip2001:db8::7\n", "2001:db8::7"},
      {"HTTP/1.1 404 Not Found\r\n\r\nip2001:db8::7", ""},
      {"HTTP/1.1 2000 OK\r\n\r\nip2001:db8::7", ""},
      {"HTTP/1.1 200 OK\r\n\r\nip203.0.113.9", ""},
      {"HTTP/1.1 200 OK\r\n\r\nipfe80::1", ""},
      {"HTTP/1.1 200 OK\r\n\r\nip::ffff:203.0.113.9", ""},
      {"HTTP/1.1 200 OK\r\n\r\n2001:db8::7", ""},
      {"HTTP/1.1 200 OK\r\n\r\nip2001:db8::7 trailing", ""},
      {"HTTP/1.1 200 OK\r\n\r\n<html>garbage</html>", ""},
      {"HTTP/1.1 200 OK\r\nContent-Length: 13\r\n", ""},
      {"", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(detail::Ipv6FromIpCheckReply(row.reply), row.address) << row.reply;
  }
}

TEST(DetectIpv6AddressTest, EachMethodAsksItsSource) {
  testing::CScratchFolder folder;
  CSettingsFile settings(folder.File(kSettingsFileName));
  EXPECT_FALSE(IsIpv6UpdateOn(settings));
  settings.WriteInt(keys::kUpdateIpV6.name, 1);
  EXPECT_TRUE(IsIpv6UpdateOn(settings));

  int asked = 0;
  Ipv6DetectionContext context{settings, {}, std::chrono::seconds(1), [&] {
                                 ++asked;
                                 return std::vector<Ipv6Candidate>{Stable("2001:db8::5"), Stable("2001:db8::1", 1)};
                               }};
  settings.Write(keys::kIpMethod, 0);
  EXPECT_EQ(DetectIpv6Address(context), "2001:db8::1");
  // The ignore list works on the texts as it does for IPv4: an entry inside the address.
  settings.AppendEntry(keys::kIgnoreList, "db8::1");
  EXPECT_EQ(DetectIpv6Address(context), "2001:db8::5");
  // No server answers: both falls back to the interfaces; server side finds nothing.
  settings.Write(keys::kIpMethod, 2);
  EXPECT_EQ(DetectIpv6Address(context), "2001:db8::5");
  settings.Write(keys::kIpMethod, 1);
  EXPECT_EQ(DetectIpv6Address(context), "");
  const int before = asked;
  for (const int method : {3, 4}) {
    settings.Write(keys::kIpMethod, method);
    EXPECT_EQ(DetectIpv6Address(context), "") << method;
  }
  EXPECT_EQ(asked, before) << "the static and network-card methods never look at the interfaces";
  EXPECT_EQ(Ipv6DetectionMessage(""), kNoIpv6Message);
  EXPECT_EQ(Ipv6DetectionMessage("2001:db8::5"), "Detected IPv6 address 2001:db8::5");
}

TEST(Ipv6UpdateUrlTest, TheKeyFollowsTheIpv4AddressInEveryForm) {
  UpdateRequest request;
  request.password_digest = "d";
  request.ipv4 = "203.0.113.9";
  request.ipv6 = "2001:db8::1";
  request.ipv6_update = true;
  request.user_name = "alice";
  request.host_name = "example.org";
  request.alias = "www";
  const struct {
    RequestKind kind;
    ProtocolVersion version;
    bool first_update;
    const char* expected;
  } rows[] = {
      {RequestKind::kAccount, ProtocolVersion::k443, true,
       "/nic/update?ver=4.43&username=alice&password=d&myip=203.0.113.9&myipv6=2001:db8::1&uin=1"},
      {RequestKind::kHost, ProtocolVersion::k443, true,
       "/nic/update?ver=4.43&hostname=example.org&password=d&myip=203.0.113.9&myipv6=2001:db8::1&uin=1"},
      {RequestKind::kAlias, ProtocolVersion::k443, false,
       "/nic/update?ver=4.43&hostname=example.org&alias=www&password=d&myip=203.0.113.9&myipv6=2001:db8::1"},
      {RequestKind::kAccount, ProtocolVersion::k441, false,
       "/nic/update?ver=4.41&uin=1&username=alice&password=d&myip=203.0.113.9&myipv6=2001:db8::1"},
      {RequestKind::kAlias, ProtocolVersion::k441, false,
       "/nic/update?ver=4.41&uin=1&hostname=example.org&alias=www&password=d&myip=203.0.113.9&myipv6=2001:db8::1"},
  };
  for (const auto& row : rows) {
    request.kind = row.kind;
    request.first_update = row.first_update;
    EXPECT_EQ(BuildUpdateUrl(request, row.version, ""), std::string("http://") + row.expected);
  }
  // An IPv4 address that is not sent leaves the IPv6 key alone.
  request.kind = RequestKind::kHost;
  request.first_update = false;
  request.ipv4 = "";
  EXPECT_EQ(BuildUpdateUrl(request, ProtocolVersion::k443, ""),
            "http:///nic/update?ver=4.43&hostname=example.org&password=d&myipv6=2001:db8::1");
}

}  // namespace
}  // namespace zelquo

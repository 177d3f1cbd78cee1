// The provider request URLs, compared whole: key order, conditional keys and the lack of any
// escaping are what the provider depends on.
#include "protocol/update_url.h"

#include <gtest/gtest.h>

#include "settings/settings_path.h"
#include "test_files.h"

namespace zelquo {
namespace {

constexpr char kDigest[] = "0123456789abcdef0123456789abcdef";

UpdateRequest Request(RequestKind kind) {
  UpdateRequest request;
  request.kind = kind;
  request.user_name = "alice";
  request.host_name = "example.org";
  request.alias = "www";
  request.password_digest = kDigest;
  return request;
}

struct UrlRow {
  const char* what;
  UpdateRequest request;
  ProtocolVersion version;
  std::string expected;  // after "http://dynupdate.zelquo.net"
};

TEST(ProtocolUrlTest, UpdateUrlsOfBothVersions) {
  using enum RequestKind;
  using enum ProtocolVersion;
  const std::string d = kDigest;
  auto with = [](UpdateRequest request, auto change) {
    change(request);
    return request;
  };
  const UrlRow rows[] = {
      // Version 4.43: conditional keys in order location, myip, myipv6, uin.
      {"account, nothing optional", Request(kAccount), k443,
       "/nic/update?ver=4.43&username=alice&password=" + d},
      {"account, everything", with(Request(kAccount), [](UpdateRequest& r) {
         r.location = "home";
         r.ipv4 = "203.0.113.9";
         r.ipv6 = "2001:db8::1";
         r.first_update = true;
       }),
       k443, "/nic/update?ver=4.43&username=alice&password=" + d +
                 "&location=home&myip=203.0.113.9&myipv6=2001:db8::1&uin=1"},
      {"account, no address, location, first update", with(Request(kAccount), [](UpdateRequest& r) {
         r.location = "home";
         r.first_update = true;
       }),
       k443, "/nic/update?ver=4.43&username=alice&password=" + d + "&location=home&uin=1"},
      {"account, abort", with(Request(kAccount), [](UpdateRequest& r) { r.ipv4 = "abort"; }), k443,
       "/nic/update?ver=4.43&username=alice&password=" + d},
      {"host ignores location and IPv6", with(Request(kHost), [](UpdateRequest& r) {
         r.location = "home";
         r.ipv6 = "2001:db8::1";
         r.ipv4 = "198.51.100.7";
       }),
       k443, "/nic/update?ver=4.43&hostname=example.org&password=" + d + "&myip=198.51.100.7"},
      {"host, first update, abort", with(Request(kHost), [](UpdateRequest& r) {
         r.ipv4 = "abort";
         r.first_update = true;
       }),
       k443, "/nic/update?ver=4.43&hostname=example.org&password=" + d + "&uin=1"},
      {"alias", with(Request(kAlias), [](UpdateRequest& r) {
         r.ipv4 = "198.51.100.7";
         r.first_update = true;
       }),
       k443, "/nic/update?ver=4.43&hostname=example.org&alias=www&password=" + d + "&myip=198.51.100.7&uin=1"},
      {"empty host name", with(Request(kHost), [](UpdateRequest& r) { r.host_name.clear(); }), k443,
       "/nic/update?ver=4.43&hostname=&password=" + d},
      // Version 4.41: uin=1 always second; no location, IPv6 or trailing uin.
      {"4.41 account", with(Request(kAccount), [](UpdateRequest& r) {
         r.ipv4 = "203.0.113.5";
         r.location = "home";
         r.ipv6 = "2001:db8::1";
         r.first_update = true;
       }),
       k441, "/nic/update?ver=4.41&uin=1&username=alice&password=" + d + "&myip=203.0.113.5"},
      {"4.41 host, no address", Request(kHost), k441,
       "/nic/update?ver=4.41&uin=1&hostname=example.org&password=" + d},
      {"4.41 alias: alias before password", with(Request(kAlias), [](UpdateRequest& r) { r.ipv4 = "203.0.113.5"; }),
       k441, "/nic/update?ver=4.41&uin=1&hostname=example.org&alias=www&password=" + d + "&myip=203.0.113.5"},
      {"single host: alias after password", with(Request(kSingleHost), [](UpdateRequest& r) { r.ipv4 = "203.0.113.5"; }),
       k441, "/nic/update?ver=4.41&uin=1&hostname=example.org&password=" + d + "&alias=www&myip=203.0.113.5"},
      {"single host, no alias, abort", with(Request(kSingleHost), [](UpdateRequest& r) {
         r.alias.clear();
         r.ipv4 = "abort";
       }),
       k441, "/nic/update?ver=4.41&uin=1&hostname=example.org&password=" + d},
      {"single host has one form in both versions", with(Request(kSingleHost), [](UpdateRequest& r) {
         r.first_update = true;
       }),
       k443, "/nic/update?ver=4.41&uin=1&hostname=example.org&password=" + d + "&alias=www"},
      {"values are not escaped", with(Request(kAccount), [](UpdateRequest& r) {
         r.user_name = "a%20b&c=d";
         r.location = "x/y?z";
       }),
       k443, "/nic/update?ver=4.43&username=a%20b&c=d&password=" + d + "&location=x/y?z"},
  };
  for (const UrlRow& row : rows) {
    EXPECT_EQ(BuildUpdateUrl(row.request, row.version), "http://dynupdate.zelquo.net" + row.expected) << row.what;
    EXPECT_EQ(BuildUpdateUrl(row.request, row.version, "127.0.0.1"), "http://127.0.0.1" + row.expected) << row.what;
  }
}

TEST(ProtocolUrlTest, SendableAddress) {
  EXPECT_TRUE(IsSendableAddress("203.0.113.5"));
  EXPECT_FALSE(IsSendableAddress(""));
  EXPECT_FALSE(IsSendableAddress("abort"));
  EXPECT_TRUE(IsSendableAddress("Abort")) << "the marker is matched exactly";
}

TEST(ProtocolUrlTest, LocationCheckUrl) {
  EXPECT_EQ(BuildLocationCheckUrl("alice", kDigest, "home"),
            std::string("http://dynupdate.zelquo.net/locationcheck.asp?username=alice&password=") + kDigest +
                "&location=home");
}

TEST(ProtocolUrlTest, SignOffBasesByMethod) {
  const std::array<std::string, 4> octets{"192", "0", "2", "10"};
  const struct {
    int method;
    std::optional<std::string> base;
  } rows[] = {
      {0, "http://dynupdate.zelquo.net/nic/update?offline=yes"},
      {1, std::nullopt},
      {2, "http://dynupdate.zelquo.net/nic/update?myip=0.0.0.0"},
      {3, "http://dynupdate.zelquo.net/nic/update?myip=192.0.2.10"},
      {4, std::nullopt},
      {-1, std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(SignOffBase(row.method, octets), row.base) << row.method;
}

TEST(ProtocolUrlTest, SignOffBaseFromSettings) {
  testing::CScratchFolder folder;
  const CSettingsFile settings(folder.File(kSettingsFileName));
  EXPECT_EQ(ReadSignOffBase(settings), std::nullopt) << "method 1 is the default";
  settings.Write(keys::kSignOffMethod, 3);
  EXPECT_EQ(ReadSignOffBase(settings), "http://dynupdate.zelquo.net/nic/update?myip=...");
  settings.Write(keys::kSignOffOctet1, "198");
  settings.Write(keys::kSignOffOctet2, "51");
  settings.Write(keys::kSignOffOctet3, "100");
  settings.Write(keys::kSignOffOctet4, "7");
  EXPECT_EQ(ReadSignOffBase(settings, "127.0.0.1"), "http://127.0.0.1/nic/update?myip=198.51.100.7");
}

TEST(ProtocolUrlTest, SignOffForms) {
  const std::string base = "http://dynupdate.zelquo.net/nic/update?offline=yes";
  SignOffRequest request;
  request.user_name = "alice";
  request.clear_password = "secret1";
  request.host_name = "example.org";
  request.alias = "www";

  request.kind = RequestKind::kAccount;
  EXPECT_EQ(BuildSignOffUrl(base, request), base + "&username=alice&password=secret1&location=")
      << "the location key is sent even when empty";
  request.location = "home";
  EXPECT_EQ(BuildSignOffUrl(base, request), base + "&username=alice&password=secret1&location=home");
  request.kind = RequestKind::kHost;
  EXPECT_EQ(BuildSignOffUrl(base, request), base + "&password=secret1&hostname=example.org");
  request.kind = RequestKind::kAlias;
  EXPECT_EQ(BuildSignOffUrl(base, request), base + "&password=secret1&hostname=example.org&alias=www");
}

}  // namespace
}  // namespace zelquo

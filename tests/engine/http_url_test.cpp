#include "http/http_url.h"

#include <gtest/gtest.h>

namespace zelquo {
namespace {

TEST(CrackHttpUrlTest, TakesTheFormsThisClientSends) {
  const struct {
    const char* url;
    const char* host;
    std::uint16_t port;
    const char* target;
  } kRows[] = {
      {"http://dynupdate.zelquo.net/nic/update?hostname=a&myip=1.2.3.4", "dynupdate.zelquo.net", 80,
       "/nic/update?hostname=a&myip=1.2.3.4"},
      {"HTTP://Ip1.Zelquo.Net:8245/ipcheck.asp", "Ip1.Zelquo.Net", 8245, "/ipcheck.asp"},
      {"http://127.0.0.1", "127.0.0.1", 80, "/"},
      {"http://127.0.0.1?x=1", "127.0.0.1", 80, "/?x=1"},
      {"http://127.0.0.1:/a", "127.0.0.1", 80, "/a"},
      {"http://user:secret@my_host.example:65535/a#fragment", "my_host.example", 65535, "/a"},
      {"http://[::1]:8080/a?b", "::1", 8080, "/a?b"},
      {"http://h/caf\xe9?%zz=\"<>^`{|}", "h", 80, "/caf\xe9?%zz=\"<>^`{|}"},
  };
  for (const auto& row : kRows) {
    const auto url = CrackHttpUrl(row.url);
    ASSERT_TRUE(url) << row.url;
    EXPECT_EQ(url->host, row.host) << row.url;
    EXPECT_EQ(url->port, row.port) << row.url;
    EXPECT_EQ(url->target, row.target) << row.url;
  }
  EXPECT_EQ(CrackHttpUrl("http://user:secret@h/")->user_info, "user:secret");
  EXPECT_EQ(HttpAuthority("h", 80), "h");
  EXPECT_EQ(HttpAuthority("h", 8245), "h:8245");
  EXPECT_EQ(HttpAuthority("::1", 81), "[::1]:81");
}

// An https URL is taken only where the caller asks for one, and then its default port is 443.
TEST(CrackHttpUrlTest, TakesHttpsOnlyWhenAsked) {
  const auto url = CrackHttpUrl("HTTPS://dynupdate.zelquo.net/nic/update?x", UrlScheme::kHttps);
  ASSERT_TRUE(url);
  EXPECT_EQ(url->host, "dynupdate.zelquo.net");
  EXPECT_EQ(url->port, 443);
  EXPECT_EQ(url->target, "/nic/update?x");
  EXPECT_FALSE(CrackHttpUrl("http://h/", UrlScheme::kHttps));
  EXPECT_FALSE(CrackHttpUrl("https://h/a\r\nX: 1", UrlScheme::kHttps));
  EXPECT_EQ(HttpAuthority("h", 443, UrlScheme::kHttps), "h");
  EXPECT_EQ(HttpAuthority("h", 80, UrlScheme::kHttps), "h:80");
}

// Refused URLs include every one that could add a line to the request it travels in.
TEST(CrackHttpUrlTest, RefusesOtherSchemesBadAuthoritiesAndLineBreaks) {
  for (const char* url :
       {"", "http://", "http:///path", "https://h/", "ftp://h/", "h/x", "http:/h/x", "http://h:0/", "http://h:65536/",
        "http://h:8x/", "http://h h/", "http://h%41/", "http://[::1/", "http://[::1]x/", "http://[zz]/",
        "http://h/a\r\nX-Injected: 1", "http://h/a\nb", "http://h/a b", "http://h/\x7f", "http://h/a\tb"}) {
    EXPECT_FALSE(CrackHttpUrl(url)) << url;
  }
}

}  // namespace
}  // namespace zelquo

// The provider's endpoints and the client header line: configuration, not logic.
// A packager can replace this file at build time (cmake -DZELQUO_PROVIDER_CONFIG=/path/to/file.h);
// the replacement must define every name below. Tests never change these values: they point the
// host names at a stand-in server through name resolution instead.
#pragma once

#ifdef ZELQUO_PROVIDER_CONFIG_HEADER
#include ZELQUO_PROVIDER_CONFIG_HEADER
#else

namespace zelquo::provider {

// Host of the update API, the location check and the account check.
inline constexpr char kUpdateApiHost[] = "dynupdate.zelquo.net";

// IP-check servers in the order they are asked: two by name, two fallbacks by literal address.
inline constexpr char kPrimaryIpCheckHost[] = "ip1.zelquo.net";
inline constexpr char kSecondaryIpCheckHost[] = "ip2.zelquo.net";
inline constexpr char kFirstFallbackIpCheckAddress[] = "198.51.100.41";
inline constexpr char kSecondFallbackIpCheckAddress[] = "198.51.100.42";

// The provider's web site, named in the outdated-client notice and the tray menu's pages.
inline constexpr char kWebSiteAddress[] = "http://www.zelquo.net";
// The pages the tray menu opens in the browser.
inline constexpr char kPurchaseDomainPage[] = "http://www.zelquo.net/domains/";
inline constexpr char kAddHostnamePage[] = "http://www.zelquo.net/account/hosts/add";
inline constexpr char kControlPanelPage[] = "http://www.zelquo.net/account/";
inline constexpr char kSupportPage[] = "http://www.zelquo.net/support/";
inline constexpr char kDocumentationPage[] = "http://www.zelquo.net/support/client/";

// The client header line "X-Zelquo-Agent:IUC4.43" in scrambled form (shift 5, shift byte 'I').
// It carries no space: a space would scramble to a control character.
inline constexpr char kScrambledClientHeaderLine[] = "S(U`glpj(<b`io5DP>/)/.I";

}  // namespace zelquo::provider

#endif

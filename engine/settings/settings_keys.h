// Every key of the settings section, declared once with the default the engine reads it with.
// Callers read and write through these declarations, never through spelled-out key texts.
#pragma once

#include <cstddef>
#include <span>

namespace zelquo::keys {

struct TextKey {
  const char* name;
  const char* fallback;
};

struct IntKey {
  const char* name;
  int fallback;
};

// A numbered list: a count key plus rows numbered from 1. A row is one entry of each entry key
// ("alias_alias1" with "alias_domain_name1"); the list is edited a whole row at a time, so its
// entry keys never fall out of step.
struct ListKey {
  const char* count;
  std::span<const char* const> entries;
};

inline constexpr const char* kDomainNameEntries[] = {"domain_name"};
inline constexpr const char* kAliasEntries[] = {"alias_alias", "alias_domain_name"};
inline constexpr const char* kIgnoreEntries[] = {"ignoreip"};

inline constexpr TextKey kUsername{"username", ""};
inline constexpr TextKey kPassword{"password", ""};  // scrambled
inline constexpr TextKey kLocation{"location", ""};

inline constexpr ListKey kDomainNames{"numofdomainnames", kDomainNameEntries};
// Each alias row is the alias label and the host name it lives under, at these positions.
inline constexpr ListKey kAliases{"numofaliases", kAliasEntries};
inline constexpr std::size_t kAliasLabel = 0;
inline constexpr std::size_t kAliasHostName = 1;
inline constexpr ListKey kIgnoreList{"numofignoreip", kIgnoreEntries};

inline constexpr IntKey kIpMethod{"ipmethod", 1};
// The four octets of the static address; the engine reads them as text.
inline constexpr TextKey kStaticOctet1{"one", ""};
inline constexpr TextKey kStaticOctet2{"two", ""};
inline constexpr TextKey kStaticOctet3{"three", ""};
inline constexpr TextKey kStaticOctet4{"four", ""};
inline constexpr TextKey kIpAddress{"ipaddress", ""};
inline constexpr IntKey kServerPort{"serverport", 80};
// A flag, read with ReadBool: the provider's requests go over HTTPS to port 443.
inline constexpr TextKey kUseHttps{"usehttps", ""};
inline constexpr TextKey kMacId{"macid", ""};
inline constexpr IntKey kMacIpMethod{"macipmethod", 0};

inline constexpr IntKey kPollInterval{"pollinterval", 60};
inline constexpr IntKey kCheckMinutes{"checkminutes", 0};
inline constexpr IntKey kUpdatedMinutes{"updatedminutes", 0};
inline constexpr TextKey kUpdatedIp{"updatedip", ""};
inline constexpr TextKey kUpdatedIpV6{"updatedipv6", ""};

inline constexpr TextKey kExecuteCommand{"executecommand", ""};  // a flag, read with ReadBool
// A flag, read with ReadBool: also detect, send and record the names' IPv6 address.
inline constexpr TextKey kUpdateIpV6{"updateipv6", ""};
inline constexpr TextKey kCommand{"command", ""};
inline constexpr IntKey kAutorunOnStartup{"autorunonstartup", 1};

inline constexpr IntKey kSignOffMethod{"signoffmethod", 1};
inline constexpr TextKey kSignOffOctet1{"signoffone", ""};
inline constexpr TextKey kSignOffOctet2{"signofftwo", ""};
inline constexpr TextKey kSignOffOctet3{"signoffthree", ""};
inline constexpr TextKey kSignOffOctet4{"signofffour", ""};

}  // namespace zelquo::keys

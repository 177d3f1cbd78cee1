// Every key of the settings section, declared once with the default the engine reads it with.
// Callers read and write through these declarations, never through spelled-out key texts.
#pragma once

namespace zelquo::keys {

struct TextKey {
  const char* name;
  const char* fallback;
};

struct IntKey {
  const char* name;
  int fallback;
};

// A numbered list: a count key plus entry keys numbered from 1 ("domain_name1", ...).
struct ListKey {
  const char* count;
  const char* entry;
};

inline constexpr TextKey kUsername{"username", ""};
inline constexpr TextKey kPassword{"password", ""};  // scrambled
inline constexpr TextKey kLocation{"location", ""};

inline constexpr ListKey kDomainNames{"numofdomainnames", "domain_name"};
inline constexpr ListKey kAliasLabels{"numofaliases", "alias_alias"};
inline constexpr ListKey kAliasDomains{"numofaliases", "alias_domain_name"};
inline constexpr ListKey kIgnoreList{"numofignoreip", "ignoreip"};

inline constexpr IntKey kIpMethod{"ipmethod", 1};
// The four octets of the static address; the engine reads them as text.
inline constexpr TextKey kStaticOctet1{"one", ""};
inline constexpr TextKey kStaticOctet2{"two", ""};
inline constexpr TextKey kStaticOctet3{"three", ""};
inline constexpr TextKey kStaticOctet4{"four", ""};
inline constexpr TextKey kIpAddress{"ipaddress", ""};
inline constexpr IntKey kServerPort{"serverport", 80};
inline constexpr TextKey kMacId{"macid", ""};
inline constexpr IntKey kMacIpMethod{"macipmethod", 0};

inline constexpr IntKey kPollInterval{"pollinterval", 60};
inline constexpr IntKey kCheckMinutes{"checkminutes", 0};
inline constexpr IntKey kUpdatedMinutes{"updatedminutes", 0};
inline constexpr TextKey kUpdatedIp{"updatedip", ""};
inline constexpr TextKey kUpdatedIpV6{"updatedipv6", ""};

inline constexpr TextKey kExecuteCommand{"executecommand", ""};  // a flag, read with ReadBool
inline constexpr TextKey kCommand{"command", ""};
inline constexpr IntKey kAutorunOnStartup{"autorunonstartup", 1};

inline constexpr IntKey kSignOffMethod{"signoffmethod", 1};
inline constexpr TextKey kSignOffOctet1{"signoffone", ""};
inline constexpr TextKey kSignOffOctet2{"signofftwo", ""};
inline constexpr TextKey kSignOffOctet3{"signoffthree", ""};
inline constexpr TextKey kSignOffOctet4{"signofffour", ""};

}  // namespace zelquo::keys

// Client-side detection: this machine's own IPv4 addresses, the user's ignore list and the
// ordering that puts public addresses before private ones. Address lists are texts of dotted
// addresses, each followed by "&".
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace zelquo {

// This machine's own addresses (platform::LocalIpv4Addresses) as an address list, in the system's
// order; empty when it has none.
[[nodiscard]] std::string LocalHostAddressList();

// Where the machine's raw address list comes from; tests put a list of their own in place.
using LocalAddressSource = std::function<std::string()>;

// This machine's addresses, ignored ones removed, public ones first.
[[nodiscard]] std::string GetLocalAddressList(const CSettingsFile& settings,
                                              const LocalAddressSource& source = LocalHostAddressList);

// All addresses of host_name in resolver order, not filtered; empty when it does not resolve.
[[nodiscard]] std::string ResolveAddressList(std::string_view host_name);

// Ignored addresses dropped, then the public addresses followed by the private ones, each in
// input order.
[[nodiscard]] std::string OrderAddressList(std::string_view list, const CSettingsFile& settings);

// True when an entry of the ignore list equals the address or occurs anywhere inside it. An
// entry that reads empty matches every address.
[[nodiscard]] bool IsIgnoredAddress(std::string_view address, const CSettingsFile& settings);

// "127.0.0.1", or a prefix "10.", "172.16." to "172.31.", "192.168" or "169.254".
[[nodiscard]] bool IsPrivateAddress(std::string_view address);

}  // namespace zelquo

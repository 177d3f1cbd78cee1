#include "detection/local_addresses.h"

#include "platform/host_addresses.h"

namespace zelquo {

namespace {

// Compared over exactly their own length, so "192.168" and "169.254" (no final dot) also match
// 192.1680.0.1, as the client always has.
constexpr std::string_view kPrivatePrefixes[] = {
    "10.",     "172.16.", "172.17.", "172.18.", "172.19.", "172.20.", "172.21.", "172.22.", "172.23.", "172.24.",
    "172.25.", "172.26.", "172.27.", "172.28.", "172.29.", "172.30.", "172.31.", "192.168", "169.254",
};

std::string AddressListOf(const std::vector<platform::Ipv4Address>& addresses) {
  std::string list;
  for (const platform::Ipv4Address& address : addresses) {
    for (std::size_t i = 0; i < address.size(); ++i) {
      if (i > 0) list += '.';
      list += std::to_string(address[i]);
    }
    list += '&';
  }
  return list;
}

}  // namespace

std::string LocalHostAddressList() { return AddressListOf(platform::LocalIpv4Addresses()); }

std::string GetLocalAddressList(const CSettingsFile& settings, const LocalAddressSource& source) {
  return OrderAddressList(source ? source() : std::string(), settings);
}

std::string ResolveAddressList(std::string_view host_name) {
  return AddressListOf(platform::ResolveIpv4Addresses(host_name));
}

std::string OrderAddressList(std::string_view list, const CSettingsFile& settings) {
  std::string public_list;
  std::string private_list;
  while (!list.empty()) {
    const std::size_t end = list.find('&');
    const std::string_view address = list.substr(0, end);
    list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
    if (IsIgnoredAddress(address, settings)) continue;
    std::string& target = IsPrivateAddress(address) ? private_list : public_list;
    target.append(address);
    target += '&';
  }
  return public_list + private_list;
}

bool IsIgnoredAddress(std::string_view address, const CSettingsFile& settings) {
  const int count = settings.ReadCount(keys::kIgnoreList);
  for (int i = 1; i <= count; ++i) {
    // An entry that reads empty occurs in every address: it ignores them all.
    if (address.find(settings.ReadEntry(keys::kIgnoreList, i)) != std::string_view::npos) return true;
  }
  return false;
}

bool IsPrivateAddress(std::string_view address) {
  if (address == "127.0.0.1") return true;
  for (const std::string_view prefix : kPrivatePrefixes) {
    if (address.substr(0, prefix.size()) == prefix) return true;
  }
  return false;
}

}  // namespace zelquo

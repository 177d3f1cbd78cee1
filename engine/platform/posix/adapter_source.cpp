// getifaddrs form of the network-card table: the packet-level entries give the cards (index,
// hardware type, MAC address, name), the IPv4 entries give the addresses. Hardware types are
// mapped to MIB-II interface types, and the MAC address is kept only for the types that have one
// in the sense of that table, so that the entries (and their order) match what the Windows table
// shows.
#include "platform/adapter_source.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace zelquo::platform {

namespace {

// MIB-II ifType values (RFC 1213, IANAifType).
constexpr std::int32_t kIfTypeOther = 1;
constexpr std::int32_t kIfTypeEthernet = 6;
constexpr std::int32_t kIfTypeTokenRing = 9;
constexpr std::int32_t kIfTypeFddi = 15;
constexpr std::int32_t kIfTypePpp = 23;
constexpr std::int32_t kIfTypeLoopback = 24;
constexpr std::int32_t kIfTypeSlip = 28;
constexpr std::int32_t kIfTypeWireless = 71;

struct HardwareType {
  unsigned short arp_type;
  std::int32_t if_type;
  bool has_mac;
};

constexpr HardwareType kHardwareTypes[] = {
    {ARPHRD_LOOPBACK, kIfTypeLoopback, false}, {ARPHRD_ETHER, kIfTypeEthernet, true},
    {ARPHRD_FDDI, kIfTypeFddi, true},          {ARPHRD_IEEE802, kIfTypeTokenRing, true},
    {ARPHRD_IEEE802_TR, kIfTypeTokenRing, true}, {ARPHRD_SLIP, kIfTypeSlip, false},
    {ARPHRD_PPP, kIfTypePpp, false},
};

// Owns the list getifaddrs made.
class CInterfaceAddresses {
 public:
  CInterfaceAddresses() {
    if (getifaddrs(&list_) != 0) list_ = nullptr;
  }
  CInterfaceAddresses(const CInterfaceAddresses&) = delete;
  CInterfaceAddresses& operator=(const CInterfaceAddresses&) = delete;
  ~CInterfaceAddresses() {
    if (list_ != nullptr) freeifaddrs(list_);
  }
  [[nodiscard]] bool Valid() const { return list_ != nullptr; }
  [[nodiscard]] const ifaddrs* First() const { return list_; }

 private:
  ifaddrs* list_ = nullptr;
};

bool IsWireless(const char* name) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::path("/sys/class/net") / name / "wireless", ignored);
}

InterfaceRow InterfaceRowOf(const ifaddrs& item) {
  const auto& link = *reinterpret_cast<const sockaddr_ll*>(item.ifa_addr);
  InterfaceRow row;
  row.index = link.sll_ifindex;
  row.description = item.ifa_name;
  row.type = kIfTypeOther;
  const auto known = std::find_if(std::begin(kHardwareTypes), std::end(kHardwareTypes),
                                  [&](const HardwareType& type) { return type.arp_type == link.sll_hatype; });
  if (known != std::end(kHardwareTypes)) {
    row.type = known->if_type;
    if (known->has_mac) {
      row.mac_length = static_cast<std::uint8_t>(std::min<std::size_t>(link.sll_halen, kMaxMacLength));
      std::memcpy(row.mac.data(), link.sll_addr, std::min<std::size_t>(row.mac_length, sizeof link.sll_addr));
    }
    if (row.type == kIfTypeEthernet && IsWireless(item.ifa_name)) row.type = kIfTypeWireless;
  } else if ((item.ifa_flags & IFF_POINTOPOINT) != 0) {
    row.type = kIfTypePpp;
  }
  return row;
}

// The card an IPv4 entry belongs to. Its name is the card's name, or a label made of the
// card's name, a colon and more.
std::int32_t OwnerIndex(const char* label, const std::vector<InterfaceRow>& interfaces) {
  const std::string_view text(label);
  for (const InterfaceRow& row : interfaces) {
    const std::string_view name(row.description);
    if (text == name || (text.size() > name.size() && text.substr(0, name.size()) == name && text[name.size()] == ':')) {
      return row.index;
    }
  }
  return 0;
}

std::array<std::uint8_t, 4> BytesOf(const sockaddr* address) {
  std::array<std::uint8_t, 4> bytes{};
  if (address != nullptr && address->sa_family == AF_INET) {
    std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, bytes.size());
  }
  return bytes;
}

class CIfAddrsAdapterSource final : public IAdapterSource {
 public:
  int Init() override { return CInterfaceAddresses().Valid() ? 0 : -1; }

  AdapterRows ReadRows() override {
    AdapterRows rows;
    const CInterfaceAddresses list;
    for (const ifaddrs* item = list.First(); item != nullptr; item = item->ifa_next) {
      if (item->ifa_addr != nullptr && item->ifa_addr->sa_family == AF_PACKET) {
        rows.interfaces.push_back(InterfaceRowOf(*item));
      }
    }
    for (const ifaddrs* item = list.First(); item != nullptr; item = item->ifa_next) {
      if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET) continue;
      AddressRow row;
      row.owner_index = OwnerIndex(item->ifa_name, rows.interfaces);
      row.address = BytesOf(item->ifa_addr);
      row.mask = BytesOf(item->ifa_netmask);
      rows.addresses.push_back(row);
    }
    // The SNMP table walks the addresses in ascending order, and which address of a card
    // detection picks depends on the order.
    std::stable_sort(rows.addresses.begin(), rows.addresses.end(),
                     [](const AddressRow& a, const AddressRow& b) { return a.address < b.address; });
    return rows;
  }
};

}  // namespace

std::unique_ptr<IAdapterSource> CreateSystemAdapterSource() { return std::make_unique<CIfAddrsAdapterSource>(); }

}  // namespace zelquo::platform

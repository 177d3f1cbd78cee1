// Where the network-card table comes from: the system's interface rows and IPv4 address rows,
// tied together by interface index. Windows walks the MIB-II tables of the SNMP extension agent
// inetmib1.dll; POSIX reads getifaddrs. Pairing the rows into entries and filtering them is left
// to CAdapterTable (detection/adapter_table.h).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zelquo::platform {

// Physical addresses longer than this are cut to it.
inline constexpr std::size_t kMaxMacLength = 14;

struct InterfaceRow {
  std::int32_t index = 0;  // ifIndex
  std::int32_t type = 0;   // MIB-II ifType: 6 ethernetCsmacd, 24 softwareLoopback, ...
  std::uint8_t mac_length = 0;
  std::array<std::uint8_t, kMaxMacLength> mac{};
  std::string description;  // as the system gives it, not cut
};

struct AddressRow {
  std::int32_t owner_index = 0;              // ifIndex of the interface the address is on
  std::array<std::uint8_t, 4> address{};     // network order
  std::array<std::uint8_t, 4> mask{};        // network order
};

struct AdapterRows {
  std::vector<InterfaceRow> interfaces;
  std::vector<AddressRow> addresses;
};

class IAdapterSource {
 public:
  virtual ~IAdapterSource() = default;
  // 0 when the tables can be read; -1 when the source is missing (the SNMP extension library
  // did not load), -2 when the sockets layer did not start, -3 when the source refused to start.
  [[nodiscard]] virtual int Init() = 0;
  // The rows as they are now; as many as could be read when reading stops early.
  [[nodiscard]] virtual AdapterRows ReadRows() = 0;
};

using AdapterSourceFactory = std::function<std::unique_ptr<IAdapterSource>()>;

// The system's source. Creating it loads what it needs; Init tells whether that worked.
[[nodiscard]] std::unique_ptr<IAdapterSource> CreateSystemAdapterSource();

}  // namespace zelquo::platform

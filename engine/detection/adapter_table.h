// The network-card table of the network-card detection method: one entry per IPv4 address of a
// card, with the card's type, MAC address and description. Cards without a usable MAC address
// (none, all zero, or one beginning with the bytes "DEST") are left out unless asked for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/adapter_source.h"

namespace zelquo {

struct AdapterEntry {
  std::int32_t type = 0;  // MIB-II ifType
  std::uint8_t mac_length = 0;
  std::array<std::uint8_t, platform::kMaxMacLength> mac{};
  std::array<std::uint8_t, 4> address{};  // network order
  std::array<std::uint8_t, 4> mask{};     // network order
  // Zero-filled; at most 63 bytes are copied, so a zero always follows the text.
  std::array<char, 64> description{};
};

// The MAC text of an entry: its MAC bytes as "%02X", joined by "-" ("00-1A-2B-3C-4D-5E").
[[nodiscard]] std::string MacText(const AdapterEntry& entry);

// The entry's address as "%d.%d.%d.%d".
[[nodiscard]] std::string AddressText(const AdapterEntry& entry);

class CAdapterTable {
 public:
  // The system's source (on Windows this loads inetmib1.dll and starts the sockets layer).
  CAdapterTable();
  explicit CAdapterTable(std::unique_ptr<platform::IAdapterSource> source);
  CAdapterTable(const CAdapterTable&) = delete;
  CAdapterTable& operator=(const CAdapterTable&) = delete;
  ~CAdapterTable();

  // 0 on success; -1 when the source is missing, -2 when the sockets layer did not start, -3
  // when the source refused to start. Any negative value means there is no table.
  [[nodiscard]] int Init();

  // Reads the tables; returns the number of entries Fill will write.
  [[nodiscard]] std::size_t Walk(bool include_dest, bool include_no_mac);

  // Writes the entries of the last Walk, at most entries.size() of them; returns how many.
  std::size_t Fill(std::span<AdapterEntry> entries) const;

 private:
  std::unique_ptr<platform::IAdapterSource> source_;
  bool ready_ = false;
  std::vector<AdapterEntry> entries_;
};

namespace detail {

// The entries of the rows: each address row with the first interface row whose index equals
// its owner index (none: no entry), less the cards left out by the MAC rules.
[[nodiscard]] std::vector<AdapterEntry> AdapterEntriesOf(const platform::AdapterRows& rows, bool include_dest,
                                                         bool include_no_mac);

}  // namespace detail

}  // namespace zelquo

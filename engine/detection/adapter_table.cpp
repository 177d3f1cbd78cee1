#include "detection/adapter_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zelquo {

namespace {

constexpr std::size_t kCopiedDescription = 63;

bool BeginsWithDest(const std::array<std::uint8_t, platform::kMaxMacLength>& mac) {
  return std::memcmp(mac.data(), "DEST", 4) == 0;
}

// Loopback and other software interfaces show the first six bytes as zero.
bool FirstSixBytesZero(const std::array<std::uint8_t, platform::kMaxMacLength>& mac) {
  return std::all_of(mac.begin(), mac.begin() + 6, [](std::uint8_t byte) { return byte == 0; });
}

}  // namespace

std::string MacText(const AdapterEntry& entry) {
  std::string text;
  const std::size_t length = std::min<std::size_t>(entry.mac_length, entry.mac.size());
  for (std::size_t i = 0; i < length; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", entry.mac[i]);
    if (i > 0) text += '-';
    text += pair;
  }
  return text;
}

std::string AddressText(const AdapterEntry& entry) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", entry.address[0], entry.address[1], entry.address[2],
                entry.address[3]);
  return text;
}

CAdapterTable::CAdapterTable() : CAdapterTable(platform::CreateSystemAdapterSource()) {}

CAdapterTable::CAdapterTable(std::unique_ptr<platform::IAdapterSource> source) : source_(std::move(source)) {}

CAdapterTable::~CAdapterTable() = default;

int CAdapterTable::Init() {
  if (!source_) return -1;
  const int result = source_->Init();
  ready_ = result >= 0;
  return result;
}

std::size_t CAdapterTable::Walk(bool include_dest, bool include_no_mac) {
  entries_.clear();
  if (ready_) entries_ = detail::AdapterEntriesOf(source_->ReadRows(), include_dest, include_no_mac);
  return entries_.size();
}

std::size_t CAdapterTable::Fill(std::span<AdapterEntry> entries) const {
  const std::size_t count = std::min(entries.size(), entries_.size());
  std::copy_n(entries_.begin(), count, entries.begin());
  return count;
}

namespace detail {

std::vector<AdapterEntry> AdapterEntriesOf(const platform::AdapterRows& rows, bool include_dest,
                                           bool include_no_mac) {
  std::vector<AdapterEntry> entries;
  for (const platform::AddressRow& address : rows.addresses) {
    const auto card = std::find_if(rows.interfaces.begin(), rows.interfaces.end(),
                                   [&](const platform::InterfaceRow& row) { return row.index == address.owner_index; });
    if (card == rows.interfaces.end()) continue;

    AdapterEntry entry;
    entry.type = card->type;
    entry.mac_length = static_cast<std::uint8_t>(std::min<std::size_t>(card->mac_length, platform::kMaxMacLength));
    entry.mac = card->mac;
    entry.address = address.address;
    entry.mask = address.mask;
    std::memcpy(entry.description.data(), card->description.data(),
                std::min(card->description.size(), kCopiedDescription));

    if (entry.mac_length == 0 && !include_no_mac) continue;
    if (BeginsWithDest(entry.mac) && !include_dest) continue;
    if (FirstSixBytesZero(entry.mac)) continue;
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace detail

}  // namespace zelquo

// A network-card table source with rows chosen by the test, and helpers to write the rows.
#pragma once

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include "platform/adapter_source.h"

namespace zelquo::testing {

class CFakeAdapterSource final : public platform::IAdapterSource {
 public:
  CFakeAdapterSource(int init_result, platform::AdapterRows rows) : init_result_(init_result), rows_(std::move(rows)) {}
  int Init() override { return init_result_; }
  platform::AdapterRows ReadRows() override { return rows_; }

 private:
  int init_result_;
  platform::AdapterRows rows_;
};

inline platform::AdapterSourceFactory FakeAdapters(platform::AdapterRows rows, int init_result = 0) {
  return [rows = std::move(rows), init_result] { return std::make_unique<CFakeAdapterSource>(init_result, rows); };
}

inline platform::InterfaceRow Card(std::int32_t index, std::initializer_list<std::uint8_t> mac,
                                   std::string description = "card", std::int32_t type = 6) {
  platform::InterfaceRow row;
  row.index = index;
  row.type = type;
  row.mac_length = static_cast<std::uint8_t>(mac.size());
  std::copy(mac.begin(), mac.end(), row.mac.begin());
  row.description = std::move(description);
  return row;
}

inline platform::AddressRow Address(std::int32_t owner, std::array<std::uint8_t, 4> address,
                                    std::array<std::uint8_t, 4> mask = {255, 255, 255, 0}) {
  platform::AddressRow row;
  row.owner_index = owner;
  row.address = address;
  row.mask = mask;
  return row;
}

}  // namespace zelquo::testing

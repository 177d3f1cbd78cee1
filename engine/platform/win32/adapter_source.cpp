// SNMP form of the network-card table: GETNEXT walks of the MIB-II interface table and IPv4
// address table through the extension agent inetmib1.dll. Each query carries seven bindings, so
// that one query moves along one interface row and one address row at once; the rows are tied
// together afterwards by interface index (detection/adapter_table.cpp).
#include "platform/win32/snmp_extension.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace zelquo::platform {

namespace {

// MIB-II (RFC 1213) objects of the walk.
constexpr UINT kIfNumber[] = {1, 3, 6, 1, 2, 1, 2, 1};
constexpr UINT kIfIndex[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 1};
constexpr UINT kIfDescr[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 2};
constexpr UINT kIfType[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 3};
constexpr UINT kIfPhysAddress[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 6};
constexpr UINT kIpAdEntAddr[] = {1, 3, 6, 1, 2, 1, 4, 20, 1, 1};
constexpr UINT kIpAdEntIfIndex[] = {1, 3, 6, 1, 2, 1, 4, 20, 1, 2};
constexpr UINT kIpAdEntNetMask[] = {1, 3, 6, 1, 2, 1, 4, 20, 1, 3};

struct ObjectName {
  const UINT* ids;
  UINT length;
};

template <std::size_t N>
constexpr ObjectName NameOf(const UINT (&ids)[N]) {
  return {ids, static_cast<UINT>(N)};
}

// The seven bindings of a row query, in the order the agent receives them.
enum Binding { kType, kPhysAddress, kAddress, kNetMask, kDescr, kOwnerIndex, kIndex, kBindingCount };
constexpr ObjectName kRowNames[kBindingCount] = {
    NameOf(kIfType),  NameOf(kIfPhysAddress),   NameOf(kIpAdEntAddr), NameOf(kIpAdEntNetMask),
    NameOf(kIfDescr), NameOf(kIpAdEntIfIndex), NameOf(kIfIndex),
};

// Sub-identifiers after the column's own that name one row: an interface row by its ifIndex,
// an address row by the four numbers of its address.
constexpr UINT kInterfaceInstanceLength = 1;
constexpr UINT kAddressInstanceLength = 4;

using Instance = std::vector<UINT>;

// The row a binding's name points at within a column, or nothing when the name lies outside the
// column (the agent has moved on to the next column or table).
std::optional<Instance> InstanceIn(const AsnObjectIdentifier& name, const ObjectName& column, UINT instance_length) {
  if (name.ids == nullptr || name.idLength != column.length + instance_length ||
      !std::equal(column.ids, column.ids + column.length, name.ids)) {
    return std::nullopt;
  }
  return Instance(name.ids + column.length, name.ids + name.idLength);
}

bool OwnsStream(BYTE type) {
  return type == ASN_OCTETSTRING || type == ASN_BITS || type == ASN_SEQUENCE || type == ASN_IPADDRESS ||
         type == ASN_OPAQUE;
}

// A list of bindings whose names and values are kept in the global heap, and freed with it.
class CBindingList {
 public:
  CBindingList(const SnmpSystemCalls& calls, std::initializer_list<ObjectName> names) : calls_(calls) {
    bindings_.resize(names.size());
    std::size_t i = 0;
    for (const ObjectName& name : names) {
      SnmpVarBind& binding = bindings_[i++];
      binding.value.asnType = ASN_NULL;
      const SIZE_T bytes = name.length * sizeof(UINT);
      binding.name.ids = static_cast<UINT*>(calls_.global_alloc(GMEM_FIXED, bytes));
      if (binding.name.ids == nullptr) {
        complete_ = false;
        continue;
      }
      std::memcpy(binding.name.ids, name.ids, bytes);
      binding.name.idLength = name.length;
    }
    parked_.assign(bindings_.size(), false);
  }
  CBindingList(const CBindingList&) = delete;
  CBindingList& operator=(const CBindingList&) = delete;
  ~CBindingList() {
    FreeValues();
    for (SnmpVarBind& binding : bindings_) {
      if (binding.name.ids != nullptr) calls_.global_free(binding.name.ids);
      binding.name.ids = nullptr;
      binding.name.idLength = 0;
    }
  }

  // False when a name could not be copied; the list must not be queried then.
  [[nodiscard]] bool Complete() const { return complete_; }
  [[nodiscard]] const SnmpVarBind& operator[](std::size_t i) const { return bindings_[i]; }

  // Leaves binding i out of later queries: its table has ended, and GETNEXT would carry it on
  // through the tables after it up to the end of the agent's view, where the agent answers the
  // whole query with an error.
  void Park(std::size_t i) { parked_[i] = true; }

  // One GETNEXT over the bindings that are not parked. The agent replaces the names and values
  // of the bindings it is given, so those are handed over and taken back.
  [[nodiscard]] bool QueryNext(PFNSNMPEXTENSIONQUERY query, AsnInteger32* status, AsnInteger32* index) {
    std::vector<SnmpVarBind> active;
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < bindings_.size(); ++i) {
      if (parked_[i]) continue;
      active.push_back(bindings_[i]);
      positions.push_back(i);
    }
    SnmpVarBindList list{active.data(), static_cast<UINT>(active.size())};
    const BOOL answered = query(SNMP_PDU_GETNEXT, &list, status, index);
    for (std::size_t k = 0; k < positions.size(); ++k) bindings_[positions[k]] = active[k];
    return answered != FALSE;
  }

  // Points binding i at one row of a column, so that the next GETNEXT moves it to the row after.
  void SetName(std::size_t i, const ObjectName& column, const Instance& instance) {
    AsnObjectIdentifier& name = bindings_[i].name;
    const UINT length = column.length + static_cast<UINT>(instance.size());
    auto* ids = static_cast<UINT*>(calls_.global_alloc(GMEM_FIXED, length * sizeof(UINT)));
    if (ids == nullptr) return;  // the binding stays where the agent left it
    std::copy(column.ids, column.ids + column.length, ids);
    std::copy(instance.begin(), instance.end(), ids + column.length);
    if (name.ids != nullptr) calls_.global_free(name.ids);
    name.ids = ids;
    name.idLength = length;
  }

  // The agent writes each answer into the binding without freeing what was there, so the
  // values of one answer are freed before the next query.
  void FreeValues() {
    for (SnmpVarBind& binding : bindings_) {
      AsnAny& value = binding.value;
      if (OwnsStream(value.asnType) && value.asnValue.string.dynamic && value.asnValue.string.stream != nullptr) {
        calls_.global_free(value.asnValue.string.stream);
      } else if (value.asnType == ASN_OBJECTIDENTIFIER && value.asnValue.object.ids != nullptr) {
        calls_.global_free(value.asnValue.object.ids);
      }
      std::memset(&value, 0, sizeof value);
      value.asnType = ASN_NULL;
    }
  }

 private:
  const SnmpSystemCalls& calls_;
  std::vector<SnmpVarBind> bindings_;
  std::vector<bool> parked_;
  bool complete_ = true;
};

std::int32_t IntegerOf(const SnmpVarBind& binding) {
  return binding.value.asnType == ASN_INTEGER ? binding.value.asnValue.number : 0;
}

// The bytes of a string value, at most `room` of them.
std::size_t CopyStream(const SnmpVarBind& binding, std::uint8_t* target, std::size_t room) {
  if (!OwnsStream(binding.value.asnType) || binding.value.asnValue.string.stream == nullptr) return 0;
  const std::size_t length = std::min<std::size_t>(binding.value.asnValue.string.length, room);
  std::memcpy(target, binding.value.asnValue.string.stream, length);
  return length;
}

std::string TextOf(const SnmpVarBind& binding) {
  if (!OwnsStream(binding.value.asnType) || binding.value.asnValue.string.stream == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(binding.value.asnValue.string.stream),
                     binding.value.asnValue.string.length);
}

}  // namespace

CSnmpAdapterSource::CSnmpAdapterSource(const SnmpSystemCalls& calls) : calls_(calls) {
  library_ = calls_.load_library(kSnmpExtensionLibrary);
  // A handle below 32 is the old convention for a failed load.
  if (reinterpret_cast<ULONG_PTR>(library_) < 32) {
    library_ = nullptr;
  } else {
    entry_points_.init = reinterpret_cast<PFNSNMPEXTENSIONINIT>(
        reinterpret_cast<void*>(calls_.get_proc_address(library_, "SnmpExtensionInit")));
    entry_points_.init_ex = reinterpret_cast<PFNSNMPEXTENSIONINITEX>(
        reinterpret_cast<void*>(calls_.get_proc_address(library_, "SnmpExtensionInitEx")));
    entry_points_.query = reinterpret_cast<PFNSNMPEXTENSIONQUERY>(
        reinterpret_cast<void*>(calls_.get_proc_address(library_, "SnmpExtensionQuery")));
    entry_points_.trap = reinterpret_cast<PFNSNMPEXTENSIONTRAP>(
        reinterpret_cast<void*>(calls_.get_proc_address(library_, "SnmpExtensionTrap")));
  }
  WSADATA data{};
  sockets_started_ = calls_.wsa_startup(MAKEWORD(1, 1), &data) == 0;
}

CSnmpAdapterSource::~CSnmpAdapterSource() {
  if (sockets_started_) calls_.wsa_cleanup();
  if (library_ != nullptr) calls_.free_library(library_);
}

int CSnmpAdapterSource::Init() {
  // Without the two exports the walk needs, the library is as good as missing.
  if (library_ == nullptr || entry_points_.init == nullptr || entry_points_.query == nullptr) return -1;
  if (!sockets_started_) return -2;
  HANDLE trap_event = nullptr;
  AsnObjectIdentifier first_region{};
  // The first supported region stays the agent's: Microsoft's agents point it at their own static
  // data, so freeing it would corrupt the heap. (Wine's agent allocates it; that block is left.)
  if (!entry_points_.init(calls_.get_tick_count(), &trap_event, &first_region)) return -3;
  agent_started_ = true;
  return 0;
}

AdapterRows CSnmpAdapterSource::ReadRows() {
  AdapterRows rows;
  if (!agent_started_) return rows;

  // The number of interface rows only tells whether there are any: an agent may count them
  // differently from the rows its table walk gives (Wine answers with the first ifIndex).
  {
    CBindingList number(calls_, {NameOf(kIfNumber)});
    AsnInteger32 status = 0;
    AsnInteger32 index = 0;
    if (!number.Complete() || !number.QueryNext(entry_points_.query, &status, &index) ||
        status != SNMP_ERRORSTATUS_NOERROR || IntegerOf(number[0]) == 0) {
      return rows;
    }
  }

  CBindingList row(calls_, {kRowNames[kType], kRowNames[kPhysAddress], kRowNames[kAddress], kRowNames[kNetMask],
                            kRowNames[kDescr], kRowNames[kOwnerIndex], kRowNames[kIndex]});
  if (!row.Complete()) return rows;
  for (int k = 0; k < kMaxRows; ++k) {
    AsnInteger32 status = 0;
    AsnInteger32 index = 0;
    // With an error status the agent may have left some bindings as they were; nothing of
    // that answer can be trusted.
    if (!row.QueryNext(entry_points_.query, &status, &index) || status != SNMP_ERRORSTATUS_NOERROR) {
      break;
    }
    // The ifType binding leads the interface columns and the ipAdEntAddr binding the address
    // columns. A card may hold several addresses, so the address table can be the longer one:
    // the walk goes on until both tables are done, and a table that is done is parked.
    const std::optional<Instance> card_row = InstanceIn(row[kType].name, kRowNames[kType], kInterfaceInstanceLength);
    const std::optional<Instance> address_row =
        InstanceIn(row[kAddress].name, kRowNames[kAddress], kAddressInstanceLength);
    if (!card_row && !address_row) break;

    // A binding that does not point at the leading binding's row has no value for that row:
    // GETNEXT skips rows without a value (Wine's agent even leaves the column at the first card
    // without a physical address).
    const auto aligned = [&](Binding binding, const std::optional<Instance>& instance) {
      return instance && InstanceIn(row[binding].name, kRowNames[binding], static_cast<UINT>(instance->size())) == instance;
    };
    if (card_row) {
      InterfaceRow card;
      card.type = IntegerOf(row[kType]);
      if (aligned(kPhysAddress, card_row)) {
        card.mac_length = static_cast<std::uint8_t>(CopyStream(row[kPhysAddress], card.mac.data(), card.mac.size()));
      }
      if (aligned(kDescr, card_row)) card.description = TextOf(row[kDescr]);
      // The row's instance is its ifIndex, should the ifIndex column lack the value.
      card.index = aligned(kIndex, card_row) ? IntegerOf(row[kIndex]) : static_cast<std::int32_t>((*card_row)[0]);
      rows.interfaces.push_back(card);
    }
    if (address_row && aligned(kOwnerIndex, address_row)) {
      AddressRow address;
      address.owner_index = IntegerOf(row[kOwnerIndex]);
      CopyStream(row[kAddress], address.address.data(), address.address.size());
      if (aligned(kNetMask, address_row)) CopyStream(row[kNetMask], address.mask.data(), address.mask.size());
      rows.addresses.push_back(address);
    }
    row.FreeValues();

    // Bindings that ran ahead or out of their column go back to the row just read.
    for (const Binding binding : {kPhysAddress, kDescr, kIndex}) {
      if (card_row && !aligned(binding, card_row)) row.SetName(binding, kRowNames[binding], *card_row);
    }
    for (const Binding binding : {kNetMask, kOwnerIndex}) {
      if (address_row && !aligned(binding, address_row)) row.SetName(binding, kRowNames[binding], *address_row);
    }
    if (!card_row) {
      for (const Binding binding : {kType, kPhysAddress, kDescr, kIndex}) row.Park(binding);
    }
    if (!address_row) {
      for (const Binding binding : {kAddress, kNetMask, kOwnerIndex}) row.Park(binding);
    }
  }
  return rows;
}

std::unique_ptr<IAdapterSource> CreateSystemAdapterSource() { return std::make_unique<CSnmpAdapterSource>(); }

}  // namespace zelquo::platform

// The SNMP walk against a stand-in extension agent: a small MIB-II of interface and address rows
// answered in proper GETNEXT order, with counted global-heap allocations and calls that can be
// made to fail one by one.
#include "platform/win32/snmp_extension.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "detection/adapter_table.h"

namespace zelquo::platform {
namespace {

using Oid = std::vector<UINT>;

struct MibValue {
  BYTE type = ASN_INTEGER;
  AsnInteger32 number = 0;
  std::string bytes;
};

// The state of the stand-in agent and of the system calls around it; one test at a time.
struct FakeSystem {
  std::map<Oid, MibValue> mib;  // std::map orders OIDs lexicographically, as GETNEXT needs
  std::set<void*> live;         // global-heap blocks not yet freed
  bool load_fails = false;
  HMODULE module = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x10000));
  std::string missing_export;
  bool sockets_fail = false;
  BOOL init_result = TRUE;
  int fail_query_at = 0;       // the n-th query (from 1) returns FALSE; 0: none
  int error_status_at = 0;     // the n-th query reports NOSUCHNAME
  bool frozen = false;         // GETNEXT answers without moving on
  int queries = 0;
  int library_frees = 0;
  int socket_cleanups = 0;
  DWORD init_ticks = 0;
  std::vector<Oid> first_row_query;  // the names of the first seven-binding query
};

FakeSystem* g_system = nullptr;

HGLOBAL WINAPI CountingAlloc(UINT flags, SIZE_T bytes) {
  HGLOBAL block = GlobalAlloc(flags, bytes);
  g_system->live.insert(block);
  return block;
}

HGLOBAL WINAPI CountingFree(HGLOBAL block) {
  if (g_system->live.erase(block) != 1U) {
    ADD_FAILURE() << "a block freed twice or not from the global heap";
    return block;  // as GlobalFree reports a failure; freeing it for real could corrupt the heap
  }
  return GlobalFree(block);
}

void SetName(AsnObjectIdentifier& name, const Oid& oid) {
  // What the system's agent does: the old name is freed, the new one allocated.
  if (name.ids != nullptr) CountingFree(name.ids);
  name.ids = static_cast<UINT*>(CountingAlloc(GMEM_FIXED, oid.size() * sizeof(UINT)));
  std::copy(oid.begin(), oid.end(), name.ids);
  name.idLength = static_cast<UINT>(oid.size());
}

void SetValue(AsnAny& value, const MibValue& mib_value) {
  value.asnType = mib_value.type;
  if (mib_value.type == ASN_INTEGER) {
    value.asnValue.number = mib_value.number;
    return;
  }
  auto* stream = static_cast<BYTE*>(CountingAlloc(GMEM_FIXED, std::max<std::size_t>(mib_value.bytes.size(), 1)));
  std::memcpy(stream, mib_value.bytes.data(), mib_value.bytes.size());
  value.asnValue.string.stream = stream;
  value.asnValue.string.length = static_cast<UINT>(mib_value.bytes.size());
  value.asnValue.string.dynamic = TRUE;
}

// Microsoft's agents point the first supported region at their own static data.
UINT g_first_region[] = {1, 3, 6, 1, 2, 1, 1};

BOOL WINAPI FakeInit(DWORD ticks, HANDLE* trap_event, AsnObjectIdentifier* first_region) {
  g_system->init_ticks = ticks;
  *trap_event = nullptr;
  first_region->ids = g_first_region;
  first_region->idLength = static_cast<UINT>(std::size(g_first_region));
  return g_system->init_result;
}

BOOL WINAPI FakeInitEx(AsnObjectIdentifier*) { return FALSE; }

BOOL WINAPI FakeQuery(BYTE pdu, SnmpVarBindList* list, AsnInteger32* status, AsnInteger32* index) {
  EXPECT_EQ(pdu, SNMP_PDU_GETNEXT);
  const int query = ++g_system->queries;
  *status = SNMP_ERRORSTATUS_NOERROR;
  *index = 0;
  if (query == g_system->fail_query_at) return FALSE;
  if (query == g_system->error_status_at) {
    *status = SNMP_ERRORSTATUS_NOSUCHNAME;
    *index = 1;
    return TRUE;
  }
  const bool record = list->len == 7 && g_system->first_row_query.empty();
  for (UINT i = 0; i < list->len; ++i) {
    SnmpVarBind& binding = list->list[i];
    const Oid name(binding.name.ids, binding.name.ids + binding.name.idLength);
    if (record) g_system->first_row_query.push_back(name);
    EXPECT_EQ(binding.value.asnType, ASN_NULL) << "the previous answer's value was not freed";
    auto next = g_system->frozen ? g_system->mib.lower_bound(name) : g_system->mib.upper_bound(name);
    if (next == g_system->mib.end()) {
      *status = SNMP_ERRORSTATUS_NOSUCHNAME;
      *index = static_cast<AsnInteger32>(i + 1);
      return TRUE;
    }
    SetName(binding.name, next->first);
    SetValue(binding.value, next->second);
  }
  return TRUE;
}

BOOL WINAPI FakeTrap(AsnObjectIdentifier*, AsnInteger32*, AsnInteger32*, AsnTimeticks*, SnmpVarBindList*) {
  return FALSE;
}

HMODULE WINAPI FakeLoadLibrary(LPCSTR name) {
  EXPECT_STREQ(name, "inetmib1.dll");
  return g_system->load_fails ? nullptr : g_system->module;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
  EXPECT_EQ(module, g_system->module);
  if (name == g_system->missing_export) return nullptr;
  const std::string text(name);
  if (text == "SnmpExtensionInit") return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeInit));
  if (text == "SnmpExtensionInitEx") return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeInitEx));
  if (text == "SnmpExtensionQuery") return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeQuery));
  if (text == "SnmpExtensionTrap") return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeTrap));
  return nullptr;
}

BOOL WINAPI FakeFreeLibrary(HMODULE module) {
  EXPECT_EQ(module, g_system->module);
  ++g_system->library_frees;
  return TRUE;
}

int WINAPI FakeWsaStartup(WORD version, LPWSADATA) {
  EXPECT_EQ(version, MAKEWORD(1, 1));
  return g_system->sockets_fail ? WSASYSNOTREADY : 0;
}

int WINAPI FakeWsaCleanup() {
  ++g_system->socket_cleanups;
  return 0;
}

DWORD WINAPI FakeTickCount() { return 4242; }

SnmpSystemCalls FakeCalls() {
  SnmpSystemCalls calls;
  calls.load_library = &FakeLoadLibrary;
  calls.get_proc_address = &FakeGetProcAddress;
  calls.free_library = &FakeFreeLibrary;
  calls.wsa_startup = &FakeWsaStartup;
  calls.wsa_cleanup = &FakeWsaCleanup;
  calls.get_tick_count = &FakeTickCount;
  calls.global_alloc = &CountingAlloc;
  calls.global_free = &CountingFree;
  return calls;
}

Oid Column(std::initializer_list<UINT> column, std::initializer_list<UINT> instance) {
  Oid oid = column;
  oid.insert(oid.end(), instance);
  return oid;
}

MibValue Integer(AsnInteger32 number) { return {ASN_INTEGER, number, {}}; }
MibValue Octets(std::string bytes) { return {ASN_OCTETSTRING, 0, std::move(bytes)}; }
MibValue IpAddress(std::string bytes) { return {ASN_IPADDRESS, 0, std::move(bytes)}; }

const std::string kMac("\x02\x5A\x00\x00\x00\x01", 6);

class SnmpWalkTest : public ::testing::Test {
 protected:
  void SetUp() override { g_system = &system_; }
  void TearDown() override {
    EXPECT_TRUE(system_.live.empty()) << system_.live.size() << " global-heap blocks were not freed";
    g_system = nullptr;
  }

  void AddInterface(UINT index, AsnInteger32 type, std::string mac, std::string description) {
    system_.mib[Column({1, 3, 6, 1, 2, 1, 2, 2, 1, 1}, {index})] = Integer(static_cast<AsnInteger32>(index));
    system_.mib[Column({1, 3, 6, 1, 2, 1, 2, 2, 1, 2}, {index})] = Octets(std::move(description));
    system_.mib[Column({1, 3, 6, 1, 2, 1, 2, 2, 1, 3}, {index})] = Integer(type);
    system_.mib[Column({1, 3, 6, 1, 2, 1, 2, 2, 1, 4}, {index})] = Integer(1500);  // ifMtu
    system_.mib[Column({1, 3, 6, 1, 2, 1, 2, 2, 1, 6}, {index})] = Octets(std::move(mac));
    system_.mib[Column({1, 3, 6, 1, 2, 1, 2, 2, 1, 7}, {index})] = Integer(1);  // ifAdminStatus
    system_.mib[{1, 3, 6, 1, 2, 1, 2, 1, 0}] = Integer(++interfaces_);
  }
  void AddAddress(std::initializer_list<UINT> address, AsnInteger32 owner, std::string mask) {
    std::string bytes;
    for (const UINT part : address) bytes += static_cast<char>(part);
    system_.mib[Column({1, 3, 6, 1, 2, 1, 4, 20, 1, 1}, address)] = IpAddress(bytes);
    system_.mib[Column({1, 3, 6, 1, 2, 1, 4, 20, 1, 2}, address)] = Integer(owner);
    system_.mib[Column({1, 3, 6, 1, 2, 1, 4, 20, 1, 3}, address)] = IpAddress(std::move(mask));
    system_.mib[Column({1, 3, 6, 1, 2, 1, 4, 20, 1, 4}, address)] = Integer(1);  // ipAdEntBcastAddr
  }
  // The usual machine: a loopback card and one ethernet card holding two addresses, so that
  // the address table is longer than the interface table.
  void AddUsualMachine() {
    AddInterface(1, 24, "", "Loopback");
    AddInterface(2, 6, kMac, "Ethernet adapter");
    AddAddress({127, 0, 0, 1}, 1, std::string("\xFF\x00\x00\x00", 4));
    AddAddress({192, 168, 1, 20}, 2, std::string("\xFF\xFF\xFF\x00", 4));
    AddAddress({203, 0, 113, 9}, 2, std::string("\xFF\xFF\xFF\x80", 4));
    system_.mib[{1, 3, 6, 1, 2, 1, 4, 21, 1, 1, 0, 0, 0, 0}] = IpAddress(std::string(4, '\0'));  // a route
  }

  [[nodiscard]] std::vector<AdapterEntry> Entries() {
    CAdapterTable table(std::make_unique<CSnmpAdapterSource>(FakeCalls()));
    EXPECT_EQ(table.Init(), 0);
    std::vector<AdapterEntry> entries(table.Walk(false, false));
    entries.resize(table.Fill(entries));
    return entries;
  }

  FakeSystem system_;
  AsnInteger32 interfaces_ = 0;
};

TEST_F(SnmpWalkTest, InitFailsForEachMissingPiece) {
  const struct {
    const char* name;
    void (*arrange)(FakeSystem&);
    int result;
    bool loaded;
  } kRows[] = {
      {"all there", [](FakeSystem&) {}, 0, true},
      {"library missing", [](FakeSystem& s) { s.load_fails = true; }, -1, false},
      {"old-style failure handle",
       [](FakeSystem& s) { s.module = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(31)); }, -1, false},
      {"no SnmpExtensionInit", [](FakeSystem& s) { s.missing_export = "SnmpExtensionInit"; }, -1, true},
      {"no SnmpExtensionQuery", [](FakeSystem& s) { s.missing_export = "SnmpExtensionQuery"; }, -1, true},
      {"no SnmpExtensionTrap (unused)", [](FakeSystem& s) { s.missing_export = "SnmpExtensionTrap"; }, 0, true},
      {"sockets layer", [](FakeSystem& s) { s.sockets_fail = true; }, -2, true},
      {"agent refuses", [](FakeSystem& s) { s.init_result = FALSE; }, -3, true},
  };
  for (const auto& row : kRows) {
    FakeSystem system;
    g_system = &system;
    row.arrange(system);
    {
      CSnmpAdapterSource source(FakeCalls());
      EXPECT_EQ(source.Init(), row.result) << row.name;
      EXPECT_TRUE(source.ReadRows().interfaces.empty()) << row.name;
    }
    EXPECT_EQ(system.library_frees, row.loaded ? 1 : 0) << row.name;
    EXPECT_EQ(system.socket_cleanups, system.sockets_fail ? 0 : 1) << row.name;
    EXPECT_TRUE(system.live.empty()) << row.name;
    if (row.result == 0) {
      EXPECT_EQ(system.init_ticks, 4242U) << row.name;
    }
  }
  g_system = &system_;
}

TEST_F(SnmpWalkTest, QueriesTheSevenColumnsInOrder) {
  AddUsualMachine();
  (void)Entries();
  const Oid expected[] = {
      {1, 3, 6, 1, 2, 1, 2, 2, 1, 3}, {1, 3, 6, 1, 2, 1, 2, 2, 1, 6}, {1, 3, 6, 1, 2, 1, 4, 20, 1, 1},
      {1, 3, 6, 1, 2, 1, 4, 20, 1, 3}, {1, 3, 6, 1, 2, 1, 2, 2, 1, 2}, {1, 3, 6, 1, 2, 1, 4, 20, 1, 2},
      {1, 3, 6, 1, 2, 1, 2, 2, 1, 1},
  };
  EXPECT_EQ(system_.first_row_query, std::vector<Oid>(std::begin(expected), std::end(expected)));
}

TEST_F(SnmpWalkTest, EveryAddressOfTheCardBecomesAnEntry) {
  AddUsualMachine();
  const std::vector<AdapterEntry> entries = Entries();
  ASSERT_EQ(entries.size(), 2U);
  EXPECT_EQ(AddressText(entries[0]), "192.168.1.20");
  EXPECT_EQ(AddressText(entries[1]), "203.0.113.9");
  for (const AdapterEntry& entry : entries) {
    EXPECT_EQ(MacText(entry), "02-5A-00-00-00-01");
    EXPECT_EQ(entry.type, 6);
    EXPECT_STREQ(entry.description.data(), "Ethernet adapter");
  }
  EXPECT_EQ((entries[1].mask), (std::array<std::uint8_t, 4>{255, 255, 255, 128}));
}

TEST_F(SnmpWalkTest, RowsMissingFromAColumnDoNotShiftTheOthers) {
  // A sparse table: the loopback card has neither ifPhysAddress nor ifDescr, so GETNEXT skips
  // its row in those two columns while the other columns still stand on it.
  AddInterface(1, 24, "", "Loopback");
  system_.mib.erase(Column({1, 3, 6, 1, 2, 1, 2, 2, 1, 6}, {1}));
  system_.mib.erase(Column({1, 3, 6, 1, 2, 1, 2, 2, 1, 2}, {1}));
  AddInterface(2, 6, kMac, "eth0");
  AddInterface(3, 6, std::string("\x02\x5A\x00\x00\x00\x03", 6), "eth1");
  AddAddress({10, 0, 0, 2}, 2, std::string("\xFF\x00\x00\x00", 4));
  AddAddress({10, 0, 0, 3}, 3, std::string("\xFF\x00\x00\x00", 4));
  AddAddress({127, 0, 0, 1}, 1, std::string("\xFF\x00\x00\x00", 4));
  const std::vector<AdapterEntry> entries = Entries();
  ASSERT_EQ(entries.size(), 2U);
  EXPECT_EQ(AddressText(entries[0]), "10.0.0.2");
  EXPECT_EQ(MacText(entries[0]), "02-5A-00-00-00-01");
  EXPECT_STREQ(entries[0].description.data(), "eth0");
  EXPECT_EQ(AddressText(entries[1]), "10.0.0.3");
  EXPECT_EQ(MacText(entries[1]), "02-5A-00-00-00-03");
  EXPECT_STREQ(entries[1].description.data(), "eth1");
}

TEST_F(SnmpWalkTest, AnAddressTableThatEndsFirstKeepsTheCardRowsComing) {
  // Nothing follows the address table, so address bindings still queried after it has ended
  // would run off the end of the agent's view and take the last card row with them.
  AddInterface(1, 24, "", "Loopback");
  AddInterface(2, 6, kMac, "eth0");
  AddInterface(3, 6, std::string("\x02\x5A\x00\x00\x00\x03", 6), "eth1");
  AddAddress({10, 0, 0, 3}, 3, std::string("\xFF\x00\x00\x00", 4));
  const std::vector<AdapterEntry> entries = Entries();
  ASSERT_EQ(entries.size(), 1U);
  EXPECT_EQ(AddressText(entries[0]), "10.0.0.3");
  EXPECT_EQ(MacText(entries[0]), "02-5A-00-00-00-03");
  EXPECT_STREQ(entries[0].description.data(), "eth1");
}

TEST_F(SnmpWalkTest, NoInterfacesMeansOneQuery) {
  system_.mib[{1, 3, 6, 1, 2, 1, 2, 1, 0}] = Integer(0);
  AddAddress({127, 0, 0, 1}, 1, std::string("\xFF\x00\x00\x00", 4));
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(system_.queries, 1);
}

TEST_F(SnmpWalkTest, FailedQueryKeepsTheRowsSoFar) {
  AddUsualMachine();
  system_.fail_query_at = 4;  // ifNumber, rows 0 and 1, then the third row fails
  const std::vector<AdapterEntry> entries = Entries();
  ASSERT_EQ(entries.size(), 1U);
  EXPECT_EQ(AddressText(entries[0]), "192.168.1.20");
}

TEST_F(SnmpWalkTest, ErrorStatusEndsTheWalk) {
  AddUsualMachine();
  system_.error_status_at = 3;
  EXPECT_TRUE(Entries().empty());  // row 0 is the loopback card's
  system_.error_status_at = 1;
  system_.queries = 0;
  EXPECT_TRUE(Entries().empty());
}

TEST_F(SnmpWalkTest, AgentThatNeverMovesOnIsStopped) {
  AddUsualMachine();
  system_.frozen = true;
  CSnmpAdapterSource source(FakeCalls());
  ASSERT_EQ(source.Init(), 0);
  const AdapterRows rows = source.ReadRows();
  EXPECT_EQ(rows.interfaces.size(), static_cast<std::size_t>(CSnmpAdapterSource::kMaxRows));
}

TEST_F(SnmpWalkTest, OddValueTypesAreNotTrusted) {
  AddInterface(2, 6, kMac, "eth0");
  AddAddress({203, 0, 113, 9}, 2, std::string("\xFF", 1));  // a mask one byte long
  system_.mib[Column({1, 3, 6, 1, 2, 1, 2, 2, 1, 3}, {2})] = Octets("six");  // ifType as text
  const std::vector<AdapterEntry> entries = Entries();
  ASSERT_EQ(entries.size(), 1U);
  EXPECT_EQ(entries[0].type, 0);
  EXPECT_EQ((entries[0].mask), (std::array<std::uint8_t, 4>{255, 0, 0, 0}));
}

// The system's own agent: under Wine its loopback card has no MAC address, like Windows'.
TEST(SnmpSystemAgentTest, LoopbackAddressHasItsCard) {
  CSnmpAdapterSource source;
  ASSERT_EQ(source.Init(), 0);
  const AdapterRows rows = source.ReadRows();
  const auto loopback = std::find_if(rows.addresses.begin(), rows.addresses.end(), [](const AddressRow& row) {
    return row.address == std::array<std::uint8_t, 4>{127, 0, 0, 1};
  });
  ASSERT_NE(loopback, rows.addresses.end());
  const auto card = std::find_if(rows.interfaces.begin(), rows.interfaces.end(),
                                 [&](const InterfaceRow& row) { return row.index == loopback->owner_index; });
  ASSERT_NE(card, rows.interfaces.end());
  EXPECT_EQ(card->type, 24);
  EXPECT_EQ(card->mac_length, 0);
}

}  // namespace
}  // namespace zelquo::platform

// The network-card table from the system's SNMP extension agent (the MIB-II provider
// inetmib1.dll, loaded at run time). Every call into the system goes through SnmpSystemCalls,
// whose defaults are the real functions, so that tests can put a stand-in agent in place and
// make each call fail in turn.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <snmp.h>

#include "platform/adapter_source.h"

namespace zelquo::platform {

inline constexpr char kSnmpExtensionLibrary[] = "inetmib1.dll";

struct SnmpSystemCalls {
  HMODULE(WINAPI* load_library)(LPCSTR) = &LoadLibraryA;
  FARPROC(WINAPI* get_proc_address)(HMODULE, LPCSTR) = &GetProcAddress;
  BOOL(WINAPI* free_library)(HMODULE) = &FreeLibrary;
  int(WINAPI* wsa_startup)(WORD, LPWSADATA) = &WSAStartup;
  int(WINAPI* wsa_cleanup)() = &WSACleanup;
  DWORD(WINAPI* get_tick_count)() = &GetTickCount;
  // The walk's object identifiers and the values the agent hands back live in the global heap
  // (the agent allocates them there too) and are freed by the walk.
  HGLOBAL(WINAPI* global_alloc)(UINT, SIZE_T) = &GlobalAlloc;
  HGLOBAL(WINAPI* global_free)(HGLOBAL) = &GlobalFree;
};

// The four exports of the agent, looked up by name when the library is loaded.
struct SnmpExtensionEntryPoints {
  PFNSNMPEXTENSIONINIT init = nullptr;
  PFNSNMPEXTENSIONINITEX init_ex = nullptr;
  PFNSNMPEXTENSIONQUERY query = nullptr;
  PFNSNMPEXTENSIONTRAP trap = nullptr;
};

// Creating the source loads the library, looks up its exports and starts the sockets layer;
// destroying it stops the sockets layer and unloads the library.
class CSnmpAdapterSource final : public IAdapterSource {
 public:
  // A walk never reads more rows than this, whatever the agent answers.
  static constexpr int kMaxRows = 4096;

  explicit CSnmpAdapterSource(const SnmpSystemCalls& calls = SnmpSystemCalls());
  CSnmpAdapterSource(const CSnmpAdapterSource&) = delete;
  CSnmpAdapterSource& operator=(const CSnmpAdapterSource&) = delete;
  ~CSnmpAdapterSource() override;

  int Init() override;
  AdapterRows ReadRows() override;

 private:
  SnmpSystemCalls calls_;
  HMODULE library_ = nullptr;  // owned: freed by the destructor
  SnmpExtensionEntryPoints entry_points_;
  bool sockets_started_ = false;
  bool agent_started_ = false;
};

}  // namespace zelquo::platform

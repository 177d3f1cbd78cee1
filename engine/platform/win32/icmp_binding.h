// The ICMP echo service of Windows, loaded at run time from ICMP.DLL. The three entry points
// travel in one struct so that tests can put failing or scripted functions in their place; the
// process-wide binding loads the real ones once, on first use, and keeps them until exit.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/icmp_echo.h"

namespace zelquo::platform {

struct IcmpFunctions {
  using CreateFileFunction = HANDLE(WINAPI*)();
  using SendEchoFunction = DWORD(WINAPI*)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD);
  using CloseHandleFunction = BOOL(WINAPI*)(HANDLE);

  CreateFileFunction create_file = nullptr;
  SendEchoFunction send_echo = nullptr;
  CloseHandleFunction close_handle = nullptr;
};

// Starts Windows Sockets 1.1, loads ICMP.DLL and looks up IcmpCreateFile, IcmpSendEcho and
// IcmpCloseHandle. Nothing when any step fails. The library stays loaded for the process.
[[nodiscard]] std::optional<IcmpFunctions> LoadIcmpFunctions();

// A binding made at most once: the first Functions() call runs the loader, later calls return
// what it gave.
class CIcmpBinding {
 public:
  using Loader = std::function<std::optional<IcmpFunctions>()>;

  explicit CIcmpBinding(Loader loader = &LoadIcmpFunctions) : loader_(std::move(loader)) {}
  CIcmpBinding(const CIcmpBinding&) = delete;
  CIcmpBinding& operator=(const CIcmpBinding&) = delete;

  // The bound entry points, or nullptr when the binding failed.
  [[nodiscard]] const IcmpFunctions* Functions();

 private:
  Loader loader_;
  std::once_flag once_;
  std::optional<IcmpFunctions> functions_;
};

// The binding every trace of this process uses.
[[nodiscard]] CIcmpBinding& ProcessIcmpBinding();

// One echo through the given entry points: its own handle, the time-to-live, the 32-byte payload.
[[nodiscard]] EchoReply SendIcmpEchoWith(const IcmpFunctions& functions, std::uint32_t target, int ttl,
                                         std::chrono::milliseconds timeout);

// The echo service over a binding of one's own (the process binding by default).
[[nodiscard]] EchoService IcmpEchoService(CIcmpBinding& binding);

}  // namespace zelquo::platform

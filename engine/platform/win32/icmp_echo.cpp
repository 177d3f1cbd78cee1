// ICMP echoes through the system's ICMP echo service (ICMP.DLL), bound once per process.
#include "platform/win32/icmp_binding.h"

#include <array>
#include <cstring>
#include <string>

namespace zelquo::platform {

namespace {

// The reply buffer holds one reply record, the echoed payload and the 8 bytes of an ICMP error
// message, as IcmpSendEcho asks. The record is 28 bytes in a 32-bit process and 40 in a 64-bit
// one, so the buffer is sized from the structure rather than fixed.
constexpr DWORD kReplyBufferSize = sizeof(ICMP_ECHO_REPLY) + kEchoPayloadSize + 8;

// A reply count other than one with no error code set still has to read as a failure.
constexpr std::uint32_t kFallbackError = IP_GENERAL_FAILURE;

// Owns one ICMP handle of the given entry points.
class CIcmpHandle {
 public:
  explicit CIcmpHandle(const IcmpFunctions& functions) : functions_(functions), handle_(functions.create_file()) {}
  CIcmpHandle(const CIcmpHandle&) = delete;
  CIcmpHandle& operator=(const CIcmpHandle&) = delete;
  ~CIcmpHandle() {
    if (*this) functions_.close_handle(handle_);
  }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  [[nodiscard]] HANDLE Get() const { return handle_; }

 private:
  const IcmpFunctions& functions_;
  HANDLE handle_;
};

// GetProcAddress's result as the entry point's own type; the detour through void (*)() is the
// cast the compiler accepts between unrelated function types.
template <typename Function>
Function ProcAddress(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

std::optional<IcmpFunctions> LoadIcmpFunctions() {
  WSADATA data{};
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return std::nullopt;
  HMODULE library = LoadLibraryA("ICMP.DLL");
  if (library == nullptr) {
    WSACleanup();
    return std::nullopt;
  }
  IcmpFunctions functions;
  functions.create_file = ProcAddress<IcmpFunctions::CreateFileFunction>(library, "IcmpCreateFile");
  functions.send_echo = ProcAddress<IcmpFunctions::SendEchoFunction>(library, "IcmpSendEcho");
  functions.close_handle = ProcAddress<IcmpFunctions::CloseHandleFunction>(library, "IcmpCloseHandle");
  if (functions.create_file == nullptr || functions.send_echo == nullptr || functions.close_handle == nullptr) {
    FreeLibrary(library);
    WSACleanup();
    return std::nullopt;
  }
  // The library and the sockets layer stay for the rest of the process: the binding is never
  // released.
  return functions;
}

const IcmpFunctions* CIcmpBinding::Functions() {
  std::call_once(once_, [this] { functions_ = loader_(); });
  return functions_ ? &*functions_ : nullptr;
}

CIcmpBinding& ProcessIcmpBinding() {
  static CIcmpBinding binding;
  return binding;
}

EchoReply SendIcmpEchoWith(const IcmpFunctions& functions, std::uint32_t target, int ttl,
                           std::chrono::milliseconds timeout) {
  const CIcmpHandle handle(functions);
  if (!handle) return {EchoReply::Outcome::kNoService, 0, 0};

  IP_OPTION_INFORMATION options{};
  options.Ttl = static_cast<UCHAR>(ttl > 255 ? 255 : ttl);
  options.Tos = 0;
  options.Flags = 0;
  options.OptionsSize = 0;
  options.OptionsData = nullptr;

  std::array<unsigned char, kEchoPayloadSize> payload;
  payload.fill(kEchoPayloadByte);
  alignas(ICMP_ECHO_REPLY) std::array<unsigned char, kReplyBufferSize> reply_buffer{};

  const DWORD replies = functions.send_echo(
      handle.Get(), static_cast<IPAddr>(target), payload.data(), static_cast<WORD>(payload.size()), &options,
      reply_buffer.data(), static_cast<DWORD>(reply_buffer.size()), static_cast<DWORD>(timeout.count()));
  if (replies == 1) {
    // One reply names the node that answered: the target for an echo reply, or the router that
    // reports the echo (time-to-live expired in transit, destination unreachable) in Status.
    ICMP_ECHO_REPLY reply;
    std::memcpy(&reply, reply_buffer.data(), sizeof reply);
    return {EchoReply::Outcome::kReply, static_cast<std::uint32_t>(reply.Address), 0};
  }
  const DWORD error = GetLastError();
  // A service that refuses to send at all (Wine without the right to open ICMP sockets answers
  // every echo so) tells nothing about the route: the trace fails as when no handle opens.
  if (error == ERROR_ACCESS_DENIED) return {EchoReply::Outcome::kNoService, 0, 0};
  return {EchoReply::Outcome::kNoReply, 0, error != 0 ? static_cast<std::uint32_t>(error) : kFallbackError};
}

EchoService IcmpEchoService(CIcmpBinding& binding) {
  EchoService service;
  service.bind = [&binding] { return binding.Functions() != nullptr; };
  service.resolve = &ResolveHostIpv4;
  service.send = [&binding](std::uint32_t target, int ttl, std::chrono::milliseconds timeout) {
    const IcmpFunctions* functions = binding.Functions();
    if (functions == nullptr) return EchoReply{EchoReply::Outcome::kNoService, 0, 0};
    return SendIcmpEchoWith(*functions, target, ttl, timeout);
  };
  return service;
}

bool BindIcmpEcho() { return ProcessIcmpBinding().Functions() != nullptr; }

std::optional<std::uint32_t> ResolveHostIpv4(std::string_view name) {
  // gethostbyname needs the sockets layer, which the binding has started.
  const std::string host(name);
  const hostent* entry = gethostbyname(host.c_str());
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list == nullptr ||
      entry->h_addr_list[0] == nullptr) {
    return std::nullopt;
  }
  std::uint32_t address = 0;
  std::memcpy(&address, entry->h_addr_list[0], sizeof address);
  return address;
}

EchoReply SendIcmpEcho(std::uint32_t target, int ttl, std::chrono::milliseconds timeout) {
  const IcmpFunctions* functions = ProcessIcmpBinding().Functions();
  if (functions == nullptr) return {EchoReply::Outcome::kNoService, 0, 0};
  return SendIcmpEchoWith(*functions, target, ttl, timeout);
}

}  // namespace zelquo::platform

// News of address and route changes on Windows: the IP helper calls back on a thread of its
// own for each unicast address or route added, changed or removed; the callbacks only set an
// event, which the listener waits on beside its stop event.
#include "cycle/win32/ip_change_notifications.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

namespace zelquo {
namespace win32 {
namespace {

class CEvent {
 public:
  CEvent() : handle_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  ~CEvent() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;
  [[nodiscard]] HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

class CIpHelperChangeSource final : public CNetworkChangeSource {
 public:
  explicit CIpHelperChangeSource(const IpChangeNotifyCalls& calls) : calls_(calls) {}

  ~CIpHelperChangeSource() override {
    // Cancelling waits for a callback under way, so none can touch the event after this.
    if (address_handle_ != nullptr) calls_.cancel(address_handle_);
    if (route_handle_ != nullptr) calls_.cancel(route_handle_);
  }

  bool Register() {
    if (changed_.Get() == nullptr || stopped_.Get() == nullptr) return false;
    if (calls_.notify_address(AF_UNSPEC, &OnAddressChange, this, FALSE, &address_handle_) != NO_ERROR) {
      address_handle_ = nullptr;
    }
    if (calls_.notify_route(AF_UNSPEC, &OnRouteChange, this, FALSE, &route_handle_) != NO_ERROR) {
      route_handle_ = nullptr;
    }
    return address_handle_ != nullptr || route_handle_ != nullptr;
  }

  NetworkNews WaitForChange(std::chrono::milliseconds timeout) override {
    const HANDLE handles[] = {stopped_.Get(), changed_.Get()};
    const auto wait = static_cast<DWORD>(std::clamp<std::int64_t>(timeout.count(), 0, INFINITE - 1));
    switch (WaitForMultipleObjects(2, handles, FALSE, wait)) {
      case WAIT_OBJECT_0 + 1: return NetworkNews::kChanged;
      case WAIT_TIMEOUT: return NetworkNews::kQuiet;
      default: return NetworkNews::kEnded;
    }
  }

  void Stop() override { SetEvent(stopped_.Get()); }

 private:
  static void WINAPI OnAddressChange(void* context, MIB_UNICASTIPADDRESS_ROW* /*row*/, MIB_NOTIFICATION_TYPE /*type*/) {
    SetEvent(static_cast<CIpHelperChangeSource*>(context)->changed_.Get());
  }
  static void WINAPI OnRouteChange(void* context, MIB_IPFORWARD_ROW2* /*row*/, MIB_NOTIFICATION_TYPE /*type*/) {
    SetEvent(static_cast<CIpHelperChangeSource*>(context)->changed_.Get());
  }

  IpChangeNotifyCalls calls_;
  CEvent changed_;  // auto-reset: one wait takes every notification before it
  CEvent stopped_;
  HANDLE address_handle_ = nullptr;  // ours; cancelled, not closed
  HANDLE route_handle_ = nullptr;
};

}  // namespace

std::unique_ptr<CNetworkChangeSource> OpenIpHelperChangeSource(const IpChangeNotifyCalls& calls) {
  auto source = std::make_unique<CIpHelperChangeSource>(calls);
  if (!source->Register()) return nullptr;
  return source;
}

}  // namespace win32

std::unique_ptr<CNetworkChangeSource> OpenNetworkChangeSource() {
  return win32::OpenIpHelperChangeSource(win32::IpChangeNotifyCalls{});
}

}  // namespace zelquo

// The IP helper's change notifications behind a table whose defaults are the real calls, so that
// tests can deliver a notification where the system (Wine) sends none.
#pragma once

#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include <memory>

#include "cycle/network_change_source.h"

namespace zelquo::win32 {

struct IpChangeNotifyCalls {
  decltype(&::NotifyUnicastIpAddressChange) notify_address = &::NotifyUnicastIpAddressChange;
  decltype(&::NotifyRouteChange2) notify_route = &::NotifyRouteChange2;
  decltype(&::CancelMibChangeNotify2) cancel = &::CancelMibChangeNotify2;
};

// A source fed by unicast address and route change notifications for IPv4 and IPv6; nullptr
// when neither registration succeeds.
[[nodiscard]] std::unique_ptr<CNetworkChangeSource> OpenIpHelperChangeSource(const IpChangeNotifyCalls& calls);

}  // namespace zelquo::win32

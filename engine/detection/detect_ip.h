// The detection-method dispatcher: which IPv4 address the provider is to publish, by the
// user's method. The answer is a dotted address, empty text (let the provider take the address
// the request comes from) or kDetectionAbort (the network-card method failed).
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "address_marker.h"
#include "detection/ip_check_servers.h"
#include "detection/local_addresses.h"
#include "platform/adapter_source.h"
#include "reporting/message_sinks.h"
#include "settings/settings.h"

namespace zelquo {

enum class DetectionMethod { kClientSide = 0, kServerSide = 1, kBoth = 2, kStaticAddress = 3, kNetworkCard = 4 };

// The progress message each method logs before it detects.
inline constexpr char kClientSideMessage[] = "Detecting IP address from client side.";
inline constexpr char kServerSideMessage[] = "Detecting IP address from server side.";
inline constexpr char kBothSidesMessage[] = "Detecting IP from both client and server side.";
inline constexpr char kStaticAddressMessage[] = "Using provided IP address.";
inline constexpr char kNetworkCardMessage[] = "Detecting IP address based on mac address.";

struct DetectionContext {
  const CSettingsFile& settings;
  MessageSink activity = {};  // progress messages; may be empty
  // The tray program and the service rewrite the network-card method as server side before
  // detecting; the console utility keeps it.
  bool retire_network_card_method = false;
  std::vector<IpCheckAttempt> ip_check_attempts = ProductionIpCheckAttempts();
  std::chrono::milliseconds http_timeout = kHttpGetLineTimeout;
  IpCheckAttempt ip_check_from_server = ProductionIpCheckFromServer();
  std::chrono::seconds ip_check_from_timeout = kIpCheckFromTimeout;
  platform::AdapterSourceFactory adapter_source = platform::CreateSystemAdapterSource;
  LocalAddressSource local_addresses = LocalHostAddressList;
};

[[nodiscard]] std::string DetectIpAddress(const DetectionContext& context);

// The address of the network card whose MAC text equals mac exactly, or kDetectionAbort.
[[nodiscard]] std::string DetectIpByMac(std::string_view mac,
                                        const platform::AdapterSourceFactory& adapter_source =
                                            platform::CreateSystemAdapterSource);

}  // namespace zelquo

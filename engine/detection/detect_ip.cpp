#include "detection/detect_ip.h"

#include "detection/adapter_table.h"
#include "detection/local_addresses.h"

namespace zelquo {

namespace {

// Every step reads the method afresh, so a rewrite of the network-card method that did not
// reach the file leaves that method in force.
int ReadMethod(const CSettingsFile& settings) { return settings.Read(keys::kIpMethod); }

bool IsMethod(const CSettingsFile& settings, DetectionMethod method) {
  return ReadMethod(settings) == static_cast<int>(method);
}

void Log(const DetectionContext& context, const char* message) {
  if (context.activity) context.activity(message);
}

// The address list's items in order: the text before each "&".
template <typename Visitor>
bool FindInAddressList(std::string_view list, Visitor&& accept, std::string& found) {
  while (!list.empty()) {
    const std::size_t end = list.find('&');
    const std::string_view address = list.substr(0, end);
    list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
    if (accept(address)) {
      found = std::string(address);
      return true;
    }
  }
  return false;
}

bool FirstNonLoopback(std::string_view list, std::string& found) {
  return FindInAddressList(list, [](std::string_view address) { return address != "127.0.0.1"; }, found);
}

std::string DetectThroughNetworkCard(const DetectionContext& context) {
  Log(context, kNetworkCardMessage);
  const std::string mac = context.settings.Read(keys::kMacId);
  const int sub_method = context.settings.Read(keys::kMacIpMethod);
  if (sub_method != 1) return DetectIpByMac(mac, context.adapter_source);  // the card's own address

  // The router's address as seen through that card.
  const std::string card_address = DetectIpByMac(mac, context.adapter_source);
  if (card_address == kDetectionAbort) return kDetectionAbort;
  const std::string router_address =
      QueryIpCheckFrom(card_address, context.ip_check_from_server, context.ip_check_from_timeout);
  if (IsIgnoredAddress(router_address, context.settings)) return kDetectionAbort;
  return router_address;
}

std::string DetectFromServerSide(const DetectionContext& context) {
  Log(context, kServerSideMessage);
  const std::string answer = QueryIpCheckServers(context.ip_check_attempts, context.http_timeout);
  return answer.rfind("ip", 0) == 0 ? answer.substr(2) : std::string();
}

std::string StaticAddress(const DetectionContext& context) {
  Log(context, kStaticAddressMessage);
  const CSettingsFile& settings = context.settings;
  return settings.Read(keys::kStaticOctet1) + "." + settings.Read(keys::kStaticOctet2) + "." +
         settings.Read(keys::kStaticOctet3) + "." + settings.Read(keys::kStaticOctet4);
}

}  // namespace

std::string DetectIpAddress(const DetectionContext& context) {
  const CSettingsFile& settings = context.settings;
  if (context.retire_network_card_method && IsMethod(settings, DetectionMethod::kNetworkCard)) {
    settings.Write(keys::kIpMethod, static_cast<int>(DetectionMethod::kServerSide));
  }
  if (IsMethod(settings, DetectionMethod::kNetworkCard)) return DetectThroughNetworkCard(context);
  if (IsMethod(settings, DetectionMethod::kServerSide)) return DetectFromServerSide(context);
  if (IsMethod(settings, DetectionMethod::kStaticAddress)) return StaticAddress(context);

  const std::string local = GetLocalAddressList(settings, context.local_addresses);
  std::string found;
  if (IsMethod(settings, DetectionMethod::kBoth)) {
    Log(context, kBothSidesMessage);
    const std::string answer = QueryIpCheckServers(context.ip_check_attempts, context.http_timeout);
    if (answer.rfind("ip", 0) == 0) {
      // Only an address the machine holds itself; behind a NAT nothing matches.
      const std::string_view seen = std::string_view(answer).substr(2);
      if (FindInAddressList(local, [&](std::string_view address) { return address == seen; }, found)) return found;
    } else if (answer.empty() && FirstNonLoopback(local, found)) {
      return found;  // no server answered: the machine's first address
    }
  }
  if (IsMethod(settings, DetectionMethod::kClientSide)) {
    Log(context, kClientSideMessage);
    return FirstNonLoopback(local, found) ? found : std::string();
  }
  return std::string();
}

std::string DetectIpByMac(std::string_view mac, const platform::AdapterSourceFactory& adapter_source) {
  CAdapterTable table(adapter_source ? adapter_source() : nullptr);
  if (table.Init() < 0) return kDetectionAbort;
  std::vector<AdapterEntry> entries(table.Walk(false, false));
  entries.resize(table.Fill(entries));
  // From the last entry to the first: of a card's several addresses, the one listed last wins.
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    if (MacText(*entry) == mac) return AddressText(*entry);
  }
  return kDetectionAbort;
}

}  // namespace zelquo

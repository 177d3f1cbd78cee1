#include "logic/connection_type_page.h"

#include "detection/detect_ipv6.h"

namespace zelquo::gui {

namespace {

// The octet keys are text to the engine, which joins them into the address; the page stores
// and reads them as integers.
const keys::TextKey* const kOctetKeys[] = {&keys::kStaticOctet1, &keys::kStaticOctet2, &keys::kStaticOctet3,
                                           &keys::kStaticOctet4};

}  // namespace

ConnectionType ReadConnectionType(const CSettingsFile& settings) {
  ConnectionType choice;
  const int method = settings.Read(keys::kIpMethod);
  if (method >= static_cast<int>(IpMethodChoice::kClientSide) && method <= static_cast<int>(IpMethodChoice::kNetworkCard)) {
    choice.method = static_cast<IpMethodChoice>(method);
  }
  for (std::size_t i = 0; i < choice.static_address.size(); ++i) {
    choice.static_address[i] = settings.ReadInt(kOctetKeys[i]->name, 0);
  }
  choice.use_alternative_port = settings.Read(keys::kServerPort) == kAlternativeUpdatePort;
  choice.use_https = settings.ReadBool(keys::kUseHttps.name, false);
  choice.update_ipv6 = IsIpv6UpdateOn(settings);
  return choice;
}

void SaveConnectionType(const PageContext& context, const ConnectionType& choice) {
  const CSettingsFile& settings = context.settings;
  settings.Write(keys::kIpMethod, static_cast<int>(choice.method));
  if (choice.method == IpMethodChoice::kStaticAddress) {
    for (std::size_t i = 0; i < choice.static_address.size(); ++i) {
      settings.WriteInt(kOctetKeys[i]->name, choice.static_address[i]);
    }
  } else {
    settings.Write(keys::kIpAddress, "");
  }
  settings.Write(keys::kServerPort, choice.use_alternative_port ? kAlternativeUpdatePort : kDefaultUpdatePort);
  const bool was_on = IsIpv6UpdateOn(settings);
  if (choice.update_ipv6 || was_on) settings.WriteInt(keys::kUpdateIpV6.name, choice.update_ipv6 ? 1 : 0);
  if (was_on && !choice.update_ipv6) settings.Write(keys::kUpdatedIpV6, "");
  if (choice.use_https != settings.ReadBool(keys::kUseHttps.name, false)) {
    settings.Write(keys::kUseHttps, choice.use_https ? "1" : "0");
  }
  context.RequestFreshUpdate();
}

}  // namespace zelquo::gui

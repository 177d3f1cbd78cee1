// The IP-change check and its route-trace test. Times are minutes of the day, compared without
// any notion of date: the elapsed time is |now - stored|, so an update stored at 23:50 looks
// 1425 minutes old at 00:05, and one stored yesterday at 10:00 looks 10 minutes old at 10:10.
#include "change_check/ip_change_check.h"

#include <cstdlib>
#include <string>

#include "detection/detect_ip.h"
#include "detection/detect_ipv6.h"
#include "detection/local_addresses.h"

namespace zelquo {

namespace {

constexpr int kUpdateMaxAgeMinutes = 30;  // older than this: always update
constexpr int kTraceWindowMinutes = 5;    // confirmed more recently than this: try a trace
constexpr char kIpCheckPrefix[] = "ip";

constexpr char kCurrentAddressLog[] = "Current IP address is ";
constexpr char kIpv6ChangedLog[] = "IPv6 address changed to ";
constexpr char kUnchangedByTraceLog[] = "IP address found to be unchanged through trace route.";
constexpr char kUnchangedByServerLog[] = "IP address found to be unchanged through server side check.";
constexpr char kUnchangedByClientLog[] = "IP address found to be unchanged through client side check.";

// How each detection method confirms the stored address.
enum class Confirmation { kTraceThenServer, kLocalAddressList, kStaticAddress, kNone };

Confirmation ConfirmationFor(int method) {
  switch (static_cast<DetectionMethod>(method)) {
    case DetectionMethod::kServerSide:
    case DetectionMethod::kBoth:
      return Confirmation::kTraceThenServer;
    case DetectionMethod::kClientSide:
    case DetectionMethod::kNetworkCard:
      return Confirmation::kLocalAddressList;
    case DetectionMethod::kStaticAddress:
      return Confirmation::kStaticAddress;
  }
  return Confirmation::kNone;
}

int ElapsedMinutes(int now, int then) { return std::abs(now - then); }

// Every "ip" removed in one left-to-right pass (so "iipp" leaves "ip").
std::string WithoutIpLetters(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    if (text.compare(at, 2, kIpCheckPrefix) == 0) {
      at += 2;
    } else {
      out += text[at++];
    }
  }
  return out;
}

// True when an item of the "&"-terminated list equals address.
bool ListHolds(std::string_view list, std::string_view address) {
  while (!list.empty()) {
    const std::size_t end = list.find('&');
    if (list.substr(0, end) == address) return true;
    if (end == std::string_view::npos) break;
    list.remove_prefix(end + 1);
  }
  return false;
}

std::string StaticAddress(const CSettingsFile& settings) {
  return settings.Read(keys::kStaticOctet1) + "." + settings.Read(keys::kStaticOctet2) + "." +
         settings.Read(keys::kStaticOctet3) + "." + settings.Read(keys::kStaticOctet4);
}

}  // namespace

bool IsUpdateDue(const ChangeCheckContext& context) {
  const CSettingsFile& settings = context.settings;
  const auto log = [&context](const std::string& line) {
    if (context.activity) context.activity(line);
  };

  const std::string updated_ip = settings.Read(keys::kUpdatedIp);
  const int updated_minutes = settings.Read(keys::kUpdatedMinutes);
  const int check_minutes = settings.Read(keys::kCheckMinutes);
  if (updated_ip.empty() || updated_minutes == 0) return true;

  const int now = context.minute_of_day();
  if (ElapsedMinutes(now, updated_minutes) > kUpdateMaxAgeMinutes) return true;

  log(kCurrentAddressLog + updated_ip);

  // With the IPv6 update on, an IPv6 address other than the one last sent makes an update due.
  const auto ipv6_changed = [&] {
    if (!IsIpv6UpdateOn(settings)) return false;
    const std::string ipv6 = context.detect_ipv6 ? context.detect_ipv6()
                                                 : DetectIpv6Address(Ipv6DetectionContext{
                                                       settings, context.ip_check_attempts, context.http_timeout});
    if (ipv6 == settings.Read(keys::kUpdatedIpV6)) return false;
    log(kIpv6ChangedLog + (ipv6.empty() ? std::string("none") : ipv6));
    return true;
  };

  switch (ConfirmationFor(settings.Read(keys::kIpMethod))) {
    case Confirmation::kTraceThenServer: {
      // A trace spares the IP-check servers both questions: the IPv6 address is asked of them
      // only when the IPv4 one is.
      if (ElapsedMinutes(now, check_minutes) < kTraceWindowMinutes && TraceRouteCheck(updated_ip, context.tracer)) {
        log(kUnchangedByTraceLog);
        return false;
      }
      if (ipv6_changed()) return true;
      const std::string detected =
          WithoutIpLetters(QueryIpCheckServers(context.ip_check_attempts, context.http_timeout));
      if (!detected.empty() && detected == updated_ip) {
        log(kUnchangedByServerLog);
        settings.Write(keys::kCheckMinutes, now);
        return false;
      }
      return true;
    }
    case Confirmation::kLocalAddressList:
      if (ipv6_changed()) return true;
      if (ListHolds(GetLocalAddressList(settings), updated_ip)) {
        log(kUnchangedByClientLog);
        return false;
      }
      return true;
    case Confirmation::kStaticAddress:
      if (ipv6_changed()) return true;
      if (StaticAddress(settings) == updated_ip) {
        log(kUnchangedByClientLog);
        return false;
      }
      return true;
    case Confirmation::kNone:
      break;
  }
  return true;
}

bool TraceRouteCheck(std::string_view address, const RouteTracer& tracer) {
  const TraceResult trace = tracer(address, kTraceMaxHops, kTraceEchoTimeout, kTraceEchoesPerHop);
  if (!trace.ok) return false;
  // A first hop that does not answer says nothing against the address: it is taken as unchanged.
  if (!trace.hops.empty() && trace.hops.front().status != 0) return true;
  for (const HopRecord& hop : trace.hops) {
    if (FormatDottedQuad(hop.address) == address) return true;
  }
  return false;
}

}  // namespace zelquo

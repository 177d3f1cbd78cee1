#include "sign_off.h"

#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "crypto/scramble.h"
#include "protocol/update_exchange.h"
#include "protocol/update_url.h"

namespace zelquo::gui {

namespace {

// How long past the fetch's own limit Exit waits before it goes on without the answer.
constexpr std::chrono::seconds kFetchMargin{1};

// The plain fetch, waited for at most its own overall limit (and a margin). Wine's URL opener
// keeps waiting for the head of a server that accepted the connection and never answers, past
// every time-out and a closed session; such a fetch is left behind on its own thread, which
// ends with the process, so that Exit still ends.
void FetchWithinLimit(std::string url, std::chrono::milliseconds timeout) {
  auto finished = std::make_shared<std::promise<void>>();
  std::future<void> done = finished->get_future();
  std::thread([url = std::move(url), timeout, finished] {
    (void)OpenUrlLine(url, timeout);
    finished->set_value();
  }).detach();
  (void)done.wait_for(WholeExchangeLimit(timeout) + kFetchMargin);
}

// Entries that read empty are sent as they are.
std::vector<SignOffRequest> StoredSignOffRequests(const CSettingsFile& settings) {
  SignOffRequest common;
  common.clear_password = UnscrambleText(settings.Read(keys::kPassword));
  const int host_count = settings.ReadCount(keys::kDomainNames);
  const int alias_count = settings.ReadCount(keys::kAliases);

  std::vector<SignOffRequest> requests;
  if (host_count == 0 && alias_count == 0) {
    SignOffRequest account = common;
    account.kind = RequestKind::kAccount;
    account.user_name = settings.Read(keys::kUsername);
    account.location = settings.Read(keys::kLocation);
    if (!account.user_name.empty() && !account.clear_password.empty()) requests.push_back(account);
    return requests;
  }
  for (int n = 1; n <= host_count; ++n) {
    SignOffRequest host = common;
    host.kind = RequestKind::kHost;
    host.host_name = settings.ReadEntry(keys::kDomainNames, n);
    requests.push_back(host);
  }
  for (int n = 1; n <= alias_count; ++n) {
    SignOffRequest alias = common;
    alias.kind = RequestKind::kAlias;
    alias.alias = settings.ReadEntry(keys::kAliases, n, keys::kAliasLabel);
    alias.host_name = settings.ReadEntry(keys::kAliases, n, keys::kAliasHostName);
    requests.push_back(alias);
  }
  return requests;
}

}  // namespace

void SignOff(const SignOffContext& context) {
  const std::optional<std::string> base = ReadSignOffBase(context.settings, context.api_host);
  if (!base) return;
  // The sign-off carries the password itself: with HTTPS on it goes nowhere else.
  const bool secure = context.settings.ReadBool(keys::kUseHttps.name, false);
  for (const SignOffRequest& request : StoredSignOffRequests(context.settings)) {
    const std::string url = BuildSignOffUrl(*base, request);
    // The answer tells the user nothing they could act on while the program ends.
    FetchWithinLimit(secure ? SecureFormOf(url) : url, context.timeout);
  }
}

}  // namespace zelquo::gui

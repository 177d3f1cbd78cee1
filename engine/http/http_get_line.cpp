#include "http/http_get_line.h"

#include "crypto/scramble.h"
#include "http/http_url.h"
#include "platform/http_transport.h"
#include "provider_config.h"

namespace zelquo {

namespace {

// A line ends at its first NUL byte, as the C string its readers take it for. The tray program's
// activity page shows its whole log as one C string: an answer with a NUL in it would hide the
// rest of that entry and every older one. A captive portal's page, or a proxy's page in UTF-16,
// brings such bytes.
std::string UpToFirstNul(std::string line) {
  if (const auto nul = line.find('\0'); nul != std::string::npos) line.resize(nul);
  return line;
}

const char* TlsErrorText(platform::TlsFailure failure) {
  switch (failure) {
    case platform::TlsFailure::kUntrusted:
      return kErrorTlsUntrusted;
    case platform::TlsFailure::kExpired:
      return kErrorTlsExpired;
    case platform::TlsFailure::kWrongName:
      return kErrorTlsWrongName;
    case platform::TlsFailure::kNoTls:
      return kErrorTlsNoTls;
    case platform::TlsFailure::kNone:
    case platform::TlsFailure::kOther:
      break;
  }
  return kErrorTlsOther;
}

std::string GetLine(std::string_view url, bool secure, std::uint16_t port, std::chrono::milliseconds timeout) {
  platform::HttpGetRequest request;
  request.url = EscapeForRequestLine(url);
  request.secure = secure;
  request.port = port;
  // The header line is kept scrambled in the program and unscrambled afresh for every request.
  request.extra_header_line = UnscrambleText(provider::kScrambledClientHeaderLine);
  request.timeout = timeout;
  request.whole_limit = WholeExchangeLimit(timeout);

  const platform::HttpGetOutcome outcome = platform::HttpGetFirstLine(request);
  switch (outcome.kind) {
    case platform::HttpGetOutcome::Kind::kMalformedUrl:
      return kErrorMalformedUrl;
    case platform::HttpGetOutcome::Kind::kTransportFailure:
      return kErrorServerError;
    case platform::HttpGetOutcome::Kind::kTlsFailure:
      return TlsErrorText(outcome.tls_failure);
    case platform::HttpGetOutcome::Kind::kStatus:
      break;
  }
  return outcome.status == 200 ? UpToFirstNul(outcome.first_line) : HttpStatusErrorText(outcome.status);
}

}  // namespace

std::string HttpStatusErrorText(int status) {
  // Tested in this order; the specific codes come before the ranges they lie in.
  if (status == 401) return "Error: Access denied.";
  if (status == 400) return "Error:Unintelligble request.";
  if (status == 404) return "Error:Requested URL not found.";
  if (status == 405) return "Error:Server does not support requested method.";
  if (status == 500) return "Error:Unknown server error.";
  if (status == 503) return "Error:Server capacity reached.";
  if (status >= 400 && status <= 499) return "Error:Request Error.";
  if (status >= 501) return kErrorServerError;
  return "Error:Unknown Error.";
}

std::string EscapeForRequestLine(std::string_view url) {
  std::string escaped;
  escaped.reserve(url.size());
  for (const char c : url) {
    if (c == ' ') {
      escaped += "%20";
    } else if (c == '#') {
      escaped += "%23";
    } else if (c == '\\') {
      escaped += "%5C";
    } else {
      escaped.push_back(c);
    }
  }
  return escaped;
}

bool IsTlsErrorText(std::string_view answer) {
  constexpr std::string_view kStem = "Error:Secure connection failed";
  return answer.starts_with(kStem);
}

std::string HttpGetLine(std::string_view url, std::uint16_t port, std::chrono::milliseconds timeout) {
  return GetLine(url, /*secure=*/false, port, timeout);
}

std::string HttpsGetLine(std::string_view url, std::chrono::milliseconds timeout) {
  return GetLine(url, /*secure=*/true, kDefaultPort(UrlScheme::kHttps), timeout);
}

std::string OpenUrlLine(std::string_view url, std::chrono::milliseconds timeout) {
  return UpToFirstNul(platform::OpenUrlFirstLine(EscapeForRequestLine(url), timeout, WholeExchangeLimit(timeout))
                          .value_or(std::string()));
}

}  // namespace zelquo

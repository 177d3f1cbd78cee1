// One provider exchange: a GET request that yields one line of text. Callers never see status
// codes, headers or exceptions: they get the first body line of a 200 answer, or a text that
// begins with "Error".
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelquo {

// Every phase of an exchange (connect, send, receive) gives up after this long.
inline constexpr std::chrono::milliseconds kHttpGetLineTimeout{120000};
inline constexpr std::chrono::milliseconds kOpenUrlLineTimeout{90000};

// The whole exchange, from connecting to the end of the answer line, gets one phase time-out
// for each of its three phases. Per-phase time-outs alone never end an exchange with a peer that
// keeps sending a byte now and then.
template <class Rep, class Period>
[[nodiscard]] constexpr std::chrono::duration<Rep, Period> WholeExchangeLimit(
    std::chrono::duration<Rep, Period> phase_timeout) {
  return phase_timeout * 3;
}

inline constexpr char kErrorMalformedUrl[] = "Error:Malformed url.";
inline constexpr char kErrorServerError[] = "Error:Server Error.";

// GET url (an absolute "http://" URL, sent as it is but for the bytes EscapeForRequestLine
// escapes) on the given port, whatever port the URL names, with the client header line added.
// The result is the first line of a 200 answer (without CR bytes and the line feed, and cut at
// its first NUL byte, so that it is whole as a C string) or one of the "Error" texts of
// HttpStatusErrorText, kErrorMalformedUrl (no traffic at all) or kErrorServerError (resolution,
// connection, time-out or transfer failure, a first line longer than kMaxFirstLineLength, or an
// exchange that outlasts WholeExchangeLimit(timeout)).
[[nodiscard]] std::string HttpGetLine(std::string_view url, std::uint16_t port,
                                      std::chrono::milliseconds timeout = kHttpGetLineTimeout);

// The same over HTTPS to port 443: url is an absolute "https://" URL (any other is
// kErrorMalformedUrl). A connection whose certificate or TLS version does not pass gives the
// TlsErrorText of its failure, and nothing is sent over it.
[[nodiscard]] std::string HttpsGetLine(std::string_view url, std::chrono::milliseconds timeout = kHttpGetLineTimeout);

// Fetches any URL the platform's URL opener accepts, directly (no proxy), without the client
// header line and without looking at the status; the first body line (cut at a NUL byte as
// HttpGetLine's is), or empty text on failure. The URL goes out escaped as HttpGetLine's does.
[[nodiscard]] std::string OpenUrlLine(std::string_view url,
                                      std::chrono::milliseconds timeout = kOpenUrlLineTimeout);

// The URL with each space written %20, each '#' %23 and each backslash %5C, so that both HTTP
// clients put the same bytes on the wire: libcurl would cut the URL at a '#' (taking it for a
// fragment) and send neither the rest of the query nor the password in it, and WinInet turns a
// backslash into a slash. Nothing else is changed, '%' included.
[[nodiscard]] std::string EscapeForRequestLine(std::string_view url);

inline constexpr char kErrorTlsUntrusted[] =
    "Error:Secure connection failed: the server's certificate is not from an authority this system trusts.";
inline constexpr char kErrorTlsExpired[] =
    "Error:Secure connection failed: the server's certificate has expired or is not valid yet.";
inline constexpr char kErrorTlsWrongName[] =
    "Error:Secure connection failed: the server's certificate is for another name.";
inline constexpr char kErrorTlsNoTls[] = "Error:Secure connection failed: the server offers no TLS 1.2 or newer.";
inline constexpr char kErrorTlsOther[] = "Error:Secure connection failed.";

// True for the texts of a failed secure connection, all of which begin as kErrorTlsOther does.
[[nodiscard]] bool IsTlsErrorText(std::string_view answer);

// The result text for a status other than 200.
[[nodiscard]] std::string HttpStatusErrorText(int status);

}  // namespace zelquo

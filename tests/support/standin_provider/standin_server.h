// A small HTTP/1.1 server that tests put in place of the dynamic-DNS provider: it records every
// request it receives and answers each path with replies the test chose in advance.
//
// One request per connection. Each connection is served on its own thread: the server reads the
// request head (everything up to the blank line), records it, then answers as the path's reply
// says. Request bodies are not read. A path with no reply gets 404 with an empty body; a head it
// cannot parse gets 400, a head over 64 KiB gets 431; both are recorded all the same, with
// `problem` saying what was wrong, so a test can see what a faulty client sent. A HEAD request
// gets the answer's head only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace standin {

// The longest request head read, blank line included; a longer one is answered 431.
inline constexpr std::size_t kMaxRequestHead = 64 * 1024;

struct Reply {
  int status = 200;
  std::string reason;  // empty: the standard phrase for `status`
  std::string body;
  // Sent after Content-Length and Connection, in this order. A Content-Length or Connection
  // header given here replaces the server's own, e.g. to announce a length that never arrives.
  std::vector<std::pair<std::string, std::string>> headers;
  std::chrono::milliseconds delay{0};  // waited after recording, before answering
  enum class Mode {
    kAnswer,
    kCloseWithoutAnswer,  // read the request, then close without a byte of answer
    kNeverAnswer,         // read the request, then hold the connection silent until Stop
  } mode = Mode::kAnswer;
  std::size_t filler_bytes = 0;  // this many 'x' bytes follow the body, streamed
  // After the body (and any filler), 'x' bytes follow without end and without a line end, until
  // the client closes or the server stops. No Content-Length is sent unless `headers` gives one.
  bool endless = false;
  // Non-zero: everything after the head (body, filler, endless bytes) goes out one byte at a
  // time with this pause before each byte, as from a peer that sends slowly but never stops.
  std::chrono::milliseconds trickle_interval{0};
  // The same for the head (status line, headers and the blank line), so that a client waits on
  // the head itself.
  std::chrono::milliseconds head_trickle_interval{0};
  // After the answer, hold the connection open and silent (until the client closes it or the
  // server stops) instead of closing it. The answer still says "Connection: close".
  bool keep_open_after_answer = false;
};

[[nodiscard]] Reply Text(std::string body);                            // 200 with this body
[[nodiscard]] Reply Status(int status);                                // empty body
[[nodiscard]] Reply Redirect(std::string location, int status = 302);  // with Location

struct RecordedRequest {
  std::uint16_t local_port = 0;  // the server's side of the connection
  std::string local_address;
  std::string raw;           // every byte received up to and including the blank line
  std::string request_line;  // without the line end
  std::string method, target, version;
  std::string path;   // the target up to '?', without scheme and host for an absolute URL
  std::string query;  // after the first '?', without it; not decoded
  std::vector<std::pair<std::string, std::string>> headers;  // arrival order, names as sent
  // Empty for a well-formed head; otherwise why it was refused (400 or 431) or left incomplete.
  // The fields above then hold as much as could be parsed.
  std::string problem;

  // The value of the first header with this name (case-insensitive); empty if there is none.
  [[nodiscard]] std::string Header(std::string_view name) const;
  [[nodiscard]] std::size_t CountHeader(std::string_view name) const;
};

class Server {
 public:
  Server();
  ~Server();  // stops
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds and listens on a numeric IPv4 or IPv6 address; port 0 picks a free port. Returns the
  // bound port. May be called several times, also while running. Throws std::runtime_error.
  std::uint16_t Listen(std::string address = "127.0.0.1", std::uint16_t port = 0);
  [[nodiscard]] std::vector<std::uint16_t> Ports() const;  // in Listen order

  // Starts serving every listening socket. Throws std::logic_error without a Listen first.
  void Start();
  // Closes the listening sockets (new connections are refused) and ends every connection at
  // once, delayed and held ones included. Idempotent. Replies and records are kept; Listen and
  // Start may follow to serve again.
  void Stop();

  // `path` without the query, e.g. "/nic/update". Each call replaces what the path had.
  void SetReply(std::string path, Reply reply);
  // Answered in order; once used up, the last one repeats. Throws std::invalid_argument if empty.
  void QueueReplies(std::string path, std::vector<Reply> replies);
  // For connections to one local port only; these take precedence over the port-less ones.
  // Port 0 means the port-less entry.
  void SetReply(std::uint16_t port, std::string path, Reply reply);
  void QueueReplies(std::uint16_t port, std::string path, std::vector<Reply> replies);

  // Called on the connection's thread for each request just after it is recorded, with the
  // record's lock held (so calls come in record order): it must not call into the Server.
  void SetRequestObserver(std::function<void(const RecordedRequest&)> observer);

  [[nodiscard]] std::vector<RecordedRequest> Requests() const;
  // The request targets alone, in arrival order.
  [[nodiscard]] std::vector<std::string> Targets() const;
  [[nodiscard]] std::size_t RequestCount() const;
  void ClearRequests();
  // True once at least `count` requests are recorded; false when `timeout` ran out first.
  [[nodiscard]] bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace standin

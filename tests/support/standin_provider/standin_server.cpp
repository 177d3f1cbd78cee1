#include "standin_server.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "socket_compat.h"

namespace standin {

namespace {

using namespace std::chrono_literals;

// How often a waiting connection thread looks at the stop flag; Stop takes about this long.
constexpr auto kStopCheckInterval = 20ms;
// After the answer the server half-closes and reads what the client still sends, so that unread
// bytes do not turn the close into a reset that could destroy the answer on its way. This bounds
// how long it waits for the client's close.
constexpr auto kLingerLimit = 1000ms;
constexpr std::size_t kChunk = 64 * 1024;

unsigned char Lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return Lower(static_cast<unsigned char>(x)) == Lower(static_cast<unsigned char>(y));
         });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool IsTokenChar(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsToken(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return IsTokenChar(static_cast<unsigned char>(c));
  });
}

bool IsVisibleAscii(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c > 0x20 && c < 0x7f; });
}

// Field values: visible characters, spaces, tabs and bytes from 0x80 up; no other control bytes.
bool IsFieldValue(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u == '\t' || (u >= 0x20 && u != 0x7f);
  });
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsHttpVersion(std::string_view text) {
  return text.size() == 8 && text.substr(0, 5) == "HTTP/" && text[5] >= '0' && text[5] <= '9' &&
         text[6] == '.' && text[7] >= '0' && text[7] <= '9';
}

void SplitTarget(RecordedRequest& request) {
  std::string_view origin = request.target;
  for (const std::string_view scheme : {"http://", "https://"}) {
    if (StartsWithNoCase(origin, scheme)) {
      origin.remove_prefix(scheme.size());
      const auto authority_end = origin.find_first_of("/?");
      origin.remove_prefix(authority_end == std::string_view::npos ? origin.size() : authority_end);
      break;
    }
  }
  const auto question = origin.find('?');
  request.path = std::string(origin.substr(0, question));
  if (question != std::string_view::npos) request.query = std::string(origin.substr(question + 1));
  if (request.path.empty() && origin.data() != request.target.data()) request.path = "/";
}

// Fills `request` from the complete lines of `request.raw` up to the blank line; sets `problem`
// at the first fault. A partial last line is ignored.
void ParseHead(RecordedRequest& request) {
  const std::string_view raw = request.raw;
  std::size_t start = 0;
  bool first = true;
  while (start < raw.size()) {
    const std::size_t newline = raw.find('\n', start);
    if (newline == std::string_view::npos) return;
    std::string_view line = raw.substr(start, newline - start);
    start = newline + 1;
    const bool crlf = !line.empty() && line.back() == '\r';
    if (crlf) line.remove_suffix(1);
    auto fail = [&request](const char* why) {
      if (request.problem.empty()) request.problem = why;
    };
    if (!crlf) fail("a line ends in a bare LF instead of CR LF");

    if (first) {
      first = false;
      request.request_line = std::string(line);
      const auto space1 = line.find(' ');
      const auto space2 = space1 == std::string_view::npos ? space1 : line.find(' ', space1 + 1);
      if (space2 == std::string_view::npos ||
          line.find(' ', space2 + 1) != std::string_view::npos) {
        fail("the request line is not METHOD SP TARGET SP VERSION");
        continue;
      }
      const auto method = line.substr(0, space1);
      const auto target = line.substr(space1 + 1, space2 - space1 - 1);
      const auto version = line.substr(space2 + 1);
      if (!IsToken(method)) fail("the method is not a token");
      if (!IsVisibleAscii(target))
        fail("the target is empty or has bytes other than visible ASCII");
      if (!IsHttpVersion(version)) fail("the version is not HTTP/d.d");
      request.method = std::string(method);
      request.target = std::string(target);
      request.version = std::string(version);
      SplitTarget(request);
      continue;
    }
    if (line.empty()) return;  // the blank line
    if (line.front() == ' ' || line.front() == '\t') {
      fail("a header line is folded onto the one before");
      continue;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) {
      fail("a header line is not NAME: VALUE");
      continue;
    }
    const auto value = TrimBlanks(line.substr(colon + 1));
    if (!IsFieldValue(value)) fail("a header value has control bytes");
    request.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
  }
}

std::string StandardReason(int status) {
  switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 202: return "Accepted";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 407: return "Proxy Authentication Required";
    case 408: return "Request Timeout";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "";  // the status line then ends "NNN " with an empty phrase, as allowed
  }
}

std::string AnswerHead(const Reply& reply) {
  bool own_length = true;
  bool own_connection = true;
  for (const auto& [name, value] : reply.headers) {
    if (EqualsNoCase(name, "Content-Length")) own_length = false;
    if (EqualsNoCase(name, "Connection")) own_connection = false;
  }
  std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " +
                     (reply.reason.empty() ? StandardReason(reply.status) : reply.reason) + "\r\n";
  if (own_length && !reply.endless) {
    head += "Content-Length: " + std::to_string(reply.body.size() + reply.filler_bytes) + "\r\n";
  }
  if (own_connection) head += "Connection: close\r\n";
  for (const auto& [name, value] : reply.headers) head += name + ": " + value + "\r\n";
  head += "\r\n";
  return head;
}

struct Route {
  std::vector<Reply> replies;
  std::size_t next = 0;
};

}  // namespace

Reply Text(std::string body) {
  Reply reply;
  reply.body = std::move(body);
  return reply;
}

Reply Status(int status) {
  Reply reply;
  reply.status = status;
  return reply;
}

Reply Redirect(std::string location, int status) {
  Reply reply;
  reply.status = status;
  reply.headers.emplace_back("Location", std::move(location));
  return reply;
}

std::string RecordedRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsNoCase(key, name)) return value;
  }
  return {};
}

std::size_t RecordedRequest::CountHeader(std::string_view name) const {
  return static_cast<std::size_t>(
      std::count_if(headers.begin(), headers.end(),
                    [name](const auto& header) { return EqualsNoCase(header.first, name); }));
}

struct Server::Impl {
  struct Connection {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  std::mutex lifecycle;  // serialises Start and Stop

  mutable std::mutex mutex;                 // guards the members up to `observer`
  mutable std::condition_variable changed;  // a request was recorded, or stopping began
  std::deque<net::Socket> listeners;        // a deque: the acceptor holds pointers into it
  std::vector<std::uint16_t> ports;
  bool stopping = false;
  std::map<std::pair<std::uint16_t, std::string>, Route> routes;  // port 0: any port
  std::vector<RecordedRequest> records;
  std::function<void(const RecordedRequest&)> observer;

  std::atomic<bool> stop_flag{false};  // `stopping`, readable without the lock
  std::thread acceptor;
  std::list<Connection> connections;  // the acceptor's, and Stop's once the acceptor ended

  void AcceptLoop();
  void ReapFinished();
  void Serve(net::Socket socket);
  void Record(RecordedRequest request, Reply& reply);
  bool SleepUnlessStopped(std::chrono::milliseconds delay);
  bool SendAll(const net::Socket& socket, std::string_view data);
  bool SendSlowly(const net::Socket& socket, std::string_view data, std::chrono::milliseconds interval);
  bool SendBody(const net::Socket& socket, const Reply& reply);
  void HoldSilent(const net::Socket& socket);
  void CloseGracefully(const net::Socket& socket);

  enum class HeadEnd { kComplete, kTooLarge, kCutShort, kStopped };
  HeadEnd ReadHead(const net::Socket& socket, std::string& head);
};

void Server::Impl::AcceptLoop() {
  std::vector<const net::Socket*> watched;
  std::vector<net::Handle> handles;
  while (!stop_flag) {
    {
      std::lock_guard lock(mutex);
      watched.clear();
      handles.clear();
      for (const net::Socket& listener : listeners) {
        watched.push_back(&listener);
        handles.push_back(listener.Get());
      }
    }
    const int ready = net::WaitReadable(handles, kStopCheckInterval);
    ReapFinished();
    if (ready < 0) continue;
    for (;;) {
      net::Socket accepted = net::Accept(*watched[static_cast<std::size_t>(ready)]);
      if (!accepted.Valid()) break;
      auto done = std::make_shared<std::atomic<bool>>(false);
      try {
        std::thread thread([this, done, socket = std::move(accepted)]() mutable {
          try {
            Serve(std::move(socket));
          } catch (...) {
            // A connection that failed (out of memory, say) is simply dropped.
          }
          *done = true;
        });
        connections.push_back(Connection{std::move(thread), done});
      } catch (const std::system_error&) {
        // No thread to serve it: the socket was moved into the lambda and closed with it.
      }
    }
  }
}

void Server::Impl::ReapFinished() {
  for (auto it = connections.begin(); it != connections.end();) {
    if (*it->done) {
      it->thread.join();
      it = connections.erase(it);
    } else {
      ++it;
    }
  }
}

Server::Impl::HeadEnd Server::Impl::ReadHead(const net::Socket& socket, std::string& head) {
  char buffer[4096];
  std::size_t scanned = 0;
  std::size_t line_start = 0;
  for (;;) {
    for (; scanned < head.size(); ++scanned) {
      if (head[scanned] != '\n') continue;
      const bool blank =
          scanned == line_start || (scanned == line_start + 1 && head[line_start] == '\r');
      line_start = scanned + 1;
      if (blank) {
        head.resize(line_start);  // bytes after the head (a body) are not the head's
        return HeadEnd::kComplete;
      }
    }
    if (head.size() >= kMaxRequestHead) return HeadEnd::kTooLarge;
    if (stop_flag) return HeadEnd::kStopped;
    const net::Handle handle[] = {socket.Get()};
    if (net::WaitReadable(handle, kStopCheckInterval) < 0) continue;
    const auto got =
        net::Receive(socket, buffer, std::min(sizeof buffer, kMaxRequestHead - head.size()));
    if (got.status == net::IoStatus::kDone) {
      head.append(buffer, got.bytes);
    } else if (got.status != net::IoStatus::kWouldBlock) {
      return HeadEnd::kCutShort;
    }
  }
}

void Server::Impl::Record(RecordedRequest request, Reply& reply) {
  std::lock_guard lock(mutex);
  if (request.problem.empty()) {
    auto route = routes.find({request.local_port, request.path});
    if (route == routes.end()) route = routes.find({std::uint16_t{0}, request.path});
    if (route == routes.end()) {
      reply = Status(404);
    } else {
      Route& queue = route->second;
      reply = queue.replies[std::min(queue.next, queue.replies.size() - 1)];
      if (queue.next < queue.replies.size()) ++queue.next;
    }
  }
  records.push_back(std::move(request));
  if (observer) {
    try {
      observer(records.back());
    } catch (...) {
      // The observer's trouble is not the client's: the request is still answered.
    }
  }
  changed.notify_all();
}

bool Server::Impl::SleepUnlessStopped(std::chrono::milliseconds delay) {
  std::unique_lock lock(mutex);
  return !changed.wait_for(lock, delay, [this] { return stopping; });
}

bool Server::Impl::SendAll(const net::Socket& socket, std::string_view data) {
  while (!data.empty()) {
    if (stop_flag) return false;
    const auto sent = net::Send(socket, data.data(), data.size());
    if (sent.status == net::IoStatus::kDone) {
      data.remove_prefix(sent.bytes);
    } else if (sent.status == net::IoStatus::kWouldBlock) {
      (void)net::WaitWritable(socket.Get(), kStopCheckInterval);
    } else {
      return false;
    }
  }
  return true;
}

// One byte at a time with `interval` before each, or all at once for a zero interval; false once
// the client or Stop ended it.
bool Server::Impl::SendSlowly(const net::Socket& socket, std::string_view data,
                              std::chrono::milliseconds interval) {
  if (interval <= 0ms) return SendAll(socket, data);
  for (const char byte : data) {
    if (!SleepUnlessStopped(interval) || !SendAll(socket, std::string_view(&byte, 1))) return false;
  }
  return true;
}

bool Server::Impl::SendBody(const net::Socket& socket, const Reply& reply) {
  static const std::string filler(kChunk, 'x');
  const bool trickle = reply.trickle_interval > 0ms;
  auto send = [&](std::string_view piece) { return SendSlowly(socket, piece, reply.trickle_interval); };
  if (!send(reply.body)) return false;
  for (std::size_t left = reply.filler_bytes; left > 0;) {
    const std::size_t piece = std::min(left, filler.size());
    if (!send(std::string_view(filler).substr(0, piece))) return false;
    left -= piece;
  }
  while (reply.endless) {
    if (!send(trickle ? std::string_view(filler).substr(0, 1) : std::string_view(filler))) return false;
  }
  return true;
}

void Server::Impl::HoldSilent(const net::Socket& socket) {
  char buffer[4096];
  const net::Handle handle[] = {socket.Get()};
  while (!stop_flag) {
    if (net::WaitReadable(handle, kStopCheckInterval) < 0) continue;
    const auto got = net::Receive(socket, buffer, sizeof buffer);
    if (got.status == net::IoStatus::kClosed || got.status == net::IoStatus::kFailed) return;
  }
}

void Server::Impl::CloseGracefully(const net::Socket& socket) {
  net::ShutdownSend(socket);
  char buffer[4096];
  const net::Handle handle[] = {socket.Get()};
  const auto give_up = std::chrono::steady_clock::now() + kLingerLimit;
  while (!stop_flag && std::chrono::steady_clock::now() < give_up) {
    if (net::WaitReadable(handle, kStopCheckInterval) < 0) continue;
    const auto got = net::Receive(socket, buffer, sizeof buffer);
    if (got.status == net::IoStatus::kClosed || got.status == net::IoStatus::kFailed) return;
  }
}

void Server::Impl::Serve(net::Socket socket) {
  RecordedRequest request;
  const HeadEnd end = ReadHead(socket, request.raw);
  if (end == HeadEnd::kStopped || request.raw.empty()) return;
  const net::Endpoint local = net::LocalEndpoint(socket);
  request.local_port = local.port;
  request.local_address = local.address;
  ParseHead(request);

  Reply reply;
  if (end == HeadEnd::kTooLarge) {
    request.problem = "the request head is over " + std::to_string(kMaxRequestHead) + " bytes";
    reply = Status(431);
  } else if (end == HeadEnd::kCutShort) {
    request.problem = "the connection ended before the blank line that ends the request head";
    reply = Status(400);
  } else if (!request.problem.empty()) {
    reply = Status(400);
  }
  const bool head_only = request.method == "HEAD";
  Record(std::move(request), reply);  // picks the reply for a well-formed request

  if (reply.delay > 0ms && !SleepUnlessStopped(reply.delay)) return;
  switch (reply.mode) {
    case Reply::Mode::kCloseWithoutAnswer: CloseGracefully(socket); return;
    case Reply::Mode::kNeverAnswer: HoldSilent(socket); return;
    case Reply::Mode::kAnswer: break;
  }
  bool sent = SendSlowly(socket, AnswerHead(reply), reply.head_trickle_interval);
  if (!head_only) sent = sent && SendBody(socket, reply);
  if (!sent) return;
  if (reply.keep_open_after_answer) {
    HoldSilent(socket);
  } else {
    CloseGracefully(socket);
  }
}

Server::Server() : impl_(std::make_unique<Impl>()) {}

Server::~Server() { Stop(); }

std::uint16_t Server::Listen(std::string address, std::uint16_t port) {
  net::Socket listener = net::ListenTcp(address, port);
  const std::uint16_t bound = net::LocalEndpoint(listener).port;
  std::lock_guard lock(impl_->mutex);
  impl_->listeners.push_back(std::move(listener));
  impl_->ports.push_back(bound);
  return bound;
}

std::vector<std::uint16_t> Server::Ports() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->ports;
}

void Server::Start() {
  std::lock_guard life(impl_->lifecycle);
  if (impl_->acceptor.joinable()) return;
  {
    std::lock_guard lock(impl_->mutex);
    if (impl_->listeners.empty()) throw std::logic_error("standin: Start before any Listen");
  }
  impl_->acceptor = std::thread([impl = impl_.get()] { impl->AcceptLoop(); });
}

void Server::Stop() {
  std::lock_guard life(impl_->lifecycle);
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
    impl_->stop_flag = true;
  }
  impl_->changed.notify_all();
  if (impl_->acceptor.joinable()) impl_->acceptor.join();
  for (auto& connection : impl_->connections) connection.thread.join();
  impl_->connections.clear();
  std::lock_guard lock(impl_->mutex);
  impl_->listeners.clear();
  impl_->ports.clear();
  impl_->stopping = false;
  impl_->stop_flag = false;
}

void Server::SetReply(std::string path, Reply reply) {
  SetReply(0, std::move(path), std::move(reply));
}

void Server::QueueReplies(std::string path, std::vector<Reply> replies) {
  QueueReplies(0, std::move(path), std::move(replies));
}

void Server::SetReply(std::uint16_t port, std::string path, Reply reply) {
  std::vector<Reply> one;
  one.push_back(std::move(reply));
  QueueReplies(port, std::move(path), std::move(one));
}

void Server::QueueReplies(std::uint16_t port, std::string path, std::vector<Reply> replies) {
  if (replies.empty()) throw std::invalid_argument("standin: no replies queued for " + path);
  std::lock_guard lock(impl_->mutex);
  impl_->routes[{port, std::move(path)}] = Route{std::move(replies), 0};
}

void Server::SetRequestObserver(std::function<void(const RecordedRequest&)> observer) {
  std::lock_guard lock(impl_->mutex);
  impl_->observer = std::move(observer);
}

std::vector<RecordedRequest> Server::Requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->records;
}

std::vector<std::string> Server::Targets() const {
  std::vector<std::string> targets;
  for (const RecordedRequest& request : Requests()) targets.push_back(request.target);
  return targets;
}

std::size_t Server::RequestCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->records.size();
}

void Server::ClearRequests() {
  std::lock_guard lock(impl_->mutex);
  impl_->records.clear();
}

bool Server::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(impl_->mutex);
  return impl_->changed.wait_for(lock, timeout, [&] { return impl_->records.size() >= count; });
}

}  // namespace standin

// ICMP echoes sent by the process itself. An unprivileged ICMP datagram socket comes first (it
// needs the caller's group inside net.ipv4.ping_group_range); the kernel then fills in the echo
// identifier and checksum, and reports a router's ICMP error about the echo on the socket's
// error queue (IP_RECVERR) with the router as the offender. Where datagram sockets are not
// allowed a raw ICMP socket (CAP_NET_RAW) is used, which sees every ICMP message of the host:
// replies and errors are matched to the echo by identifier and sequence number. With neither,
// the ICMP service counts as missing and the trace fails.
#include "platform/icmp_echo.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#if defined(__linux__)
#include <linux/errqueue.h>
#endif

#include "platform/posix/stop_request.h"
#include "platform/posix/unique_fd.h"

namespace zelquo::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned char kIcmpEchoReply = 0;
constexpr unsigned char kIcmpDestinationUnreachable = 3;
constexpr unsigned char kIcmpSourceQuench = 4;
constexpr unsigned char kIcmpEchoRequest = 8;
constexpr unsigned char kIcmpTimeExceeded = 11;
constexpr unsigned char kIcmpParameterProblem = 12;

constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kEchoPacketSize = kIcmpHeaderSize + kEchoPayloadSize;
constexpr std::size_t kMinIpHeaderSize = 20;
constexpr std::size_t kReceiveBufferSize = 1500;

using EchoPacket = std::array<unsigned char, kEchoPacketSize>;

std::atomic<unsigned> g_next_sequence{1};


std::uint16_t Read16(const unsigned char* bytes) { return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]); }

void Write16(unsigned char* bytes, std::uint16_t value) {
  bytes[0] = static_cast<unsigned char>(value >> 8);
  bytes[1] = static_cast<unsigned char>(value & 0xff);
}

// The Internet checksum (RFC 1071) over the bytes, as it is to be written (big-endian).
std::uint16_t InternetChecksum(const unsigned char* bytes, std::size_t size) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < size; i += 2) sum += Read16(bytes + i);
  if (size % 2 != 0) sum += static_cast<std::uint32_t>(bytes[size - 1]) << 8;
  while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

EchoPacket EchoRequestPacket(std::uint16_t id, std::uint16_t sequence, bool with_checksum) {
  EchoPacket packet{};
  packet[0] = kIcmpEchoRequest;
  Write16(&packet[4], id);
  Write16(&packet[6], sequence);
  std::memset(&packet[kIcmpHeaderSize], kEchoPayloadByte, kEchoPayloadSize);
  if (with_checksum) Write16(&packet[2], InternetChecksum(packet.data(), packet.size()));
  return packet;
}

bool IsErrorAboutDatagram(unsigned char type) {
  return type == kIcmpDestinationUnreachable || type == kIcmpSourceQuench || type == kIcmpTimeExceeded ||
         type == kIcmpParameterProblem;
}

EchoReply Reply(std::uint32_t address) { return {EchoReply::Outcome::kReply, address, 0}; }
EchoReply NoReply(int error) {
  return {EchoReply::Outcome::kNoReply, 0, static_cast<std::uint32_t>(error != 0 ? error : EIO)};
}

// Waits until the socket has something to read (or an error to report) or the deadline passes.
// 0 on time-out, else the poll events.
short WaitForInput(int fd, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    // The stop request ends the wait as its time-out would.
    pollfd entries[] = {{fd, POLLIN, 0}, {StopRequestFd(), POLLIN, 0}};
    const int ready = poll(entries, 2, static_cast<int>(left.count()));
    if (ready > 0) return entries[1].revents == 0 ? entries[0].revents : 0;
    if (ready == 0) return 0;
    if (errno != EINTR) return POLLERR;
  }
}

bool SetTimeToLive(int fd, int ttl) {
  const int value = ttl;
  return setsockopt(fd, IPPROTO_IP, IP_TTL, &value, sizeof value) == 0;
}

sockaddr_in SocketAddress(std::uint32_t address) {
  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_addr.s_addr = address;
  return destination;
}

bool SendPacket(int fd, const EchoPacket& packet, std::uint32_t target) {
  const sockaddr_in destination = SocketAddress(target);
  return sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
                sizeof destination) == static_cast<ssize_t>(packet.size());
}

#if defined(__linux__)
enum class QueuedError { kNone, kNotOurs, kOurs };

// Reads one entry of the socket's error queue. For an ICMP error about our echo the offender is
// the node that answered; a local error (no route, message too long) is the echo's failure.
QueuedError ReadQueuedError(int fd, std::uint16_t sequence, EchoReply& reply) {
  std::array<unsigned char, kReceiveBufferSize> data{};
  alignas(cmsghdr) std::array<unsigned char, 512> control{};
  sockaddr_in origin{};
  iovec vector{data.data(), data.size()};
  msghdr message{};
  message.msg_name = &origin;
  message.msg_namelen = sizeof origin;
  message.msg_iov = &vector;
  message.msg_iovlen = 1;
  message.msg_control = control.data();
  message.msg_controllen = control.size();
  const ssize_t got = recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
  if (got < 0) return QueuedError::kNone;
  // The queued payload is the echo request that the error is about.
  if (static_cast<std::size_t>(got) < kIcmpHeaderSize || data[0] != kIcmpEchoRequest || Read16(&data[6]) != sequence) {
    return QueuedError::kNotOurs;
  }
  for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_RECVERR) continue;
    sock_extended_err error;
    std::memcpy(&error, CMSG_DATA(header), sizeof error);
    if (error.ee_origin == SO_EE_ORIGIN_ICMP) {
      sockaddr_in offender;
      std::memcpy(&offender, SO_EE_OFFENDER(reinterpret_cast<sock_extended_err*>(CMSG_DATA(header))), sizeof offender);
      if (offender.sin_family == AF_INET) {
        reply = Reply(offender.sin_addr.s_addr);
        return QueuedError::kOurs;
      }
    }
    reply = NoReply(static_cast<int>(error.ee_errno));
    return QueuedError::kOurs;
  }
  return QueuedError::kNotOurs;
}
#endif

// The echo over an ICMP datagram socket: the kernel owns the identifier, so replies are matched
// by sequence number only (the socket sees nothing but its own traffic).
EchoReply EchoOverDatagramSocket(int fd, std::uint32_t target, int ttl, std::chrono::milliseconds timeout) {
  if (!SetTimeToLive(fd, ttl)) return NoReply(errno);
#if defined(__linux__)
  const int on = 1;
  setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);  // without it routers' errors are lost
#endif
  const auto sequence = static_cast<std::uint16_t>(g_next_sequence++);
  const Clock::time_point deadline = Clock::now() + timeout;
  if (!SendPacket(fd, EchoRequestPacket(0, sequence, false), target)) return NoReply(errno);

  for (;;) {
    const short events = WaitForInput(fd, deadline);
    if (events == 0) return NoReply(ETIMEDOUT);
#if defined(__linux__)
    if ((events & POLLERR) != 0) {
      EchoReply reply;
      const QueuedError queued = ReadQueuedError(fd, sequence, reply);
      if (queued == QueuedError::kOurs) return reply;
      if (queued == QueuedError::kNotOurs) continue;
    }
#endif
    std::array<unsigned char, kReceiveBufferSize> data{};
    sockaddr_in source{};
    socklen_t source_size = sizeof source;
    const ssize_t got =
        recvfrom(fd, data.data(), data.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&source), &source_size);
    // A failed read is a pending error that the error queue reports as well, or nothing yet.
    if (got < static_cast<ssize_t>(kIcmpHeaderSize)) continue;
    if (data[0] == kIcmpEchoReply && Read16(&data[6]) == sequence) return Reply(source.sin_addr.s_addr);
  }
}

// In a received IPv4 datagram, our echo's reply or an ICMP error that quotes our echo request:
// the sender's address, else nothing.
std::optional<std::uint32_t> MatchRawDatagram(const unsigned char* data, std::size_t size, std::uint16_t id,
                                              std::uint16_t sequence) {
  if (size < kMinIpHeaderSize || (data[0] >> 4) != 4 || data[9] != IPPROTO_ICMP) return std::nullopt;
  const std::size_t header_size = static_cast<std::size_t>(data[0] & 0x0f) * 4;
  if (header_size < kMinIpHeaderSize || size < header_size + kIcmpHeaderSize) return std::nullopt;
  std::uint32_t sender = 0;
  std::memcpy(&sender, data + 12, sizeof sender);
  const unsigned char* icmp = data + header_size;
  const std::size_t icmp_size = size - header_size;

  if (icmp[0] == kIcmpEchoReply) {
    if (Read16(icmp + 4) == id && Read16(icmp + 6) == sequence) return sender;
    return std::nullopt;
  }
  if (!IsErrorAboutDatagram(icmp[0])) return std::nullopt;
  // The error quotes the offending datagram's IP header and its first 8 bytes.
  const unsigned char* quoted = icmp + kIcmpHeaderSize;
  const std::size_t quoted_size = icmp_size - kIcmpHeaderSize;
  if (quoted_size < kMinIpHeaderSize || (quoted[0] >> 4) != 4 || quoted[9] != IPPROTO_ICMP) return std::nullopt;
  const std::size_t quoted_header_size = static_cast<std::size_t>(quoted[0] & 0x0f) * 4;
  if (quoted_header_size < kMinIpHeaderSize || quoted_size < quoted_header_size + kIcmpHeaderSize) {
    return std::nullopt;
  }
  const unsigned char* echo = quoted + quoted_header_size;
  if (echo[0] == kIcmpEchoRequest && Read16(echo + 4) == id && Read16(echo + 6) == sequence) return sender;
  return std::nullopt;
}

EchoReply EchoOverRawSocket(int fd, std::uint32_t target, int ttl, std::chrono::milliseconds timeout) {
  if (!SetTimeToLive(fd, ttl)) return NoReply(errno);
  const auto id = static_cast<std::uint16_t>(getpid() & 0xffff);
  const auto sequence = static_cast<std::uint16_t>(g_next_sequence++);
  const Clock::time_point deadline = Clock::now() + timeout;
  if (!SendPacket(fd, EchoRequestPacket(id, sequence, true), target)) return NoReply(errno);

  for (;;) {
    if (WaitForInput(fd, deadline) == 0) return NoReply(ETIMEDOUT);
    std::array<unsigned char, kReceiveBufferSize> data{};
    const ssize_t got = recv(fd, data.data(), data.size(), MSG_DONTWAIT);
    // A failed read is a hard ICMP error reported once on the socket; the message itself follows.
    if (got <= 0) continue;
    if (const auto sender = MatchRawDatagram(data.data(), static_cast<std::size_t>(got), id, sequence)) {
      return Reply(*sender);
    }
  }
}

}  // namespace

bool BindIcmpEcho() { return true; }

std::optional<std::uint32_t> ResolveHostIpv4(std::string_view name) {
  const std::string host(name);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return std::nullopt;
  std::optional<std::uint32_t> address;
  if (found->ai_family == AF_INET && found->ai_addrlen >= sizeof(sockaddr_in)) {
    sockaddr_in first;
    std::memcpy(&first, found->ai_addr, sizeof first);
    address = first.sin_addr.s_addr;
  }
  freeaddrinfo(found);
  return address;
}

EchoReply SendIcmpEcho(std::uint32_t target, int ttl, std::chrono::milliseconds timeout) {
  if (const CUniqueFd datagram(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP)); datagram) {
    return EchoOverDatagramSocket(datagram.Get(), target, ttl, timeout);
  }
  if (const CUniqueFd raw(socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP)); raw) {
    return EchoOverRawSocket(raw.Get(), target, ttl, timeout);
  }
  return {EchoReply::Outcome::kNoService, 0, 0};
}

}  // namespace zelquo::platform

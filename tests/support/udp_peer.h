// A UDP socket on loopback that stands in for a device in tests.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

namespace zv::test {

struct ReceivedDatagram {
  std::vector<uint8_t> bytes;
  sockaddr_in from{};
};

class UdpPeer {
 public:
  // Binds 127.0.0.1 on `port` (0: any free port).
  explicit UdpPeer(uint16_t port = 0) {
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
      socklen_t len = sizeof a;
      getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
      m_address = a;
    }
  }
  ~UdpPeer() {
    if (m_fd >= 0) close(m_fd);
  }
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;

  bool ok() const { return m_fd >= 0 && m_address.sin_port != 0; }
  uint16_t port() const { return ntohs(m_address.sin_port); }
  const sockaddr_in& address() const { return m_address; }
  int fd() const { return m_fd; }

  // Waits up to `wait_ms` on the socket for one datagram.
  std::optional<ReceivedDatagram> Receive(int wait_ms) {
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, wait_ms) <= 0) return std::nullopt;
    ReceivedDatagram d;
    d.bytes.resize(65536);
    socklen_t len = sizeof d.from;
    const ssize_t n = recvfrom(m_fd, d.bytes.data(), d.bytes.size(), 0,
                               reinterpret_cast<sockaddr*>(&d.from), &len);
    if (n < 0) return std::nullopt;
    d.bytes.resize(static_cast<size_t>(n));
    return d;
  }

  // Everything that arrives before a marker datagram that this call sends
  // to the peer from a socket of its own. Call it once code that sends on
  // this thread has returned: whatever that code sent is queued before the
  // marker, so "nothing was sent" is an empty answer, seen without a fixed
  // wait. Without the marker within two seconds the answer ends with an
  // empty datagram, so it is never empty then.
  std::vector<ReceivedDatagram> ReceiveUntilMarker() {
    static constexpr char kMarker[] = "zv-test-marker";
    std::vector<ReceivedDatagram> before;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in own{};
    socklen_t len = sizeof own;
    if (fd < 0 || sendto(fd, kMarker, sizeof kMarker, 0, reinterpret_cast<const sockaddr*>(&m_address),
                         sizeof m_address) != static_cast<ssize_t>(sizeof kMarker) ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&own), &len) != 0) {
      if (fd >= 0) close(fd);
      before.emplace_back();
      return before;
    }
    close(fd);
    for (;;) {
      std::optional<ReceivedDatagram> d = Receive(2000);
      if (!d) {
        before.emplace_back();
        return before;
      }
      if (d->from.sin_port == own.sin_port && d->bytes.size() == sizeof kMarker &&
          std::memcmp(d->bytes.data(), kMarker, sizeof kMarker) == 0)
        return before;
      before.push_back(std::move(*d));
    }
  }

  void SendTo(const sockaddr_in& to, std::span<const uint8_t> bytes) {
    sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }

 private:
  int m_fd = -1;
  sockaddr_in m_address{};
};

// A local port that was free a moment ago.
inline uint16_t FreeUdpPort() {
  UdpPeer probe;
  return probe.port();
}

}  // namespace zv::test

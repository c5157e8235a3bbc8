#include "tally/tsl_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "link/frame_tap.h"
#include "link/local_networks.h"

namespace zv {

namespace {

uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

sockaddr_in Peer(uint32_t address, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(address);
  sa.sin_port = htons(port);
  return sa;
}

void CloseFd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

}  // namespace

TslListener::~TslListener() { Stop(); }

uint64_t TslListener::RefusedTotal() const {
  uint64_t total = 0;
  for (const auto& n : m_refused) total += n.load();
  return total;
}

bool TslListener::Start(uint16_t port, CidrList allow, Handler handler, std::string* error,
                        const std::string& bind_address) {
  Stop();
  uint32_t address = 0;
  if (!ParseIpv4(bind_address, &address)) {
    *error = "TSL: " + bind_address + " is not an IPv4 address to listen on";
    return false;
  }
  const auto fail = [&](const std::string& what) {
    *error = "TSL: cannot listen on " + what + " " + bind_address + ":" + std::to_string(port) + ": " +
             std::strerror(errno);
    Stop();
    return false;
  };
  m_udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  m_tcp = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (m_udp < 0 || m_tcp < 0 || pipe2(m_wake, O_CLOEXEC) != 0) return fail("UDP and TCP");
  sockaddr_in sa = Peer(address, port);
  socklen_t length = sizeof sa;
  if (bind(m_udp, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      getsockname(m_udp, reinterpret_cast<sockaddr*>(&sa), &length) != 0)
    return fail("UDP");
  m_port = ntohs(sa.sin_port);
  const int one = 1;
  setsockopt(m_tcp, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sa = Peer(address, m_port);
  if (bind(m_tcp, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(m_tcp, 8) != 0) return fail("TCP");
  m_allow = std::move(allow);
  m_handler = std::move(handler);
  m_thread = std::thread([this] { Run(); });
  return true;
}

void TslListener::Stop() {
  if (m_thread.joinable()) {
    const char byte = 0;
    while (write(m_wake[1], &byte, 1) < 0 && errno == EINTR) {
    }
    m_thread.join();
  }
  for (Client& c : m_clients) {
    CloseFd(&c.fd);
    c = Client{};
  }
  CloseFd(&m_udp);
  CloseFd(&m_tcp);
  CloseFd(&m_wake[0]);
  CloseFd(&m_wake[1]);
  m_port = 0;
}

void TslListener::Run() {
  std::vector<uint8_t> buffer(kMaxDatagram + 1);
  for (;;) {
    pollfd fds[3 + kMaxClients];
    size_t n = 0;
    fds[n++] = {m_wake[0], POLLIN, 0};
    fds[n++] = {m_udp, POLLIN, 0};
    fds[n++] = {m_tcp, POLLIN, 0};
    size_t slot_of[kMaxClients];
    for (size_t i = 0; i < kMaxClients; ++i)
      if (m_clients[i].fd >= 0) {
        slot_of[n - 3] = i;
        fds[n++] = {m_clients[i].fd, POLLIN, 0};
      }
    if (poll(fds, n, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents != 0) return;
    const uint64_t now = NowMs();
    if (fds[1].revents & POLLIN) OnDatagram(buffer);
    if (fds[2].revents & POLLIN) OnAccept(now);
    for (size_t k = 3; k < n; ++k) {
      if (fds[k].revents == 0) continue;
      Client& c = m_clients[slot_of[k - 3]];
      if (c.fd != fds[k].fd) continue;  // replaced meanwhile
      if (!OnClientBytes(c, buffer, now)) {
        CloseFd(&c.fd);
        c = Client{};
      }
    }
  }
}

void TslListener::OnDatagram(std::vector<uint8_t>& buffer) {
  sockaddr_in from{};
  socklen_t length = sizeof from;
  const ssize_t n = recvfrom(m_udp, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                             reinterpret_cast<sockaddr*>(&from), &length);
  if (n < 0) return;
  const uint32_t source = ntohl(from.sin_addr.s_addr);
  // The source first: nothing of a refused datagram is looked at.
  if (from.sin_family != AF_INET || !m_allow.Contains(source)) {
    ++m_dropped;
    return;
  }
  const size_t size = std::min(static_cast<size_t>(n), buffer.size());
  const std::span<const uint8_t> bytes(buffer.data(), size);
  TapTsl(FrameDirection::kReceived, FrameLinkKind::kUdp, from, m_port, bytes);
  if (static_cast<size_t>(n) > kMaxDatagram) {
    Refuse(TslFault::kTooLong);
    return;
  }
  TslProblem problem;
  std::optional<TslDatagram> d = DecodeTslDatagram(bytes, &problem);
  if (!d) {
    Refuse(problem.fault);
    return;
  }
  ++m_taken;
  if (m_handler) m_handler(source, std::move(*d));
}

void TslListener::OnAccept(uint64_t now) {
  sockaddr_in from{};
  socklen_t length = sizeof from;
  const int fd = accept4(m_tcp, reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  const uint32_t source = ntohl(from.sin_addr.s_addr);
  if (from.sin_family != AF_INET || !m_allow.Contains(source)) {
    close(fd);
    ++m_dropped;
    return;
  }
  Client* slot = nullptr;
  for (Client& c : m_clients)
    if (c.fd < 0) {
      slot = &c;
      break;
    }
  if (!slot) {
    slot = &m_clients[0];
    for (Client& c : m_clients)
      if (c.last_active < slot->last_active) slot = &c;
    CloseFd(&slot->fd);
    ++m_evicted;
  }
  *slot = Client{};
  slot->fd = fd;
  slot->address = source;
  slot->port = ntohs(from.sin_port);
  slot->last_active = now;
}

bool TslListener::OnClientBytes(Client& client, std::vector<uint8_t>& buffer, uint64_t now) {
  const ssize_t n = recv(client.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
  if (n == 0) return false;
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  client.last_active = now;
  const sockaddr_in peer = Peer(client.address, client.port);
  for (Tsl50StreamReader::Result& r : client.reader.Feed({buffer.data(), static_cast<size_t>(n)})) {
    TapTsl(FrameDirection::kReceived, FrameLinkKind::kTcp, peer, m_port, r.wire);
    if (!r.packet) {
      Refuse(r.problem.fault);
      continue;
    }
    ++m_taken;
    TslDatagram d;
    d.version = TslVersion::k50;
    d.v50 = std::move(*r.packet);
    if (m_handler) m_handler(client.address, std::move(d));
  }
  return true;
}

}  // namespace zv

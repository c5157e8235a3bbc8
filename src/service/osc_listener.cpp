#include "service/osc_listener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <lo/lo_lowlevel.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/local_networks.h"

namespace zv {

OscListener::~OscListener() { Stop(); }

bool OscListener::Start(uint16_t port, CidrList allow, Handler handler, std::string* error,
                        const std::string& bind_address) {
  Stop();
  uint32_t address = 0;
  if (!ParseIpv4(bind_address, &address)) {
    *error = "OSC: " + bind_address + " is not an IPv4 address to listen on";
    return false;
  }
  m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (m_socket < 0) {
    *error = std::string("OSC: no UDP socket: ") + std::strerror(errno);
    return false;
  }
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  socklen_t length = sizeof sa;
  if (bind(m_socket, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      getsockname(m_socket, reinterpret_cast<sockaddr*>(&sa), &length) != 0 || pipe2(m_wake, O_CLOEXEC) != 0) {
    *error = "OSC: cannot listen on UDP " + bind_address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    Stop();
    return false;
  }
  m_port = ntohs(sa.sin_port);
  m_allow = std::move(allow);
  m_handler = std::move(handler);
  m_thread = std::thread([this] { Run(); });
  return true;
}

void OscListener::Stop() {
  if (m_thread.joinable()) {
    const char byte = 0;
    while (write(m_wake[1], &byte, 1) < 0 && errno == EINTR) {
    }
    m_thread.join();
  }
  for (int* fd : {&m_socket, &m_wake[0], &m_wake[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  m_port = 0;
}

uint64_t OscListener::Dropped() const { return m_dropped.load(); }
uint64_t OscListener::Refused() const { return m_refused.load(); }
uint16_t OscListener::Port() const { return m_port; }

void OscListener::Run() {
  std::vector<uint8_t> buffer(kMaxDatagram + 1);
  for (;;) {
    pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t n = recvfrom(m_socket, buffer.data(), buffer.size(), MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) continue;
    const uint32_t source = ntohl(from.sin_addr.s_addr);
    // The source is checked first: nothing of a refused datagram is looked at.
    if (from.sin_family != AF_INET || !m_allow.Contains(source)) {
      ++m_dropped;
      continue;
    }
    if (static_cast<size_t>(n) > kMaxDatagram) {
      ++m_refused;
      continue;
    }
    Take(buffer.data(), static_cast<size_t>(n), source);
  }
}

void OscListener::Take(const uint8_t* data, size_t size, uint32_t from) {
  // Bundles are not taken: one message, one action.
  if (size == 0 || data[0] != '/') {
    ++m_refused;
    return;
  }
  std::vector<uint8_t> copy(data, data + size);  // liblo wants a writable buffer
  const char* path = lo_get_path(copy.data(), static_cast<ssize_t>(copy.size()));
  std::string path_text = path ? path : "";
  int result = 0;
  lo_message message = path ? lo_message_deserialise(copy.data(), copy.size(), &result) : nullptr;
  if (!message) {
    ++m_refused;
    return;
  }
  const char* types = lo_message_get_types(message);
  const int argc = lo_message_get_argc(message);
  lo_arg** argv = lo_message_get_argv(message);
  std::vector<OscArg> args;
  bool ok = types != nullptr || argc == 0;
  for (int i = 0; ok && i < argc; ++i) {
    // liblo's arguments sit at 4-byte boundaries, not at the 8 its union
    // asks for: each is copied out of its bytes rather than read through it.
    const auto* bytes = reinterpret_cast<const char*>(argv[i]);
    switch (types[i]) {
      case LO_INT32: {
        int32_t v = 0;
        std::memcpy(&v, bytes, sizeof v);
        args.emplace_back(v);
        break;
      }
      case LO_FLOAT: {
        float v = 0;
        std::memcpy(&v, bytes, sizeof v);
        args.emplace_back(v);
        break;
      }
      case LO_STRING: args.emplace_back(std::string(bytes)); break;
      default: ok = false;
    }
  }
  lo_message_free(message);
  if (!ok) {
    ++m_refused;
    return;
  }
  if (m_handler) m_handler(from, std::move(path_text), std::move(args));
}

}  // namespace zv

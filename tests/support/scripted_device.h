// A stand-in device on a loopback address that answers each request frame
// with datagrams a test wrote out, chosen by the request's command byte. It
// serves on a thread of its own until it is destroyed; an answer may also be
// sent from a second, stranger address first.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zv::test {

struct ScriptedAnswer {
  std::vector<uint8_t> bytes;
  bool from_stranger = false;  // sent from the stranger address instead
};

class ScriptedDevice {
 public:
  // Binds `address` on a free port, and `stranger_address` for strangers.
  explicit ScriptedDevice(std::map<uint8_t, std::vector<ScriptedAnswer>> answers,
                          const std::string& address = "127.0.0.1",
                          const std::string& stranger_address = "127.0.0.9")
      : m_answers(std::move(answers)) {
    m_fd = Bind(address, 0);
    m_stranger_fd = Bind(stranger_address, 0);
    m_stop = eventfd(0, EFD_CLOEXEC);
    if (m_fd >= 0 && m_stranger_fd >= 0) m_thread = std::thread([this] { Serve(); });
  }
  ~ScriptedDevice() {
    const uint64_t one = 1;
    (void)!write(m_stop, &one, sizeof one);
    if (m_thread.joinable()) m_thread.join();
    for (int fd : {m_fd, m_stranger_fd, m_stop})
      if (fd >= 0) close(fd);
  }
  ScriptedDevice(const ScriptedDevice&) = delete;
  ScriptedDevice& operator=(const ScriptedDevice&) = delete;

  bool ok() const { return m_thread.joinable(); }
  uint16_t port() const { return m_port; }
  // Command bytes of the requests received so far.
  std::vector<uint8_t> Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
  }

 private:
  int Bind(const std::string& address, uint16_t port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      if (fd >= 0) close(fd);
      return -1;
    }
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    if (m_port == 0) m_port = ntohs(a.sin_port);
    return fd;
  }

  void Serve() {
    for (;;) {
      pollfd fds[2] = {{m_stop, POLLIN, 0}, {m_fd, POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) return;
      if (fds[0].revents) return;
      if (!(fds[1].revents & POLLIN)) continue;
      uint8_t buffer[2048];
      sockaddr_in from{};
      socklen_t len = sizeof from;
      const ssize_t n = recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (n <= 16) continue;
      const uint8_t command = buffer[16];
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(command);
      }
      const auto it = m_answers.find(command);
      if (it == m_answers.end()) continue;
      for (const ScriptedAnswer& a : it->second)
        sendto(a.from_stranger ? m_stranger_fd : m_fd, a.bytes.data(), a.bytes.size(), 0,
               reinterpret_cast<const sockaddr*>(&from), sizeof from);
    }
  }

  std::map<uint8_t, std::vector<ScriptedAnswer>> m_answers;
  int m_fd = -1;
  int m_stranger_fd = -1;
  int m_stop = -1;
  uint16_t m_port = 0;
  mutable std::mutex m_mutex;
  std::vector<uint8_t> m_requests;
  std::thread m_thread;
};

}  // namespace zv::test

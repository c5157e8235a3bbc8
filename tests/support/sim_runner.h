// Runs the virtual devices in-process on a thread of their own, on loopback
// addresses and a port the test chose, for as long as the object lives.
#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "link/command_frame.h"
#include "link/link_state.h"
#include "sim/device_sim.h"

namespace zv::test {

class SimRunner {
 public:
  explicit SimRunner(sim::SimConfig config) : m_sim(WithQuietLog(std::move(config))) {
    m_stop = eventfd(0, EFD_CLOEXEC);
    m_started = m_sim.Start(&m_error);
    if (m_started) m_thread = std::thread([this] { m_sim.Run(m_stop); });
  }
  ~SimRunner() {
    const uint64_t one = 1;
    (void)!write(m_stop, &one, sizeof one);
    if (m_thread.joinable()) m_thread.join();
    close(m_stop);
  }
  SimRunner(const SimRunner&) = delete;
  SimRunner& operator=(const SimRunner&) = delete;

  bool started() const { return m_started; }
  const std::string& error() const { return m_error; }
  sim::DeviceSim& sim() { return m_sim; }
  // CPU time the devices' thread has used so far, in seconds: what a test
  // takes off the process's time to see the program's own.
  double CpuSeconds() const {
    clockid_t clock{};
    timespec t{};
    if (!m_started || pthread_getcpuclockid(const_cast<std::thread&>(m_thread).native_handle(), &clock) != 0 ||
        clock_gettime(clock, &t) != 0)
      return 0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
  }

 private:
  static sim::SimConfig WithQuietLog(sim::SimConfig config) {
    config.log = nullptr;
    return config;
  }
  sim::DeviceSim m_sim;
  int m_stop = -1;
  bool m_started = false;
  std::string m_error;
  std::thread m_thread;
};

// Sends a discovery query of the test's own to the virtual device at
// `address` and waits for its answer. A device handles its datagrams in
// order, so once it has answered it has logged every frame sent to it
// before. False when it did not answer within `wait_ms`.
inline bool DeviceHasLoggedAll(const char* address, uint16_t port, int wait_ms = 3000) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  inet_pton(AF_INET, address, &to.sin_addr);
  sendto(fd, DISCOVERY_QUERY.data(), DISCOVERY_QUERY.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  pollfd p{fd, POLLIN, 0};
  const bool answered = poll(&p, 1, wait_ms) == 1;
  close(fd);
  return answered;
}

// Devices named `names` of `type` (0xA5 unless given) at 127.0.0.2,
// 127.0.0.3 ... on `port`, with discovery on 127.0.0.1.
inline sim::SimConfig LoopbackSim(uint16_t port, const std::vector<std::string>& names,
                                  uint8_t type = 0xA5) {
  sim::SimConfig config;
  config.hub_address = "127.0.0.1";
  config.port = port;
  for (size_t i = 0; i < names.size(); ++i) {
    sim::DeviceConfig d;
    d.type = type;
    d.id = static_cast<uint8_t>(i + 1);
    d.name = names[i];
    d.address = "127.0.0." + std::to_string(i + 2);
    config.devices.push_back(d);
  }
  return config;
}

// Aims a link's search at a simulator made by LoopbackSim.
inline void AimSearchAt(LinkState& link, uint16_t port) {
  link.m_link_config.device_port = port;
  link.m_link_config.local_port = 0;
  link.m_link_config.search_address = "127.0.0.1";
}

}  // namespace zv::test

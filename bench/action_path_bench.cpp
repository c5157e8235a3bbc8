// The window's own path for an action, from one run (no pass mark): a
// session action called on the program's main thread, as a panel's button
// calls it, through the link worker to the datagram arriving at the device,
// against the floor of sending the same frame from a socket already open.
// Arrivals are the kernel's receive stamps (SO_TIMESTAMPNS, the real-time
// clock), read on the clock the action is started by. The remote benchmark
// (remote_bench.py) runs this first and sets HTTP and OSC against it.
//
// Usage: zv_action_path_bench [SAMPLES]; the last line is
//   window_minus_floor_ms MEDIAN P99
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "hub/device_hub.h"
#include "link/command_frame.h"
#include "link/link_worker.h"
#include "link/worker_device_link.h"
#include "service/qt_session_clock.h"
#include "support/loopback_link.h"

namespace {

constexpr const char* kDevice = "127.0.4.201";

int64_t WallNs() {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

// A device that stamps what reaches it.
class StampedDevice {
 public:
  StampedDevice() {
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, kDevice, &a.sin_addr);
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
      socklen_t length = sizeof a;
      getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &length);
      m_address = a;
    }
  }
  ~StampedDevice() { close(m_fd); }
  bool ok() const { return m_address.sin_port != 0; }
  const sockaddr_in& address() const { return m_address; }
  // The next datagram's kernel stamp and its bytes; nothing within 2 s.
  std::optional<std::pair<int64_t, std::vector<uint8_t>>> Receive() {
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) return std::nullopt;
    std::vector<uint8_t> bytes(2048);
    iovec io{bytes.data(), bytes.size()};
    alignas(cmsghdr) char control[64];
    msghdr m{};
    m.msg_iov = &io;
    m.msg_iovlen = 1;
    m.msg_control = control;
    m.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(m_fd, &m, 0);
    if (n < 0) return std::nullopt;
    bytes.resize(static_cast<size_t>(n));
    int64_t stamp = WallNs();
    for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c))
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPNS) {
        timespec t{};
        std::copy_n(reinterpret_cast<const char*>(CMSG_DATA(c)), sizeof t, reinterpret_cast<char*>(&t));
        stamp = int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
      }
    return std::make_pair(stamp, std::move(bytes));
  }

 private:
  int m_fd = -1;
  sockaddr_in m_address{};
};

double Ms(int64_t ns) { return static_cast<double>(ns) / 1e6; }

int64_t Percentile(std::vector<int64_t> v, double q) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())))];
}

// Lets the main loop run for `ms` (the answers of the last action come in).
void Spin(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  const int samples = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
  QCoreApplication app(argc, argv);
  StampedDevice device;
  if (!device.ok()) {
    std::fprintf(stderr, "cannot bind the device's socket on %s\n", kDevice);
    return 1;
  }
  const auto post = [&app](std::function<void()> then) {
    QMetaObject::invokeMethod(&app, std::move(then), Qt::QueuedConnection);
  };
  zv::QtSessionClock clock;
  zv::CnComm serial_port;
  zv::LinkWorker worker(zv::test::LoopbackConfig(ntohs(device.address().sin_port)), post, serial_port);
  zv::DeviceHub hub(worker, clock, post, [&worker](const zv::DeviceEntry& entry, const std::string& name, bool) {
    return std::make_unique<zv::WorkerDeviceLink>(entry, name, zv::kModeNetwork, worker,
                                                  [](const std::string&, bool) {});
  });
  zv::DeviceEntry entry;
  entry.SetIpText(kDevice);
  entry.device_type = 0xA5;  // a production switcher
  entry.device_id = 1;
  hub.Found({entry}, {std::string("SW_") + kDevice}, true);

  const int floor_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  std::vector<int64_t> window, floor;
  int wrong = 0;
  for (int i = 0; i < samples; ++i) {
    const int source = 2 + i % 9;
    const int64_t t0 = WallNs();
    hub.Invoke(kDevice, "switcher.program", zv::ActionArgs{{"source", source}}, {"window", "bench"},
               [](const zv::ActionRun&) {});
    const auto got = device.Receive();
    if (!got || got->second.size() <= 17 || got->second[17] != source) {
      ++wrong;
      Spin(15);
      continue;
    }
    window.push_back(got->first - t0);
    Spin(15);
    const int64_t f0 = WallNs();
    sendto(floor_socket, got->second.data(), got->second.size(), 0,
           reinterpret_cast<const sockaddr*>(&device.address()), sizeof device.address());
    const auto bare = device.Receive();
    if (bare) floor.push_back(bare->first - f0);
    Spin(15);
  }
  close(floor_socket);
  if (window.empty() || floor.empty()) {
    std::printf("no samples (%d wrong)\n", wrong);
    return 1;
  }
  const int64_t base = Percentile(floor, 0.5);
  std::printf("== the window's path for an action: the session action on the main thread -> the datagram at "
              "the device (%d samples, kernel receive stamps)\n", samples);
  std::printf("   %-8s %10s %10s\n", "path", "median ms", "p99 ms");
  std::printf("   %-8s %10.3f %10.3f\n", "floor", Ms(base), Ms(Percentile(floor, 0.99)));
  std::printf("   %-8s %10.3f %10.3f\n", "window", Ms(Percentile(window, 0.5)), Ms(Percentile(window, 0.99)));
  std::printf("   wrong or missing frames: %d\n", wrong);
  std::printf("window_minus_floor_ms %.3f %.3f\n", Ms(Percentile(window, 0.5) - base),
              Ms(Percentile(window, 0.99) - Percentile(floor, 0.99)));
  return 0;
}

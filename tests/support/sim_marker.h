// Lets a UI test see that a virtual device received nothing more: a marker
// datagram sent to the device's own socket lands behind everything sent
// there before it.
#pragma once

#include <arpa/inet.h>

#include <QTest>
#include <optional>
#include <string>
#include <vector>

#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv::test {

// Sends a text marker to the device at `address`:`port` (once the window's
// link is idle, everything it sent that device is already queued there) and
// waits until the device has logged it. Returns the log lines before the
// marker's, or nothing when the marker was not logged within three seconds.
inline std::optional<std::vector<std::string>> LogBeforeMarker(SimRunner& runner, const std::string& address,
                                                                uint16_t port) {
  static const std::string kMarker = "zv-test-marker";
  UdpPeer sender;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = inet_addr(address.c_str());
  sender.SendTo(to, std::span(reinterpret_cast<const uint8_t*>(kMarker.data()), kMarker.size()));
  std::vector<std::string> before;
  const bool logged = QTest::qWaitFor(
      [&] {
        const std::vector<std::string> lines = runner.sim().LogLines();
        for (size_t i = 0; i < lines.size(); ++i)
          if (lines[i].find("\"text\":\"" + kMarker + "\"") != std::string::npos) {
            before.assign(lines.begin(), lines.begin() + static_cast<long>(i));
            return true;
          }
        return false;
      },
      3000);
  if (!logged) return std::nullopt;
  return before;
}

}  // namespace zv::test

// Aims a link at a stand-in device on loopback: the peer's port stands in for
// port 7000, the local port is chosen by the system (unless a test fixes it)
// and the search goes to 127.0.0.1.
#pragma once

#include "link/link_state.h"
#include "support/udp_peer.h"

namespace zv::test {

// A link configuration for devices on loopback that listen on `port`: the
// local port left to the system, the search sent to 127.0.0.1.
inline LinkConfig LoopbackConfig(uint16_t port) {
  LinkConfig config;
  config.device_port = port;
  config.local_port = 0;
  config.search_address = "127.0.0.1";
  return config;
}

// The same for a device at `address` on `port`, such as a virtual device of
// the simulator.
inline void AimAt(LinkState& link, uint16_t port, const char* address, uint8_t type,
                  uint8_t id = 0x01) {
  link.m_link_config.device_port = port;
  link.m_link_config.local_port = 0;
  link.m_link_config.search_address = "127.0.0.1";
  if (link.m_device_list.empty()) link.m_device_list.resize(1);
  link.m_device_list[0].SetIpText(address);
  link.m_device_list[0].device_type = type;
  link.m_device_list[0].device_id = id;
  link.m_device_index = 0;
}

inline void AimAt(LinkState& link, const UdpPeer& device, uint8_t type = 0xA5,
                  uint8_t id = 0x01) {
  AimAt(link, device.port(), "127.0.0.1", type, id);
}

}  // namespace zv::test

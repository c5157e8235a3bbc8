// Aims a link at a stand-in device on loopback: the peer's port stands in for
// port 7000, the local port is chosen by the system (unless a test fixes it)
// and the search goes to 127.0.0.1.
#pragma once

#include "link/link_state.h"
#include "support/udp_peer.h"

namespace zv::test {

inline void AimAt(LinkState& link, const UdpPeer& device, uint8_t type = 0xA5,
                  uint8_t id = 0x01) {
  link.m_link_config.device_port = device.port();
  link.m_link_config.local_port = 0;
  link.m_link_config.search_address = "127.0.0.1";
  link.m_device_list[0].SetIpText("127.0.0.1");
  link.m_device_list[0].device_type = type;
  link.m_device_list[0].device_id = id;
  link.m_device_index = 0;
}

}  // namespace zv::test

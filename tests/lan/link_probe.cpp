// Both ends of the LAN test, run inside two network namespaces with the
// program's real defaults: port 7000 at both ends and the search sent to
// 255.255.255.255.
//   link_probe device NAME TYPE ID  - answers one discovery query, then
//                                     prints the next datagram it receives
//   link_probe panel                - searches for 2000 ms, prints each reply,
//                                     then sends a Cut to the first device
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/command_frame.h"
#include "link/link_state.h"
#include "platform/platform.h"

namespace {

std::string Hex(const uint8_t* b, size_t n) {
  std::string s;
  char t[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(t, sizeof t, i ? " %02X" : "%02X", b[i]);
    s += t;
  }
  return s;
}

int Device(const char* name, uint8_t type, uint8_t id) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(zv::LinkConfig::kDefaultDevicePort);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    std::perror("device bind");
    return 1;
  }
  std::printf("device ready\n");
  std::fflush(stdout);
  for (int round = 0; round < 2; ++round) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) {
      std::printf("device: nothing received\n");
      return 1;
    }
    uint8_t buffer[2048];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n <= 0) return 1;
    std::printf("device got %s from %s:%u\n", Hex(buffer, static_cast<size_t>(n)).c_str(),
                zv::AddressText(from).c_str(), ntohs(from.sin_port));
    std::fflush(stdout);
    if (round == 0) {
      // A discovery reply: the name, the marker, a byte after it, the tail.
      std::vector<uint8_t> body(name, name + std::strlen(name));
      const char marker[] = "-1-";
      body.insert(body.end(), marker, marker + 3);
      std::vector<uint8_t> params{0};
      params.insert(params.end(), body.begin(), body.end());
      uint8_t reply[1024];
      const size_t r = zv::BuildCommandFrame(reply, type, id, zv::kLinkFlagUdp,
                                             zv::kCommandDiscovery, params);
      sendto(fd, reply, r, 0, reinterpret_cast<sockaddr*>(&from), len);
    }
  }
  close(fd);
  return 0;
}

int Panel() {
  zv::LinkState link;  // the program's defaults
  if (!link.OpenScanSocket()) {
    std::printf("panel: scan socket failed\n");
    return 1;
  }
  link.SendDatagram(zv::DISCOVERY_QUERY);
  const uint32_t start = zv::TickCount();
  int found = 0;
  for (uint32_t elapsed = 0; elapsed <= zv::kSearchWindowMs; elapsed = zv::TickCount() - start) {
    zv::Datagram d;
    if (link.ReceiveDatagram(zv::kSearchReplyBufferSize, zv::kSearchWindowMs - elapsed + 1, &d) != 1)
      continue;
    const zv::DiscoveryReply reply = zv::ParseDiscoveryDatagram(d.bytes.data(), d.bytes.size());
    for (const std::string& name : reply.names) {
      if (found < zv::kDeviceListSize) {
        link.m_device_list[found].SetIpText(zv::AddressText(d.from));
        link.m_device_list[found].device_type = reply.device_type;
        link.m_device_list[found].device_id = reply.device_id;
      }
      std::printf("panel found %s_%s type %02X id %02X\n", name.c_str(),
                  zv::AddressText(d.from).c_str(), reply.device_type, reply.device_id);
      ++found;
    }
  }
  link.CloseUdpSocket();
  std::fflush(stdout);
  if (!found) return 1;
  link.m_device_index = 0;
  link.SendCommand(0x83);  // Cut
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::strcmp(argv[1], "device") == 0)
    return Device(argv[2], static_cast<uint8_t>(std::strtoul(argv[3], nullptr, 0)),
                  static_cast<uint8_t>(std::strtoul(argv[4], nullptr, 0)));
  if (argc >= 2 && std::strcmp(argv[1], "panel") == 0) return Panel();
  std::fprintf(stderr, "usage: link_probe device NAME TYPE ID | link_probe panel\n");
  return 2;
}

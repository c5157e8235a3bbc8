// The machine's networks as the search and the operator's notices see them,
// over a made-up list of interfaces.
#include <gtest/gtest.h>

#include "link/local_networks.h"

namespace zv {
namespace {

uint32_t Ip(const char* text) {
  uint32_t address = 0;
  EXPECT_TRUE(ParseIpv4(text, &address)) << text;
  return address;
}

NetInterface Interface(const char* name, const char* address, const char* netmask, bool up,
                       bool can_broadcast, const char* peer = nullptr) {
  NetInterface i;
  i.name = name;
  i.address = Ip(address);
  i.netmask = Ip(netmask);
  i.up = up;
  i.loopback = std::string(name) == "lo";
  i.can_broadcast = can_broadcast;
  if (can_broadcast) i.broadcast = i.Network() | ~i.netmask;
  if (peer) i.peer = Ip(peer);
  return i;
}

// A machine on two LANs and a VPN, with a second address in the first LAN,
// a cable unplugged and an interface that cannot broadcast.
const std::vector<NetInterface> kMachine = {
    Interface("lo", "127.0.0.1", "255.0.0.0", true, false),
    Interface("eth0", "192.168.1.10", "255.255.255.0", true, true),
    Interface("eth0", "192.168.1.11", "255.255.255.0", true, true),
    Interface("eth1", "172.20.3.4", "255.255.0.0", true, true),
    Interface("tun0", "10.8.0.2", "255.255.255.255", true, false, "10.8.0.1"),
    Interface("eth2", "10.50.0.7", "255.255.255.0", false, true),
    Interface("wg0", "10.9.0.3", "255.255.255.0", true, false),
};

TEST(LocalNetworksTest, BroadcastsSubnetsAndNotices) {
  std::vector<std::string> broadcasts;
  for (uint32_t b : DirectedBroadcasts(kMachine)) broadcasts.push_back(Ipv4Text(b));
  // Up, able to broadcast, not loopback, each once.
  EXPECT_EQ(broadcasts, (std::vector<std::string>{"192.168.1.255", "172.20.255.255"}));
  EXPECT_EQ(LocalSubnetsText(kMachine),
            "192.168.1.0/24 172.20.0.0/16 10.8.0.2/32 10.8.0.1/32 10.9.0.0/24");
  EXPECT_EQ(LocalAddressesText(kMachine),
            "192.168.1.10/24, 192.168.1.11/24, 172.20.3.4/16, 10.8.0.2/32, 10.9.0.3/24");

  const std::string outside =
      "not in a local subnet (192.168.1.0/24 172.20.0.0/16 10.8.0.2/32 10.8.0.1/32 10.9.0.0/24)";
  struct Row {
    const char* address;
    const char* notice;
  };
  const Row rows[] = {
      {"192.168.1.20", ""},
      {"192.168.1.255", ""},
      {"192.168.2.20", outside.c_str()},
      {"172.20.200.1", ""},
      {"172.21.0.1", outside.c_str()},
      {"10.8.0.1", ""},               // the VPN's far end
      {"10.8.0.3", outside.c_str()},  // beside it, but not on the link
      {"10.9.0.77", ""},              // no broadcast, still a subnet
      {"10.50.0.8", outside.c_str()}, // the unplugged cable's subnet
      {"127.0.0.3", ""},              // the virtual devices
      {"not an address", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(SubnetNotice(row.address, kMachine), row.notice) << row.address;

  // Nothing but loopback: every device outside is told so, and no
  // interface is queried beyond the limited broadcast.
  const std::vector<NetInterface> alone = {kMachine[0], kMachine[5]};
  EXPECT_TRUE(DirectedBroadcasts(alone).empty());
  EXPECT_EQ(SubnetNotice("192.168.1.20", alone),
            "not in a local subnet (this machine has no network but loopback)");
  EXPECT_EQ(LocalAddressesText(alone), "loopback only");
  EXPECT_EQ(SubnetNotice("127.0.0.2", alone), "");
}

TEST(LocalNetworksTest, TheMachinesOwnListHasLoopback) {
  const std::vector<NetInterface> own = ReadLocalInterfaces();
  EXPECT_TRUE(InLocalSubnet(Ip("127.0.0.2"), own));
  for (uint32_t b : DirectedBroadcasts(own)) EXPECT_NE(b >> 24, 127u) << Ipv4Text(b);
}

}  // namespace
}  // namespace zv

// The machine's own IPv4 networks: which directed broadcasts the device
// search also queries, whether a device's address lies in one of them, and
// how that is told to the operator. Everything but ReadLocalInterfaces works
// on a given list, so the rules can be checked without the machine's own
// interfaces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zv {

// One IPv4 address of a network interface. Addresses are in host byte order
// (10.0.0.5 is 0x0A000005).
struct NetInterface {
  std::string name;
  uint32_t address = 0;
  uint32_t netmask = 0;
  // The directed broadcast of the interface's subnet (when it can broadcast).
  uint32_t broadcast = 0;
  // The far end of a point-to-point link; 0 for none.
  uint32_t peer = 0;
  bool up = false;
  bool loopback = false;
  bool can_broadcast = false;

  // The netmask's length (24 for 255.255.255.0).
  int Prefix() const;
  uint32_t Network() const { return address & netmask; }
};

// The IPv4 addresses of the machine's interfaces, as the system reports them
// now (up or not). Empty when they cannot be read.
std::vector<NetInterface> ReadLocalInterfaces();

// The directed broadcasts of the interfaces that are up, can broadcast and
// are not loopback, each once, in the list's order. The limited broadcast
// 255.255.255.255 and a broadcast equal to the interface's own address (a
// /32) are left out.
std::vector<uint32_t> DirectedBroadcasts(const std::vector<NetInterface>& interfaces);

// True when `address` lies in the subnet of an interface that is up
// (loopback's 127.0.0.0/8 included), or is the far end of a point-to-point
// link that is up.
bool InLocalSubnet(uint32_t address, const std::vector<NetInterface>& interfaces);

// The subnets of the interfaces that are up, loopback left out, each once:
// "192.168.1.0/24 10.0.0.0/8". A point-to-point link's far end is listed as
// "10.8.0.1/32".
std::string LocalSubnetsText(const std::vector<NetInterface>& interfaces);

// The machine's own addresses on the interfaces that are up, loopback left
// out: "192.168.1.10/24, 10.0.0.5/8"; "loopback only" when there is none.
std::string LocalAddressesText(const std::vector<NetInterface>& interfaces);

// What the operator is told about a device at `address_text` (dotted quad):
// "not in a local subnet (192.168.1.0/24 10.0.0.0/8)" when it lies in none
// of the machine's subnets, "not in a local subnet (this machine has no
// network but loopback)" when there are none; empty when it is local or the
// text is not an address.
std::string SubnetNotice(const std::string& address_text,
                         const std::vector<NetInterface>& interfaces);

// Why a command cannot be aimed at `address` (host order), as the rest of
// a sentence after the address ("is a multicast address"); empty when it
// can. A command goes to one device: the limited broadcast, a multicast
// address, 0.x.x.x and the directed broadcast of any of the machine's
// interfaces (up or not, loopback's 127.255.255.255 included) would reach
// every device that listens, or none.
std::string OneDeviceAddressProblem(uint32_t address, const std::vector<NetInterface>& interfaces);

// "a.b.c.d" of a host-order address.
std::string Ipv4Text(uint32_t address);
// Host-order address of a strict dotted quad; false for anything else.
bool ParseIpv4(const std::string& text, uint32_t* address);

}  // namespace zv

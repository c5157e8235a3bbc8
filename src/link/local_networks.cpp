#include "link/local_networks.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <bit>

namespace zv {
namespace {

uint32_t HostOrder(const sockaddr* address) {
  if (!address || address->sa_family != AF_INET) return 0;
  return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
}

bool PointToPoint(const NetInterface& i) { return i.peer != 0 && i.peer != i.address; }

void AddOnce(std::vector<std::string>* items, std::string item) {
  if (std::find(items->begin(), items->end(), item) == items->end()) items->push_back(std::move(item));
}

std::string Joined(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (const std::string& item : items) {
    if (!text.empty()) text += separator;
    text += item;
  }
  return text;
}

}  // namespace

int NetInterface::Prefix() const { return std::popcount(netmask); }

std::vector<NetInterface> ReadLocalInterfaces() {
  std::vector<NetInterface> interfaces;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return interfaces;
  for (const ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
    NetInterface i;
    i.name = a->ifa_name ? a->ifa_name : "";
    i.address = HostOrder(a->ifa_addr);
    i.netmask = HostOrder(a->ifa_netmask);
    i.up = (a->ifa_flags & IFF_UP) != 0;
    i.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
    i.can_broadcast = (a->ifa_flags & IFF_BROADCAST) != 0;
    // The union holds the broadcast address or the far end, by the flags.
    if (i.can_broadcast) {
      i.broadcast = HostOrder(a->ifa_broadaddr);
      if (i.broadcast == 0) i.broadcast = i.Network() | ~i.netmask;
    } else if (a->ifa_flags & IFF_POINTOPOINT) {
      i.peer = HostOrder(a->ifa_dstaddr);
    }
    interfaces.push_back(std::move(i));
  }
  freeifaddrs(list);
  return interfaces;
}

std::vector<uint32_t> DirectedBroadcasts(const std::vector<NetInterface>& interfaces) {
  std::vector<uint32_t> broadcasts;
  for (const NetInterface& i : interfaces) {
    if (!i.up || i.loopback || !i.can_broadcast) continue;
    if (i.broadcast == 0 || i.broadcast == 0xFFFFFFFFu || i.broadcast == i.address) continue;
    if (std::find(broadcasts.begin(), broadcasts.end(), i.broadcast) == broadcasts.end())
      broadcasts.push_back(i.broadcast);
  }
  return broadcasts;
}

bool InLocalSubnet(uint32_t address, const std::vector<NetInterface>& interfaces) {
  for (const NetInterface& i : interfaces) {
    if (!i.up) continue;
    if ((address & i.netmask) == i.Network()) return true;
    if (PointToPoint(i) && address == i.peer) return true;
  }
  return false;
}

std::string LocalSubnetsText(const std::vector<NetInterface>& interfaces) {
  std::vector<std::string> subnets;
  for (const NetInterface& i : interfaces) {
    if (!i.up || i.loopback) continue;
    AddOnce(&subnets, Ipv4Text(i.Network()) + "/" + std::to_string(i.Prefix()));
    if (PointToPoint(i)) AddOnce(&subnets, Ipv4Text(i.peer) + "/32");
  }
  return Joined(subnets, " ");
}

std::string LocalAddressesText(const std::vector<NetInterface>& interfaces) {
  std::vector<std::string> addresses;
  for (const NetInterface& i : interfaces) {
    if (!i.up || i.loopback) continue;
    AddOnce(&addresses, Ipv4Text(i.address) + "/" + std::to_string(i.Prefix()));
  }
  return addresses.empty() ? "loopback only" : Joined(addresses, ", ");
}

std::string SubnetNotice(const std::string& address_text,
                         const std::vector<NetInterface>& interfaces) {
  uint32_t address = 0;
  if (!ParseIpv4(address_text, &address) || InLocalSubnet(address, interfaces)) return {};
  const std::string subnets = LocalSubnetsText(interfaces);
  return "not in a local subnet (" +
         (subnets.empty() ? std::string("this machine has no network but loopback") : subnets) + ")";
}

std::string OneDeviceAddressProblem(uint32_t address, const std::vector<NetInterface>& interfaces) {
  if (address == 0xFFFFFFFFu) return "is the broadcast address, not one device's";
  if ((address >> 28) == 0xE) return "is a multicast address, not one device's";
  if ((address >> 24) == 0) return "is not a device's address";
  for (const NetInterface& i : interfaces) {
    // The broadcast the system reports, or the subnet's last address (loopback
    // has no broadcast flag, yet 127.255.255.255 reaches every listener); a
    // /31 or /32 has no broadcast address of its own.
    const bool reported = i.can_broadcast && i.broadcast != 0 && address == i.broadcast;
    const bool last = i.Prefix() <= 30 && address == (i.Network() | ~i.netmask);
    if (reported || last)
      return "is the broadcast address of " + i.name + " (" + Ipv4Text(i.Network()) + "/" +
             std::to_string(i.Prefix()) + "), not one device's";
  }
  return {};
}

std::string Ipv4Text(uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

bool ParseIpv4(const std::string& text, uint32_t* address) {
  in_addr parsed{};
  if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
  if (address) *address = ntohl(parsed.s_addr);
  return true;
}

}  // namespace zv

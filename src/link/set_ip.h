// Giving a device a new address. Every family takes the same set-IP
// command (0x05: address, subnet mask, gateway, each first octet first), by
// UDP whatever the connection mode, and the settings window offers it for
// any chosen device, so it lives here with the link rather than in one
// family's action table; the multiviewer's settings page sends through the
// same job after the same question.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "link/device_entry.h"
#include "link/link_worker.h"

namespace zv {

struct NewAddress {
  std::array<uint8_t, 4> ip{}, mask{}, gateway{};
};

inline constexpr std::array<uint8_t, 4> kDefaultSubnetMaskOctets{255, 255, 255, 0};

// What a device is given when only its address is typed (the settings
// window): the mask the multiviewer's page offers, 255.255.255.0, and the
// gateway at .1 on the new address's network. A zero mask and gateway
// would leave the device unable to answer beyond its own address.
NewAddress NewAddressFor(const std::array<uint8_t, 4>& ip);

// The question asked before a set-IP frame leaves, naming the device (its
// line in the device list, else its address) and the address it is to take.
std::string SetIpQuestion(const std::string& device_line, const DeviceEntry& device,
                          const std::array<uint8_t, 4>& ip);

// Puts the set-IP frame on the wire to the link's chosen device, by UDP;
// true when the whole frame left.
bool SendSetIpFrame(LinkState& link, const NewAddress& to);

// The link worker's job that sends it; `done` (when given) runs afterwards
// on the caller's side with whether the frame left.
LinkWorker::Job SetIpJob(const NewAddress& to, std::function<void(bool sent)> done = {});

}  // namespace zv

#include "link/set_ip.h"

#include "link/command_frame.h"
#include "link/link_state.h"

namespace zv {

NewAddress NewAddressFor(const std::array<uint8_t, 4>& ip) {
  NewAddress to;
  to.ip = ip;
  to.mask = kDefaultSubnetMaskOctets;
  to.gateway = {ip[0], ip[1], ip[2], 1};
  return to;
}

std::string SetIpQuestion(const std::string& device_line, const DeviceEntry& device,
                          const std::array<uint8_t, 4>& ip) {
  const std::string name = device_line.empty() ? "the device at " + device.IpText() : device_line;
  return "Change the IP address of " + name + " to " + DottedQuad(ip) + "?";
}

bool SendSetIpFrame(LinkState& link, const NewAddress& to) {
  uint8_t frame[CommandFrame::kSenderBufferSize] = {};
  const DeviceEntry& device = link.ChosenDevice();
  const size_t length = BuildSetIpFrame(frame, device.device_type, device.device_id, to.ip, to.mask, to.gateway);
  return link.SendAndClose(std::span<const uint8_t>(frame, length));
}

LinkWorker::Job SetIpJob(const NewAddress& to, std::function<void(bool sent)> done) {
  return [to, done = std::move(done)](LinkState& link) -> std::function<void()> {
    const bool sent = SendSetIpFrame(link, to);
    if (!done) return {};
    return [done, sent] { done(sent); };
  };
}

}  // namespace zv

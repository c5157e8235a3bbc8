// The network discovery reply rule over one datagram of any content.
#include <cstdint>
#include <cstdlib>

#include "link/command_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zv::DiscoveryReply reply = zv::ParseDiscoveryDatagram(data, size);
  if (!reply.is_reply && !reply.names.empty()) std::abort();
  for (const std::string& name : reply.names)
    if (zv::CommandFrame::kOffsetName + name.size() + 3 > size) std::abort();
  return 0;
}

// The virtual four-channel switcher.
#include "sim/family_devices.h"

namespace zv::sim {

std::unique_ptr<SimDevice> MakeFourChannelDevice(const DeviceConfig& config) {
  return std::make_unique<SimDevice>(config);
}

}  // namespace zv::sim

// The virtual production switcher.
#include "sim/family_devices.h"

namespace zv::sim {

std::unique_ptr<SimDevice> MakeSwitcherDevice(const DeviceConfig& config) {
  return std::make_unique<SimDevice>(config);
}

}  // namespace zv::sim

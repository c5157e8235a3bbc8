// The virtual 16-window multiviewer.
#include "sim/family_devices.h"

namespace zv::sim {

std::unique_ptr<SimDevice> MakeMultiviewerDevice(const DeviceConfig& config) {
  return std::make_unique<SimDevice>(config);
}

}  // namespace zv::sim

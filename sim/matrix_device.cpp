// The virtual 8x8 matrix router.
#include "sim/family_devices.h"

namespace zv::sim {

std::unique_ptr<SimDevice> MakeMatrixDevice(const DeviceConfig& config) {
  return std::make_unique<SimDevice>(config);
}

}  // namespace zv::sim

// The virtual device of each family. Each lives in its own file and keeps the
// state its panel reads back; MakeDevice picks one by the type byte.
#pragma once

#include <memory>

#include "sim/device_sim.h"

namespace zv::sim {

std::unique_ptr<SimDevice> MakeMultiviewerDevice(const DeviceConfig& config);  // 0xA1
std::unique_ptr<SimDevice> MakeMatrixDevice(const DeviceConfig& config);       // 0x81, 0x82
std::unique_ptr<SimDevice> MakeFourChannelDevice(const DeviceConfig& config);  // 0x60
std::unique_ptr<SimDevice> MakeSwitcherDevice(const DeviceConfig& config);     // 0xA5

}  // namespace zv::sim

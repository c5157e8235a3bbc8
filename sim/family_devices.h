// The virtual device of each family. Each lives in its own file and keeps the
// state its panel reads back; MakeDevice picks one by the type byte.
#pragma once

#include <memory>

#include "families/family_list.h"
#include "sim/device_sim.h"

namespace zv::sim {

#define ZV_MAKE_DEVICE(Name) std::unique_ptr<SimDevice> Make##Name##Device(const DeviceConfig& config);
ZV_FAMILIES(ZV_MAKE_DEVICE)
#undef ZV_MAKE_DEVICE

}  // namespace zv::sim

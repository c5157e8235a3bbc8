// The virtual production switcher: keeps its own copy of the switcher record
// and applies each command the panel sends. Tests read the record while the
// simulator runs on its own thread, so it is guarded.
#pragma once

#include <mutex>

#include "sim/device_sim.h"
#include "switcher/switcher_state.h"

namespace zv::sim {

class SwitcherDevice : public SimDevice {
 public:
  explicit SwitcherDevice(DeviceConfig config);

  std::vector<Bytes> OnFrame(std::span<const uint8_t> frame, Link link) override;
  // The programme or the preview source (1 to 8, as the buttons choose).
  std::optional<FrontPanelChange> ChangeAtFrontPanel(std::mt19937& random) override;

  // A copy of the device's record.
  SwitcherPageData State() const;
  // Transitions completed by Cut or by the T-bar reaching its end.
  int TransitionsDone() const;

 private:
  void Apply(uint8_t command, std::span<const uint8_t> params);
  void Exchange(const char* why);
  void ToggleKey(int element);

  mutable std::mutex m_mutex;
  SwitcherPageData m_state{};
  int m_transitions_done = 0;
};

}  // namespace zv::sim

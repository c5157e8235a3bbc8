// What a settings page of the switcher panel needs from the panel: the
// shared record and the way to send a frame to the chosen device.
#pragma once

#include "switcher/switcher_state.h"

namespace zv {

class SwitcherPageHost {
 public:
  virtual SwitcherPageData& SwitcherRecord() = 0;
  virtual void SendSwitcherFrame(const SwitcherFrame& frame) = 0;

 protected:
  ~SwitcherPageHost() = default;
};

}  // namespace zv

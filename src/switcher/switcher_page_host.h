// What a settings page of the switcher panel needs from the panel: the
// device's record and its actions.
#pragma once

#include <string>

#include "session/action_table.h"
#include "switcher/switcher_state.h"

namespace zv {

class SwitcherPageHost {
 public:
  virtual SwitcherPageData& SwitcherRecord() = 0;
  // Invokes one of the switcher's actions ("switcher.luma_source").
  virtual ActionOutcome Act(const std::string& action, const ActionArgs& args = {}) = 0;

 protected:
  ~SwitcherPageHost() = default;
};

}  // namespace zv

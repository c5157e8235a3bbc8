#include "session/device_session.h"

#include "session/family_info.h"

namespace zv {

ActionOutcome DeviceSession::Invoke(const std::string& name, const ActionArgs& args) {
  const ActionSpec* action = FindAction(m_family.actions(), name);
  if (!action) return {ActionOutcome::kUnknown, "the " + std::string(m_family.name) + " has no action " + name};
  if (std::string problem = CheckActionArgs(*action, args); !problem.empty()) return ActionOutcome::Bad(problem);
  return action->apply(*this, args);
}

ActionOutcome DeviceSession::InvokeFromView(const std::string& name, const ActionArgs& args, bool say_not_now) {
  const ActionOutcome outcome = m_view_invoker ? m_view_invoker(*this, name, args) : Invoke(name, args);
  if (outcome.status == ActionOutcome::kBadParameter || outcome.status == ActionOutcome::kUnknown ||
      (say_not_now && outcome.status == ActionOutcome::kNotNow))
    m_link.ShowStatus(outcome.message, true);
  return outcome;
}

}  // namespace zv

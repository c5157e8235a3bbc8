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

namespace {
int g_follow_period_ms = 2000;
}

void DeviceSession::SetFollowPeriodMs(int period_ms) { g_follow_period_ms = period_ms > 0 ? period_ms : 0; }
int DeviceSession::FollowPeriodMs() { return g_follow_period_ms; }

int DeviceSession::StartFollowing() {
  m_followers[++m_next_follower] = true;
  if (!m_follow_timer && ReadsBack() && g_follow_period_ms > 0)
    m_follow_timer = m_clock.Start(g_follow_period_ms, [this] { FollowTick(); });
  return m_next_follower;
}

void DeviceSession::StopFollowing(int handle) {
  m_followers.erase(handle);
  if (m_followers.empty()) StopFollowTimer();
}

void DeviceSession::StopFollowTimer() {
  if (m_follow_timer) m_clock.Stop(m_follow_timer);
  m_follow_timer = 0;
}

void DeviceSession::FollowTick() {
  // One reading at a time, and none in the middle of a timed action. A
  // reading whose answer never came back (the window dropped what was
  // queued when its panel changed) stops holding the next after a while.
  const auto now = std::chrono::steady_clock::now();
  if ((m_follow_reading && now - m_follow_started < std::chrono::seconds(15)) || Busy()) return;
  m_follow_reading = true;
  m_follow_started = now;
  const uint64_t reading = ++m_follow_readings;
  ReadToFollow([this, reading](bool answered) {
    if (reading != m_follow_readings) return;  // a reading given up on
    m_follow_reading = false;
    if (answered == m_answering) return;
    m_answering = answered;
    // Said once when the device goes silent, once when it is back.
    if (answered)
      m_link.ShowStatus(m_link.DeviceName() + " answers again");
    else
      m_link.ShowStatus(m_link.DeviceName() + " does not answer", true);
    RecordChanged();
  });
}

}  // namespace zv

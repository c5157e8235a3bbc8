// One device in use: its record, how it is reached, its rules and its timed
// actions. The application keeps one session per device; a panel, a panel's
// keys, zvctl, a saved setup and a salvo are surfaces of a session: they
// read its record and invoke its actions (session/action_table.h), and a
// view repaints when the session says its record changed.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "link/device_link.h"
#include "session/action_table.h"
#include "session/session_clock.h"

namespace zv {

struct FamilyInfo;

// Callbacks of the views of a session, called in the order they subscribed.
template <class... Args>
class Observers {
 public:
  int Add(std::function<void(Args...)> f) {
    m_list[++m_next] = std::move(f);
    return m_next;
  }
  void Remove(int token) { m_list.erase(token); }
  void Notify(Args... args) const {
    // A view may unsubscribe while told (it closes): work on a copy.
    const auto list = m_list;
    for (const auto& [token, f] : list)
      if (m_list.count(token)) f(args...);
  }

 private:
  std::map<int, std::function<void(Args...)>> m_list;
  int m_next = 0;
};

class DeviceSession {
 public:
  DeviceSession(const FamilyInfo& family, DeviceLink& link, SessionClock& clock)
      : m_family(family), m_link(link), m_clock(clock) {}
  virtual ~DeviceSession() { StopFollowTimer(); }
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  const FamilyInfo& Family() const { return m_family; }
  DeviceLink& Link() { return m_link; }
  SessionClock& Clock() { return m_clock; }

  // Runs the action of this session's family named `name` with `args`:
  // refused (nothing sent) when the family has no such action or the
  // arguments do not fit it.
  ActionOutcome Invoke(const std::string& name, const ActionArgs& args = {});
  // As Invoke, for a view: a refused value or an unknown action is said in
  // red in the status strip (what the device's state does not allow now
  // stays quiet, as a press that does nothing, unless `say_not_now`).
  ActionOutcome InvokeFromView(const std::string& name, const ActionArgs& args = {}, bool say_not_now = false);
  // Who runs the actions views invoke: by default Invoke itself. The owner
  // of the sessions (the device hub) puts itself here to see what the
  // window did and what it sent.
  using ViewInvoker = std::function<ActionOutcome(DeviceSession& session, const std::string& name,
                                                  const ActionArgs& args)>;
  void SetViewInvoker(ViewInvoker invoker) { m_view_invoker = std::move(invoker); }

  // Whether a timed action (an Auto transition) is under way.
  virtual bool Busy() const { return false; }

  // ---- following the device -----------------------------------------------
  // Someone at the device's front panel (or another program) may change it:
  // while a view shows a device that can be read back, the session reads it
  // every period and its views repaint from what it said. Each view that
  // wants it holds a handle; the readings stop with the last one. Nothing
  // is read for a family that has no read-back, or while the period is 0.
  virtual bool ReadsBack() const { return false; }
  int StartFollowing();
  void StopFollowing(int handle);
  // The period of the readings (milliseconds; 0: none), for every session
  // made after it is set. Two seconds unless the program says otherwise.
  static void SetFollowPeriodMs(int period_ms);
  static int FollowPeriodMs();
  // False once a reading to follow the device went unanswered, true again
  // when one is answered (and before the first).
  bool Answering() const { return m_answering; }
  // True while the views are told of a change that a reading to follow
  // the device brought (nobody here made it): a view marks what moved.
  bool ChangedByDevice() const { return m_changed_by_device; }

  // A view's callback for every change of the record, whatever its cause.
  int Subscribe(std::function<void()> changed) { return m_changed.Add(std::move(changed)); }
  void Unsubscribe(int token) { m_changed.Remove(token); }

 protected:
  void RecordChanged() const { m_changed.Notify(); }
  // One reading of the device for following, quiet in the status strip;
  // `done` runs with whether the device answered. A family that reads back
  // puts the answer into its record unless a command was queued after the
  // reading was (the answer may predate it: the next reading brings it).
  virtual void ReadToFollow(std::function<void(bool answered)> done) { done(false); }
  // Every command a session queues counts here; a reading compares.
  void CountCommand() { ++m_commands_queued; }
  // Runs `tell` (which tells the views) as a change the device brought.
  template <class F>
  void TellChangeByDevice(F tell) {
    m_changed_by_device = true;
    tell();
    m_changed_by_device = false;
  }
  uint64_t CommandsQueued() const { return m_commands_queued; }

 private:
  const FamilyInfo& m_family;
  DeviceLink& m_link;
  SessionClock& m_clock;
  Observers<> m_changed;
  uint64_t m_commands_queued = 0;
  std::map<int, bool> m_followers;
  int m_next_follower = 0;
  int m_follow_timer = 0;
  bool m_follow_reading = false;
  std::chrono::steady_clock::time_point m_follow_started;
  uint64_t m_follow_readings = 0;
  bool m_answering = true;
  bool m_changed_by_device = false;
  void FollowTick();
  void StopFollowTimer();
  ViewInvoker m_view_invoker;
};

}  // namespace zv

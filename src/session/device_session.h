// One device in use: its record, how it is reached, its rules and its timed
// actions. The application keeps one session per device; a panel, a panel's
// keys, zvctl, a saved setup and a salvo are surfaces of a session: they
// read its record and invoke its actions (session/action_table.h), and a
// view repaints when the session says its record changed.
#pragma once

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
  virtual ~DeviceSession() = default;
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

  // A view's callback for every change of the record, whatever its cause.
  int Subscribe(std::function<void()> changed) { return m_changed.Add(std::move(changed)); }
  void Unsubscribe(int token) { m_changed.Remove(token); }

 protected:
  void RecordChanged() const { m_changed.Notify(); }

 private:
  const FamilyInfo& m_family;
  DeviceLink& m_link;
  SessionClock& m_clock;
  Observers<> m_changed;
  ViewInvoker m_view_invoker;
};

}  // namespace zv

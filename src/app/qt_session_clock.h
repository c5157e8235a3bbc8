// The sessions' clock in the window: Qt timers on the window's event loop,
// precise for periods under 20 ms.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <map>

#include "session/session_clock.h"

namespace zv {

class QtSessionClock : public SessionClock {
 public:
  ~QtSessionClock() override;
  int Start(int period_ms, std::function<void()> tick) override;
  void Stop(int handle) override;

 private:
  std::map<int, QPointer<QTimer>> m_timers;
  int m_next = 0;
};

}  // namespace zv

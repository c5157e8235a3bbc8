// The sessions' clock on a Qt event loop (the window's, or zvd's): Qt timers,
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

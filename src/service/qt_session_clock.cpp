#include "service/qt_session_clock.h"

namespace zv {

QtSessionClock::~QtSessionClock() {
  for (auto& [handle, timer] : m_timers) delete timer.data();
}

int QtSessionClock::Start(int period_ms, std::function<void()> tick) {
  auto* timer = new QTimer;
  timer->setTimerType(period_ms < 20 ? Qt::PreciseTimer : Qt::CoarseTimer);
  timer->setInterval(period_ms);
  QObject::connect(timer, &QTimer::timeout, timer, std::move(tick));
  timer->start();
  m_timers[++m_next] = timer;
  return m_next;
}

void QtSessionClock::Stop(int handle) {
  const auto it = m_timers.find(handle);
  if (it == m_timers.end()) return;
  // A timer may be stopped from its own tick: it goes once that returns.
  if (QTimer* timer = it->second) {
    timer->stop();
    timer->deleteLater();
  }
  m_timers.erase(it);
}

}  // namespace zv

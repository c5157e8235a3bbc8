// A timer that ticks every `interval_ms` and keeps the longest gap between
// two ticks: how long the event loop did not run.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

namespace zv::test {

class Heartbeat {
 public:
  explicit Heartbeat(int interval_ms = 1) {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(interval_ms);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      const qint64 now = m_clock.nsecsElapsed();
      m_longest_ns = std::max(m_longest_ns, now - m_last_ns);
      m_last_ns = now;
    });
    m_clock.start();
    m_timer.start();
  }
  double LongestGapMs() const {
    return static_cast<double>(std::max(m_longest_ns, m_clock.nsecsElapsed() - m_last_ns)) / 1e6;
  }

 private:
  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_last_ns = 0;
  qint64 m_longest_ns = 0;
};

}  // namespace zv::test

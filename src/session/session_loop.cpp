#include "session/session_loop.h"

#include <algorithm>
#include <vector>

namespace zv {

int SessionLoop::Start(int period_ms, std::function<void()> tick) {
  const auto period = std::chrono::milliseconds(std::max(period_ms, 0));
  m_timers[++m_next_handle] = {period, Clock::now() + period, std::move(tick)};
  return m_next_handle;
}

void SessionLoop::Stop(int handle) { m_timers.erase(handle); }

void SessionLoop::Post(std::function<void()> work) {
  {
    std::lock_guard lock(m_mutex);
    m_posted.push_back(std::move(work));
  }
  m_wake.notify_one();
}

bool SessionLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const Clock::time_point give_up = Clock::now() + limit;
  for (;;) {
    std::deque<std::function<void()>> posted;
    {
      std::lock_guard lock(m_mutex);
      posted.swap(m_posted);
    }
    for (auto& work : posted) work();
    // Each due timer ticks once; a timer that fell behind is not made to
    // catch up, as an event loop's timers are not: its next tick is one
    // period on from its due time, or from now when that has passed too.
    const Clock::time_point now = Clock::now();
    std::vector<int> due;
    for (const auto& [handle, timer] : m_timers)
      if (timer.next <= now) due.push_back(handle);
    for (int handle : due) {
      const auto it = m_timers.find(handle);
      if (it == m_timers.end()) continue;  // stopped by an earlier tick
      Timer& timer = it->second;
      timer.next += timer.period;
      if (timer.next <= now) timer.next = now + timer.period;
      const std::function<void()> tick = timer.tick;  // the tick may stop its own timer
      tick();
    }
    if (done()) return true;
    Clock::time_point until = give_up;
    for (const auto& [handle, timer] : m_timers) until = std::min(until, timer.next);
    std::unique_lock lock(m_mutex);
    if (m_posted.empty()) {
      if (Clock::now() >= give_up) return false;
      m_wake.wait_until(lock, until, [this] { return !m_posted.empty(); });
    }
  }
}

}  // namespace zv

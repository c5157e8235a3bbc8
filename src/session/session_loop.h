// A session clock with its own loop, for a program without an event loop
// (zvctl): the session's timers and the link worker's continuations run on
// the thread that calls RunUntil, which sleeps on a condition variable until
// the next timer is due or a continuation comes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "session/session_clock.h"

namespace zv {

class SessionLoop : public SessionClock {
 public:
  int Start(int period_ms, std::function<void()> tick) override;
  void Stop(int handle) override;
  // Hands work to the loop's thread; safe from any thread (the link
  // worker's deliver function).
  void Post(std::function<void()> work);
  // Runs due ticks and posted work until `done` holds (asked after each
  // round) or `limit` has passed; returns whether `done` held.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  bool TimersRunning() const { return !m_timers.empty(); }

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point next;
    std::function<void()> tick;
  };
  // Only the loop's thread touches the timers.
  std::map<int, Timer> m_timers;
  int m_next_handle = 0;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<std::function<void()>> m_posted;
};

}  // namespace zv

// The clock a device session runs its timed actions on (the Auto
// transition's steps). The window gives its sessions one on its event loop;
// zvctl runs one in its own loop (SessionLoop); tests may step one by hand.
#pragma once

#include <functional>

namespace zv {

class SessionClock {
 public:
  virtual ~SessionClock() = default;
  // Calls `tick` every `period_ms` on the session's thread until stopped.
  // Returns the timer's handle (never 0).
  virtual int Start(int period_ms, std::function<void()> tick) = 0;
  // Stops a running timer; a tick already due does not come.
  virtual void Stop(int handle) = 0;
};

}  // namespace zv

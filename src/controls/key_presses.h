// Which key presses a person made and which the keyboard's auto-repeat made
// while a key is held. No Qt here: the widgets hand in what their key events
// say.
#pragma once

#include <cstdint>

namespace zv {

// The window system marks repeats, but not always. Under X11 a repeat comes
// as a release and a press of the same key with the same time, and the
// toolkit marks the pair only when the press has already arrived as it
// handles the release; under load it often has not, and the pair goes on as
// a real release and a new press. No hand lifts and strikes a key within the
// same millisecond, so a press at the very time of the same key's last
// release is taken as a repeat too. Time 0 is no time (events a program
// makes up carry none) and never matches.
class KeyPresses {
 public:
  // True when this press is a new one. Asking twice about one press gives
  // the same answer.
  bool Press(int key, uint64_t time, bool marked_repeat) const {
    if (marked_repeat) return false;
    return !(time != 0 && key == m_released_key && time == m_released_time);
  }
  void Release(int key, uint64_t time, bool marked_repeat) {
    if (marked_repeat) return;
    m_released_key = key;
    m_released_time = time;
  }

 private:
  int m_released_key = -1;
  uint64_t m_released_time = 0;
};

}  // namespace zv

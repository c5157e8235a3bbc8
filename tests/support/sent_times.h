// When each frame left the program: the frame tap runs on the link worker
// right after a send, so its stamps show the worker's own pacing. Stamps
// taken where the frames arrive carry the loopback's delivery delay, which a
// loaded machine stretches for one frame and not the next.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "link/frame_tap.h"

namespace zv::test {

class SentTimes {
 public:
  SentTimes()
      : m_token(FrameRecorder::Instance().Listen([this](const TappedFrame& frame) {
          if (frame.direction != FrameDirection::kSent) return;
          const auto now = std::chrono::steady_clock::now();
          std::lock_guard lock(m_mutex);
          m_times.push_back(now);
          m_more.notify_all();
        })) {}
  ~SentTimes() { FrameRecorder::Instance().Unlisten(m_token); }
  SentTimes(const SentTimes&) = delete;
  SentTimes& operator=(const SentTimes&) = delete;

  // The times of the first `count` frames sent, once that many were (the
  // tap runs just after a send returns, so a frame can arrive before it is
  // counted); fewer when they do not come within three seconds.
  std::vector<std::chrono::steady_clock::time_point> Times(size_t count) const {
    std::unique_lock lock(m_mutex);
    m_more.wait_for(lock, std::chrono::seconds(3), [&] { return m_times.size() >= count; });
    return m_times;
  }

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_more;
  std::vector<std::chrono::steady_clock::time_point> m_times;
  int m_token;
};

}  // namespace zv::test

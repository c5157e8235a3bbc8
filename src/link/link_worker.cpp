#include "link/link_worker.h"

#include <algorithm>

#include <arpa/inet.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/platform.h"

namespace zv {
namespace {

// The address a request's frames go to, when it is for one network device.
uint32_t PacedAddress(const LinkTarget& target) {
  if (target.mode != kModeNetwork || !target.chosen) return 0;
  in_addr address{};
  if (inet_pton(AF_INET, target.device.IpText().c_str(), &address) != 1) return 0;
  return address.s_addr;
}

}  // namespace

LinkWorker::LinkWorker(const LinkConfig& config, Deliver deliver, CnComm& serial_port)
    : m_link(serial_port), m_deliver(std::move(deliver)) {
  m_link.m_link_config = config;
  m_cancel_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  m_link.m_cancel_fd = m_cancel_fd;
  serial_port.SetWriteCancelFd(m_cancel_fd);
  m_thread = std::thread([this] { Run(); });
}

LinkWorker::~LinkWorker() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
    m_queue.clear();
    m_shared->generation.fetch_add(1);
  }
  if (m_cancel_fd >= 0) {
    const uint64_t one = 1;
    (void)!write(m_cancel_fd, &one, sizeof one);
  }
  m_wake.notify_all();
  if (m_thread.joinable()) m_thread.join();
  m_link.CloseUdpSocket();
  m_link.SettleAll();
  m_link.m_cancel_fd = -1;
  m_link.m_serial_port.SetWriteCancelFd(-1);
  if (m_cancel_fd >= 0) close(m_cancel_fd);
}

void LinkWorker::Submit(const LinkTarget& target, Job job, bool background) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stop) return;
    m_queue.push_back(Request{m_shared->generation.load(), target, std::move(job), background,
                              PacedAddress(target)});
    // A background job's wait gives way to this one.
    if (!background && m_running_job && m_running_background && m_cancel_fd >= 0) {
      const uint64_t one = 1;
      (void)!write(m_cancel_fd, &one, sizeof one);
    }
  }
  m_wake.notify_one();
}

void LinkWorker::CancelAll() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.clear();
    m_shared->generation.fetch_add(1);
    // Only a running job needs waking; a stale wake-up is drained before the
    // next job starts.
    if (m_running_job && m_cancel_fd >= 0) {
      const uint64_t one = 1;
      (void)!write(m_cancel_fd, &one, sizeof one);
    }
  }
}

int LinkWorker::DropSerialRequests() {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto serial = [](const Request& r) { return r.target.mode == kModeSerial; };
  int dropped = static_cast<int>(std::erase_if(m_queue, serial));
  if (m_running_job && m_running_mode == kModeSerial) {
    ++dropped;
    if (m_cancel_fd >= 0) {
      const uint64_t one = 1;
      (void)!write(m_cancel_fd, &one, sizeof one);
    }
  }
  return dropped;
}

bool LinkWorker::Idle() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_queue.empty() && !m_running_job && m_shared->in_flight.load() == 0;
}

void LinkWorker::Aim(const LinkTarget& target) {
  m_link.m_device_list.assign(1, target.device);
  m_link.m_device_index = target.chosen ? 0 : -1;
  m_link.m_eState = target.mode;
}

std::deque<LinkWorker::Request>::iterator LinkWorker::NextRunnable(
    LinkState::PaceClock::time_point* wake_at) {
  const LinkState::PaceClock::time_point now = LinkState::PaceClock::now();
  // Devices passed over in this look: a later request for one of them
  // must not overtake the earlier.
  std::vector<uint32_t> held;
  const auto look = [&](bool background) {
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
      if (it->background != background) continue;
      if (it->paced == 0) {
        // Not for one device: it waits for everything before it, and
        // nothing after it goes first.
        return held.empty() ? it : m_queue.end();
      }
      if (std::find(held.begin(), held.end(), it->paced) != held.end()) continue;
      const LinkState::PaceClock::time_point until = m_link.QuietUntil(it->paced);
      if (until <= now) return it;
      held.push_back(it->paced);
      *wake_at = std::min(*wake_at, until);
    }
    return m_queue.end();
  };
  // Jobs that do not give way go first; a background job starts only when
  // no other waits (its window would hold a paused one back).
  const auto foreground = look(false);
  if (foreground != m_queue.end()) return foreground;
  if (std::any_of(m_queue.begin(), m_queue.end(), [](const Request& r) { return !r.background; }))
    return m_queue.end();
  held.clear();
  return look(true);
}

void LinkWorker::Run() {
  for (;;) {
    Request request;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      std::deque<Request>::iterator next;
      for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop) return;
        LinkState::PaceClock::time_point wake_at = LinkState::PaceClock::time_point::max();
        next = NextRunnable(&wake_at);
        if (next != m_queue.end()) break;
        // Every waiting request is for a device still owed its pause: wait
        // for the first pause to end, or for a new request.
        m_wake.wait_until(lock, wake_at);
      }
      request = std::move(*next);
      m_queue.erase(next);
      // A cancel aimed at an earlier job must not cut this one short.
      uint64_t drained = 0;
      while (read(m_cancel_fd, &drained, sizeof drained) > 0) {
      }
      m_running_job = true;
      m_running_background = request.background;
      m_running_mode = request.target.mode;
    }
    Aim(request.target);
    std::function<void()> then = request.job ? request.job(m_link) : std::function<void()>();
    // A job never leaves a socket behind for the next one.
    m_link.CloseUdpSocket();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (then && m_deliver && request.generation == m_shared->generation.load()) {
      std::shared_ptr<Shared> shared = m_shared;
      shared->in_flight.fetch_add(1);
      m_deliver([shared, generation = request.generation, then = std::move(then)] {
        shared->in_flight.fetch_sub(1);
        if (generation == shared->generation.load()) then();
      });
    }
    m_running_job = false;
    m_running_background = false;
  }
}

}  // namespace zv

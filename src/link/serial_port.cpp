#include "link/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>

#include "link/frame_tap.h"
#include "platform/platform.h"

namespace zv {
namespace {

// What a URL's path segment and an OSC address both take as they are.
bool KeyChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
         c == '-';
}

}  // namespace

std::string SerialDeviceKey(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) name = "port";
  if (name.size() > 64) name.resize(64);
  for (char& c : name) {
    if (!KeyChar(c)) c = '_';
  }
  return "serial-" + name;
}

bool IsSerialDeviceKey(std::string_view text) {
  constexpr std::string_view kPrefix = "serial-";
  if (text.substr(0, kPrefix.size()) != kPrefix) return false;
  const std::string_view name = text.substr(kPrefix.size());
  if (name.empty() || name.size() > 64) return false;
  for (const char c : name) {
    if (!KeyChar(c)) return false;
  }
  return true;
}

namespace {

// True when the line has hung up or failed (the poll flags say so even
// while unread bytes are still queued).
bool LineHungUp(int fd) {
  pollfd pfd{fd, 0, 0};
  return poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL));
}

struct BaudRow {
  uint32_t baud;
  speed_t speed;
};
constexpr std::array<BaudRow, 19> kBaudRates{{
    {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400},
    {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600},
    {1000000, B1000000}, {1500000, B1500000}, {2000000, B2000000},
}};

bool SpeedForBaud(uint32_t baud, speed_t* speed) {
  for (const BaudRow& row : kBaudRates) {
    if (row.baud == baud) {
      *speed = row.speed;
      return true;
    }
  }
  return false;
}

// Port names are plain ASCII paths; anything else cannot name a device here.
bool NarrowName(const std::u16string& wide, std::string* narrow) {
  narrow->clear();
  for (char16_t c : wide) {
    if (c == 0 || c > 0x7F) return false;
    narrow->push_back(static_cast<char>(c));
  }
  return true;
}

}  // namespace

CnComm::CnComm() {
  m_wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

CnComm::~CnComm() {
  Close(kDefaultCloseWaitMs);
  if (m_wake_fd >= 0) close(m_wake_fd);
}

bool CnComm::Open(const std::string& name, uint32_t baud) {
  return Open(std::u16string(name.begin(), name.end()), baud);
}

bool CnComm::Open(const std::u16string& name, uint32_t baud) {
  if (name.size() >= kPortNameCapacity) return false;
  m_port_name = name;
  m_port_id = kPortId;

  if (IsOpen()) Close(kDefaultCloseWaitMs);
  std::string path;
  if (!NarrowName(name, &path) || path.empty()) return false;
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  // Exclusive: no second opener, whether it asks the terminal layer or the
  // advisory lock other serial programs take.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
    close(fd);
    return false;
  }
  m_hComm = fd;
  m_line_lost = false;

  termios line{};
  speed_t speed{};
  if (tcgetattr(fd, &line) != 0 || !SpeedForBaud(baud, &speed)) {
    Close(kDefaultCloseWaitMs);
    return false;
  }
  // 8 data bits, no parity, one stop bit, raw bytes. The flow-control bits
  // (CRTSCTS, IXON, IXOFF, IXANY) are left as the port had them.
  line.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
  line.c_cflag |= CS8 | CREAD | CLOCAL;
  line.c_iflag &= ~(INPCK | ISTRIP | IGNBRK | BRKINT | PARMRK | INLCR | IGNCR | ICRNL);
  line.c_oflag &= ~OPOST;
  line.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  line.c_cc[VMIN] = 0;
  line.c_cc[VTIME] = 0;
  if (cfsetispeed(&line, speed) != 0 || cfsetospeed(&line, speed) != 0 ||
      tcsetattr(fd, TCSANOW, &line) != 0) {
    Close(kDefaultCloseWaitMs);
    return false;
  }
  tcflush(fd, TCIOFLUSH);

  if (!StartWatchThread()) {
    Close(kDefaultCloseWaitMs);
    return false;
  }
  return true;
}

void CnComm::Close(uint32_t wait_ms) {
  if (!IsOpen()) return;
  StopWatchThread(wait_ms);
  if (FrameRecorder::Listening()) FrameRecorder::Instance().FlushSerial(m_port_name);
  tcflush(m_hComm, TCIOFLUSH);
  close(m_hComm);
  m_hComm = -1;
}

uint32_t CnComm::Read(void* buffer, uint32_t count) {
  if (!IsOpen() || count == 0) return 0;
  const ssize_t n = read(m_hComm, buffer, count);
  if (n <= 0) return 0;
  m_bytes_read += static_cast<uint32_t>(n);
  TapSerial(FrameDirection::kReceived, m_port_name,
            std::span<const uint8_t>(static_cast<const uint8_t*>(buffer), static_cast<size_t>(n)));
  return static_cast<uint32_t>(n);
}

uint32_t CnComm::Write(const void* bytes, uint32_t count) {
  if (!IsOpen() || count == 0) return 0;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(m_write_timeout_ms);
  const auto* next = static_cast<const uint8_t*>(bytes);
  uint32_t written = 0;
  bool cancelled = false;
  while (written < count) {
    const ssize_t n = write(m_hComm, next + written, count - written);
    if (n > 0) {
      written += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
    // The line takes nothing now (flow control, a full output queue): wait
    // until it can take more, for what is left of the time-out.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd fds[2] = {{m_hComm, POLLOUT, 0}, {m_write_cancel_fd, POLLIN, 0}};
    const int r = poll(fds, m_write_cancel_fd >= 0 ? 2 : 1,
                       static_cast<int>(std::min<int64_t>(left.count(), 0x7FFFFFFF)));
    if (r < 0 && errno == EINTR) continue;
    if (r > 0 && (fds[1].revents & POLLIN)) {
      cancelled = true;
      break;
    }
    if (r <= 0 || (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) break;
  }
  m_bytes_written += written;
  if (written > 0)
    TapSerial(FrameDirection::kSent, m_port_name,
              std::span<const uint8_t>(static_cast<const uint8_t*>(bytes), written));
  if (written < count)
    Trace("com write %s: %u of %u bytes", cancelled ? "cancelled" : "incomplete", written, count);
  return written;
}

bool CnComm::CloseIfLineLost() {
  if (!IsOpen() || !LineLost()) return false;
  Close(kDefaultCloseWaitMs);
  return true;
}

int CnComm::BytesWaiting() const {
  if (!IsOpen()) return -1;
  int waiting = 0;
  if (ioctl(m_hComm, FIONREAD, &waiting) != 0) return -1;
  return waiting;
}

int CnComm::WaitForInput(uint32_t wait_ms, int cancel_fd) const {
  if (!IsOpen()) return -1;
  pollfd fds[2] = {{m_hComm, POLLIN, 0}, {cancel_fd, POLLIN, 0}};
  pollfd& pfd = fds[0];
  const int timeout = wait_ms > 0x7FFFFFFF ? -1 : static_cast<int>(wait_ms);
  int r;
  do {
    r = poll(fds, cancel_fd >= 0 ? 2 : 1, timeout);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return 0;
  if (fds[1].revents & POLLIN) return -1;
  // After a hang-up the queued bytes cannot be read any more either.
  if (r > 0 && (pfd.revents & POLLIN) && !(pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) return 1;
  return -1;
}

int CnComm::ModemLines() const {
  int lines = 0;
  if (ioctl(m_hComm, TIOCMGET, &lines) != 0) return -1;
  return lines;
}

bool CnComm::StartWatchThread() {
  if (m_watch_thread.joinable() || m_wake_fd < 0) return false;
  uint64_t drained = 0;
  while (read(m_wake_fd, &drained, sizeof drained) > 0) {
  }
  m_bContinue = true;
  std::promise<void> ended;
  m_watch_ended = ended.get_future();
  m_watch_running = true;
  try {
    m_watch_thread = std::thread([this, done = std::move(ended)]() mutable {
      WatchThread();
      m_watch_running = false;
      done.set_value();
    });
  } catch (const std::system_error&) {
    m_watch_running = false;
    m_bContinue = false;
    return false;
  }
  return true;
}

void CnComm::StopWatchThread(uint32_t wait_ms) {
  m_bContinue = false;
  if (!m_watch_thread.joinable()) return;
  const uint64_t one = 1;
  (void)!write(m_wake_fd, &one, sizeof one);
  // The thread only ever waits on poll with the wake-up descriptor, so it
  // ends as soon as it sees the signal; the wait bounds what a stuck system
  // call could cost the caller before the join.
  m_watch_ended.wait_for(std::chrono::milliseconds(wait_ms));
  m_watch_thread.join();
}

void CnComm::WaitForWakeUp(int timeout_ms) {
  pollfd pfd{m_wake_fd, POLLIN, 0};
  while (poll(&pfd, 1, timeout_ms) < 0 && errno == EINTR) {
  }
}

void CnComm::WatchThread() {
  const int fd = m_hComm;
  int last_lines = ModemLines();
  while (m_bContinue) {
    uint32_t events = 0;
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0 || waiting > 0) {
      // Unread bytes: report them again after a short rest rather than
      // letting poll wake at once for the same bytes.
      WaitForWakeUp(10);
      if (!m_bContinue) break;
      if (LineHungUp(fd)) {
        m_line_lost = true;
        ProcessEvents(kEventError & m_event_mask);
        break;
      }
      events = kEventRxChar;
    } else {
      pollfd pfd[2] = {{fd, POLLIN | POLLPRI, 0}, {m_wake_fd, POLLIN, 0}};
      const int r = poll(pfd, 2, -1);
      if (r < 0) {
        if (errno != EINTR) WaitForWakeUp(10);
        continue;
      }
      if (!m_bContinue) break;
      if (pfd[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        // The line is gone (adapter pulled, other end closed): nothing more
        // will arrive, so the watch ends instead of waking forever.
        m_line_lost = true;
        ProcessEvents(kEventError & m_event_mask);
        break;
      }
      if (pfd[0].revents & POLLIN) events |= kEventRxChar;
      if (pfd[0].revents & POLLPRI) events |= kEventBreak;
    }
    const int lines = ModemLines();
    if (lines >= 0 && last_lines >= 0 && lines != last_lines) {
      const int changed = lines ^ last_lines;
      if (changed & TIOCM_CTS) events |= kEventCts;
      if (changed & TIOCM_DSR) events |= kEventDsr;
      if (changed & TIOCM_CAR) events |= kEventRlsd;
      if (changed & TIOCM_RNG) events |= kEventRing;
    }
    last_lines = lines;
    events &= m_event_mask;
    if (events != 0) ProcessEvents(events);
  }
}

void CnComm::ProcessEvents(uint32_t mask) {
  if (mask & kEventRxChar) {
    int waiting = 0;
    if (ioctl(m_hComm, FIONREAD, &waiting) != 0) waiting = 0x7FFFFFFF;
    if (waiting > 0 && static_cast<uint32_t>(waiting) >= m_notify_threshold) OnReceive();
  }
  const int lines = (mask & (kEventCts | kEventDsr | kEventRing | kEventRlsd)) ? ModemLines() : 0;
  if (mask & kEventCts) OnCts(lines > 0 && (lines & TIOCM_CTS));
  if (mask & kEventDsr) OnDsr(lines > 0 && (lines & TIOCM_DSR));
  if (mask & kEventBreak) OnBreak();
  if (mask & kEventTxEmpty) OnTxEmpty();
  if (mask & kEventError) OnError(m_line_lost ? 1u : 0u);
  if (mask & kEventRing) OnRing(lines > 0 && (lines & TIOCM_RNG));
  if (mask & kEventRlsd) OnRlsd(lines > 0 && (lines & TIOCM_CAR));
  if (mask & kEventRxFlag) OnRxFlag();
}

// Message numbers of the notifications (window-message base + offsets).
namespace {
constexpr uint32_t kNotifyBase = 0x0400 + 0x0500;
}

void CnComm::Notify(uint32_t, uint32_t, bool) {}
void CnComm::OnReceive() { Notify(kNotifyBase + 0, static_cast<uint32_t>(m_port_id), true); }
void CnComm::OnDsr(bool on) { Notify(kNotifyBase + 1, on, true); }
void CnComm::OnCts(bool on) { Notify(kNotifyBase + 2, on, true); }
void CnComm::OnBreak() { Notify(kNotifyBase + 3, 0, true); }
void CnComm::OnTxEmpty() { Notify(kNotifyBase + 4, 0, true); }
void CnComm::OnError(uint32_t errors) { Notify(kNotifyBase + 5, errors, true); }
void CnComm::OnRing(bool on) { Notify(kNotifyBase + 6, on, true); }
void CnComm::OnRlsd(bool on) { Notify(kNotifyBase + 7, on, true); }
void CnComm::OnRxFlag() { Notify(kNotifyBase + 8, 0, true); }

}  // namespace zv

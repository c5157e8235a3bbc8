// CnComm: the one serial port of the program, on POSIX termios.
//
// The program opens a port, writes whole frames to it, and reads by asking how
// many bytes wait and reading exactly those, so a read never blocks. While the
// port is open one watch thread waits for line events on the descriptor
// (received bytes, hang-up, modem-line changes) and calls the event handlers.
// No receiver is registered for the handlers' notifications in this program,
// so they deliver nothing; they stay as hooks for a subclass.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <future>
#include <string>
#include <string_view>
#include <thread>

namespace zv {

// The rates a port is opened at; the first is the default.
inline constexpr std::array<uint32_t, 5> kBaudRateLines{9600, 19200, 38400, 57600, 115200};

// The name the device on the serial port `path` goes by where an address
// would name a network device (a URL's path, an OSC address): "serial-"
// and the port's file name with every character but A-Z a-z 0-9 _ . -
// made '_' ("/dev/ttyUSB0" -> "serial-ttyUSB0", "/dev/pts/3" -> "serial-3").
std::string SerialDeviceKey(const std::string& path);
// True for a text SerialDeviceKey can give: "serial-" and 1 to 64 of
// A-Z a-z 0-9 _ . -.
bool IsSerialDeviceKey(std::string_view text);

class CnComm {
 public:
  // Mode bits. The program always runs with a watch thread and asynchronous
  // transfers; the buffered modes and separate reader and writer threads are
  // never used and are not built.
  static constexpr uint32_t kModeWatchThread = 0x0001;
  static constexpr uint32_t kModeOverlapped = 0x0002;

  // Line events the watch thread reports (bit values as the devices' own
  // documentation numbers them).
  static constexpr uint32_t kEventRxChar = 0x0001;
  static constexpr uint32_t kEventRxFlag = 0x0002;
  static constexpr uint32_t kEventTxEmpty = 0x0004;
  static constexpr uint32_t kEventCts = 0x0008;
  static constexpr uint32_t kEventDsr = 0x0010;
  static constexpr uint32_t kEventRlsd = 0x0020;
  static constexpr uint32_t kEventBreak = 0x0040;
  static constexpr uint32_t kEventError = 0x0080;
  static constexpr uint32_t kEventRing = 0x0100;
  // Every event except the event character.
  static constexpr uint32_t kWatchedEvents = 0x01FD;

  static constexpr int32_t kPortId = 1028;
  // Names of this many characters or more are refused.
  static constexpr size_t kPortNameCapacity = 63;
  static constexpr uint32_t kDefaultCloseWaitMs = 500;
  // The longest a write waits, in all, for the line to take its bytes.
  static constexpr uint32_t kWriteTimeoutMs = 10000;

  CnComm();
  virtual ~CnComm();
  CnComm(const CnComm&) = delete;
  CnComm& operator=(const CnComm&) = delete;

  // Opens the port exclusively at the given baud, 8 data bits, no parity, one
  // stop bit; flow control stays as the port had it. Both queues are purged
  // and the watch thread started. An open port is closed first, even when the
  // new open then fails.
  bool Open(const std::u16string& name, uint32_t baud);
  bool Open(const std::string& name, uint32_t baud);
  // Stops the watch thread (waiting up to `wait_ms`) and closes the port.
  virtual void Close(uint32_t wait_ms = kDefaultCloseWaitMs);
  // Reads what is waiting, at most `count` bytes, without blocking.
  uint32_t Read(void* buffer, uint32_t count);
  // Writes all `count` bytes, waiting on the port (poll) while it cannot take
  // more (flow control holding the line, the output queue full), up to the
  // write time-out in all, or until the cancel descriptor fires. Returns the
  // bytes really written; a frame that could not be written whole is
  // reported in the trace.
  uint32_t Write(const void* bytes, uint32_t count);
  void SetWriteTimeoutMs(uint32_t timeout_ms) { m_write_timeout_ms = timeout_ms; }
  // A descriptor (-1: none) that a write waiting for the line also watches:
  // once it is readable the wait ends at once and the write gives up with
  // what the line took so far. The link worker hands in its cancel signal,
  // so that a line that takes no bytes cannot hold a disconnect or the
  // program's end for the whole write time-out. Set it only while no write
  // runs.
  void SetWriteCancelFd(int fd) { m_write_cancel_fd = fd; }

  // Safe from any thread: the port is opened and closed on one.
  bool IsOpen() const { return m_hComm.load() >= 0; }
  // Bytes waiting in the input queue; -1 when the query fails.
  int BytesWaiting() const;
  // Waits up to `wait_ms` for input, so a reader waits for a reply without
  // spinning. 1: bytes wait; 0: the time passed; -1: the port is closed or
  // its line has hung up, so nothing more can come, or `cancel_fd` (when
  // given) became readable: the waiting request was cancelled.
  int WaitForInput(uint32_t wait_ms, int cancel_fd = -1) const;

  const std::u16string& PortName() const { return m_port_name; }
  int32_t PortId() const { return m_port_id; }
  uint32_t Mode() const { return m_mode; }
  uint32_t BytesReadTotal() const { return m_bytes_read; }
  uint32_t BytesWrittenTotal() const { return m_bytes_written; }
  // True once the watch thread has seen the line hang up (USB adapter pulled,
  // the other end of a pseudo-terminal closed); reads and writes then give 0.
  bool LineLost() const { return m_line_lost.load(); }
  // Closes the port when its line has been lost. True only for the call
  // that closed it, so whoever shows the loss shows it once.
  bool CloseIfLineLost();
  // True while the watch thread runs.
  bool WatchThreadRunning() const { return m_watch_running.load(); }

 protected:
  // Notification hooks. With no receiver registered they do nothing; the
  // handlers run on the watch thread.
  virtual void Notify(uint32_t message, uint32_t value, bool post);
  virtual void OnReceive();
  virtual void OnDsr(bool on);
  virtual void OnCts(bool on);
  virtual void OnBreak();
  virtual void OnTxEmpty();
  virtual void OnError(uint32_t errors);
  virtual void OnRing(bool on);
  virtual void OnRlsd(bool on);
  virtual void OnRxFlag();
  // Calls the handlers for the events in `mask`.
  virtual void ProcessEvents(uint32_t mask);

 private:
  void WatchThread();
  bool StartWatchThread();
  void StopWatchThread(uint32_t wait_ms);
  // Waits on the wake-up descriptor only.
  void WaitForWakeUp(int timeout_ms);
  int ModemLines() const;

  uint32_t m_mode = kModeWatchThread | kModeOverlapped;
  std::atomic<int> m_hComm{-1};
  int32_t m_port_id = -1;
  std::u16string m_port_name;
  uint32_t m_bytes_read = 0;
  uint32_t m_bytes_written = 0;
  std::atomic<bool> m_bContinue{false};
  uint32_t m_event_mask = kWatchedEvents;
  uint32_t m_notify_threshold = 0;
  uint32_t m_write_timeout_ms = kWriteTimeoutMs;
  int m_write_cancel_fd = -1;

  // Wakes the watch thread when the port closes.
  int m_wake_fd = -1;
  std::thread m_watch_thread;
  std::future<void> m_watch_ended;
  std::atomic<bool> m_watch_running{false};
  std::atomic<bool> m_line_lost{false};
};

}  // namespace zv

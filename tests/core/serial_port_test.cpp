// The serial port against a pseudo-terminal pair: the test holds the master
// side and plays the device; the port under test opens the slave by name.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>

#include <thread>
#include <vector>

#include "app/main_state.h"
#include "multiview/multiview_link.h"
#include "link/serial_port.h"
#include "support/pty_pair.h"
#include "support/recorders.h"

namespace zv {
namespace {

using test::PtyPair;

// Waits on the master side (up to a generous bound) for `n` bytes.
std::string ReadMaster(int master, size_t n) {
  std::string got;
  while (got.size() < n) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) break;
    char buffer[256];
    const ssize_t r = read(master, buffer, sizeof buffer);
    if (r <= 0) break;
    got.append(buffer, static_cast<size_t>(r));
  }
  return got;
}

TEST(SerialPortTest, OpensRawEightNoneOneAtTheBaudAndKeepsFlowControl) {
  PtyPair pty;
  ASSERT_FALSE(pty.slave_path.empty());
  {
    // The port's software flow control was on before the program opened it.
    const int fd = open(pty.slave_path.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(fd, &t);
    t.c_iflag |= IXON | IXOFF;
    t.c_cflag |= PARENB | CSTOPB;
    tcsetattr(fd, TCSANOW, &t);
    close(fd);
  }
  CnComm port;
  ASSERT_TRUE(port.Open(pty.slave_path, 115200));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_TRUE(port.WatchThreadRunning());
  EXPECT_EQ(port.PortId(), 1028);
  EXPECT_EQ(port.Mode(), CnComm::kModeWatchThread | CnComm::kModeOverlapped);

  termios t{};
  ASSERT_EQ(tcgetattr(pty.master, &t), 0);
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
}

TEST(SerialPortTest, RoundTripBytesWaitingAndEmptyReads) {
  PtyPair pty;
  CnComm port;
  ASSERT_TRUE(port.Open(pty.slave_path, 9600));

  const uint8_t frame[] = {0xA5, 0x6C, 0x14, 0x00, 0x00, 0xAE};
  EXPECT_EQ(port.Write(frame, sizeof frame), sizeof frame);
  EXPECT_EQ(ReadMaster(pty.master, sizeof frame), std::string(reinterpret_cast<const char*>(frame), sizeof frame));

  // Nothing waits: a read returns at once with nothing.
  uint8_t buffer[64] = {};
  EXPECT_EQ(port.BytesWaiting(), 0);
  EXPECT_EQ(port.Read(buffer, sizeof buffer), 0u);

  const char reply[] = "\xA5\x6C" "abc\x0D\x0A\xAE";
  ASSERT_EQ(write(pty.master, reply, 8), 8);
  ASSERT_EQ(port.WaitForInput(2000), 1);
  // CR and LF pass unchanged: the line is raw.
  while (port.BytesWaiting() < 8 && port.WaitForInput(2000) == 1) {
  }
  EXPECT_EQ(port.BytesWaiting(), 8);
  EXPECT_EQ(port.Read(buffer, 0), 0u);  // a count of 0 reads nothing
  EXPECT_EQ(port.BytesWaiting(), 8);
  EXPECT_EQ(port.Read(buffer, 8), 8u);
  EXPECT_EQ(std::memcmp(buffer, reply, 8), 0);
  EXPECT_EQ(port.BytesReadTotal(), 8u);
  EXPECT_EQ(port.BytesWrittenTotal(), sizeof frame);
  EXPECT_EQ(port.WaitForInput(0), 0);
}

TEST(SerialPortTest, RefusesLongNamesAndUnknownPortsWithoutSideEffects) {
  PtyPair pty;
  CnComm port;
  ASSERT_TRUE(port.Open(pty.slave_path, 9600));
  // 63 characters or more: refused before anything is touched, so the open
  // port stays open.
  EXPECT_FALSE(port.Open(std::string(63, 'x'), 9600));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.PortName(), std::u16string(pty.slave_path.begin(), pty.slave_path.end()));
  // A shorter name is tried: the open port is closed first, even though the
  // new one then fails.
  EXPECT_FALSE(port.Open("/dev/zv-no-such-port", 9600));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(pty.SlaveClosed());

  // Reads and writes on a closed port do nothing; closing again is harmless.
  uint8_t b[4] = {1, 2, 3, 4};
  EXPECT_EQ(port.Write(b, 4), 0u);
  EXPECT_EQ(port.Read(b, 4), 0u);
  EXPECT_EQ(port.BytesWaiting(), -1);
  port.Close(500);

  // An empty name and a baud the line cannot run at both fail and leave the
  // port closed.
  EXPECT_FALSE(port.Open(std::u16string(), 9600));
  EXPECT_FALSE(port.Open(pty.slave_path, 12345));
  EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPortTest, OpenWhileOpenMovesToTheNewPortAndIsExclusive) {
  PtyPair first, second;
  CnComm port;
  ASSERT_TRUE(port.Open(first.slave_path, 9600));
  CnComm other;
  EXPECT_FALSE(other.Open(first.slave_path, 9600)) << "a port is opened exclusively";

  ASSERT_TRUE(port.Open(second.slave_path, 19200));
  EXPECT_TRUE(first.SlaveClosed());
  EXPECT_TRUE(port.WatchThreadRunning());
  const uint8_t byte = 0x42;
  EXPECT_EQ(port.Write(&byte, 1), 1u);
  EXPECT_EQ(ReadMaster(second.master, 1), "B");
  // The first port is free again for others.
  EXPECT_TRUE(other.Open(first.slave_path, 9600));
}

TEST(SerialPortTest, CloseEndsTheWatchThreadWithinItsWait) {
  PtyPair pty;
  CnComm port;
  ASSERT_TRUE(port.Open(pty.slave_path, 115200));
  // Unread bytes keep the watch thread on its short rests; closing must still
  // end it at once.
  ASSERT_EQ(write(pty.master, "xyz", 3), 3);
  ASSERT_EQ(port.WaitForInput(2000), 1);
  const auto start = std::chrono::steady_clock::now();
  port.Close(500);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(500));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.WatchThreadRunning());
  EXPECT_TRUE(pty.SlaveClosed());
}

// A pseudo-terminal holds some tens of kilobytes; a far end that does not
// read stops the line long before this many bytes.
std::string MoreThanTheLineHolds() {
  std::string bytes(256 * 1024, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 23);
  return bytes;
}

TEST(SerialPortTest, AWriteWaitsForTheLineAndReportsWhatItCouldNotWrite) {
  PtyPair pty;
  CZELVIKState state;
  state.m_eState = kModeSerial;
  CnComm& port = state.m_serial_port;
  ASSERT_TRUE(port.Open(pty.slave_path, 115200));
  const std::string bytes = MoreThanTheLineHolds();
  const auto size = static_cast<uint32_t>(bytes.size());

  // The far end takes the bytes as it reads them: the write waits for room
  // and delivers every byte, in order.
  std::string received;
  std::thread far_end([&] { received = ReadMaster(pty.master, bytes.size()); });
  EXPECT_EQ(port.Write(bytes.data(), size), size);
  far_end.join();
  EXPECT_TRUE(received == bytes) << received.size() << " bytes arrived";

  // Nobody reads: the write gives up after its time-out, says so, and counts
  // only what the line took.
  port.SetWriteTimeoutMs(200);
  test::TraceRecorder trace;
  const uint32_t before = port.BytesWrittenTotal();
  const uint32_t taken = port.Write(bytes.data(), size);
  EXPECT_GT(taken, 0u);
  EXPECT_LT(taken, size);
  EXPECT_EQ(port.BytesWrittenTotal() - before, taken);
  EXPECT_TRUE(trace.Has("com write incomplete: " + std::to_string(taken) + " of " +
                        std::to_string(size) + " bytes"));
  // Exactly those bytes are on the line: the next write follows them.
  EXPECT_TRUE(ReadMaster(pty.master, taken) == bytes.substr(0, taken));
  EXPECT_EQ(port.Write("END", 3), 3u);
  EXPECT_EQ(ReadMaster(pty.master, 3), "END");

  // A command the line cannot take (its far end gone) is reported as not sent.
  pty.CloseMaster();
  const uint8_t layout[] = {4};
  EXPECT_EQ(SendMultiviewerFrame(state, 0x33, layout), 0);
}

// Counts the receive notifications the watch thread raises.
class CountingComm : public CnComm {
 public:
  std::atomic<int> receives{0};
  ~CountingComm() override { Close(500); }
  // Waits up to `wait_ms` for the first notification.
  bool WaitForReceive(int wait_ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(wait_ms), [this] { return receives > 0; });
  }

 protected:
  void OnReceive() override {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++receives;
    m_cv.notify_all();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
};

TEST(SerialPortTest, WatchThreadReportsArrivalsAndEndsWhenTheLineHangsUp) {
  PtyPair pty;
  CountingComm port;
  ASSERT_TRUE(port.Open(pty.slave_path, 57600));
  ASSERT_EQ(write(pty.master, "a", 1), 1);
  // The watch thread saw the byte (it wakes on the line, not on a timer).
  EXPECT_TRUE(port.WaitForReceive(2000));

  // The other end goes away: the watch thread ends by itself, and the port
  // then reads and writes nothing.
  pty.CloseMaster();
  for (int i = 0; i < 200 && port.WatchThreadRunning(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(port.WatchThreadRunning());
  EXPECT_TRUE(port.LineLost());
  uint8_t b[8];
  EXPECT_EQ(port.Read(b, sizeof b), 0u);
  EXPECT_EQ(port.Write(b, sizeof b), 0u);
  EXPECT_EQ(port.WaitForInput(1000), -1);
  const auto start = std::chrono::steady_clock::now();
  port.Close(500);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace zv

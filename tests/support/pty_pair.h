// A pseudo-terminal pair for serial tests: the test holds the master side and
// plays the device; the port under test opens the slave by its path. The
// slave descriptor openpty gives is closed at once, so the master sees a
// hang-up whenever the port under test closes the slave.
//
// A far end that stops reading is played with a second opener of the slave:
// through it the test fills the line until it takes nothing more, the way
// earlier traffic fills it when the device no longer reads, and asks the
// line's advisory lock whether the port under test still holds it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include <string>

namespace zv::test {

struct PtyPair {
  int master = -1;
  std::string slave_path;
  int second = -1;  // the second opener of the slave, once opened
  PtyPair() {
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
      slave_path = name;
      close(slave);
    }
  }
  ~PtyPair() {
    CloseMaster();
    if (second >= 0) close(second);
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;
  void CloseMaster() {
    if (master >= 0) close(master);
    master = -1;
  }
  // True when the master side reports that no one holds the slave open.
  bool SlaveClosed() const {
    pollfd p{master, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
  }

  // Opens the slave a second time, raw and non-blocking; before the port
  // under test opens it, since that port then keeps everyone else out.
  bool OpenSecondOpener() {
    second = open(slave_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (second < 0) return false;
    termios raw{};
    if (tcgetattr(second, &raw) != 0) return false;
    cfmakeraw(&raw);
    return tcsetattr(second, TCSANOW, &raw) == 0;
  }
  // Writes through the second opener until the line takes nothing more: the
  // master never reads. The kernel moves bytes on between its buffers in the
  // background, so each round ends with a wait on the descriptor for room;
  // the line is full when none comes.
  bool FillLine() const {
    static const char kFill[4096] = {};
    for (int round = 0; round < 200; ++round) {
      for (;;) {
        const ssize_t n = write(second, kFill, sizeof kFill);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        return false;
      }
      pollfd p{second, POLLOUT, 0};
      if (poll(&p, 1, 200) == 0) return true;
    }
    return false;
  }
  // True when nobody holds the line's advisory lock (the port under test
  // takes it while open).
  bool LineLockable() const {
    if (flock(second, LOCK_EX | LOCK_NB) != 0) return false;
    flock(second, LOCK_UN);
    return true;
  }
};

}  // namespace zv::test

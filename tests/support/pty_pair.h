// A pseudo-terminal pair for serial tests: the test holds the master side and
// plays the device; the port under test opens the slave by its path. The
// slave descriptor openpty gives is closed at once, so the master sees a
// hang-up whenever the port under test closes the slave.
#pragma once

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <string>

namespace zv::test {

struct PtyPair {
  int master = -1;
  std::string slave_path;
  PtyPair() {
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
      slave_path = name;
      close(slave);
    }
  }
  ~PtyPair() { CloseMaster(); }
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
};

}  // namespace zv::test

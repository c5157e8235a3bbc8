// A program run as a separate process, as a third-party client is: its
// standard output read line by line as it comes, its end waited for, and
// the process killed if the test lets go of it first.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace zv::test {

class ChildProcess {
 public:
  // `env` entries ("NODE_PATH=...") are added to the test's environment.
  explicit ChildProcess(std::vector<std::string> argv, std::vector<std::string> env = {}) {
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    std::vector<std::string> env_text = env;
    for (char** e = environ; *e; ++e) env_text.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env_text) envp.push_back(e.data());
    envp.push_back(nullptr);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    m_out = out[0];
  }
  ~ChildProcess() {
    if (m_pid > 0 && !m_status) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) close(m_out);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return m_pid > 0; }

  // The next line of its standard output, waiting at most `limit_ms`;
  // nothing when none came (or it closed its output).
  std::optional<std::string> ReadLine(int limit_ms) {
    const int64_t deadline = NowMs() + limit_ms;
    for (;;) {
      const size_t end = m_buffer.find('\n');
      if (end != std::string::npos) {
        std::string line = m_buffer.substr(0, end);
        m_buffer.erase(0, end + 1);
        return line;
      }
      if (m_out < 0) return std::nullopt;
      // With no time left, what is already there is still read.
      pollfd p{m_out, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(std::max<int64_t>(0, deadline - NowMs()))) <= 0) return std::nullopt;
      char chunk[4096];
      const ssize_t n = read(m_out, chunk, sizeof chunk);
      if (n <= 0) {
        close(m_out);
        m_out = -1;
        continue;
      }
      m_buffer.append(chunk, static_cast<size_t>(n));
    }
  }

  // Its exit status once it ended, waiting at most `limit_ms` (its output
  // is read meanwhile, so it never blocks on a full pipe); nothing when it
  // is still running.
  std::optional<int> Wait(int limit_ms) {
    const int64_t deadline = NowMs() + limit_ms;
    // The process's own descriptor becomes readable when it ends.
    const int pidfd = m_pid > 0 ? static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0)) : -1;
    while (!m_status && m_pid > 0) {
      int status = 0;
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      const int64_t left = deadline - NowMs();
      if (left <= 0) break;
      pollfd fds[2] = {{m_out, POLLIN, 0}, {pidfd, POLLIN, 0}};
      if (poll(fds, 2, static_cast<int>(left)) > 0 && (fds[0].revents & (POLLIN | POLLHUP))) {
        char chunk[4096];
        const ssize_t n = read(m_out, chunk, sizeof chunk);
        if (n > 0) {
          m_buffer.append(chunk, static_cast<size_t>(n));
        } else {
          close(m_out);
          m_out = -1;
        }
      }
    }
    if (pidfd >= 0) close(pidfd);
    return m_status;
  }

 private:
  static int64_t NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000 + t.tv_nsec / 1000000;
  }
  pid_t m_pid = -1;
  int m_out = -1;
  std::string m_buffer;
  std::optional<int> m_status;
};

}  // namespace zv::test

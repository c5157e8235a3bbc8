// zvctl as a separate process, as a script runs it: its exit status and
// what it printed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

extern char** environ;

namespace zv::test {

struct Ran {
  int status = -1;
  std::string output;  // standard output and error together
};

// How zvctl is started: the device port it aims at, variables added to its
// environment, and whether it runs in a network namespace of its own.
struct Start {
  uint16_t port = 0;
  std::vector<std::string> env;
  // In a namespace of its own, with loopback and a veth pair holding
  // 10.77.0.1/24: whatever it sends, however addressed, stays there.
  bool private_network = false;
};

// The namespace's set-up before zvctl replaces the shell.
inline const char* const kPrivateNetwork =
    "ip link set lo up && ip link add zv0 type veth peer name zv1 && "
    "ip addr add 10.77.0.1/24 broadcast 10.77.0.255 dev zv0 && ip link set zv1 up && "
    "ip link set zv0 up && exec \"$0\" \"$@\"";

// Runs the zvctl at `path` aimed at start.port, with a local port of its
// own. A run that has not ended after 20 s is killed (status -1).
inline Ran RunZvctl(const std::string& path, std::vector<std::string> args, const Start& start) {
  std::vector<std::string> all;
  if (start.private_network) all = {"/usr/bin/unshare", "--net", "--", "/bin/sh", "-c", kPrivateNetwork};
  for (const std::string& a : {path, std::string("--device-port"), std::to_string(start.port),
                               std::string("--local-port"), std::string("0")})
    all.push_back(a);
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text(start.env);
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    if (std::none_of(start.env.begin(), start.env.end(), [&](const std::string& x) { return x.rfind(name, 0) == 0; }))
      env_text.push_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  Ran run;
  char buffer[4096];
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const int64_t deadline_ms = now.tv_sec * 1000 + now.tv_nsec / 1000000 + 20000;
  while (spawned == 0) {
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t left = deadline_ms - (now.tv_sec * 1000 + now.tv_nsec / 1000000);
    pollfd p{out[0], POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
      kill(pid, SIGKILL);
      run.output += "[killed after 20 s]";
      break;
    }
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    run.output.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  if (spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

}  // namespace zv::test

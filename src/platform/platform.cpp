#include "platform/platform.h"
#include "platform/small_file.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <shared_mutex>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include <climits>

namespace zv {
namespace {

// Held shared while a hook runs and exclusively while one is replaced: a
// hook is never replaced (and what it points at never destroyed, as a test's
// recorder is) while another thread, such as the link worker, is inside it.
std::shared_mutex& HookMutex() {
  static std::shared_mutex m;
  return m;
}
TraceSink& TraceSinkSlot() {
  static TraceSink sink;
  return sink;
}
MessageBoxHandler& MessageBoxSlot() {
  static MessageBoxHandler handler;
  return handler;
}

}  // namespace

void Trace(const char* fmt, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, fmt);
  const int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
  va_end(args);
  if (n < 0) return;
  std::string line(buffer);
  std::shared_lock<std::shared_mutex> lock(HookMutex());
  if (const TraceSink& sink = TraceSinkSlot()) {
    sink(line);
    return;
  }
  std::fputs(line.c_str(), stdout);
  if (line.empty() || line.back() != '\n') std::fputc('\n', stdout);
  std::fflush(stdout);
}

TraceSink SetTraceSink(TraceSink sink) {
  std::unique_lock<std::shared_mutex> lock(HookMutex());
  TraceSink old = std::move(TraceSinkSlot());
  TraceSinkSlot() = std::move(sink);
  return old;
}

MessageBoxAnswer ShowMessageBox(const std::string& text, const std::string& caption,
                                MessageBoxButtons buttons) {
  MessageBoxRequest request{text, caption, buttons};
  std::shared_lock<std::shared_mutex> lock(HookMutex());
  if (const MessageBoxHandler& handler = MessageBoxSlot()) return handler(request);
  std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
  return MessageBoxAnswer::kOk;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::unique_lock<std::shared_mutex> lock(HookMutex());
  MessageBoxHandler old = std::move(MessageBoxSlot());
  MessageBoxSlot() = std::move(handler);
  return old;
}

uint32_t TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u +
                      static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void SleepMs(uint32_t ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  // Sleep the whole time even when a signal interrupts.
  while (nanosleep(&ts, &ts) != 0) {
  }
}

std::string ExecutableDir() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string full(path, static_cast<size_t>(n));
  const auto slash = full.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return full.substr(0, slash);
}

std::string PathBesideExecutable(const std::string& file_name) {
  std::string dir = ExecutableDir();
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir + file_name;
}

namespace {

std::string& SettingsFallbackSlot() {
  static std::string dir;
  return dir;
}

bool OwnWritableDir(const std::string& dir) {
  if (dir == "/usr" || dir.rfind("/usr/", 0) == 0) return false;
  return access(dir.c_str(), W_OK | X_OK) == 0;
}

// mkdir -p; true when the folder exists afterwards.
bool MakeDirs(const std::string& dir) {
  for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    const std::string part = dir.substr(0, slash);
    if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  return access(dir.c_str(), W_OK) == 0;
}

}  // namespace

int ReadSmallFile(const std::string& path, std::string* text, std::string* error, size_t max_bytes) {
  const auto fail = [error](std::string why) {
    if (error) *error = std::move(why);
    return 0;
  };
  // Not blocking: opening a pipe with no writer would otherwise wait forever.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return fail(std::string("cannot be read (") + std::strerror(errno) + ")");
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return fail("is not a regular file");
  }
  const std::string too_large =
      "is larger than " + (max_bytes % (1024 * 1024) == 0 ? std::to_string(max_bytes / (1024 * 1024)) + " MB"
                                                         : std::to_string(max_bytes) + " bytes");
  if (static_cast<uint64_t>(st.st_size) > max_bytes) {
    close(fd);
    return fail(too_large);
  }
  std::string content;
  char buffer[16384];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int saved = errno;
      close(fd);
      return fail(std::string("cannot be read (") + std::strerror(saved) + ")");
    }
    if (n == 0) break;
    content.append(buffer, static_cast<size_t>(n));
    if (content.size() > max_bytes) {
      close(fd);
      return fail(too_large);
    }
  }
  close(fd);
  if (text) *text = std::move(content);
  return 1;
}

std::string SettingsFilePath(const std::string& file_name, const std::string& exe_dir) {
  std::string dir = exe_dir;
  std::string fallback;
  {
    std::unique_lock<std::shared_mutex> lock(HookMutex());
    fallback = SettingsFallbackSlot();
  }
  if (!OwnWritableDir(exe_dir) && !fallback.empty() && MakeDirs(fallback)) dir = fallback;
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir + file_name;
}

void SetSettingsFallbackDir(std::string dir) {
  std::unique_lock<std::shared_mutex> lock(HookMutex());
  SettingsFallbackSlot() = std::move(dir);
}

int StartProgram(const std::string& path) {
  // A grandchild runs the program, so it is never left as a zombie of ours;
  // it reports a failed exec through a pipe that a successful exec closes.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return 0;
  const char* file = path.c_str();
  const pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return 0;
  }
  if (child == 0) {
    // Only async-signal-safe calls between fork and exec.
    const pid_t grandchild = fork();
    if (grandchild == 0) {
      char* const argv[] = {const_cast<char*>(file), nullptr};
      execv(file, argv);
      const int error = errno;
      (void)!write(report[1], &error, sizeof error);
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t n;
  do {
    n = read(report[0], &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  close(report[0]);
  const bool forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!forked || n > 0) {
    Trace("cannot start %s: %s", file, forked ? std::strerror(error) : "fork failed");
    return 0;
  }
  return 1;
}

}  // namespace zv

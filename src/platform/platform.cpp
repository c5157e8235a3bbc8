#include "platform/platform.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <unistd.h>

#include <climits>

namespace zv {
namespace {

std::mutex& HookMutex() {
  static std::mutex m;
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
  TraceSink sink;
  {
    std::lock_guard<std::mutex> lock(HookMutex());
    sink = TraceSinkSlot();
  }
  if (sink) {
    sink(line);
    return;
  }
  std::fputs(line.c_str(), stdout);
  if (line.empty() || line.back() != '\n') std::fputc('\n', stdout);
  std::fflush(stdout);
}

TraceSink SetTraceSink(TraceSink sink) {
  std::lock_guard<std::mutex> lock(HookMutex());
  TraceSink old = std::move(TraceSinkSlot());
  TraceSinkSlot() = std::move(sink);
  return old;
}

MessageBoxAnswer ShowMessageBox(const std::string& text, const std::string& caption,
                                MessageBoxButtons buttons) {
  MessageBoxHandler handler;
  {
    std::lock_guard<std::mutex> lock(HookMutex());
    handler = MessageBoxSlot();
  }
  MessageBoxRequest request{text, caption, buttons};
  if (handler) return handler(request);
  std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
  return MessageBoxAnswer::kOk;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> lock(HookMutex());
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

}  // namespace zv

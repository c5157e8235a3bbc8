// Test hooks that record the program's notices and trace lines instead of
// showing or printing them.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zv::test {

class MessageBoxRecorder {
 public:
  MessageBoxRecorder() {
    // Notices may come from the link worker as well as from the window.
    m_previous = SetMessageBoxHandler([this](const MessageBoxRequest& r) {
      std::lock_guard<std::mutex> lock(m_mutex);
      requests.push_back(r);
      return answer;
    });
  }
  ~MessageBoxRecorder() { SetMessageBoxHandler(std::move(m_previous)); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  std::vector<MessageBoxRequest> requests;
  // What the operator answers.
  MessageBoxAnswer answer = MessageBoxAnswer::kOk;

 private:
  std::mutex m_mutex;
  MessageBoxHandler m_previous;
};

class TraceRecorder {
 public:
  TraceRecorder() {
    // Trace lines may come from the link worker as well as from the window.
    m_previous = SetTraceSink([this](const std::string& line) {
      std::lock_guard<std::mutex> lock(m_mutex);
      lines.push_back(line);
    });
  }
  ~TraceRecorder() { SetTraceSink(std::move(m_previous)); }
  TraceRecorder(const TraceRecorder&) = delete;
  TraceRecorder& operator=(const TraceRecorder&) = delete;

  bool Has(const std::string& line) const {
    for (const auto& l : lines)
      if (l == line) return true;
    return false;
  }
  std::vector<std::string> lines;

 private:
  std::mutex m_mutex;
  TraceSink m_previous;
};

}  // namespace zv::test

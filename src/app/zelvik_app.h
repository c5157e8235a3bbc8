#pragma once

#include <optional>

#include "link/link_state.h"
#include "service/service_options.h"

namespace zv {

class FrameLog;

// The application object: builds the main window, runs it modally until it
// closes, and ends the program.
class CZELVIKApp {
 public:
  explicit CZELVIKApp(LinkConfig link_config) : m_link_config(std::move(link_config)) {}
  // Runs the remote-control service beside the window, on its sessions;
  // its audit lines also go to `frame_log` when it is open.
  void Serve(const ServiceOptions& options, FrameLog* frame_log) {
    m_service = options;
    m_frame_log = frame_log;
  }
  // Returns the program's exit code.
  int InitInstance();

 private:
  LinkConfig m_link_config;
  std::optional<ServiceOptions> m_service;
  FrameLog* m_frame_log = nullptr;
};

}  // namespace zv

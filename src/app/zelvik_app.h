#pragma once

#include <string>
#include <vector>
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
  // What the window does at start: how often it
  // asks which devices still answer (0: never), the devices to open in
  // windows of their own after a first search, and whether the panel
  // windows of the last run come back; the tally mapping file (--tsl-map,
  // whose source rows the multiviewer panel's tally table edits; empty:
  // they are kept in the settings file) and whether a --tsl option asked
  // for tally (the switcher lights the windows from the start).
  struct StartOptions {
    int presence_period_ms = 10000;
    std::vector<std::string> open;
    bool restore = true;
    std::string tally_map;
    bool tally_asked = false;
  };
  void SetStartOptions(StartOptions options) { m_start = std::move(options); }
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
  StartOptions m_start;
  std::optional<ServiceOptions> m_service;
  FrameLog* m_frame_log = nullptr;
};

}  // namespace zv

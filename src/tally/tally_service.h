// Tally as the service runs it: the engine, TSL in (--tsl-listen) and TSL
// out (--tsl-send), fed with the multiviewers and the production switcher
// the service knows. Qt-free; the service gives it its thread (`post`) and
// its clock, and tells it of devices as they become known.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "service/access_limits.h"
#include "session/session_clock.h"
#include "tally/tally_engine.h"
#include "tally/tsl_listener.h"
#include "tally/tsl_sender.h"

namespace zv {

struct TallyOptions {
  std::string map_file;                 // --tsl-map; empty: the defaults
  std::optional<uint16_t> listen_port;  // --tsl-listen
  std::string allow = "127.0.0.0/8";    // --tsl-allow
  std::vector<std::string> send;        // --tsl-send HOST:PORT, repeatable
  std::string send_version = "5.0";     // --tsl-send-version
  std::string listen_address = "0.0.0.0";
};

class DeviceHub;

class TallyService {
 public:
  using Post = std::function<void(std::function<void()>)>;

  // Nothing, with a sentence for the operator, when an option or the
  // mapping file is wrong or the port cannot be had.
  static std::unique_ptr<TallyService> Start(const TallyOptions& options, Post post, SessionClock& clock,
                                             std::string* error);
  ~TallyService();

  TallyEngine& Engine() { return *m_engine; }
  const TslListener* Listener() const { return m_listener.get(); }
  const TslSender* Sender() const { return m_sender.get(); }

  // Takes the hub's multiviewers (each read back once, so the windows'
  // sources are known) and its first production switcher, now and as the
  // hub learns of them, until the service goes. The hub outlives it.
  void Follow(DeviceHub& hub);

  // The devices the service knows; the first multiviewer added is the one
  // rows without an address use.
  void AddMultiviewer(const std::string& address, MultiviewSession& session);
  void RemoveMultiviewer(const std::string& address);
  void SetSwitcher(SwitcherSession* session);
  // Whether the switcher lights the multiviewers' windows (it does from
  // the start); TSL out sends its tally either way.
  void SetSwitcherLightsWindows(bool on);
  bool SwitcherLightsWindows() const { return m_switcher_lights; }
  // New source rows: the windows and TSL out follow at once.
  void SetSources(const std::vector<TallySourceRow>& sources);

  // A tally change as the service's events carry it:
  // {"event":"tally","multiviewer":..,"window":..,"colour":"red","from":"tsl 127.0.0.1"}
  static std::string EventJson(const TallyEvent& event);
  // What `GET`-style status shows: every lit window and its label.
  std::string CurrentJson() const;

 private:
  TallyService() = default;
  std::unique_ptr<TallyEngine> m_engine;
  std::unique_ptr<TslListener> m_listener;
  std::unique_ptr<TslSender> m_sender;
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
  DeviceHub* m_hub = nullptr;
  int m_hub_token = 0;
  std::vector<std::string> m_followed;  // multiviewers taken from the hub
  bool m_have_switcher = false;
  SwitcherSession* m_switcher = nullptr;
  bool m_switcher_lights = true;
};

// Whether any tally option was given: tally runs in the service only then.
bool TallyWanted(const TallyOptions& options);

}  // namespace zv

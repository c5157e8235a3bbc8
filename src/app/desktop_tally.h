// Tally in the desktop program: which production-switcher source comes in
// on which multiviewer input (the "sources" rows of the tally map, with the
// name TSL out gives each), and whether the switcher lights the
// multiviewers' windows, red for programme and green for preview.
//
// The rows are kept where they came from: the mapping file of --tsl-map,
// written back whole at each change (its displays as they were), or else
// the program's settings file. The lights run on the hub's sessions, the
// ones the panels show: through the service's tally when the service runs
// one (--serve with a --tsl option), otherwise through a tally of the
// program's own, made the first time the box is turned on (it follows the
// hub's multiviewers from then on; until then nothing is read or sent).
// Every change is in effect at once.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "session/device_session.h"
#include "session/session_clock.h"
#include "tally/tally_map.h"
#include "tally/tally_service.h"

namespace zv {

class DeviceHub;

class DesktopTally {
 public:
  DesktopTally(DeviceHub& hub, SessionClock& clock, TallyService::Post post);
  ~DesktopTally();
  DesktopTally(const DesktopTally&) = delete;
  DesktopTally& operator=(const DesktopTally&) = delete;

  // Reads the rows and the box and puts them to work. `map_file`: the
  // mapping file (--tsl-map; empty: the rows are kept in `settings_file`,
  // in the [Tally] section, as are the box's state). `asked`: a --tsl
  // option asked for tally, so the box starts on. `service`: the service's
  // tally, or null. Empty paths keep nothing (until the program ends).
  void Start(const std::string& map_file, const std::string& settings_file, bool asked, TallyService* service);
  // The service's tally goes (before the service does).
  void LeaveService() { m_service = nullptr; }

  const std::vector<TallySourceRow>& Rows() const { return m_rows; }
  bool SwitcherOn() const { return m_switcher_on; }
  // Where the rows are kept, for people: the mapping file, the settings
  // file, or empty.
  std::string KeptIn() const { return m_map_file.empty() ? m_settings_file : m_map_file; }

  struct Outcome {
    bool taken = false;  // in effect now; otherwise nothing changed
    std::string text;    // why not, or that it could not be kept; empty when all went well
  };
  // New rows: refused when one is bad (a source twice, out of range, a name
  // of more than 16 characters); otherwise in effect at once and kept.
  Outcome SetRows(std::vector<TallySourceRow> rows);
  Outcome SetSwitcherOn(bool on);

  // Called after every change (the groups showing the rows follow).
  int Subscribe(std::function<void()> f) { return m_changed.Add(std::move(f)); }
  void Unsubscribe(int token) { m_changed.Remove(token); }

  // The tally at work: the service's, the program's own, or null.
  TallyService* Active() { return m_service ? m_service : m_own.get(); }

 private:
  void Apply();

  DeviceHub& m_hub;
  SessionClock& m_clock;
  TallyService::Post m_post;
  std::string m_map_file, m_settings_file;
  TallyService* m_service = nullptr;
  std::unique_ptr<TallyService> m_own;
  std::vector<TallySourceRow> m_rows;
  bool m_switcher_on = false;
  Observers<> m_changed;
};

}  // namespace zv

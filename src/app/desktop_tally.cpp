#include "app/desktop_tally.h"

#include "platform/platform.h"

namespace zv {
namespace {

constexpr const char* kSection = "Tally";
constexpr const char* kSourcesKey = "sources";
constexpr const char* kSwitcherKey = "switcher";

}  // namespace

DesktopTally::DesktopTally(DeviceHub& hub, SessionClock& clock, TallyService::Post post)
    : m_hub(hub), m_clock(clock), m_post(std::move(post)), m_rows(TallyMap::Defaults().sources) {}

DesktopTally::~DesktopTally() = default;

void DesktopTally::Start(const std::string& map_file, const std::string& settings_file, bool asked,
                         TallyService* service) {
  m_map_file = map_file;
  m_settings_file = settings_file;
  m_service = service;
  std::string why;
  if (!m_map_file.empty()) {
    // The command line has read it already; a file that went bad since
    // keeps the rows as they are.
    if (std::optional<TallyMap> map = LoadTallyMap(m_map_file, &why)) m_rows = std::move(map->sources);
  } else if (!m_settings_file.empty()) {
    const std::string text = ReadProfileString(kSection, kSourcesKey, "", m_settings_file);
    if (!text.empty())
      if (std::optional<std::vector<TallySourceRow>> rows = ParseTallySources(text, &why)) m_rows = std::move(*rows);
  }
  m_switcher_on =
      asked || (!m_settings_file.empty() && ReadProfileString(kSection, kSwitcherKey, "off", m_settings_file) == "on");
  Apply();
}

DesktopTally::Outcome DesktopTally::SetRows(std::vector<TallySourceRow> rows) {
  std::string why;
  // Checked as the mapping file's rows are.
  if (!ParseTallySources(TallySourcesJson(rows), &why)) return {false, why};
  m_rows = std::move(rows);
  Outcome outcome{true, {}};
  if (!m_map_file.empty()) {
    if (!WriteTallySources(m_map_file, m_rows, &why)) outcome.text = "In effect, but not kept: " + why;
  } else if (!m_settings_file.empty() &&
             !WriteProfileString(kSection, kSourcesKey, TallySourcesJson(m_rows), m_settings_file)) {
    outcome.text = "In effect, but not kept: cannot write " + m_settings_file;
  }
  Apply();
  return outcome;
}

DesktopTally::Outcome DesktopTally::SetSwitcherOn(bool on) {
  m_switcher_on = on;
  Outcome outcome{true, {}};
  if (!m_settings_file.empty() && !WriteProfileString(kSection, kSwitcherKey, on ? "on" : "off", m_settings_file))
    outcome.text = "In effect, but not kept: cannot write " + m_settings_file;
  Apply();
  return outcome;
}

void DesktopTally::Apply() {
  if (!m_service && !m_own && m_switcher_on) {
    // Only the switcher's part: no TSL in or out, so no mapping file (its
    // displays would be for TSL in).
    std::string why;
    m_own = TallyService::Start(TallyOptions{}, m_post, m_clock, &why);
    if (m_own) {
      m_own->SetSources(m_rows);
      m_own->SetSwitcherLightsWindows(true);
      m_own->Follow(m_hub);
    }
  }
  if (TallyService* tally = Active()) {
    tally->SetSources(m_rows);
    tally->SetSwitcherLightsWindows(m_switcher_on);
  }
  m_changed.Notify();
}

}  // namespace zv

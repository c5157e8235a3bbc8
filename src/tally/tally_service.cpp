#include "tally/tally_service.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "link/local_networks.h"
#include "multiview/multiview_session.h"
#include "hub/device_hub.h"
#include "switcher/switcher_session.h"

namespace zv {

std::unique_ptr<TallyService> TallyService::Start(const TallyOptions& options, Post post, SessionClock& clock,
                                                  std::string* error) {
  TallyMap map = TallyMap::Defaults();
  if (!options.map_file.empty()) {
    std::optional<TallyMap> loaded = LoadTallyMap(options.map_file, error);
    if (!loaded) return nullptr;
    map = std::move(*loaded);
  }
  std::optional<CidrList> allow = CidrList::Parse(options.allow, error);
  if (!allow) {
    *error = "--tsl-allow: " + *error;
    return nullptr;
  }
  std::vector<TslTarget> targets;
  for (const std::string& text : options.send) {
    std::optional<TslTarget> target = ParseTslTarget(text, error);
    if (!target) {
      *error = "--tsl-send: " + *error;
      return nullptr;
    }
    targets.push_back(*target);
  }
  if (options.send_version != "5.0" && options.send_version != "3.1") {
    *error = "--tsl-send-version must be 5.0 or 3.1, not \"" + options.send_version + "\"";
    return nullptr;
  }
  std::unique_ptr<TallyService> service(new TallyService);
  service->m_engine = std::make_unique<TallyEngine>(map);
  if (options.listen_port) {
    service->m_listener = std::make_unique<TslListener>();
    TallyEngine* engine = service->m_engine.get();
    std::weak_ptr<bool> alive = service->m_alive;
    const bool started = service->m_listener->Start(
        *options.listen_port, *allow,
        [post, engine, alive](uint32_t from, TslDatagram d) {
          // Taken on the listener's thread, shown on the service's.
          post([engine, alive, from, d = std::move(d)] {
            if (const std::shared_ptr<bool> live = alive.lock(); live && *live)
              engine->TakeTsl(d, "tsl " + Ipv4Text(from));
          });
        },
        error, options.listen_address);
    if (!started) return nullptr;
  }
  if (!targets.empty()) {
    service->m_sender = std::make_unique<TslSender>(
        targets, options.send_version == "3.1" ? TslVersion::k31 : TslVersion::k50, map, clock);
    if (!service->m_sender->Start(error)) return nullptr;
  }
  return service;
}

bool TallyWanted(const TallyOptions& options) {
  return !options.map_file.empty() || options.listen_port.has_value() || !options.send.empty();
}

TallyService::~TallyService() {
  *m_alive = false;
  if (m_hub) m_hub->Unobserve(m_hub_token);
  // The listener's thread ends before the engine it posts to goes.
  m_listener.reset();
  m_sender.reset();
  m_engine.reset();
}

void TallyService::Follow(DeviceHub& hub) {
  m_hub = &hub;
  const auto take = [this](const HubDevice& device) {
    if (!device.family || !m_hub) return;
    const bool multiviewer = device.family->kind == FamilyKind::kMultiviewer;
    const bool switcher = device.family->kind == FamilyKind::kSwitcher;
    if (multiviewer && std::find(m_followed.begin(), m_followed.end(), device.address) == m_followed.end()) {
      auto* session = dynamic_cast<MultiviewSession*>(m_hub->SessionOf(device.address));
      if (!session) return;
      m_followed.push_back(device.address);
      AddMultiviewer(device.address, *session);
      // The windows' sources decide which windows show the switcher's.
      m_hub->ReadBack(device.address, {"tally", ""}, [](const ActionRun&) {});
    } else if (switcher && !m_have_switcher) {
      auto* session = dynamic_cast<SwitcherSession*>(m_hub->SessionOf(device.address));
      if (!session) return;
      m_have_switcher = true;
      SetSwitcher(session);
    }
  };
  m_hub_token = hub.OnDevice(take);
  for (const HubDevice& device : hub.Devices()) take(device);
}

void TallyService::AddMultiviewer(const std::string& address, MultiviewSession& session) {
  m_engine->AddMultiviewer(address, session);
}

void TallyService::RemoveMultiviewer(const std::string& address) { m_engine->RemoveMultiviewer(address); }

void TallyService::SetSwitcher(SwitcherSession* session) {
  m_switcher = session;
  m_engine->SetSwitcher(m_switcher_lights ? session : nullptr);
  if (m_sender) m_sender->SetSwitcher(session);
}

void TallyService::SetSwitcherLightsWindows(bool on) {
  m_switcher_lights = on;
  m_engine->SetSwitcher(on ? m_switcher : nullptr);
}

void TallyService::SetSources(const std::vector<TallySourceRow>& sources) {
  m_engine->SetSources(sources);
  if (m_sender) m_sender->SetSources(sources);
}

std::string TallyService::EventJson(const TallyEvent& event) {
  return nlohmann::json{{"event", "tally"},
                        {"multiviewer", event.multiviewer},
                        {"window", event.window},
                        {"colour", TslLampName(event.lamp)},
                        {"from", event.from}}
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string TallyService::CurrentJson() const {
  nlohmann::json windows = nlohmann::json::array();
  for (const TallyEngine::WindowTally& w : m_engine->Current())
    windows.push_back({{"multiviewer", w.multiviewer},
                       {"window", w.window},
                       {"colour", TslLampName(w.lamp)},
                       {"label", w.label},
                       {"from", w.from}});
  nlohmann::json j{{"windows", windows}};
  if (m_listener)
    j["tsl_in"] = {{"port", m_listener->Port()},
                   {"taken", m_listener->Taken()},
                   {"dropped", m_listener->Dropped()},
                   {"refused", m_listener->RefusedTotal()}};
  if (m_sender) j["tsl_out"] = {{"sent", m_sender->Sent()}, {"failed", m_sender->Failed()}};
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace zv

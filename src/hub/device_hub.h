// The devices a program knows and one session for each it uses, shared by
// every surface: the window's panels, and the remote clients of the
// service (HTTP, OSC). The hub keeps the device list (what searches found,
// whether each still answers), makes a device's session on first use and
// keeps it, runs actions in it for remote clients and tells observers what
// changed: the devices, a record's fields (and which surface changed them),
// and every action run (who, what, from where, what became of it).
//
// Everything here runs on one thread, the hub's (the window's, or zvd's
// event loop); the link worker's jobs run on the worker and hand back to
// that thread through `post`.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/link_worker.h"
#include "session/device_session.h"
#include "session/family_info.h"
#include "session/session_clock.h"

namespace zv {

// Where a change or an action came from: the surface ("http", "osc",
// "window", "timer" for a timed action's steps, "device" for what a device
// answered) and who (a token's name, "window"; empty when nobody asked).
struct ActionOrigin {
  std::string surface;
  std::string who;
};

struct HubDevice {
  // A network device's dotted quad; for the device on a serial line its key
  // (link/serial_port.h: SerialDeviceKey, "serial-ttyUSB0"), which no address can be taken for.
  std::string address;
  const FamilyInfo* family = nullptr;  // null for a type no family has
  uint8_t type = 0;
  uint8_t id = 0;
  std::string name;  // the device list's line ("MV16_10.0.0.2")
  bool online = false;
  int64_t last_heard_ms = 0;  // wall clock, ms since 1970; 0 never heard
  // The serial port the device answered on ("/dev/ttyUSB0"); empty for a
  // device on the network.
  std::string serial_port;
};


// What became of an action (or a read-back) run through the hub.
struct ActionRun {
  std::string device;  // address
  std::string action;  // "switcher.cut"; "read" for a read-back
  ActionOrigin origin;
  ActionOutcome outcome;
  // Every frame the action's jobs put on the wire, in order, as hex
  // ("a5 6c 14 00 ..."; a router's text is its bytes as well).
  std::vector<std::string> frames;
  // A frame did not leave whole.
  bool not_sent = false;
  // What the session said went wrong meanwhile (a frame not sent, a
  // read-back that stayed silent), for people.
  std::vector<std::string> failures;
  // The action did not end within the hub's limit (a minute).
  bool timed_out = false;

  // One word for the action event: "done", "bad parameter", "not now",
  // "unknown", "not sent", "no answer", "timed out".
  std::string Result() const;
  bool Taken() const { return outcome.ok() && !not_sent && failures.empty() && !timed_out; }
};

class DeviceHub {
 public:
  // Hands work to the hub's thread; safe from any thread.
  using Post = std::function<void(std::function<void()>)>;
  // Makes the door of a device's session: the window's own (status strip,
  // serial port, connection mode), or a headless one.
  using LinkFactory =
      std::function<std::unique_ptr<DeviceLink>(const DeviceEntry& device, const std::string& name, bool serial)>;

  // Borrows `worker` (for searches) and `clock` (for the sessions' timed
  // actions); both outlive the hub.
  DeviceHub(LinkWorker& worker, SessionClock& clock, Post post, LinkFactory make_link);
  ~DeviceHub();
  DeviceHub(const DeviceHub&) = delete;
  DeviceHub& operator=(const DeviceHub&) = delete;

  // The surface a record change is put down to when no action of the hub's
  // is under way ("window" in the window, where the views change records
  // themselves; "device" in zvd).
  void SetIdleSurface(std::string surface) { m_idle_surface = std::move(surface); }
  // How long an action may take before its answer says it timed out.
  void SetActionLimitMs(int ms) { m_action_limit_ms = ms; }

  // ---- devices ---------------------------------------------------------------
  std::vector<HubDevice> Devices() const;
  const HubDevice* Device(const std::string& address) const;
  // A network search's result: every device found is online and heard
  // now; with `complete`, a known device not among them goes offline.
  // `lines` are the device list's lines, in the order of `entries`.
  void Found(const std::vector<DeviceEntry>& entries, const std::vector<std::string>& lines, bool complete);
  // Runs a network search on the link worker (the search address of the
  // worker's configuration); `done` runs here once it ended, with false when
  // the search socket could not be opened or the search was cancelled.
  void Scan(std::function<void(bool searched)> done);
  bool Scanning() const { return m_scanning; }
  // Presence: every `period_ms` (0: never) a light search (one query, in
  // the background: a command cuts its window short) tells which known
  // devices still answer. A device heard is online; one not heard in a
  // search that ran its whole window goes offline; observers hear both.
  void SetPresencePeriodMs(int period_ms);
  // The serial line: Scan opens `port` at `baud` on the link worker (again
  // when its line was lost), searches the line after the network, and lists
  // the device that answers under SerialDeviceKey(port). Network searches
  // and presence leave it as it is; a search of the line that nobody
  // answers, a port that does not open, or SerialLineLost takes it offline.
  void SetSerialLine(std::string port, uint32_t baud);
  // The port's line hung up (the adapter pulled, the far end closed): the
  // device on it goes offline. Call on the hub's thread.
  void SerialLineLost();
  // What the last search of the serial line could not do, for people ("the
  // serial port /dev/ttyUSB0 could not be opened"); empty when a device
  // answered there or no line was searched.
  const std::string& SerialLineProblem() const { return m_serial_problem; }

  // ---- sessions --------------------------------------------------------------
  // The session of `device` (one per family, address, type, id and line),
  // made on first use and kept while the hub lives. Null for a family
  // without sessions.
  DeviceSession* SessionFor(const DeviceEntry& device, const FamilyInfo& family, const std::string& name,
                            bool serial);
  // The session of the known device at `address`, by network; null when no
  // device is known there or its type has no family.
  DeviceSession* SessionOf(const std::string& address);
  size_t SessionCount() const { return m_slots.size(); }
  // The record of the device's session as named values; null when there is
  // no session.
  nlohmann::json StateOf(const std::string& address);

  // ---- actions ---------------------------------------------------------------
  // Runs the action named `action` in the session of the device at
  // `address`. `done` runs here once every frame the action queued has left
  // (or failed to), and for a timed action (Auto) once it ended; at once
  // when nothing was sent (an unknown device or action, a bad parameter,
  // not possible now).
  void Invoke(const std::string& address, const std::string& action, const ActionArgs& args,
              const ActionOrigin& origin, std::function<void(const ActionRun&)> done);
  // Runs `start` in the session of the device at `address` as an action
  // of the table runs (its frames followed, its end awaited), for what is
  // no action of the table: a new address for the device, a setup applied.
  // `name` names it in the action event ("device.set_ip").
  void RunInSession(const std::string& address, const std::string& name, const ActionOrigin& origin,
                    const std::function<ActionOutcome(DeviceSession& session)>& start,
                    std::function<void(const ActionRun&)> done);
  // Reads the device back where its family can; `done` runs when the
  // answers came (or their windows passed). Families without a read-back
  // finish at once with nothing sent.
  void ReadBack(const std::string& address, const ActionOrigin& origin, std::function<void(const ActionRun&)> done);

  // ---- observers (called on the hub's thread) ---------------------------------
  // The three lists number their callbacks each on its own; a token says
  // which list it is of (token % 3), so Unobserve never takes another's.
  int OnDevice(std::function<void(const HubDevice& device)> f) { return 3 * m_device_observers.Add(std::move(f)); }
  // The fields of the record that changed, with their new values.
  int OnRecord(std::function<void(const std::string& address, const nlohmann::json& fields,
                                  const ActionOrigin& origin)>
                   f) {
    return 3 * m_record_observers.Add(std::move(f)) + 1;
  }
  int OnAction(std::function<void(const ActionRun& run)> f) { return 3 * m_action_observers.Add(std::move(f)) + 2; }
  void Unobserve(int token) {
    switch (token % 3) {
      case 0: m_device_observers.Remove(token / 3); break;
      case 1: m_record_observers.Remove(token / 3); break;
      default: m_action_observers.Remove(token / 3); break;
    }
  }

 private:
  struct Capture;
  struct Slot;
  class HubLink;
  class HubClock;
  struct Context {
    std::shared_ptr<Capture> capture;
    ActionOrigin origin;
  };
  class ContextScope;

  // Runs `start` in the slot's session under a new capture; `done` when it
  // ended. Returns the outcome `start` gave.
  ActionOutcome Run(Slot& slot, const std::string& action, const ActionOrigin& origin,
                    const std::function<ActionOutcome(DeviceSession&)>& start,
                    std::function<void(const ActionRun&)> done);
  void CheckEnded(const std::shared_ptr<Capture>& capture);
  void Finish(const std::shared_ptr<Capture>& capture);
  void RecordChanged(Slot& slot);
  ActionOrigin CurrentOrigin() const;
  void Heard(const std::string& address, bool answered);
  // A device answered a search: its entry under `key` takes what the
  // answer says and is online. True when that changed anything.
  bool Answered(const std::string& key, const DeviceEntry& entry, const std::string& name, int64_t now);
  // What a search of the serial line found: `answered` with the device's
  // type and id in `entry` and its name `line`.
  void FoundOnSerial(bool answered, const DeviceEntry& entry, const std::string& line);
  Slot* SlotOf(const std::string& address);

  LinkWorker& m_worker;
  SessionClock& m_clock;
  Post m_post;
  LinkFactory m_make_link;
  std::unique_ptr<HubClock> m_hub_clock;
  std::string m_idle_surface = "window";
  int m_action_limit_ms = 60000;

  std::map<std::string, HubDevice> m_devices;  // by address
  std::map<std::string, std::unique_ptr<Slot>> m_slots;  // by family, address, type, id, line
  Context m_context;
  bool m_scanning = false;
  std::string m_serial_port;  // empty: no serial line
  uint32_t m_serial_baud = 0;
  std::string m_serial_problem;
  void PresenceTick();
  int m_presence_timer = 0;
  bool m_presence_running = false;
  // Set while the hub lives: what the worker posts back checks it.
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

  Observers<const HubDevice&> m_device_observers;
  Observers<const std::string&, const nlohmann::json&, const ActionOrigin&> m_record_observers;
  Observers<const ActionRun&> m_action_observers;
};

// "a5 6c 14 00": bytes in hex, separated by spaces.
std::string HexBytes(std::span<const uint8_t> bytes);

}  // namespace zv

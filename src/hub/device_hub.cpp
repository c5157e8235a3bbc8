#include "hub/device_hub.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>

#include "platform/platform.h"
#include "link/serial_port.h"
#include "registry/families.h"

namespace zv {

std::string HexBytes(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  char two[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(two, sizeof two, i ? " %02x" : "%02x", bytes[i]);
    out += two;
  }
  return out;
}

std::string ActionRun::Result() const {
  switch (outcome.status) {
    case ActionOutcome::kBadParameter: return "bad parameter";
    case ActionOutcome::kNotNow: return "not now";
    case ActionOutcome::kUnknown: return "unknown";
    case ActionOutcome::kDone: break;
  }
  if (timed_out) return "timed out";
  if (not_sent) return "not sent";
  if (!failures.empty()) return "no answer";
  return "done";
}

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Posts `f` to the hub's thread when the last holder lets go: after a job
// and its continuation have both run, or when the worker dropped either
// (a cancel). Held by both, so it fires exactly once.
class OnRelease {
 public:
  OnRelease(DeviceHub::Post post, std::function<void()> f) : m_post(std::move(post)), m_f(std::move(f)) {}
  ~OnRelease() { m_post(std::move(m_f)); }
  OnRelease(const OnRelease&) = delete;
  OnRelease& operator=(const OnRelease&) = delete;

 private:
  DeviceHub::Post m_post;
  std::function<void()> m_f;
};

}  // namespace

// The frames a capture's jobs sent, written on the worker.
struct SentFrames {
  std::mutex mutex;
  std::vector<std::string> frames;
  bool not_sent = false;
};

// One action followed from its call to its end.
struct DeviceHub::Capture {
  ActionRun run;
  std::function<void(const ActionRun&)> done;
  bool announce = true;  // an action event when it ends (a read-back has none)
  bool calling = true;   // still inside the call that started it
  int jobs = 0;          // requests made under it that have not ended
  std::set<int> timers;  // clock timers started under it that still run
  bool finished = false;
  int limit_timer = 0;
  std::shared_ptr<SentFrames> sent = std::make_shared<SentFrames>();
};

struct DeviceHub::Slot {
  // The device's address, or its serial key; empty for a device on the
  // serial line the window found (which the hub's list does not hold).
  std::string address;
  const FamilyInfo* family = nullptr;
  std::unique_ptr<DeviceLink> link;
  std::unique_ptr<DeviceSession> session;  // goes before its link
  nlohmann::json fields;                   // the record as last told
};

// Sets the hub's context for as long as it lives, and puts the previous
// one back.
class DeviceHub::ContextScope {
 public:
  ContextScope(DeviceHub& hub, Context context) : m_hub(hub), m_saved(std::move(hub.m_context)) {
    m_hub.m_context = std::move(context);
  }
  ~ContextScope() { m_hub.m_context = std::move(m_saved); }

 private:
  DeviceHub& m_hub;
  Context m_saved;
};

// The door the hub puts between a session and the door it was made with:
// a request made while an action is followed counts as the action's, its
// frames are noted on the worker, and its continuation runs in the
// action's context (the answers a device gave it).
class DeviceHub::HubLink : public DeviceLink {
 public:
  HubLink(DeviceHub& hub, std::unique_ptr<DeviceLink> inner)
      : DeviceLink(inner->Device()), m_hub(hub), m_inner(std::move(inner)) {}

  LinkTarget Target() const override { return m_inner->Target(); }
  std::string DeviceName() const override { return m_inner->DeviceName(); }
  int32_t Mode() const override { return m_inner->Mode(); }
  void SetMode(int32_t mode) override { m_inner->SetMode(mode); }
  bool SerialPortOpen() const override { return m_inner->SerialPortOpen(); }
  bool SerialLineLost() const override { return m_inner->SerialLineLost(); }
  void OpenSerialPort(const std::string& name, uint32_t baud, std::function<void(bool)> done) override {
    m_inner->OpenSerialPort(name, baud, std::move(done));
  }
  void CloseSerialPort(std::function<void()> done) override { m_inner->CloseSerialPort(std::move(done)); }
  std::string SerialPortName() const override { return m_inner->SerialPortName(); }
  void CloseSerialPortIfLineLost(std::function<void(bool)> done) override {
    m_inner->CloseSerialPortIfLineLost(std::move(done));
  }
  void ShowStatus(const std::string& text, bool error) override {
    if (error && m_hub.m_context.capture) m_hub.m_context.capture->run.failures.push_back(text);
    m_inner->ShowStatus(text, error);
  }

  void Request(const std::string& status, LinkWorker::Job job) override {
    const std::shared_ptr<Capture> capture = m_hub.m_context.capture;
    // What the device answers belongs to whoever asked.
    const ActionOrigin answered{"device", m_hub.m_context.origin.who};
    std::shared_ptr<OnRelease> ended;
    std::shared_ptr<SentFrames> sent;
    // Set on the worker when the job ran; one the worker dropped unrun (a
    // cancel) sent nothing, and its action did not get through.
    const auto ran = std::make_shared<std::atomic<bool>>(false);
    DeviceHub* hub = &m_hub;
    const std::weak_ptr<bool> alive = m_hub.m_alive;
    if (capture) {
      ++capture->jobs;
      sent = capture->sent;
      ended = std::make_shared<OnRelease>(m_hub.m_post, [hub, alive, capture, ran] {
        if (alive.expired()) return;
        --capture->jobs;
        if (!ran->load()) capture->run.failures.push_back("a request was dropped before it ran (cancelled)");
        hub->CheckEnded(capture);
      });
    }
    m_inner->Request(status, [job = std::move(job), ended, sent, hub, alive, capture, answered,
                              ran](LinkState& link) -> std::function<void()> {
      ran->store(true);
      if (sent)
        link.m_sent_hook = [sent](std::span<const uint8_t> bytes, bool whole) {
          std::lock_guard lock(sent->mutex);
          sent->frames.push_back(HexBytes(bytes));
          if (!whole) sent->not_sent = true;
        };
      std::function<void()> then = job(link);
      link.m_sent_hook = nullptr;
      // The continuation lets go of the job's end as soon as it ran: a loop
      // may keep what it ran for a while.
      if (!then) return [ended]() mutable { ended.reset(); };
      return [then = std::move(then), ended, hub, alive, capture, answered]() mutable {
        if (!alive.expired()) {
          ContextScope scope(*hub, {capture, answered});
          then();
        }
        ended.reset();
      };
    });
  }

 private:
  DeviceHub& m_hub;
  std::unique_ptr<DeviceLink> m_inner;
};

// The sessions' clock seen through the hub: a timer started while an action
// is followed belongs to it (the action ends when the timer stops), and its
// ticks run in the action's context as the surface "timer".
class DeviceHub::HubClock : public SessionClock {
 public:
  HubClock(DeviceHub& hub, SessionClock& inner) : m_hub(hub), m_inner(inner) {}

  int Start(int period_ms, std::function<void()> tick) override {
    const std::shared_ptr<Capture> capture = m_hub.m_context.capture;
    const ActionOrigin origin{"timer", m_hub.m_context.origin.who};
    DeviceHub* hub = &m_hub;
    const int handle = m_inner.Start(period_ms, [hub, tick = std::move(tick), capture, origin] {
      ContextScope scope(*hub, {capture, origin});
      tick();
    });
    if (capture) {
      capture->timers.insert(handle);
      m_owner[handle] = capture;
    }
    return handle;
  }

  void Stop(int handle) override {
    m_inner.Stop(handle);
    const auto it = m_owner.find(handle);
    if (it == m_owner.end()) return;
    const std::shared_ptr<Capture> capture = it->second;
    m_owner.erase(it);
    capture->timers.erase(handle);
    m_hub.CheckEnded(capture);
  }

 private:
  DeviceHub& m_hub;
  SessionClock& m_inner;
  std::map<int, std::shared_ptr<Capture>> m_owner;
};

DeviceHub::DeviceHub(LinkWorker& worker, SessionClock& clock, Post post, LinkFactory make_link)
    : m_worker(worker),
      m_clock(clock),
      m_post(std::move(post)),
      m_make_link(std::move(make_link)),
      m_hub_clock(std::make_unique<HubClock>(*this, clock)) {}

DeviceHub::~DeviceHub() {
  // What the worker still hands back finds the hub gone; the sessions go
  // before the clock their timers run on.
  if (m_presence_timer) m_clock.Stop(m_presence_timer);
  m_alive.reset();
  m_slots.clear();
}

// ---- devices -------------------------------------------------------------------

std::vector<HubDevice> DeviceHub::Devices() const {
  std::vector<HubDevice> list;
  for (const auto& [address, device] : m_devices) list.push_back(device);
  return list;
}

const HubDevice* DeviceHub::Device(const std::string& address) const {
  const auto it = m_devices.find(address);
  return it == m_devices.end() ? nullptr : &it->second;
}

void DeviceHub::Found(const std::vector<DeviceEntry>& entries, const std::vector<std::string>& lines,
                      bool complete) {
  const int64_t now = NowMs();
  std::set<std::string> found;
  std::vector<std::string> told;
  for (size_t i = 0; i < entries.size(); ++i) {
    const DeviceEntry& e = entries[i];
    const std::string address = e.IpText();
    if (address.empty()) continue;  // a device on the serial line has no address
    found.insert(address);
    if (Answered(address, e, i < lines.size() ? lines[i] : address, now)) told.push_back(address);
  }
  // The device on the serial line is no network search's to find.
  if (complete)
    for (auto& [address, d] : m_devices)
      if (d.online && d.serial_port.empty() && !found.count(address)) {
        d.online = false;
        told.push_back(address);
      }
  for (const std::string& address : told) m_device_observers.Notify(m_devices[address]);
}

bool DeviceHub::Answered(const std::string& key, const DeviceEntry& entry, const std::string& name, int64_t now) {
  const bool known = m_devices.count(key) != 0;
  HubDevice& d = m_devices[key];
  const bool changed =
      !known || !d.online || d.type != entry.device_type || d.id != entry.device_id || d.name != name;
  d.address = key;
  d.type = entry.device_type;
  d.id = entry.device_id;
  d.family = FamilyForType(entry.device_type);
  d.name = name;
  d.online = true;
  d.last_heard_ms = now;
  return changed;
}

void DeviceHub::Heard(const std::string& address, bool answered) {
  const auto it = m_devices.find(address);
  if (it == m_devices.end()) return;
  HubDevice& d = it->second;
  if (answered) d.last_heard_ms = NowMs();
  if (d.online == answered) return;
  d.online = answered;
  m_device_observers.Notify(d);
}

void DeviceHub::Scan(std::function<void(bool)> done) {
  m_scanning = true;
  struct Result {
    bool searched = false;
  };
  const auto result = std::make_shared<Result>();
  const std::weak_ptr<bool> alive = m_alive;
  // Runs once the search's continuation ran, or when a cancel dropped it.
  auto ended = std::make_shared<OnRelease>(m_post, [this, alive, result, done = std::move(done)] {
    if (alive.expired()) return;
    m_scanning = false;
    if (done) done(result->searched);
  });
  LinkTarget target;
  target.mode = kModeNetwork;
  m_worker.Submit(target, [this, alive, result, ended](LinkState& link) -> std::function<void()> {
    std::vector<std::string> lines;
    const int count = link.SearchNetworkDevices(&lines);
    std::vector<DeviceEntry> entries;
    for (int i = 0; i < std::max(count, 0); ++i) entries.push_back(link.m_device_list[i]);
    return [this, alive, result, ended, count, lines = std::move(lines), entries = std::move(entries)]() mutable {
      if (!alive.expired() && count >= 0) {
        result->searched = true;
        Found(entries, lines, true);
      }
      ended.reset();
    };
  });
  if (m_serial_port.empty()) return;
  // Then the serial line: its port opened (again, when its line was lost)
  // and the discovery query written there.
  LinkTarget serial;
  serial.mode = kModeSerial;
  m_worker.Submit(serial, [this, alive, ended, port = m_serial_port,
                           baud = m_serial_baud](LinkState& link) -> std::function<void()> {
    CnComm& comm = link.m_serial_port;
    if (comm.IsOpen() && comm.LineLost()) comm.Close(CnComm::kDefaultCloseWaitMs);
    const bool open = comm.IsOpen() || comm.Open(port, baud);
    const bool answered = open && link.SearchSerialDevice() && link.m_device_index >= 0;
    const DeviceEntry entry = answered ? link.m_serial_device : DeviceEntry{};
    std::string line;
    for (const char16_t c : link.m_serial_device_name) {
      // The device's name is bytes: Latin-1.
      if (c < 0x80) {
        line += static_cast<char>(c);
      } else {
        line += static_cast<char>(0xC0 | ((c >> 6) & 0x1F));
        line += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return [this, alive, ended, open, answered, entry, port, line]() mutable {
      if (!alive.expired()) {
        m_serial_problem = !open       ? "the serial port " + port + " could not be opened"
                           : !answered ? "no device answered on the serial line " + port
                                       : std::string();
        if (!m_serial_problem.empty()) Trace("%s", m_serial_problem.c_str());
        FoundOnSerial(answered, entry, line);
      }
      ended.reset();
    };
  });
}

void DeviceHub::SetSerialLine(std::string port, uint32_t baud) {
  m_serial_port = std::move(port);
  m_serial_baud = baud;
}

void DeviceHub::FoundOnSerial(bool answered, const DeviceEntry& entry, const std::string& line) {
  const std::string key = SerialDeviceKey(m_serial_port);
  const bool known = m_devices.count(key) != 0;
  if (!answered) {
    // Nobody answered on the line: a device known there goes offline.
    if (known) Heard(key, false);
    return;
  }
  bool changed = Answered(key, entry, line.empty() ? key : line, NowMs());
  HubDevice& d = m_devices[key];
  changed = changed || d.serial_port != m_serial_port;
  d.serial_port = m_serial_port;
  if (changed) m_device_observers.Notify(d);
}

void DeviceHub::SerialLineLost() {
  if (!m_serial_port.empty()) Heard(SerialDeviceKey(m_serial_port), false);
}

void DeviceHub::SetPresencePeriodMs(int period_ms) {
  if (m_presence_timer) m_clock.Stop(m_presence_timer);
  m_presence_timer = period_ms > 0 ? m_clock.Start(period_ms, [this] { PresenceTick(); }) : 0;
}

void DeviceHub::PresenceTick() {
  // Nothing to watch, or a search runs already.
  if (m_devices.empty() || m_scanning || m_presence_running) return;
  m_presence_running = true;
  const std::weak_ptr<bool> alive = m_alive;
  // Runs once the search's continuation ran, or when a cancel dropped it.
  auto ended = std::make_shared<OnRelease>(m_post, [this, alive] {
    if (!alive.expired()) m_presence_running = false;
  });
  LinkTarget target;
  target.mode = kModeNetwork;
  m_worker.Submit(
      target,
      [this, alive, ended](LinkState& link) -> std::function<void()> {
        std::vector<std::string> lines;
        const int count = link.SearchNetworkDevices(&lines);
        // A command cut the window short: who answered is online, but
        // silence proves nothing.
        const bool whole = !link.CancelRequested();
        std::vector<DeviceEntry> entries;
        for (int i = 0; i < std::max(count, 0); ++i) entries.push_back(link.m_device_list[i]);
        return [this, alive, ended, count, whole, lines = std::move(lines), entries = std::move(entries)]() mutable {
          if (!alive.expired() && count >= 0) Found(entries, lines, whole);
          ended.reset();
        };
      },
      true);
}

// ---- sessions --------------------------------------------------------------------

DeviceSession* DeviceHub::SessionFor(const DeviceEntry& device, const FamilyInfo& family, const std::string& name,
                                     bool serial) {
  if (!family.make_session) return nullptr;
  const std::string key = std::string(family.key) + " " + device.IpText() + " " +
                          std::to_string(device.device_type) + " " + std::to_string(device.device_id) +
                          (serial ? " serial" : "");
  std::unique_ptr<Slot>& slot = m_slots[key];
  if (slot) return slot->session.get();
  slot = std::make_unique<Slot>();
  Slot* s = slot.get();
  s->address = serial ? std::string() : device.IpText();
  s->family = &family;
  s->link = std::make_unique<HubLink>(*this, m_make_link(device, name, serial));
  s->session = family.make_session(family, *s->link, *m_hub_clock);
  // What a view of the window invokes is followed as the window's action.
  s->session->SetViewInvoker([this, s](DeviceSession& session, const std::string& action, const ActionArgs& args) {
    return Run(*s, action, {"window", "window"}, [&](DeviceSession&) { return session.Invoke(action, args); }, {});
  });
  s->session->Subscribe([this, s] { RecordChanged(*s); });
  if (family.state_fields) s->fields = family.state_fields(*s->session);
  return s->session.get();
}

DeviceHub::Slot* DeviceHub::SlotOf(const std::string& address) {
  const HubDevice* d = Device(address);
  if (!d || !d->family || !d->family->make_session) return nullptr;
  // The device on the serial line is reached by its type and id alone, as
  // the window's serial search leaves it.
  const bool serial = !d->serial_port.empty();
  DeviceEntry entry{};
  if (!serial) entry.SetIpText(address);
  entry.device_type = d->type;
  entry.device_id = d->id;
  DeviceSession* session = SessionFor(entry, *d->family, d->name, serial);
  for (auto& [key, slot] : m_slots)
    if (slot->session.get() == session) {
      // Its records and actions go by its key.
      if (serial) slot->address = address;
      return slot.get();
    }
  return nullptr;
}

DeviceSession* DeviceHub::SessionOf(const std::string& address) {
  Slot* slot = SlotOf(address);
  return slot ? slot->session.get() : nullptr;
}

nlohmann::json DeviceHub::StateOf(const std::string& address) {
  Slot* slot = SlotOf(address);
  if (!slot || !slot->family->state_fields) return nullptr;
  return slot->family->state_fields(*slot->session);
}

ActionOrigin DeviceHub::CurrentOrigin() const {
  if (!m_context.origin.surface.empty()) return m_context.origin;
  return {m_idle_surface, m_idle_surface == "window" ? "window" : ""};
}

void DeviceHub::RecordChanged(Slot& slot) {
  if (!slot.family->state_fields) return;
  nlohmann::json now = slot.family->state_fields(*slot.session);
  nlohmann::json changed = nlohmann::json::object();
  for (auto it = now.begin(); it != now.end(); ++it)
    if (!slot.fields.is_object() || !slot.fields.contains(it.key()) || slot.fields[it.key()] != it.value())
      changed[it.key()] = it.value();
  slot.fields = std::move(now);
  // A device the window found on the serial line has no name here.
  if (changed.empty() || slot.address.empty()) return;
  m_record_observers.Notify(slot.address, changed, CurrentOrigin());
}

// ---- actions ---------------------------------------------------------------------

void DeviceHub::Invoke(const std::string& address, const std::string& action, const ActionArgs& args,
                       const ActionOrigin& origin, std::function<void(const ActionRun&)> done) {
  Slot* slot = SlotOf(address);
  if (!slot) {
    ActionRun run;
    run.device = address;
    run.action = action;
    run.origin = origin;
    const HubDevice* d = Device(address);
    char type[8];
    std::snprintf(type, sizeof type, "0x%02X", d ? d->type : 0);
    run.outcome = {ActionOutcome::kUnknown, d ? address + " is a device of type " + type + ", which no family has"
                                              : "no device is known at " + address};
    if (done) done(run);
    return;
  }
  Run(*slot, action, origin, [&](DeviceSession& session) { return session.Invoke(action, args); },
      std::move(done));
}

void DeviceHub::RunInSession(const std::string& address, const std::string& name, const ActionOrigin& origin,
                             const std::function<ActionOutcome(DeviceSession&)>& start,
                             std::function<void(const ActionRun&)> done) {
  Slot* slot = SlotOf(address);
  if (!slot) {
    ActionRun run;
    run.device = address;
    run.action = name;
    run.origin = origin;
    run.outcome = {ActionOutcome::kUnknown, "no device is known at " + address};
    if (done) done(run);
    return;
  }
  Run(*slot, name, origin, start, std::move(done));
}

void DeviceHub::ReadBack(const std::string& address, const ActionOrigin& origin,
                         std::function<void(const ActionRun&)> done) {
  Slot* slot = SlotOf(address);
  if (!slot || !slot->family->read_back) {
    ActionRun run;
    run.device = address;
    run.action = "read";
    run.origin = origin;
    if (!slot) run.outcome = {ActionOutcome::kUnknown, "no device is known at " + address};
    if (done) done(run);
    return;
  }
  const FamilyInfo& family = *slot->family;
  Run(
      *slot, "read", origin,
      [&family](DeviceSession& session) {
        family.read_back(session);
        return ActionOutcome::Done();
      },
      [this, address, done = std::move(done)](const ActionRun& run) {
        Heard(address, run.Taken());
        if (done) done(run);
      });
}

ActionOutcome DeviceHub::Run(Slot& slot, const std::string& action, const ActionOrigin& origin,
                             const std::function<ActionOutcome(DeviceSession&)>& start,
                             std::function<void(const ActionRun&)> done) {
  auto capture = std::make_shared<Capture>();
  capture->run.device = slot.address;
  capture->run.action = action;
  capture->run.origin = origin;
  capture->done = std::move(done);
  capture->announce = action != "read";
  ActionOutcome outcome;
  {
    ContextScope scope(*this, {capture, origin});
    outcome = start(*slot.session);
  }
  capture->calling = false;
  capture->run.outcome = outcome;
  CheckEnded(capture);
  if (!capture->finished) {
    // A device that never lets the action end still gets an answer.
    const std::weak_ptr<Capture> weak = capture;
    capture->limit_timer = m_clock.Start(m_action_limit_ms, [this, weak] {
      const std::shared_ptr<Capture> c = weak.lock();
      if (!c || c->finished) return;
      c->run.timed_out = true;
      Finish(c);
    });
  }
  return outcome;
}

void DeviceHub::CheckEnded(const std::shared_ptr<Capture>& capture) {
  if (capture->finished || capture->calling || capture->jobs > 0 || !capture->timers.empty()) return;
  Finish(capture);
}

void DeviceHub::Finish(const std::shared_ptr<Capture>& capture) {
  capture->finished = true;
  if (capture->limit_timer) {
    m_clock.Stop(capture->limit_timer);
    capture->limit_timer = 0;
  }
  {
    std::lock_guard lock(capture->sent->mutex);
    capture->run.frames = capture->sent->frames;
    capture->run.not_sent = capture->sent->not_sent;
  }
  // Told outside the session's own calls (a timer stopped inside a step).
  const std::weak_ptr<bool> alive = m_alive;
  m_post([this, alive, capture] {
    if (alive.expired()) return;
    if (capture->announce) m_action_observers.Notify(capture->run);
    if (capture->done) capture->done(capture->run);
  });
}

}  // namespace zv

#include "fourch/fourch_session.h"

#include <nlohmann/json.hpp>
#include <string>

#include "link/link_state.h"
#include "session/family_info.h"
#include "platform/platform.h"

namespace zv {

FourChannelSession::FourChannelSession(const FamilyInfo& family, DeviceLink& link, SessionClock& clock)
    : DeviceSession(family, link, clock) {
  // Until the device names its mode, the mode is unknown: the first mode
  // chosen is sent whatever it is, and no list is held back by a mode.
  ForgetTriskShowMode(m_data);
}

void FourChannelSession::Tell(const FourChannelChange& change) {
  m_changes.Notify(change);
  RecordChanged();
}

void FourChannelSession::Send(const char* what, bool (*send)(LinkState&, const TriskPageData&)) {
  // Every exchange with this device goes by UDP, whatever the connection mode.
  Link().Command(what, [send, data = m_data](LinkState& link) { return send(link, data); });
}

FourChannelChange FourChannelSession::SelectMode(int mode, bool from_device) {
  bool device_mark = from_device;
  const TriskModeChange selected = SelectTriskShowMode(m_data, mode, device_mark);
  FourChannelChange change;
  if (!selected.changed) return change;
  change.mode = true;
  change.old_mode = selected.old_mode;
  change.pip = selected.first_pip_set || selected.second_pip_set;
  if (selected.send) Send("Show mode", &SendTriskShowMode);
  m_preview = TriskPreviewWindows(mode);
  return change;
}

ActionOutcome FourChannelSession::Mode(int mode) {
  const FourChannelChange change = SelectMode(mode, false);
  if (!change.mode) return ActionOutcome::NotNow("show mode " + std::to_string(mode) + " is shown already");
  Tell(change);
  return ActionOutcome::Done();
}

ActionOutcome FourChannelSession::Pip(int first, int second) {
  if (first == second) return ActionOutcome::Bad("the two picture-in-picture channels must differ");
  const bool first_changes = first != m_data.zv_trisk_pip_child_ch[0];
  const bool second_changes = second != m_data.zv_trisk_pip_child_ch[1];
  if (!first_changes && !second_changes)
    return ActionOutcome::NotNow("the picture-in-picture channels are " + std::to_string(first) + " and " +
                                 std::to_string(second) + " already");
  // A mode that has no inset for a list (or the loop running) keeps that
  // list's channel; an unknown mode holds no list back.
  const TriskPipListStates states = TriskPipListEnable(m_data.zv_trisk_show_mode_type, m_data.zv_trisk_loop_state != 0);
  const auto refused = [&](const char* which) {
    return ActionOutcome::NotNow(std::string("the ") + which + " picture-in-picture channel is not in use in show mode " +
                                 std::to_string(m_data.zv_trisk_show_mode_type) +
                                 (m_data.zv_trisk_loop_state ? " with the loop on" : ""));
  };
  if (first_changes && states.first == ListEnable::kDisabled) return refused("first");
  if (second_changes && states.second == ListEnable::kDisabled) return refused("second");
  m_data.zv_trisk_pip_child_ch[0] = static_cast<uint8_t>(first);
  m_data.zv_trisk_pip_child_ch[1] = static_cast<uint8_t>(second);
  Send("PIP channels", &SendTriskPipChannels);
  FourChannelChange change;
  change.pip = true;
  Tell(change);
  return ActionOutcome::Done();
}

ActionOutcome FourChannelSession::Loop(bool on, std::optional<int> seconds) {
  if (!on && seconds) return ActionOutcome::Bad("loop off takes no seconds");
  m_data.zv_trisk_loop_state = on ? 1 : 0;
  if (seconds) {
    const uint16_t time = TriskLoopTime(*seconds);
    Link().Command("Loop time", [time](LinkState& link) { return SendTriskLoopTime(link, time); });
  }
  Send("Loop", &SendTriskLoopState);
  FourChannelChange change;
  change.loop = true;
  Tell(change);
  return ActionOutcome::Done();
}

ActionOutcome FourChannelSession::LoopTime(int seconds) {
  const uint16_t time = TriskLoopTime(seconds);
  Link().Command("Loop time", [time](LinkState& link) { return SendTriskLoopTime(link, time); });
  return ActionOutcome::Done();
}

ActionOutcome FourChannelSession::Format(uint8_t code) {
  m_data.zv_trisk_output_format = code;
  Send("Output format", &SendTriskOutputFormat);
  FourChannelChange change;
  change.format = true;
  Tell(change);
  return ActionOutcome::Done();
}

void FourChannelSession::ReadState() {
  ++m_reading;
  ForgetTriskShowMode(m_data);
  const std::string name = Link().DeviceName();
  Link().Request("Reading " + name, [this, name](LinkState& link) -> std::function<void()> {
    std::optional<TriskStateReply> reply = ReadTriskState(link, nullptr);
    return [this, name, reply = std::move(reply)] {
      --m_reading;
      m_last_state = reply;
      FourChannelChange change;
      if (reply) {
        const std::optional<uint8_t> mode = ApplyTriskStateReply(m_data, *reply);
        if (mode && *mode >= kTriskShowModeCount) {
          // No button and no picture for this mode: the record keeps what
          // the device said (so any mode chosen sends again), the preview
          // keeps what it showed, and nothing goes back to the device.
          Trace("show mode %d has no button", *mode);
          m_data.zv_trisk_show_mode_type = *mode;
        } else if (mode) {
          // The stored mode is set aside so that the selection always runs,
          // even for the mode the record already held.
          m_data.zv_trisk_show_mode_type = kTriskModeBeingRead;
          change = SelectMode(*mode, true);
        }
        Link().ShowStatus("Read " + name);
      } else {
        Link().ShowStatus("No answer from " + name + " (1 s)", true);
      }
      change.pip = change.loop = change.format = change.read_done = true;
      Tell(change);
    };
  });
}

void FourChannelSession::ClearSignals() {
  for (uint8_t& status : m_data.zv_trisk_signal_status) status = 0;
}

void FourChannelSession::PollSignals() {
  if (m_polling) return;
  m_polling = true;
  const std::string name = Link().DeviceName();
  Link().Request("", [this, name](LinkState& link) -> std::function<void()> {
    const std::optional<TriskSignalReply> reply = ReadTriskSignalStatus(link);
    return [this, name, reply] {
      m_polling = false;
      m_last_signals = reply;
      if (!reply) {
        Link().ShowStatus("No answer from " + name + " (1 s)", true);
        return;
      }
      FourChannelChange change;
      change.lamps = ApplyTriskSignalReply(m_data, *reply);
      if (change.lamps) Tell(change);
    };
  });
}

// ---- the table -----------------------------------------------------------------

namespace {

FourChannelSession& Of(DeviceSession& s) { return static_cast<FourChannelSession&>(s); }

std::vector<ActionSpec> MakeFourChannelActions() {
  std::vector<std::string> formats;
  for (const TriskOutputFormat& f : kTriskOutputFormats) formats.emplace_back(f.text);
  std::vector<ActionSpec> t;
  t.push_back({"fourch.mode", "show mode 0-16 (0: the quad split)",
               {IntParam("mode", 0, kTriskShowModeCount - 1, "0-16")},
               [](DeviceSession& s, const ActionArgs& a) { return Of(s).Mode(a.Int("mode")); }});
  t.push_back({"fourch.pip", "picture-in-picture channels of the first and the second inset (different)",
               {WithExample(IntParam("first", 1, kTriskChannelCount, "1-4"), "2"),
                WithExample(IntParam("second", 1, kTriskChannelCount, "1-4"), "3")},
               [](DeviceSession& s, const ActionArgs& a) { return Of(s).Pip(a.Int("first"), a.Int("second")); }});
  t.push_back({"fourch.loop", "loop through the channels: on (with SECONDS, sent first as the loop time) or off",
               {WordParam("state", {"on", "off"}, ""), Optional(WithExample(IntParam("seconds", kTriskMinLoopTime, 0xFFFF, "3-65535"), "5"))},
               [](DeviceSession& s, const ActionArgs& a) {
                 return Of(s).Loop(a.Text("state") == "on",
                                   a.Has("seconds") ? std::optional<int>(a.Int("seconds")) : std::nullopt);
               }});
  t.push_back({"fourch.loop_time", "the loop's time per channel",
               {WithExample(IntParam("seconds", kTriskMinLoopTime, 0xFFFF, "3-65535"), "5")},
               [](DeviceSession& s, const ActionArgs& a) { return Of(s).LoopTime(a.Int("seconds")); }});
  t.push_back({"fourch.format", "the output format", {WordParam("format", formats, "")},
               [](DeviceSession& s, const ActionArgs& a) {
                 for (const TriskOutputFormat& f : kTriskOutputFormats)
                   if (a.Text("format") == f.text) return Of(s).Format(f.code);
                 return ActionOutcome::Bad("no output format " + a.Text("format"));
               }});
  return t;
}

}  // namespace

ActionTable FourChannelActions() {
  static const std::vector<ActionSpec> table = MakeFourChannelActions();
  return table;
}

// ---- the family's row in the registry -------------------------------------------

namespace {
const char* FourChannelCommandName(uint8_t command) { return CommandNameIn(kTriskCommandNames, command); }
constexpr uint8_t kFourChannelTypes[] = {0x60};
}  // namespace

namespace {
// The show mode (null while unknown), the output format's name, the two
// picture-in-picture channels (0: none received yet), the loop and the
// four inputs' signals as last polled.
nlohmann::json FourChannelStateFields(const DeviceSession& session) {
  const TriskPageData& d = static_cast<const FourChannelSession&>(session).Data();
  nlohmann::json format = nullptr;
  for (const TriskOutputFormat& f : kTriskOutputFormats)
    if (f.code == d.zv_trisk_output_format) format = f.text;
  nlohmann::json signals = nlohmann::json::array();
  for (uint8_t s : d.zv_trisk_signal_status) signals.push_back(s != 0);
  return {{"show_mode", d.zv_trisk_show_mode_type < kTriskShowModeCount ? nlohmann::json(d.zv_trisk_show_mode_type)
                                                                          : nlohmann::json(nullptr)},
          {"output_format", format},
          {"pip", {d.zv_trisk_pip_child_ch[0], d.zv_trisk_pip_child_ch[1]}},
          {"loop", d.zv_trisk_loop_state != 0},
          {"signals", signals}};
}

void FourChannelReadBack(DeviceSession& session) {
  auto& s = static_cast<FourChannelSession&>(session);
  s.ReadState();
  s.PollSignals();
}
}  // namespace

const FamilyInfo& FourChannelFamily() {
  static const FamilyInfo row{FamilyKind::kFourChannel, "fourch", "four-channel switcher", kFourChannelTypes,
                              "four-channel switcher (type 0x60)", 308, true, &FourChannelActions,
                              &MakeSession<FourChannelSession>, &FourChannelCommandName,
                              &FourChannelStateFields, &FourChannelReadBack};
  return row;
}

}  // namespace zv

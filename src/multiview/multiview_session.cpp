#include "multiview/multiview_session.h"

#include <nlohmann/json.hpp>

#include "multiview/multiview_link.h"
#include "session/family_info.h"

namespace zv {

MultiviewSession::MultiviewSession(const FamilyInfo& family, DeviceLink& link, SessionClock& clock)
    : DeviceSession(family, link, clock) {
  // Every window label holds one blank until the device is read.
  for (auto& label : m_record.m_16_view_umd_name) label.assign(1, u' ');
}

bool MultiviewSession::CanSend() {
  DeviceLink& link = Link();
  const int32_t mode = link.Mode();
  return mode == kModeNetwork || (mode == kModeSerial && link.SerialPortOpen());
}

bool MultiviewSession::Send(const std::string& what, MultiviewStep step, bool by_udp) {
  if (by_udp) {
    Link().Command(what, [step = std::move(step)](LinkState& link) {
      return link.SendCommand(step.command, step.params);
    });
    return true;
  }
  if (!CanSend()) return false;
  Link().Command(what, [step = std::move(step)](LinkState& link) { return SendMultiviewerStep(link, step) == 1; });
  return true;
}

void MultiviewSession::RecomputeAll() {
  m_record.RecomputeWindows();
  m_record.RecomputeAudioMeters();
  m_record.RecomputeOverlays();
  m_record.RecomputeLabels();
}

void MultiviewSession::Read(bool udp_only, std::function<void(bool)> done) {
  const std::string name = Link().DeviceName();
  const bool serial = !udp_only && Link().Mode() != kModeNetwork;
  Link().Request("Reading " + name,
                 [this, udp_only, serial, name, done = std::move(done)](LinkState& link) -> std::function<void()> {
                   std::optional<std::vector<uint8_t>> content = FetchMultiviewerState(link, udp_only);
                   return [this, serial, name, done, content = std::move(content)] {
                     if (content) {
                       m_record.ApplyReadStateReply(*content);
                       Link().ShowStatus("Read " + name);
                     } else {
                       Link().ShowStatus("No answer from " + name + (serial ? " (5 s)" : " (0.2 s)"), true);
                     }
                     m_record.m_16_view_state_read = 1;
                     RecomputeAll();
                     RecordChanged();
                     if (done) done(content.has_value());
                   };
                 });
}

void MultiviewSession::ApplySetup(const MultiviewSetup& setup, const MultiviewSetupKeys& keys,
                                  std::function<void(const MultiviewApplyResult&)> done) {
  if (!CanSend()) {
    if (done) done(MultiviewApplyResult{});
    return;
  }
  Link().Request("Applying setup to " + Link().DeviceName(),
                 [this, setup, keys, done = std::move(done)](LinkState& link) -> std::function<void()> {
                   MultiviewApplyResult result = ApplyMultiviewerSetup(link, setup, keys);
                   return [this, done, result = std::move(result)] {
                     if (result.content) {
                       m_record.ApplyReadStateReply(*result.content);
                       m_record.m_16_view_state_read = 1;
                       RecomputeAll();
                       RecordChanged();
                     }
                     if (done) done(result);
                   };
                 });
}

ActionOutcome MultiviewSession::Layout(uint8_t window_count) {
  const std::optional<int> index = MultiviewIndexForCode(zv_16_view_mode_map, window_count);
  if (!index) return ActionOutcome::Bad("no layout of " + std::to_string(window_count) + " windows");
  // Until the device has been read, a locked device keeps its layout.
  if (m_record.m_16_view_state_read == 0 && m_record.m_all_16_view_page_data.zv_16_view_lock_state != 0)
    return ActionOutcome::NotNow("the multiviewer is locked");
  m_record.m_all_16_view_page_data.zv_16_view_mode_type = static_cast<uint8_t>(*index);
  // The preview follows a layout that went out; one that could not go
  // leaves the preview as the device shows it.
  if (Send("Layout", LayoutStep(window_count))) {
    m_record.RecomputeWindows();
    m_record.RecomputeLabels();
    m_record.RecomputeOverlays();
    m_record.RecomputeAudioMeters();
  }
  m_record.m_cur_window_count = static_cast<int8_t>(window_count);
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MultiviewSession::Source(int window, uint8_t input) {
  m_record.m_16_view_cur_window = static_cast<uint8_t>(window);
  m_record.m_16_view_window_source[window - 1] = input;
  Send("Window " + std::to_string(window) + " source", SourceStep(window, input));
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MultiviewSession::Label(int window, const std::u16string& label) {
  if (const std::string problem = MultiviewLabelProblem(label); !problem.empty())
    return ActionOutcome::Bad("the label " + problem);
  m_record.m_16_view_umd_name[window - 1] = label;
  Send("Window " + std::to_string(window) + " label", LabelStep(window, label));
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MultiviewSession::Labels(bool on) {
  if (Send("Labels", Frame(kMvSetLabels, {static_cast<uint8_t>(on)}))) m_record.RecomputeLabels();
  // The preview shows or hides them; the device's switch in the record
  // stays as the device last said until it is read again.
  m_record.m_16_view_show_umd = on;
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MultiviewSession::Colour(MultiviewColourTarget target, int window, uint8_t colour) {
  MultiviewPageData& d = m_record.m_all_16_view_page_data;
  static constexpr const char* kWhat[] = {"Label text colour", "Label background colour",
                                          "Overlay text colour", "Overlay background colour"};
  const MultiviewStep step = ColourStep(target, window, colour);
  const std::string what = kWhat[static_cast<int>(target)];
  switch (target) {
    case MultiviewColourTarget::kLabelText:
      MultiviewerState::SetTargetColour(d.zv_16_view_umd_text_color, window, colour);
      Send(what, step);
      break;
    case MultiviewColourTarget::kLabelBack:
      // The preview follows the choice whether or not the frame goes out.
      MultiviewerState::SetTargetColour(d.zv_16_view_umd_back_color, window, colour);
      m_record.RecomputeLabels();
      Send(what, step);
      break;
    case MultiviewColourTarget::kOverlayText:
      MultiviewerState::SetTargetColour(d.zv_16_view_resolution_text_color, window, colour);
      Send(what, step);
      break;
    case MultiviewColourTarget::kOverlayBack:
      MultiviewerState::SetTargetColour(d.zv_16_view_resolution_back_color, window, colour);
      if (Send(what, step)) m_record.RecomputeOverlays();
      break;
  }
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MultiviewSession::Format(int list_index) {
  const std::optional<uint8_t> code = MultiviewCodeForIndex(zv_16_view_resolution_map, list_index);
  if (!code) return ActionOutcome::Bad("no such format");
  m_record.m_all_16_view_page_data.zv_16_view_resolution_type = static_cast<uint8_t>(list_index);
  Send("Video format", Frame(kMvSetVideoFormat, {0x00, *code}));
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MultiviewSession::Overlay(bool on) {
  if (Send("Resolution overlay", Frame(kMvSetResolutionOverlay, {static_cast<uint8_t>(on)})))
    m_record.RecomputeOverlays();
  m_record.m_16_view_show_resolution = on;
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MultiviewSession::AudioMeter(bool on, bool by_udp) {
  if (Send("Audio meter", Frame(kMvSetAudioMeter, {static_cast<uint8_t>(on)}), by_udp))
    m_record.RecomputeAudioMeters();
  m_record.m_16_view_show_audio = on;
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MultiviewSession::AudioSource(int window, bool by_udp) {
  // The record keeps the device's source until the device is read again.
  Send("Audio source", Frame(kMvSetAudioSource, {static_cast<uint8_t>(window)}), by_udp);
  return ActionOutcome::Done();
}

ActionOutcome MultiviewSession::Border(bool on) {
  m_record.m_all_16_view_page_data.zv_16_view_border_enable = static_cast<uint8_t>(on);
  Send("Border", Frame(kMvSetBorder, {static_cast<uint8_t>(on)}));
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MultiviewSession::Lock(bool on) {
  m_record.m_all_16_view_page_data.zv_16_view_lock_state = static_cast<uint8_t>(on);
  Send("Lock", Frame(kMvSetLock, {static_cast<uint8_t>(on)}));
  RecordChanged();
  return ActionOutcome::Done();
}

ActionOutcome MultiviewSession::RestoreDefaults() {
  if (!Send("Restore defaults", Frame(kMvRestoreDefaults, {0x00}))) return ActionOutcome::Done();
  // The device's defaults are its own (window sources, colours, border
  // ...): the local defaults stand in until the device is read back, and
  // the read-back then brings what the device really has.
  m_record.ApplyLocalDefaults();
  RecomputeAll();
  RecordChanged();
  Read(false);
  return ActionOutcome::Done();
}

// ---- the table -----------------------------------------------------------------

namespace {

MultiviewSession& Of(DeviceSession& s) { return static_cast<MultiviewSession&>(s); }

std::vector<std::string> Names(std::span<const char* const> names) {
  return std::vector<std::string>(names.begin(), names.end());
}

ActionSpec Switch(std::string name, std::string help, ActionOutcome (MultiviewSession::*set)(bool)) {
  return {std::move(name), std::move(help), {WordParam("state", {"off", "on"}, "")},
          [set](DeviceSession& s, const ActionArgs& a) { return (Of(s).*set)(a.Text("state") == "on"); }};
}

std::vector<ActionSpec> MakeMultiviewActions() {
  std::vector<std::string> layouts;
  for (const MultiviewCodePair& p : zv_16_view_mode_map) layouts.push_back(std::to_string(p.code));
  const ActionParam window = IntParam("win", 1, kMultiviewWindowCount, "window 1-16");
  const std::vector<std::string> colours = Names(kMultiviewColourNames);
  const std::vector<std::string> parts{"label-text", "label-back", "overlay-text", "overlay-back"};
  ActionParam label = [] {
    ActionParam p;
    p.name = "text";
    p.kind = ParamKind::kText;
    p.example = "'Camera 1'";
    p.help = "any script, up to 16 characters";
    p.check = [](const std::string& text) -> std::string {
      const std::optional<std::u16string> units = Utf8ToUtf16(text);
      if (!units) return "is UTF-8 text of at most 16 characters";
      return MultiviewLabelProblem(*units);
    };
    return p;
  }();
  std::vector<ActionSpec> t;
  t.push_back({"multiview.layout", "the layout, by its number of windows",
               {WordParam("windows", layouts, "the number of windows")},
               [](DeviceSession& s, const ActionArgs& a) {
                 return Of(s).Layout(static_cast<uint8_t>(std::stoi(a.Text("windows"))));
               }});
  t.push_back({"multiview.source", "window WIN shows SDI input",
               {WithExample(window, "2"), WithExample(IntParam("sdi", 1, kMultiviewWindowCount, "input 1-16"), "5")},
               [](DeviceSession& s, const ActionArgs& a) {
                 return Of(s).Source(a.Int("win"), static_cast<uint8_t>(a.Int("sdi")));
               }});
  t.push_back({"multiview.label", "label of window WIN, any script, up to 16 characters", {window, label},
               [](DeviceSession& s, const ActionArgs& a) {
                 return Of(s).Label(a.Int("win"), Utf8ToUtf16(a.Text("text")).value_or(u""));
               }});
  t.push_back({"multiview.colour", "colour of a window's label or overlay (WIN 0: all windows)",
               {IntParam("win", 0, kMultiviewWindowCount, "window 1-16, 0 all"), WordParam("part", parts, ""),
                WordParam("colour", colours, "")},
               [parts, colours](DeviceSession& s, const ActionArgs& a) {
                 return Of(s).Colour(static_cast<MultiviewColourTarget>(WordIndex(parts, a.Text("part"))),
                                     a.Int("win"), static_cast<uint8_t>(WordIndex(colours, a.Text("colour"))));
               }});
  const std::vector<std::string> formats = Names(kMultiviewFormatNames);
  t.push_back({"multiview.format", "the output's video format", {WordParam("format", formats, "")},
               [formats](DeviceSession& s, const ActionArgs& a) {
                 return Of(s).Format(WordIndex(formats, a.Text("format")));
               }});
  t.push_back(Switch("multiview.labels", "window labels on or off", &MultiviewSession::Labels));
  t.push_back(Switch("multiview.overlay", "the resolution overlays on or off", &MultiviewSession::Overlay));
  // The audio page sends these by UDP whatever the connection mode.
  const ActionParam by = Optional(WordParam("by", {"udp"}, "udp: by UDP even on the serial line"));
  t.push_back({"multiview.audio", "the audio meters on or off", {WordParam("state", {"off", "on"}, ""), by},
               [](DeviceSession& s, const ActionArgs& a) {
                 return Of(s).AudioMeter(a.Text("state") == "on", a.Has("by"));
               }});
  t.push_back({"multiview.audio_source", "the window whose sound the meters show", {window, by},
               [](DeviceSession& s, const ActionArgs& a) { return Of(s).AudioSource(a.Int("win"), a.Has("by")); }});
  t.push_back(Switch("multiview.border", "the windows' borders on or off", &MultiviewSession::Border));
  t.push_back(Switch("multiview.lock", "the device's lock on or off", &MultiviewSession::Lock));
  t.push_back({"multiview.defaults", "the device's own defaults, then a read-back", {},
               [](DeviceSession& s, const ActionArgs&) { return Of(s).RestoreDefaults(); }});
  return t;
}

}  // namespace

ActionTable MultiviewActions() {
  static const std::vector<ActionSpec> table = MakeMultiviewActions();
  return table;
}

// ---- the family's row in the registry -------------------------------------------

namespace {
const char* MultiviewMonitorName(uint8_t command) { return CommandNameIn(kMultiviewCommandNames, command); }
constexpr uint8_t kMultiviewerTypes[] = {0xA1};
}  // namespace

namespace {
// What a setup file holds (layout, format, switches, windows), and whether
// the device was read back since the session began.
nlohmann::json MultiviewStateFields(const DeviceSession& session) {
  const MultiviewerState& record = static_cast<const MultiviewSession&>(session).Record();
  nlohmann::json fields = nlohmann::json::parse(EncodeSetupJson(SetupFromState(record)));
  fields["read"] = record.m_16_view_state_read != 0;
  return fields;
}

void MultiviewReadBack(DeviceSession& session) { static_cast<MultiviewSession&>(session).Read(false); }
}  // namespace

const FamilyInfo& MultiviewerFamily() {
  static const FamilyInfo row{FamilyKind::kMultiviewer, "multiview", "multiviewer", kMultiviewerTypes,
                              "multiviewer (type 0xA1)", 129, false, &MultiviewActions,
                              &MakeSession<MultiviewSession>, &MultiviewMonitorName,
                              &MultiviewStateFields, &MultiviewReadBack};
  return row;
}

}  // namespace zv

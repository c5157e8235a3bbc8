#include "switcher/switcher_session.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "switcher/switcher_commands.h"
#include "session/family_info.h"

namespace zv {

SwitcherSession::SwitcherSession(const FamilyInfo& family, DeviceLink& link, SessionClock& clock)
    : DeviceSession(family, link, clock) {
  ResetSwitcherPageData(m_data);
  // The record starts as a panel's opening leaves it (background and mix
  // selected, the first page), whichever surface acts first: a press then
  // sends the same bytes from every one of them.
  (void)m_rules.Open();
  m_thumb = TbarThumbForRecord(m_data);
}

SwitcherSession::~SwitcherSession() {
  if (m_clock_handle) Clock().Stop(m_clock_handle);
}

int SwitcherSession::TravelOfPosition(int position) const {
  const int a = std::clamp(position, int{kTbarTop}, int{kTbarBottom});
  return m_data.zv_switcher_tbar_reverse == 1 ? kTbarBottom - a : a;
}

SwitcherEffects SwitcherSession::OpenView() {
  SwitcherEffects fx = m_rules.Open();
  m_thumb = fx.tbar_position.value_or(m_thumb);
  // What the opening selected (background, mix, the page) the other views
  // show too; the opening view applies the whole of it itself.
  m_effects.Notify(fx);
  RecordChanged();
  return fx;
}

void SwitcherSession::Send(const SwitcherFrame& frame) {
  // The switcher has no serial path: its frames go by UDP in either mode.
  Link().Command(SwitcherCommandName(frame.command), [frame](LinkState& link) {
    return link.SendCommand(frame.command, frame.Params());
  });
}

void SwitcherSession::Apply(SwitcherEffects fx) {
  m_applying = true;
  if (fx.stop_timer_id && fx.stop_timer_id == m_clock_timer_id && m_clock_handle) {
    Clock().Stop(m_clock_handle);
    m_clock_handle = 0;
    m_clock_timer_id = 0;
  }
  if (fx.start_timer_id) {
    // Starting a timer that runs restarts it.
    if (m_clock_handle) Clock().Stop(m_clock_handle);
    m_clock_timer_id = fx.start_timer_id;
    m_clock_handle = Clock().Start(fx.start_timer_period_ms, [this] { Step(); });
  }
  if (fx.tbar_let_go) m_tbar_held = false;
  if (fx.tbar_position) m_thumb = *fx.tbar_position;
  for (const SwitcherFrame& frame : fx.frames) Send(frame);
  m_applying = false;
  m_effects.Notify(fx);
  RecordChanged();
}

void SwitcherSession::Step() {
  // A tick the rules no longer expect changes nothing.
  if (!m_clock_timer_id || m_applying) return;
  Apply(m_rules.TimerStep(m_clock_timer_id));
}

ActionOutcome SwitcherSession::Press(SwitcherEffects (SwitcherRules::*press)()) {
  Apply((m_rules.*press)());
  return ActionOutcome::Done();
}

ActionOutcome SwitcherSession::Program(int source) {
  Apply(m_rules.PressPgm(source));
  return ActionOutcome::Done();
}

ActionOutcome SwitcherSession::Preview(int source) {
  Apply(m_rules.PressPvm(source));
  return ActionOutcome::Done();
}

ActionOutcome SwitcherSession::Transition(int type) {
  Apply(m_rules.TransitionType(type));
  return ActionOutcome::Done();
}

ActionOutcome SwitcherSession::Rate(int rate) {
  if (m_data.zv_switcher_in_transition == 1)
    return ActionOutcome::NotNow("the rate cannot change while a transition is under way");
  Apply(m_rules.Rate(rate));
  return ActionOutcome::Done();
}

ActionOutcome SwitcherSession::Auto() {
  // One source of travel at a time: while a hand holds the T-bar, Auto
  // waits until it lets go.
  if (m_tbar_held) return ActionOutcome::NotNow("the T-bar is held");
  Apply(m_rules.Auto(m_thumb, false));
  return ActionOutcome::Done();
}

ActionOutcome SwitcherSession::Tbar(int travel, bool held) {
  const int t = std::clamp(travel, int{kTbarTop}, int{kTbarBottom});
  const int position = m_data.zv_switcher_tbar_reverse == 1 ? kTbarBottom - t : t;
  // A move to where the thumb stands, with no hand on it, moves nothing.
  if (!held && !m_tbar_held && position == m_thumb)
    return ActionOutcome::NotNow("the T-bar already stands at travel " + std::to_string(t));
  m_tbar_held = held;
  m_thumb = position;
  SwitcherEffects fx = m_rules.TbarMoving(position);
  if (!held) {
    // Let go where it stands: the rules' release keeps the record as the
    // move left it.
    const SwitcherEffects release = m_rules.TbarReleased(m_thumb);
    fx.images.insert(fx.images.end(), release.images.begin(), release.images.end());
    if (release.stop_timer_id) fx.stop_timer_id = release.stop_timer_id;
  }
  Apply(std::move(fx));
  return ActionOutcome::Done();
}

ActionOutcome SwitcherSession::Page(int page) {
  SwitcherEffects fx;
  ShowSwitcherPage(m_data, page, fx);
  Apply(std::move(fx));
  return ActionOutcome::Done();
}

ActionOutcome SwitcherSession::WipePattern(int pattern) {
  Apply(SelectWipePattern(m_data, pattern));
  return ActionOutcome::Done();
}

ActionOutcome SwitcherSession::ListChoice(uint8_t command, int index) {
  const int old_pattern = m_data.zv_switcher_wipe_pattern;
  const std::optional<SwitcherFrame> frame = StoreListChoice(m_data, command, index);
  if (!frame) return ActionOutcome::Bad("no such choice");
  SwitcherEffects fx;
  if (command == kSwitcherWipePattern && old_pattern != index) {
    // The pattern grid follows a pattern chosen from the list.
    if (old_pattern < static_cast<int>(kWipePatternButtons.size()))
      fx.ShowOnPage(kWipePatternButtons[static_cast<size_t>(old_pattern)].control_id,
              kWipePatternButtons[static_cast<size_t>(old_pattern)].normal);
    fx.ShowOnPage(kWipePatternButtons[static_cast<size_t>(index)].control_id,
            kWipePatternButtons[static_cast<size_t>(index)].selected);
  }
  fx.frames.push_back(*frame);
  Apply(std::move(fx));
  return ActionOutcome::Done();
}

ActionOutcome SwitcherSession::LumaLevels(const std::array<int, 3>& levels) {
  SwitcherEffects fx;
  fx.frames.push_back(StoreLumaLevels(m_data, levels));
  Apply(std::move(fx));
  return ActionOutcome::Done();
}

ActionOutcome SwitcherSession::ChromaLevels(const std::array<int, 3>& levels) {
  SwitcherEffects fx;
  fx.frames.push_back(StoreChromaLevels(m_data, levels));
  Apply(std::move(fx));
  return ActionOutcome::Done();
}

ActionOutcome SwitcherSession::PipPlace(int trackbar, int position) {
  SwitcherEffects fx;
  fx.frames.push_back(StorePipPixels(m_data, trackbar, position));
  Apply(std::move(fx));
  return ActionOutcome::Done();
}

// ---- the table -----------------------------------------------------------------

namespace {

SwitcherSession& Of(DeviceSession& s) { return static_cast<SwitcherSession&>(s); }

// A choice from one of the settings pages' lists, by its command.
ActionSpec ListAction(std::string name, std::string help, uint8_t command, ActionParam param) {
  const bool words = param.kind == ParamKind::kWord;
  return {std::move(name), std::move(help), {param},
          [command, param, words](DeviceSession& s, const ActionArgs& a) {
            const int index = words ? WordIndex(param.words, a.Text(param.name)) : a.Int(param.name);
            return Of(s).ListChoice(command, index);
          }};
}

// A key's three levels, red, green and blue, sent in one frame.
ActionSpec LevelsAction(std::string name, std::string help,
                        ActionOutcome (SwitcherSession::*set)(const std::array<int, 3>&)) {
  return {std::move(name), std::move(help),
          {IntParam("red", 0, kLevelMaximum, ""), IntParam("green", 0, kLevelMaximum, ""),
           IntParam("blue", 0, kLevelMaximum, "")},
          [set](DeviceSession& s, const ActionArgs& a) {
            return (Of(s).*set)({a.Int("red"), a.Int("green"), a.Int("blue")});
          }};
}

std::vector<ActionSpec> MakeSwitcherActions() {
  const auto press = [](std::string name, std::string help, SwitcherEffects (SwitcherRules::*f)()) {
    return ActionSpec{std::move(name), std::move(help), {},
                      [f](DeviceSession& s, const ActionArgs&) { return Of(s).Press(f); }};
  };
  const ActionParam source = IntParam("source", 1, kSwitcherSourceCount, "1-10 the inputs, 11 BLK, 12 MP1");
  const ActionParam list_source = IntParam("source", 0, kSourceListCount - 1, "0-9 Cam 01 to Cam 10, 10 MP");
  std::vector<ActionSpec> t;
  t.push_back({"switcher.program", "put a source on the programme bus", {source},
               [](DeviceSession& s, const ActionArgs& a) { return Of(s).Program(a.Int("source")); }});
  t.push_back({"switcher.preview", "put a source on the preview bus", {source},
               [](DeviceSession& s, const ActionArgs& a) { return Of(s).Preview(a.Int("source")); }});
  t.push_back(press("switcher.cut", "cut: exchange programme and preview at once (ends a transition under way)",
                    &SwitcherRules::Cut));
  t.push_back({"switcher.auto",
               "automatic transition: Auto, then the T-bar's progress until the buses have exchanged, at the "
               "rate given (else the rate chosen last)",
               {Optional(WordParam("rate", {"r1", "r2", "r3"}, "r1 fastest, r3 slowest"))},
               [](DeviceSession& s, const ActionArgs& a) {
                 if (a.Has("rate")) {
                   const std::string& w = a.Text("rate");
                   if (ActionOutcome rated = Of(s).Rate(w == "r1" ? 0 : w == "r2" ? 1 : 2); !rated.ok()) return rated;
                 }
                 return Of(s).Auto();
               }});
  t.push_back(press("switcher.ftb", "fade to black, or back from black", &SwitcherRules::Ftb));
  t.push_back({"switcher.tbar",
               "move the T-bar as a hand does: to TRAVEL from the end where the next transition starts "
               "(0 back at rest, 129 at the far end, which completes the transition); the progress "
               "passed on the way is sent",
               {WithExample(IntParam("travel", kTbarTop, kTbarBottom, "0-129"), "64"),
                Optional(WordParam("hand", {"release", "hold"}, "release (the default) or hold it there"))},
               [](DeviceSession& s, const ActionArgs& a) {
                 return Of(s).Tbar(a.Int("travel"), a.Text("hand") == "hold");
               }});
  t.push_back({"switcher.transition", "the transition type", {WordParam("type", {"mix", "dip", "wipe"}, "")},
               [](DeviceSession& s, const ActionArgs& a) {
                 const std::string& w = a.Text("type");
                 return Of(s).Transition(w == "mix" ? 1 : w == "dip" ? 2 : 3);
               }});
  t.push_back({"switcher.rate", "the Auto transition's rate (not while one runs)",
               {WordParam("rate", {"r1", "r2", "r3"}, "r1 fastest, r3 slowest")},
               [](DeviceSession& s, const ActionArgs& a) {
                 const std::string& w = a.Text("rate");
                 return Of(s).Rate(w == "r1" ? 0 : w == "r2" ? 1 : 2);
               },
               true});
  t.push_back(press("switcher.on_air", "ON AIR on or off", &SwitcherRules::OnAir));
  t.push_back(press("switcher.on_air2", "the second ON AIR on or off", &SwitcherRules::OnAir2));
  t.push_back(press("switcher.bkgd", "BKGD in the next transition or not", &SwitcherRules::Bkgd));
  t.push_back(press("switcher.pip", "picture-in-picture key on or off", &SwitcherRules::Pip));
  t.push_back(press("switcher.key1", "KEY 1 (luma key) on or off", &SwitcherRules::Key1));
  t.push_back(press("switcher.key2", "KEY 2 (chroma key) on or off", &SwitcherRules::Key2));
  t.push_back({"switcher.wipe_pattern", "the wipe's pattern", {IntParam("pattern", 0, 8, "0-8")},
               [](DeviceSession& s, const ActionArgs& a) { return Of(s).WipePattern(a.Int("pattern")); }});
  t.push_back(ListAction("switcher.dip_source", "the dip's source", kSwitcherDipSource,
                         IntParam("source", 0, 255, "")));
  t.push_back(ListAction("switcher.wipe_source", "the wipe's source", kSwitcherWipeSource,
                         IntParam("source", 0, 255, "")));
  t.push_back(ListAction("switcher.luma_source", "the luma key's source", kSwitcherLumaSource, list_source));
  t.push_back(LevelsAction("switcher.luma_levels", "the luma key's red, green and blue levels",
                           &SwitcherSession::LumaLevels));
  t.push_back(ListAction("switcher.chroma_source", "the chroma key's source", kSwitcherChromaSource,
                         list_source));
  t.push_back(ListAction("switcher.chroma_type", "the chroma key's colour",
                         kSwitcherChromaType, WordParam("type", {"blue", "green"}, "")));
  t.push_back(LevelsAction("switcher.chroma_levels", "the chroma key's red, green and blue levels",
                           &SwitcherSession::ChromaLevels));
  t.push_back(ListAction("switcher.pip_source", "the picture-in-picture source", kSwitcherPipSource,
                         list_source));
  t.push_back(ListAction("switcher.pip_border", "the picture-in-picture border", kSwitcherPipBorderEnable,
                         WordParam("border", {"off", "on"}, "")));
  t.push_back(ListAction("switcher.pip_border_colour", "the border's colour", kSwitcherPipBorderColor,
                         WordParam("colour", {"white", "red", "green", "blue"}, "")));
  t.push_back(ListAction("switcher.pip_border_width", "the border's width", kSwitcherPipBorderWidth,
                         IntParam("width", 0, 6, "0-6 for 1 to 7 pixels")));
  const char* const place_names[] = {"x", "y", "width"};
  const char* const place_help[] = {"the picture's left edge", "the picture's top edge", "the picture's width"};
  for (int i = 0; i < 3; ++i)
    t.push_back({std::string("switcher.pip_") + place_names[i], place_help[i],
                 {IntParam("position", 0, kPipTrackbarMaximum, "0-120 along the screen")},
                 [i](DeviceSession& s, const ActionArgs& a) { return Of(s).PipPlace(i, a.Int("position")); }});
  return t;
}

}  // namespace

ActionTable SwitcherActions() {
  static const std::vector<ActionSpec> table = MakeSwitcherActions();
  return table;
}

// ---- the family's row in the registry -------------------------------------------

namespace {
const char* SwitcherMonitorName(uint8_t command) {
  for (const SwitcherCommandNameRow& row : kSwitcherCommandNames)
    if (row.command == command) return row.monitor;
  return nullptr;
}
constexpr uint8_t kSwitcherTypes[] = {0xA5};

// A word of `words` by its index, null past the end (a record not set yet).
nlohmann::json WordOf(std::initializer_list<const char*> words, int index) {
  if (index < 0 || index >= static_cast<int>(words.size())) return nullptr;
  return words.begin()[index];
}

nlohmann::json SwitcherStateFields(const DeviceSession& session) {
  const auto& s = static_cast<const SwitcherSession&>(session);
  const SwitcherPageData& d = s.Data();
  const int chroma = d.zv_switcher_chroma_type & 1;
  return {
      {"program", d.zv_switcher_pgm_source},
      {"preview", d.zv_switcher_pvm_source},
      {"transition", WordOf({"none", "mix", "dip", "wipe"}, d.zv_switcher_trans_type)},
      {"rate", WordOf({"r1", "r2", "r3"}, d.zv_switcher_auto_rate)},
      {"in_transition", d.zv_switcher_in_transition == 1},
      {"tbar", d.zv_switcher_tbar_value},
      {"tbar_held", s.TbarHeld()},
      {"ftb", d.zv_switcher_ftb_state != 0},
      {"on_air", d.zv_switcher_on_air != 0},
      {"on_air2", d.zv_switcher_on_air2 != 0},
      {"bkgd", d.zv_switcher_bkgd_state != 0},
      {"pip", d.zv_switcher_pip_state != 0},
      {"key1", d.zv_switcher_key1_state != 0},
      {"key2", d.zv_switcher_key2_state != 0},
      {"next_key", WordOf({"none", "pip", "key1", "key2"}, d.zv_switcher_next_key)},
      {"page", d.zv_switcher_page},
      {"wipe_pattern", d.zv_switcher_wipe_pattern},
      {"dip_source", d.zv_switcher_dip_source},
      {"wipe_source", d.zv_switcher_wipe_source},
      {"luma_source", d.zv_switcher_luma_source},
      {"luma_levels", {d.zv_switcher_luma_level[0], d.zv_switcher_luma_level[1], d.zv_switcher_luma_level[2]}},
      {"chroma_source", d.zv_switcher_chroma_source},
      {"chroma_type", WordOf({"blue", "green"}, chroma)},
      {"chroma_levels", {d.zv_switcher_chroma_red[chroma], d.zv_switcher_chroma_green[chroma],
                         d.zv_switcher_chroma_blue[chroma]}},
      {"pip_source", d.zv_switcher_pip_source},
      {"pip_border", d.zv_switcher_pip_border_enable != 0},
      {"pip_border_colour", WordOf({"white", "red", "green", "blue"}, d.zv_switcher_pip_border_color)},
      {"pip_border_width", d.zv_switcher_pip_border_width},
      {"pip_x", d.zv_switcher_pip_x},
      {"pip_y", d.zv_switcher_pip_y},
      {"pip_width", d.zv_switcher_pip_width},
  };
}
}  // namespace

const FamilyInfo& SwitcherFamily() {
  static const FamilyInfo row{FamilyKind::kSwitcher, "switcher", "production switcher", kSwitcherTypes,
                              "production switcher (type 0xA5)", 237, true, &SwitcherActions,
                              &MakeSession<SwitcherSession>, &SwitcherMonitorName,
                              &SwitcherStateFields, nullptr};
  return row;
}

}  // namespace zv

#include "switcher/switcher_state.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zv {
namespace {

bool IsBusSource(int n) { return n >= 1 && n <= kSwitcherSourceCount; }
bool IsTbarEnd(uint8_t v) { return v == kTbarTop || v == kTbarBottom; }
// Progress 1 and every multiple of 8 reach the device.
bool IsSentProgress(uint8_t v) { return v % 8 == 0 || v == 1; }
// A drag's move from progress `from` to `to` reaches or passes progress 1 or
// a multiple of 8. The T-bar reports only the positions the mouse lands on,
// so a fast drag jumps over most of them; testing the values passed (and
// not only the one landed on) keeps the device as close to a fast drag as
// to a slow one.
bool PassesSentProgress(int from, int to) {
  if (from == to) return false;
  const int low = std::max(1, to > from ? from + 1 : to);
  const int high = to > from ? to : from - 1;
  for (int q = low; q <= high; ++q)
    if (IsSentProgress(static_cast<uint8_t>(q))) return true;
  return false;
}
// The progress of the last step before either end of a travel.
constexpr uint8_t kFullProgress = 128;

}  // namespace

void ResetSwitcherPageData(SwitcherPageData& data) {
  std::memset(&data, 0, sizeof data);
  data.zv_switcher_tbar_reverse = 1;
}

SwitcherFrame MakeSwitcherFrame(uint8_t command, std::initializer_list<uint8_t> params) {
  SwitcherFrame f;
  f.command = command;
  for (uint8_t p : params) {
    if (f.param_count == f.params.size()) break;
    f.params[f.param_count++] = p;
  }
  return f;
}

int SwitcherEffects::ImageOf(int control_id) const {
  int image = 0;
  for (const ImageChange& c : images)
    if (c.control_id == control_id) image = c.image_id;
  return image;
}

// ---- operations ------------------------------------------------------------------

void SetPgmSource(SwitcherPageData& d, int n, SwitcherEffects& fx) {
  const int old = d.zv_switcher_pgm_source;
  if (IsBusSource(old)) fx.Show(kPgmSourceButtons[old - 1], SourceNormalImage(old));
  if (IsBusSource(n)) fx.Show(kPgmSourceButtons[n - 1], SourceProgramImage(n));
  d.zv_switcher_pgm_source = static_cast<uint8_t>(n);
}

void SetPvmSource(SwitcherPageData& d, int n, SwitcherEffects& fx) {
  const int old = d.zv_switcher_pvm_source;
  if (IsBusSource(old)) fx.Show(kPvmSourceButtons[old - 1], SourceNormalImage(old));
  if (IsBusSource(n))
    fx.Show(kPvmSourceButtons[n - 1], d.zv_switcher_in_transition == 1 ? SourceProgramImage(n)
                                                                       : SourcePreviewImage(n));
  d.zv_switcher_pvm_source = static_cast<uint8_t>(n);
}

void ExchangeBuses(SwitcherPageData& d, SwitcherEffects& fx) {
  const uint8_t p = d.zv_switcher_pgm_source;
  const uint8_t v = d.zv_switcher_pvm_source;
  // Equal sources are cleared first so that both buttons are marked again.
  if (p == v) {
    d.zv_switcher_pgm_source = 0;
    d.zv_switcher_pvm_source = 0;
  }
  if (d.zv_switcher_pgm_source != v) SetPgmSource(d, v, fx);
  if (d.zv_switcher_pvm_source != p) SetPvmSource(d, p, fx);
}

void SetTransitionLamp(SwitcherPageData& d, int on, SwitcherEffects& fx) {
  fx.Show(kAutoImages.control_id, on == 1 ? kAutoImages.selected : kAutoImages.normal);
  d.zv_switcher_in_transition = static_cast<uint8_t>(on);
}

void MarkPreviewOnAir(const SwitcherPageData& d, SwitcherEffects& fx) {
  const int n = d.zv_switcher_pvm_source;
  if (IsBusSource(n)) fx.Show(kPvmSourceButtons[n - 1], SourceProgramImage(n));
}

void SelectNextKey(SwitcherPageData& d, int k, SwitcherEffects& fx) {
  const int current = d.zv_switcher_next_key;
  if (current >= 1 && current <= 3) {
    const ImagePair& old = kKeyElementImages[current - 1];
    fx.Show(old.control_id, old.normal);
  }
  switch (k) {
    case 1:
      d.zv_switcher_key1_state = 0;
      d.zv_switcher_key2_state = 0;
      break;
    case 2:
      d.zv_switcher_pip_state = 0;
      d.zv_switcher_key2_state = 0;
      break;
    case 3:
      d.zv_switcher_pip_state = 0;
      d.zv_switcher_key1_state = 0;
      break;
    default:
      break;
  }
  if (k >= 1 && k <= 3) {
    const ImagePair& now = kKeyElementImages[k - 1];
    fx.Show(now.control_id, now.selected);
  }
  d.zv_switcher_next_key = static_cast<uint8_t>(k);
}

void SelectTransitionType(SwitcherPageData& d, int t, SwitcherEffects& fx) {
  const int current = d.zv_switcher_trans_type;
  if (current >= 1 && current <= 3) {
    const ImagePair& old = kTransitionTypeImages[current - 1];
    fx.Show(old.control_id, old.normal);
  }
  if (t >= 1 && t <= 3) {
    const ImagePair& now = kTransitionTypeImages[t - 1];
    fx.Show(now.control_id, now.selected);
  }
  d.zv_switcher_trans_type = static_cast<uint8_t>(t);
}

void SelectAutoRate(SwitcherPageData& d, int k, SwitcherEffects& fx) {
  if (k == d.zv_switcher_auto_rate || k < 0 || k > 2) return;
  const int current = d.zv_switcher_auto_rate;
  if (current >= 0 && current <= 2)
    fx.Show(kRateImages[current].control_id, kRateImages[current].normal);
  fx.Show(kRateImages[k].control_id, kRateImages[k].selected);
  d.zv_switcher_auto_rate = static_cast<uint8_t>(k);
}

void ShowSwitcherPage(SwitcherPageData& d, int k, SwitcherEffects& fx) {
  if (k == d.zv_switcher_page) return;
  fx.page = k;
  d.zv_switcher_page = static_cast<uint8_t>(k);
}

void ApplyTbarPosition(SwitcherPageData& d, int a) {
  if (d.zv_switcher_tbar_reverse == 0) {
    d.zv_switcher_tbar_value = static_cast<uint8_t>(a);
    if (a == kTbarBottom) d.zv_switcher_tbar_reverse = 1;
  } else {
    const uint8_t v = static_cast<uint8_t>(kTbarBottom - a);
    if (v == kTbarBottom) {
      d.zv_switcher_tbar_value = 0;
      d.zv_switcher_tbar_reverse = 0;
    } else {
      d.zv_switcher_tbar_value = v;
    }
  }
}

void SendTbarValue(const SwitcherPageData& d, uint8_t p, SwitcherEffects& fx) {
  if (p != 0) fx.Send(kSwitcherTbar, {d.zv_switcher_tbar_reverse, p});
}

int TbarThumbForRecord(const SwitcherPageData& d) {
  if (d.zv_switcher_in_transition != 1)
    return d.zv_switcher_tbar_reverse == 1 ? kTbarBottom : kTbarTop;
  // A manual value: the position going down, the progress going up.
  const int v = std::min<int>(d.zv_switcher_tbar_value, kTbarBottom);
  return d.zv_switcher_tbar_reverse == 1 ? kTbarBottom - v : v;
}

int TbarTravel(const SwitcherPageData& d, int position) {
  const int a = std::clamp(position, int{kTbarTop}, int{kTbarBottom});
  const int travel = d.zv_switcher_tbar_reverse == 1 ? kTbarBottom - a : a;
  return travel == kTbarBottom ? 0 : travel;
}

// ---- handlers ----------------------------------------------------------------------

SwitcherEffects SwitcherRules::Open() {
  SwitcherEffects fx;
  SwitcherPageData& d = m_data;
  fx.tbar_position = TbarThumbForRecord(d);
  // Every button first shows its normal face, then the kept record on top.
  for (int n = 1; n <= kSwitcherSourceCount; ++n) {
    fx.Show(kPgmSourceButtons[n - 1], SourceNormalImage(n));
    fx.Show(kPvmSourceButtons[n - 1], SourceNormalImage(n));
  }
  if (IsBusSource(d.zv_switcher_pgm_source))
    fx.Show(kPgmSourceButtons[d.zv_switcher_pgm_source - 1],
            SourceProgramImage(d.zv_switcher_pgm_source));
  if (IsBusSource(d.zv_switcher_pvm_source)) {
    const int n = d.zv_switcher_pvm_source;
    fx.Show(kPvmSourceButtons[n - 1], d.zv_switcher_in_transition == 1 ? SourceProgramImage(n)
                                                                      : SourcePreviewImage(n));
  }
  for (int k = 1; k <= 3; ++k) {
    const ImagePair& key = kKeyElementImages[static_cast<size_t>(k - 1)];
    fx.Show(key.control_id, d.zv_switcher_next_key == k ? key.selected : key.normal);
  }
  d.zv_switcher_bkgd_state = 1;
  fx.Show(kBkgdImages.control_id, kBkgdImages.selected);
  fx.Show(kOnAirImages.control_id, d.zv_switcher_on_air ? kOnAirImages.selected : kOnAirImages.normal);
  fx.Show(kIdSwOnAir2, kOnAir2Image);
  d.zv_switcher_trans_type = 1;
  for (size_t t = 0; t < kTransitionTypeImages.size(); ++t)
    fx.Show(kTransitionTypeImages[t].control_id,
            t == 0 ? kTransitionTypeImages[t].selected : kTransitionTypeImages[t].normal);
  fx.Show(kIdSwCut, kCutImage);
  fx.Show(kAutoImages.control_id,
          d.zv_switcher_in_transition == 1 ? kAutoImages.selected : kAutoImages.normal);
  fx.Show(kFtbImages.control_id, d.zv_switcher_ftb_state ? kFtbImages.selected : kFtbImages.normal);
  fx.Show(kIdSwStream, kStreamImage);
  for (int k = 0; k < 3; ++k) {
    const ImagePair& rate = kRateImages[static_cast<size_t>(k)];
    fx.Show(rate.control_id, d.zv_switcher_auto_rate == k ? rate.selected : rate.normal);
  }
  // The opening always shows the transition settings page.
  fx.page = 0;
  d.zv_switcher_page = 0;
  return fx;
}

SwitcherEffects SwitcherRules::PressPgm(int n) {
  SwitcherEffects fx;
  if (m_data.zv_switcher_pgm_source != n) SetPgmSource(m_data, n, fx);
  fx.Send(kSwitcherPgmSource, {m_data.zv_switcher_pgm_source});
  return fx;
}

SwitcherEffects SwitcherRules::PressPvm(int n) {
  SwitcherEffects fx;
  if (m_data.zv_switcher_pvm_source != n) SetPvmSource(m_data, n, fx);
  fx.Send(kSwitcherPvmSource, {m_data.zv_switcher_pvm_source});
  return fx;
}

SwitcherEffects SwitcherRules::Cut() {
  SwitcherEffects fx;
  SwitcherPageData& d = m_data;
  fx.Send(kSwitcherCut);
  if (m_running_timer || d.zv_switcher_in_transition == 1) {
    // A Cut ends the transition under way, by Auto or by hand: the device
    // exchanges the buses and drops the part-done mix, so the end of this
    // travel would exchange them a second time, and the next move of a
    // thumb left half way would put a part mix on air after a clean cut.
    // The T-bar rests as after a whole travel, out of the hand that held it.
    StopAutoFor(fx);
    m_last_progress = 0;
    if (d.zv_switcher_in_transition != 0) SetTransitionLamp(d, 0, fx);
    const bool downward = d.zv_switcher_tbar_reverse == 0;
    d.zv_switcher_tbar_value = downward ? kTbarBottom : kTbarTop;
    d.zv_switcher_tbar_reverse = downward ? 1 : 0;
    fx.tbar_position = downward ? kTbarBottom : kTbarTop;
    fx.tbar_let_go = true;
  }
  ExchangeBuses(d, fx);
  return fx;
}

SwitcherEffects SwitcherRules::Ftb() {
  SwitcherEffects fx;
  fx.Send(kSwitcherFtb);
  m_data.zv_switcher_ftb_state = m_data.zv_switcher_ftb_state ? 0 : 1;
  fx.Show(kFtbImages.control_id, m_data.zv_switcher_ftb_state ? kFtbImages.selected : kFtbImages.normal);
  return fx;
}

SwitcherEffects SwitcherRules::OnAir() {
  SwitcherEffects fx;
  fx.Send(kSwitcherOnAir, {m_data.zv_switcher_on_air});
  m_data.zv_switcher_on_air = m_data.zv_switcher_on_air ? 0 : 1;
  fx.Show(kOnAirImages.control_id, m_data.zv_switcher_on_air ? kOnAirImages.selected : kOnAirImages.normal);
  return fx;
}

SwitcherEffects SwitcherRules::OnAir2() {
  SwitcherEffects fx;
  fx.Send(kSwitcherOnAir2, {m_data.zv_switcher_on_air2});
  m_data.zv_switcher_on_air2 = m_data.zv_switcher_on_air2 ? 0 : 1;
  return fx;
}

SwitcherEffects SwitcherRules::Bkgd() {
  SwitcherEffects fx;
  fx.Send(kSwitcherBkgd, {m_data.zv_switcher_bkgd_state});
  // With no key element selected the background stays selected, so that the
  // next transition always has something to take.
  if (m_data.zv_switcher_next_key != 0) {
    m_data.zv_switcher_bkgd_state = m_data.zv_switcher_bkgd_state ? 0 : 1;
    fx.Show(kBkgdImages.control_id,
            m_data.zv_switcher_bkgd_state ? kBkgdImages.selected : kBkgdImages.normal);
  }
  return fx;
}

SwitcherEffects SwitcherRules::Pip() {
  SwitcherEffects fx;
  SwitcherPageData& d = m_data;
  if (d.zv_switcher_pip_state == 1 && d.zv_switcher_bkgd_state == 0) return fx;
  if (d.zv_switcher_pip_state == 1) {
    d.zv_switcher_pip_state = 0;
    if (d.zv_switcher_next_key != 0) SelectNextKey(d, 0, fx);
  } else {
    d.zv_switcher_pip_state = 1;
    if (d.zv_switcher_next_key != 1) SelectNextKey(d, 1, fx);
  }
  fx.Send(kSwitcherPip);
  ShowSwitcherPage(d, 3, fx);
  return fx;
}

SwitcherEffects SwitcherRules::PressKey(int element) {
  SwitcherEffects fx;
  SwitcherPageData& d = m_data;
  uint8_t& state = element == 2 ? d.zv_switcher_key1_state : d.zv_switcher_key2_state;
  const uint8_t s = state;
  if (s == 1 && d.zv_switcher_bkgd_state == 0) return fx;
  if (s == 1) {
    state = 0;
    if (d.zv_switcher_next_key != 0) SelectNextKey(d, 0, fx);
  } else {
    state = 1;
    if (d.zv_switcher_next_key != element) SelectNextKey(d, element, fx);
  }
  fx.Send(element == 2 ? kSwitcherKey1 : kSwitcherKey2, {s});
  ShowSwitcherPage(d, element == 2 ? 1 : 2, fx);
  return fx;
}

SwitcherEffects SwitcherRules::TransitionType(int t) {
  static constexpr uint8_t kCommands[] = {kSwitcherMix, kSwitcherDip, kSwitcherWipe};
  SwitcherEffects fx;
  if (t < 1 || t > 3) return fx;
  fx.Send(kCommands[t - 1]);
  if (m_data.zv_switcher_trans_type != t) SelectTransitionType(m_data, t, fx);
  ShowSwitcherPage(m_data, 0, fx);
  return fx;
}

void SwitcherRules::StopAutoFor(SwitcherEffects& fx) {
  if (!m_running_timer) return;
  fx.stop_timer_id = m_running_timer;
  m_running_timer = 0;
}

SwitcherEffects SwitcherRules::TbarMoving(int position) {
  SwitcherEffects fx;
  SwitcherPageData& d = m_data;
  const uint8_t direction = d.zv_switcher_tbar_reverse;
  // The progress before this move. The timer counts thumb positions, which
  // going upward are the progress counted from the other end.
  int before = d.zv_switcher_tbar_value;
  if (m_running_timer && direction == 1) before = kTbarBottom - std::min(before, int{kTbarBottom});
  // The timer counts positions while a drag counts progress; the drag takes
  // over, so the timer must not see a drag's value.
  StopAutoFor(fx);
  const bool was_in_transition = d.zv_switcher_in_transition == 1;
  ApplyTbarPosition(d, position);
  const uint8_t v = d.zv_switcher_tbar_value;
  if (!IsTbarEnd(v)) {
    if (PassesSentProgress(before, v)) SendTbarValue(d, v, fx);
    NoteProgressSent(fx);
    if (d.zv_switcher_in_transition != 1) SetTransitionLamp(d, 1, fx);
    MarkPreviewOnAir(d, fx);
    return fx;
  }
  if (d.zv_switcher_in_transition != 0) SetTransitionLamp(d, 0, fx);
  const bool far_end = d.zv_switcher_tbar_reverse != direction;
  if (far_end) {
    // A fast drag skips positions; when it skipped the last step before the
    // far end, the device would be left part way through a transition the
    // panel shows as done. The travel's full progress goes out instead.
    if (m_last_progress != kFullProgress) fx.Send(kSwitcherTbar, {direction, kFullProgress});
    ExchangeBuses(d, fx);
  } else {
    // Back at the end it started from: the operator took the transition
    // back. Nothing is exchanged; the preview shows as preview again and
    // the device is told the travel stands at its start.
    if (was_in_transition || m_last_progress != 0) fx.Send(kSwitcherTbar, {direction, 0});
    const int n = d.zv_switcher_pvm_source;
    if (IsBusSource(n)) fx.Show(kPvmSourceButtons[n - 1], SourcePreviewImage(n));
  }
  m_last_progress = 0;
  return fx;
}

void SwitcherRules::NoteProgressSent(const SwitcherEffects& fx) {
  for (const SwitcherFrame& f : fx.frames)
    if (f.command == kSwitcherTbar && f.param_count == 2) m_last_progress = f.params[1];
}

SwitcherEffects SwitcherRules::TbarReleased(int position) {
  SwitcherEffects fx;
  StopAutoFor(fx);
  ApplyTbarPosition(m_data, position);
  return fx;
}

SwitcherEffects SwitcherRules::Auto(int thumb_position, bool tbar_held) {
  SwitcherEffects fx;
  SwitcherPageData& d = m_data;
  // One source of travel at a time: the timer would move the thumb from
  // under the hand, and the hand's next move would take the progress back.
  // The hand keeps the T-bar until it lets go.
  if (tbar_held) return fx;
  fx.Send(kSwitcherAuto);
  d.zv_switcher_tbar_value = static_cast<uint8_t>(thumb_position & 0xFF);
  if (d.zv_switcher_auto_rate < 3) {
    const AutoTimer& t = kAutoTimers[d.zv_switcher_auto_rate];
    // Another timer still running (none can, as rates are refused while the
    // lamp is lit) would step the value twice.
    if (m_running_timer && m_running_timer != t.timer_id) fx.stop_timer_id = m_running_timer;
    fx.start_timer_id = t.timer_id;
    fx.start_timer_period_ms = t.period_ms;
    m_running_timer = t.timer_id;
  }
  if (d.zv_switcher_in_transition != 1) SetTransitionLamp(d, 1, fx);
  MarkPreviewOnAir(d, fx);
  return fx;
}

SwitcherEffects SwitcherRules::TimerStep(int timer_id) {
  SwitcherEffects fx;
  SwitcherPageData& d = m_data;
  // A tick already queued when its timer was stopped changes nothing.
  if (timer_id != m_running_timer) return fx;
  fx.tbar_position = std::clamp<int>(d.zv_switcher_tbar_value, kTbarTop, kTbarBottom);
  uint8_t& v = d.zv_switcher_tbar_value;
  if (d.zv_switcher_tbar_reverse == 0) {
    ++v;
    if (IsSentProgress(v)) SendTbarValue(d, v, fx);
    if (v == kTbarBottom) d.zv_switcher_tbar_reverse = 1;
  } else {
    --v;
    const uint8_t p = static_cast<uint8_t>(kTbarBottom - v);
    if (p % 8 == 0 || v == 128) SendTbarValue(d, p, fx);
    if (v == 0) d.zv_switcher_tbar_reverse = 0;
  }
  NoteProgressSent(fx);
  if (IsTbarEnd(v)) {
    if (d.zv_switcher_in_transition != 0) SetTransitionLamp(d, 0, fx);
    fx.stop_timer_id = timer_id;
    m_running_timer = 0;
    m_last_progress = 0;
    ExchangeBuses(d, fx);
    fx.tbar_position = v;
  } else if (d.zv_switcher_in_transition != 1) {
    SetTransitionLamp(d, 1, fx);
  }
  return fx;
}

SwitcherEffects SwitcherRules::Rate(int k) {
  SwitcherEffects fx;
  if (m_data.zv_switcher_in_transition == 1) return fx;
  SelectAutoRate(m_data, k, fx);
  return fx;
}

// ---- pages -------------------------------------------------------------------------

std::string SourceListText(int index) {
  if (index == kSourceListCount - 1) return "MP";
  char text[16];
  std::snprintf(text, sizeof text, "Cam %02d", index + 1);
  return text;
}

void WriteChromaPresets(SwitcherPageData& d) {
  for (size_t t = 0; t < kChromaPresets.size(); ++t) {
    d.zv_switcher_chroma_red[t] = kChromaPresets[t].red;
    d.zv_switcher_chroma_green[t] = kChromaPresets[t].green;
    d.zv_switcher_chroma_blue[t] = kChromaPresets[t].blue;
  }
}

std::string LevelText(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

uint16_t PipPixels(int trackbar, int position) {
  const int p = std::clamp(position, 0, kPipTrackbarMaximum);
  return static_cast<uint16_t>(p * kPipScale[static_cast<size_t>(trackbar)]);
}

int PipPosition(int trackbar, uint16_t pixels) {
  return std::clamp(pixels / kPipScale[static_cast<size_t>(trackbar)], 0, kPipTrackbarMaximum);
}

SwitcherFrame StorePipPixels(SwitcherPageData& d, int trackbar, int position) {
  const uint16_t pixels = PipPixels(trackbar, position);
  uint16_t* fields[] = {&d.zv_switcher_pip_x, &d.zv_switcher_pip_y, &d.zv_switcher_pip_width};
  *fields[trackbar] = pixels;
  return MakeSwitcherFrame(kPipCommands[static_cast<size_t>(trackbar)],
                           {static_cast<uint8_t>(pixels & 0xFF), static_cast<uint8_t>(pixels >> 8)});
}

SwitcherEffects SelectWipePattern(SwitcherPageData& d, int k) {
  SwitcherEffects fx;
  if (k == d.zv_switcher_wipe_pattern || k < 0 || k >= static_cast<int>(kWipePatternButtons.size()))
    return fx;
  if (d.zv_switcher_wipe_pattern < kWipePatternButtons.size()) {
    const ImagePair& old = kWipePatternButtons[d.zv_switcher_wipe_pattern];
    fx.ShowOnPage(old.control_id, old.normal);
  }
  const ImagePair& now = kWipePatternButtons[static_cast<size_t>(k)];
  fx.ShowOnPage(now.control_id, now.selected);
  d.zv_switcher_wipe_pattern = static_cast<uint8_t>(k);
  fx.Send(kSwitcherWipePattern, {static_cast<uint8_t>(k)});
  return fx;
}

std::optional<SwitcherFrame> StoreListChoice(SwitcherPageData& d, uint8_t command, int index) {
  struct ListField {
    uint8_t command;
    uint8_t SwitcherPageData::*field;
    int count;
  };
  static constexpr ListField kLists[] = {
      {kSwitcherDipSource, &SwitcherPageData::zv_switcher_dip_source, 256},
      {kSwitcherWipeSource, &SwitcherPageData::zv_switcher_wipe_source, 256},
      {kSwitcherWipePattern, &SwitcherPageData::zv_switcher_wipe_pattern, 9},
      {kSwitcherLumaSource, &SwitcherPageData::zv_switcher_luma_source, kSourceListCount},
      {kSwitcherChromaSource, &SwitcherPageData::zv_switcher_chroma_source, kSourceListCount},
      {kSwitcherChromaType, &SwitcherPageData::zv_switcher_chroma_type, 2},
      {kSwitcherPipSource, &SwitcherPageData::zv_switcher_pip_source, kSourceListCount},
      {kSwitcherPipBorderEnable, &SwitcherPageData::zv_switcher_pip_border_enable, 2},
      {kSwitcherPipBorderColor, &SwitcherPageData::zv_switcher_pip_border_color, 4},
      {kSwitcherPipBorderWidth, &SwitcherPageData::zv_switcher_pip_border_width, 7},
  };
  for (const ListField& list : kLists) {
    if (list.command != command) continue;
    if (index < 0 || index >= list.count) return std::nullopt;
    d.*list.field = static_cast<uint8_t>(index);
    return MakeSwitcherFrame(command, {static_cast<uint8_t>(index)});
  }
  return std::nullopt;
}

SwitcherFrame StoreLumaLevels(SwitcherPageData& d, const std::array<int, 3>& levels) {
  for (size_t i = 0; i < 3; ++i)
    d.zv_switcher_luma_level[i] = static_cast<uint8_t>(std::clamp(levels[i], 0, kLevelMaximum));
  return MakeSwitcherFrame(kSwitcherLumaLevels, {d.zv_switcher_luma_level[0],
                                                 d.zv_switcher_luma_level[1],
                                                 d.zv_switcher_luma_level[2]});
}

SwitcherFrame StoreChromaLevels(SwitcherPageData& d, const std::array<int, 3>& levels) {
  // A type outside the list would index past the two presets.
  const size_t t = d.zv_switcher_chroma_type < 2 ? d.zv_switcher_chroma_type : 0;
  const uint8_t r = static_cast<uint8_t>(std::clamp(levels[0], 0, kLevelMaximum));
  const uint8_t g = static_cast<uint8_t>(std::clamp(levels[1], 0, kLevelMaximum));
  const uint8_t b = static_cast<uint8_t>(std::clamp(levels[2], 0, kLevelMaximum));
  d.zv_switcher_chroma_red[t] = r;
  d.zv_switcher_chroma_green[t] = g;
  d.zv_switcher_chroma_blue[t] = b;
  return MakeSwitcherFrame(kSwitcherChromaLevels, {r, g, b});
}

std::array<int, 3> ChromaPresetLevels(const SwitcherPageData& d, int t) {
  const size_t i = t == 1 ? 1 : 0;
  return {d.zv_switcher_chroma_red[i], d.zv_switcher_chroma_green[i], d.zv_switcher_chroma_blue[i]};
}

}  // namespace zv

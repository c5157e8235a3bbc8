// The virtual production switcher. It answers nothing (the panel reads
// nothing back) but applies every command to a record of its own, so a demo
// shows the device following the panel.
#include "sim/switcher_device.h"

#include <string>

#include "link/command_frame.h"
#include "sim/family_devices.h"

namespace zv::sim {
namespace {

std::string SourceName(int n) {
  if (n == 11) return "BLK";
  if (n == 12) return "MP1";
  return std::to_string(n);
}

const char* OnOff(int on) { return on ? "on" : "off"; }

}  // namespace

SwitcherDevice::SwitcherDevice(DeviceConfig config) : SimDevice(std::move(config)) {
  ResetSwitcherPageData(m_state);
  m_state.zv_switcher_bkgd_state = 1;
  m_state.zv_switcher_trans_type = 1;
}

SwitcherPageData SwitcherDevice::State() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_state;
}

int SwitcherDevice::TransitionsDone() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_transitions_done;
}

std::vector<Bytes> SwitcherDevice::OnFrame(std::span<const uint8_t> frame, Link) {
  if (frame.size() < CommandFrame::kOverhead) return {};
  // The length field decides how many parameter bytes there are, but never
  // more than the datagram holds.
  const size_t declared = static_cast<size_t>(frame[CommandFrame::kOffsetLength]) |
                          static_cast<size_t>(frame[CommandFrame::kOffsetLength + 1]) << 8;
  const size_t length = declared < frame.size() ? declared : frame.size();
  const size_t param_count = length > CommandFrame::kOverhead ? length - CommandFrame::kOverhead : 0;
  std::lock_guard<std::mutex> lock(m_mutex);
  Apply(frame[CommandFrame::kOffsetCommand], frame.subspan(CommandFrame::kOffsetParams, param_count));
  return {};
}

void SwitcherDevice::Exchange(const char* why) {
  std::swap(m_state.zv_switcher_pgm_source, m_state.zv_switcher_pvm_source);
  m_state.zv_switcher_tbar_value = 0;
  m_state.zv_switcher_in_transition = 0;
  ++m_transitions_done;
  Note(std::string(why) + ": programme " + SourceName(m_state.zv_switcher_pgm_source) +
       ", preview " + SourceName(m_state.zv_switcher_pvm_source));
}

// Toggles a key element (1 PIP, 2 KEY 1, 3 KEY 2) the way the panel does:
// selecting one clears the others; the last element cannot go while the
// background is off.
void SwitcherDevice::ToggleKey(int element) {
  SwitcherPageData& s = m_state;
  uint8_t* states[] = {&s.zv_switcher_pip_state, &s.zv_switcher_key1_state, &s.zv_switcher_key2_state};
  static const char* const kNames[] = {"PIP", "KEY 1", "KEY 2"};
  uint8_t& state = *states[element - 1];
  if (state == 1) {
    if (s.zv_switcher_bkgd_state == 0) {
      Note(std::string(kNames[element - 1]) + " stays: background is off");
      return;
    }
    state = 0;
    s.zv_switcher_next_key = 0;
  } else {
    for (uint8_t* other : states) *other = 0;
    state = 1;
    s.zv_switcher_next_key = static_cast<uint8_t>(element);
  }
  Note(std::string(kNames[element - 1]) + " " + OnOff(state));
}

void SwitcherDevice::Apply(uint8_t command, std::span<const uint8_t> params) {
  SwitcherPageData& s = m_state;
  // Expected parameter bytes of each command; a shorter frame is refused.
  auto need = [&](size_t count) {
    if (params.size() >= count) return true;
    Note("command " + std::to_string(command) + " too short, ignored");
    return false;
  };
  auto in_range = [&](int value, int maximum) {
    if (value <= maximum) return true;
    Note("value " + std::to_string(value) + " out of range, ignored");
    return false;
  };
  auto u16 = [&] { return static_cast<uint16_t>(params[0] | params[1] << 8); };

  switch (command) {
    case kSwitcherPgmSource:
    case kSwitcherPvmSource: {
      if (!need(1) || params[0] < 1 || !in_range(params[0], 12)) return;
      const bool pgm = command == kSwitcherPgmSource;
      (pgm ? s.zv_switcher_pgm_source : s.zv_switcher_pvm_source) = params[0];
      Note(std::string(pgm ? "programme " : "preview ") + SourceName(params[0]));
      return;
    }
    case kSwitcherTbar:
      if (!need(2) || !in_range(params[1], 128) || !in_range(params[0], 1)) return;
      s.zv_switcher_tbar_value = params[1];
      // Progress 0: the T-bar went back to where the travel started.
      s.zv_switcher_in_transition = params[1] != 0;
      Note("transition " + std::to_string(params[1]) + "/128");
      // The last step of a travel completes the transition.
      if (params[1] == 128) Exchange("transition done");
      return;
    case kSwitcherCut: Exchange("cut"); return;
    case kSwitcherAuto:
      s.zv_switcher_in_transition = 1;
      Note("auto transition");
      return;
    case kSwitcherFtb:
      s.zv_switcher_ftb_state = s.zv_switcher_ftb_state ? 0 : 1;
      Note(std::string("fade to black ") + OnOff(s.zv_switcher_ftb_state));
      return;
    case kSwitcherPip: ToggleKey(1); return;
    case kSwitcherKey1: ToggleKey(2); return;
    case kSwitcherKey2: ToggleKey(3); return;
    case kSwitcherOnAir:
    case kSwitcherOnAir2: {
      // The parameter is the panel's state before the press.
      if (!need(1) || !in_range(params[0], 1)) return;
      uint8_t& field = command == kSwitcherOnAir ? s.zv_switcher_on_air : s.zv_switcher_on_air2;
      field = params[0] ? 0 : 1;
      Note(std::string(command == kSwitcherOnAir ? "on air " : "on air 2 ") + OnOff(field));
      return;
    }
    case kSwitcherBkgd:
      if (!need(1) || !in_range(params[0], 1)) return;
      if (s.zv_switcher_next_key == 0) {
        Note("background stays selected: no key element");
        return;
      }
      s.zv_switcher_bkgd_state = params[0] ? 0 : 1;
      Note(std::string("background ") + OnOff(s.zv_switcher_bkgd_state));
      return;
    case kSwitcherMix:
    case kSwitcherDip:
    case kSwitcherWipe: {
      static const char* const kTypes[] = {"MIX", "DIP", "WIPE"};
      s.zv_switcher_trans_type = static_cast<uint8_t>(command - kSwitcherMix + 1);
      Note(std::string("transition type ") + kTypes[command - kSwitcherMix]);
      return;
    }
    case kSwitcherLumaLevels:
      if (!need(3)) return;
      for (size_t i = 0; i < 3; ++i) s.zv_switcher_luma_level[i] = params[i];
      Note("luma levels " + std::to_string(params[0]) + ", " + std::to_string(params[1]) + ", " +
           std::to_string(params[2]));
      return;
    case kSwitcherChromaLevels: {
      if (!need(3)) return;
      const size_t t = s.zv_switcher_chroma_type < 2 ? s.zv_switcher_chroma_type : 0;
      s.zv_switcher_chroma_red[t] = params[0];
      s.zv_switcher_chroma_green[t] = params[1];
      s.zv_switcher_chroma_blue[t] = params[2];
      Note("chroma levels " + std::to_string(params[0]) + ", " + std::to_string(params[1]) + ", " +
           std::to_string(params[2]));
      return;
    }
    case kSwitcherPipX:
    case kSwitcherPipY:
    case kSwitcherPipWidth: {
      if (!need(2)) return;
      const bool y = command == kSwitcherPipY;
      if (!in_range(u16(), y ? 1080 : 1920)) return;
      uint16_t& field = command == kSwitcherPipX ? s.zv_switcher_pip_x
                        : y                      ? s.zv_switcher_pip_y
                                                 : s.zv_switcher_pip_width;
      field = u16();
      static const char* const kNames[] = {"PIP x ", "PIP y ", "PIP width "};
      Note(kNames[command - kSwitcherPipX] + std::to_string(field));
      return;
    }
    default:
      break;
  }
  // The one-byte settings of the pages.
  struct Setting {
    uint8_t command;
    uint8_t SwitcherPageData::*field;
    int maximum;
    const char* name;
  };
  static constexpr Setting kSettings[] = {
      {kSwitcherDipSource, &SwitcherPageData::zv_switcher_dip_source, 255, "dip source "},
      {kSwitcherWipeSource, &SwitcherPageData::zv_switcher_wipe_source, 255, "wipe source "},
      {kSwitcherWipePattern, &SwitcherPageData::zv_switcher_wipe_pattern, 8, "wipe pattern "},
      {kSwitcherLumaSource, &SwitcherPageData::zv_switcher_luma_source, 10, "luma source "},
      {kSwitcherChromaSource, &SwitcherPageData::zv_switcher_chroma_source, 10, "chroma source "},
      {kSwitcherChromaType, &SwitcherPageData::zv_switcher_chroma_type, 1, "chroma type "},
      {kSwitcherPipSource, &SwitcherPageData::zv_switcher_pip_source, 10, "PIP source "},
      {kSwitcherPipBorderEnable, &SwitcherPageData::zv_switcher_pip_border_enable, 1, "PIP border "},
      {kSwitcherPipBorderColor, &SwitcherPageData::zv_switcher_pip_border_color, 3, "PIP border colour "},
      {kSwitcherPipBorderWidth, &SwitcherPageData::zv_switcher_pip_border_width, 6, "PIP border width index "},
  };
  for (const Setting& setting : kSettings) {
    if (setting.command != command) continue;
    if (!need(1) || !in_range(params[0], setting.maximum)) return;
    s.*setting.field = params[0];
    Note(setting.name + std::to_string(params[0]));
    return;
  }
  Note("unknown command " + std::to_string(command));
}

std::optional<FrontPanelChange> SwitcherDevice::ChangeAtFrontPanel(std::mt19937& random) {
  static const std::vector<int> kSources = {1, 2, 3, 4, 5, 6, 7, 8};
  std::lock_guard<std::mutex> lock(m_mutex);
  const bool programme = random() % 2 == 0;
  uint8_t& source = programme ? m_state.zv_switcher_pgm_source : m_state.zv_switcher_pvm_source;
  source = static_cast<uint8_t>(PickOther(random, kSources, source));
  return FrontPanelChange{programme ? "program" : "preview", source};
}

std::unique_ptr<SimDevice> MakeSwitcherDevice(const DeviceConfig& config) {
  return std::make_unique<SwitcherDevice>(config);
}

}  // namespace zv::sim

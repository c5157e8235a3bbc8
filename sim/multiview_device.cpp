// The virtual 16-window multiviewer.
#include "sim/multiview_device.h"

#include <algorithm>
#include <string>

#include "link/command_frame.h"
#include "multiview/multiview_state.h"
#include "sim/family_devices.h"

namespace zv::sim {
namespace {

std::string Num(int v) { return std::to_string(v); }

// Sets one window's entry (1 to 16) or all of them (0); false for any other
// target or a colour past the table.
bool SetColour(std::array<uint8_t, 16>& colours, uint8_t target, uint8_t colour) {
  if (colour >= kMultiviewColourCount) return false;
  if (target == 0) {
    colours.fill(colour);
    return true;
  }
  if (target > 16) return false;
  colours[target - 1] = colour;
  return true;
}

std::string LabelText(const Bytes& utf16) {
  std::string text;
  for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
    const unsigned unit = utf16[i] | (utf16[i + 1] << 8);
    text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  }
  return text;
}

}  // namespace

MultiviewerDeviceState MultiviewerDeviceState::Defaults() {
  MultiviewerDeviceState s;
  for (size_t n = 0; n < 16; ++n) {
    const std::string name = "CAM " + std::to_string(n + 1);
    for (char c : name) {
      s.labels[n].push_back(static_cast<uint8_t>(c));
      s.labels[n].push_back(0);
    }
    s.sources[n] = static_cast<uint8_t>(n + 1);
  }
  s.umd_text.fill(7);      // White
  s.umd_back.fill(1);      // Blue
  s.overlay_text.fill(7);  // White
  s.overlay_back.fill(8);  // Gray
  return s;
}

MultiviewerDevice::MultiviewerDevice(DeviceConfig config)
    : SimDevice(std::move(config)), m_state(MultiviewerDeviceState::Defaults()) {}

MultiviewerDeviceState MultiviewerDevice::State() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_state;
}

void MultiviewerDevice::SetState(const MultiviewerDeviceState& state) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_state = state;
}

Bytes MultiviewerDevice::ReadStateReply(Link link) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return ReplyLocked(link);
}

Bytes MultiviewerDevice::ReplyLocked(Link link) const {
  const MultiviewerDeviceState& s = m_state;
  Bytes content(MultiviewReply::kContentSize, 0);
  content[MultiviewReply::kLayout] = s.layout_code;
  content[MultiviewReply::kFormat] = s.format_code;
  content[MultiviewReply::kLabelsOn] = s.labels_on;
  content[MultiviewReply::kAudioOn] = s.audio_on;
  content[MultiviewReply::kAudioSource] = s.audio_source;
  content[MultiviewReply::kOverlayOn] = s.overlay_on;
  for (size_t n = 0; n < 16; ++n) {
    const size_t slot = MultiviewReply::kLabelSlots + MultiviewReply::kLabelSlotSize * n;
    const size_t length = std::min(s.labels[n].size(), MultiviewReply::kLabelTextSize);
    content[slot] = static_cast<uint8_t>(length);
    std::copy_n(s.labels[n].begin(), length, content.begin() + static_cast<long>(slot + 1));
  }
  std::copy(s.sources.begin(), s.sources.end(), content.begin() + MultiviewReply::kSources);
  content[MultiviewReply::kBorder] = s.border_on;
  content[MultiviewReply::kLock] = s.lock_on;
  std::copy(s.umd_text.begin(), s.umd_text.end(), content.begin() + MultiviewReply::kUmdTextColours);
  std::copy(s.umd_back.begin(), s.umd_back.end(), content.begin() + MultiviewReply::kUmdBackColours);
  std::copy(s.overlay_text.begin(), s.overlay_text.end(),
            content.begin() + MultiviewReply::kOverlayTextColours);
  std::copy(s.overlay_back.begin(), s.overlay_back.end(),
            content.begin() + MultiviewReply::kOverlayBackColours);

  Bytes frame(MultiviewReply::kFullSize);
  BuildCommandFrame(frame.data(), Config().type, Config().id,
                    link == Link::kUdp ? kLinkFlagUdp : kLinkFlagSerial, kMvReadState,
                    std::span<const uint8_t>(content).subspan(CommandFrame::kOffsetParams));
  return frame;
}

std::vector<Bytes> MultiviewerDevice::OnFrame(std::span<const uint8_t> frame, Link link) {
  const uint8_t command = frame[CommandFrame::kOffsetCommand];
  // Parameters run from offset 17 to the checksum.
  const std::span<const uint8_t> p =
      frame.subspan(CommandFrame::kOffsetParams, frame.size() - CommandFrame::kOverhead);
  const auto param = [&p](size_t i) -> int { return i < p.size() ? p[i] : -1; };
  const auto on_off = [&](uint8_t& field, const char* what) {
    if (param(0) < 0) return;
    field = p[0] != 0;
    Note(std::string(what) + (field ? " on" : " off"));
  };

  std::lock_guard<std::mutex> lock(m_mutex);
  MultiviewerDeviceState& s = m_state;
  switch (command) {
    case kMvReadState:
      return {ReplyLocked(link)};
    case kMvSetLayout:
      if (MultiviewIndexForCode(zv_16_view_mode_map, param(0))) {
        s.layout_code = p[0];
        Note("layout " + Num(p[0]) + " windows");
      }
      break;
    case kMvSetWindowSource:
      if (param(0) >= 1 && param(0) <= 16 && param(1) >= 1 && param(1) <= 16) {
        s.sources[p[1] - 1] = p[0];
        Note("window " + Num(p[1]) + " shows input " + Num(p[0]));
      }
      break;
    case kMvSetWindowLabel: {
      // Window, seven fixed bytes, then the label; the device keeps 16
      // characters at most.
      const size_t text_at = 1 + kPayloadFramePrefix.size();
      if (param(0) < 1 || param(0) > 16 || p.size() < text_at) break;
      const size_t length = std::min((p.size() - text_at) & ~size_t{1}, MultiviewReply::kLabelTextSize);
      Bytes& label = s.labels[p[0] - 1];
      label.assign(p.begin() + static_cast<long>(text_at),
                   p.begin() + static_cast<long>(text_at + length));
      Note("window " + Num(p[0]) + " label \"" + LabelText(label) + "\"");
      break;
    }
    case kMvSetLabels: on_off(s.labels_on, "labels"); break;
    case kMvSetAudioMeter: on_off(s.audio_on, "audio meters"); break;
    case kMvSetResolutionOverlay: on_off(s.overlay_on, "resolution overlays"); break;
    case kMvSetBorder: on_off(s.border_on, "border"); break;
    case kMvSetLock: on_off(s.lock_on, "lock"); break;
    case kMvRestoreDefaults: {
      // Labels and the network settings survive a restore.
      MultiviewerDeviceState d = MultiviewerDeviceState::Defaults();
      d.labels = s.labels;
      d.ip_params = s.ip_params;
      s = d;
      Note("defaults restored");
      break;
    }
    case kMvSetAudioSource:
      if (param(0) >= 1 && param(0) <= 16) {
        s.audio_source = p[0];
        Note("audio from channel " + Num(p[0]));
      }
      break;
    case kMvSetLabelTextColour:
    case kMvSetLabelBackColour:
    case kMvSetOverlayTextColour:
    case kMvSetOverlayBackColour: {
      if (p.size() < 2) break;
      std::array<uint8_t, 16>& colours = command == kMvSetLabelTextColour   ? s.umd_text
                                         : command == kMvSetLabelBackColour ? s.umd_back
                                         : command == kMvSetOverlayTextColour ? s.overlay_text
                                                                              : s.overlay_back;
      static const char* const kWhat[] = {"label text", "label background", "overlay text",
                                          "overlay background"};
      if (SetColour(colours, p[0], p[1]))
        Note(std::string(kWhat[command - kMvSetLabelTextColour]) + " colour " +
             kMultiviewColourNames[p[1]] + (p[0] == 0 ? " for all windows" : " for window " + Num(p[0])));
      break;
    }
    case kMvSetVideoFormat:
      if (const auto index = MultiviewIndexForCode(zv_16_view_resolution_map, param(1))) {
        s.format_code = p[1];
        Note(std::string("format ") + kMultiviewFormatNames[static_cast<size_t>(*index)]);
      }
      break;
    case kMvSetIp:
      if (p.size() >= s.ip_params.size()) {
        std::copy_n(p.begin(), s.ip_params.size(), s.ip_params.begin());
        Note("address " + Num(p[0]) + "." + Num(p[1]) + "." + Num(p[2]) + "." + Num(p[3]));
      }
      break;
    default:
      break;
  }
  return {};
}

std::optional<FrontPanelChange> MultiviewerDevice::ChangeAtFrontPanel(std::mt19937& random) {
  std::lock_guard<std::mutex> lock(m_mutex);
  MultiviewerDeviceState& s = m_state;
  const auto codes = [](std::span<const MultiviewCodePair> map) {
    std::vector<int> list;
    for (const MultiviewCodePair& pair : map) list.push_back(pair.code);
    return list;
  };
  static const std::vector<int> kInputs = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  static const std::vector<int> kOnOff = {0, 1};
  struct Switch {
    const char* field;
    uint8_t MultiviewerDeviceState::*value;
  };
  static constexpr Switch kSwitches[] = {{"labels", &MultiviewerDeviceState::labels_on},
                                         {"overlay", &MultiviewerDeviceState::overlay_on},
                                         {"audio_meter", &MultiviewerDeviceState::audio_on},
                                         {"border", &MultiviewerDeviceState::border_on}};
  FrontPanelChange change;
  switch (random() % 5) {
    case 0:
      s.layout_code = static_cast<uint8_t>(PickOther(random, codes(zv_16_view_mode_map), s.layout_code));
      change = {"layout", s.layout_code};
      break;
    case 1:
      s.format_code = static_cast<uint8_t>(PickOther(random, codes(zv_16_view_resolution_map), s.format_code));
      change = {"format", s.format_code};
      break;
    case 2: {
      const int window = 1 + static_cast<int>(random() % 16);
      uint8_t& source = s.sources[static_cast<size_t>(window - 1)];
      source = static_cast<uint8_t>(PickOther(random, kInputs, source));
      change = {"source", source, "window", window};
      break;
    }
    case 3:
      s.audio_source = static_cast<uint8_t>(PickOther(random, kInputs, s.audio_source));
      change = {"audio_source", s.audio_source};
      break;
    default: {
      const Switch& sw = kSwitches[random() % std::size(kSwitches)];
      s.*sw.value = s.*sw.value ? 0 : 1;
      change = {sw.field, s.*sw.value};
      break;
    }
  }
  return change;
}

std::unique_ptr<SimDevice> MakeMultiviewerDevice(const DeviceConfig& config) {
  return std::make_unique<MultiviewerDevice>(config);
}

}  // namespace zv::sim

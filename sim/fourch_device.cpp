// The virtual four-channel switcher.
#include "sim/fourch_device.h"

#include <algorithm>

#include "fourch/fourch_state.h"
#include "link/command_frame.h"
#include "sim/family_devices.h"

namespace zv::sim {
namespace {

constexpr uint8_t kStateFlag = 0x01;
constexpr size_t kNameMax = 32;
constexpr size_t kOffsetLoopTime = 258;  // after what the panel reads: the loop time, LE
constexpr std::string_view kSignalsCommand = "signals";

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

}  // namespace

bool ParseSignalPattern(const std::string& text, std::array<uint8_t, 4>* pattern) {
  if (text.size() != pattern->size()) return false;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c == '0' || c == '1'; }))
    return false;
  for (size_t n = 0; n < pattern->size(); ++n) (*pattern)[n] = static_cast<uint8_t>(text[n] - '0');
  return true;
}

std::string SignalPatternText(const std::array<uint8_t, 4>& pattern) {
  std::string text;
  for (uint8_t s : pattern) text.push_back(s == 1 ? '1' : '0');
  return text;
}

FourChannelDevice::FourChannelDevice(const DeviceConfig& config) : SimDevice(config) {
  if (!config.input_signals.empty()) ParseSignalPattern(config.input_signals, &m_state.input_signals);
}

FourChannelState FourChannelDevice::State() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_state;
}

void FourChannelDevice::SetState(const FourChannelState& state) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_state = state;
}

void FourChannelDevice::SetSignals(const std::array<uint8_t, 4>& pattern) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_state.input_signals = pattern;
}

Bytes FourChannelDevice::Reply(Link link, uint8_t command, const Bytes& params) const {
  Bytes frame(CommandFrame::kOverhead + params.size());
  BuildCommandFrame(frame.data(), Config().type, Config().id,
                    link == Link::kUdp ? kLinkFlagUdp : kLinkFlagSerial, command, params);
  return frame;
}

Bytes FourChannelDevice::StateReply(Link link) const {
  const FourChannelState s = State();
  // Parameters run from byte 17 to the loop time at 258 and 259.
  Bytes params(kOffsetLoopTime + 2 - CommandFrame::kOffsetParams, 0);
  auto at = [&params](size_t offset) -> uint8_t& { return params[offset - CommandFrame::kOffsetParams]; };
  at(kTriskStateOffsetFlag) = kStateFlag;
  at(kTriskStateOffsetFormat) = s.output_format;
  at(kTriskStateOffsetMode) = s.show_mode;
  const std::string text = Config().name.substr(0, kTriskStateTextSize - 1);
  std::copy(text.begin(), text.end(), &at(kTriskStateOffsetText));
  for (size_t n = 0; n < s.names.size(); ++n) {
    const size_t line = kTriskStateOffsetNameLength + kTriskStateLineSize * n;
    const std::string name = s.names[n].substr(0, kNameMax);
    at(line) = static_cast<uint8_t>(name.size());
    std::copy(name.begin(), name.end(), &at(line + 1));
  }
  at(kTriskStateOffsetPip) = s.pip_child_ch[0];
  at(kTriskStateOffsetPip + 1) = s.pip_child_ch[1];
  at(kTriskStateOffsetLoop) = s.loop_state;
  at(kOffsetLoopTime) = static_cast<uint8_t>(s.loop_time & 0xFF);
  at(kOffsetLoopTime + 1) = static_cast<uint8_t>(s.loop_time >> 8);
  return Reply(link, kTriskCommandReadState, params);
}

Bytes FourChannelDevice::SignalReply(Link link) const {
  const FourChannelState s = State();
  // Byte 17 spare, then a status byte and a spare byte per input.
  Bytes params(1 + 2 * s.input_signals.size(), 0);
  for (size_t n = 0; n < s.input_signals.size(); ++n)
    params[kTriskSignalOffsetStatus - CommandFrame::kOffsetParams + 2 * n] = s.input_signals[n];
  return Reply(link, kTriskCommandReadSignalStatus, params);
}

std::vector<Bytes> FourChannelDevice::OnFrame(std::span<const uint8_t> frame, Link link) {
  const uint8_t command = frame[CommandFrame::kOffsetCommand];
  const std::span<const uint8_t> params =
      frame.subspan(CommandFrame::kOffsetParams, frame.size() - CommandFrame::kOverhead);
  if (command == kTriskCommandReadState) return {StateReply(link)};
  if (command == kTriskCommandReadSignalStatus) return {SignalReply(link)};

  const size_t needed = command == kTriskCommandSetPipChannels || command == kTriskCommandSetLoopTime ? 2
                        : command == kTriskCommandSetShowMode || command == kTriskCommandSetOutputFormat ||
                                  command == kTriskCommandSetLoopState
                            ? 1
                            : 0;
  if (needed == 0) return {};
  if (params.size() < needed) {
    Note("command too short, ignored");
    return {};
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  FourChannelState& s = m_state;
  switch (command) {
    case kTriskCommandSetShowMode:
      if (params[0] >= kTriskShowModeCount) {
        Note("show mode " + std::to_string(params[0]) + " does not exist, ignored");
        break;
      }
      s.show_mode = params[0];
      Note("show mode " + std::to_string(s.show_mode) + " (" +
           TriskShowModes()[s.show_mode].picture + ")");
      break;
    case kTriskCommandSetOutputFormat:
      if (TriskOutputFormatEntry(params[0]) < 0) {
        Note("output format code " + std::to_string(params[0]) + " unknown, ignored");
        break;
      }
      s.output_format = params[0];
      Note(std::string("output format ") +
           kTriskOutputFormats[static_cast<size_t>(TriskOutputFormatEntry(params[0]))].text);
      break;
    case kTriskCommandSetPipChannels:
      if (params[0] < 1 || params[0] > 4 || params[1] < 1 || params[1] > 4) {
        Note("picture-in-picture channels out of range, ignored");
        break;
      }
      s.pip_child_ch = {params[0], params[1]};
      Note("picture-in-picture channels " + std::to_string(params[0]) + ", " + std::to_string(params[1]));
      break;
    case kTriskCommandSetLoopState:
      s.loop_state = params[0] ? 1 : 0;
      Note(s.loop_state ? "loop on" : "loop off");
      break;
    case kTriskCommandSetLoopTime:
      s.loop_time = static_cast<uint16_t>(params[0] | (params[1] << 8));
      Note("loop time " + std::to_string(s.loop_time) + " s");
      break;
    default:
      break;
  }
  return {};
}

std::vector<Bytes> FourChannelDevice::OnText(const std::string& text, Link) {
  // "signals 1010" changes which inputs carry a signal; the device echoes
  // the pattern it now has, or says what was wrong.
  const std::string line = Trimmed(text);
  if (line.rfind(kSignalsCommand, 0) != 0) return {};
  std::array<uint8_t, 4> pattern{};
  if (!ParseSignalPattern(Trimmed(line.substr(kSignalsCommand.size())), &pattern))
    return {TextBytes("error: signals takes four digits 0 or 1, input 1 first")};
  SetSignals(pattern);
  Note("signals " + SignalPatternText(pattern));
  return {TextBytes("signals " + SignalPatternText(pattern))};
}

std::optional<FrontPanelChange> FourChannelDevice::ChangeAtFrontPanel(std::mt19937& random) {
  std::lock_guard<std::mutex> lock(m_mutex);
  FourChannelState& s = m_state;
  static const std::vector<int> kChannels = {1, 2, 3, 4};
  FrontPanelChange change;
  switch (random() % 5) {
    case 0: {
      std::vector<int> modes;
      for (int m = 0; m < kTriskShowModeCount; ++m) modes.push_back(m);
      s.show_mode = static_cast<uint8_t>(PickOther(random, modes, s.show_mode));
      change = {"show_mode", s.show_mode};
      break;
    }
    case 1: {
      std::vector<int> formats;
      for (const TriskOutputFormat& f : kTriskOutputFormats) formats.push_back(f.code);
      s.output_format = static_cast<uint8_t>(PickOther(random, formats, s.output_format));
      change = {"output_format", s.output_format};
      break;
    }
    case 2:
      s.loop_state = s.loop_state ? 0 : 1;
      change = {"loop", s.loop_state};
      break;
    case 3:
      s.loop_time = static_cast<uint16_t>(kTriskMinLoopTime + random() % 58);
      change = {"loop_time", s.loop_time};
      break;
    default: {
      const int which = 1 + static_cast<int>(random() % 2);
      uint8_t& channel = s.pip_child_ch[static_cast<size_t>(which - 1)];
      channel = static_cast<uint8_t>(PickOther(random, kChannels, channel));
      change = {"pip_channel", channel, "pip", which};
      break;
    }
  }
  return change;
}

std::unique_ptr<SimDevice> MakeFourChannelDevice(const DeviceConfig& config) {
  return std::make_unique<FourChannelDevice>(config);
}

}  // namespace zv::sim

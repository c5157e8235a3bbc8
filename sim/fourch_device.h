// The virtual four-channel switcher: keeps its show mode, output format,
// picture-in-picture channels, loop state and loop time from the commands it
// receives, answers the read-state request with its whole state and the
// signal-status request with the signals of its four inputs. Which inputs
// carry a signal is set by the device spec (signals=1101) and changed while
// it runs by the text "signals 1010" sent to its address.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "sim/device_sim.h"

namespace zv::sim {

struct FourChannelState {
  uint8_t show_mode = 0;
  uint8_t output_format = 0;
  std::array<uint8_t, 2> pip_child_ch{1, 2};
  uint8_t loop_state = 0;
  uint16_t loop_time = 3;
  std::array<uint8_t, 4> input_signals{1, 1, 0, 1};  // 1 = the input carries a signal
  // Name of each input, as the read-state reply reports it.
  std::array<std::string, 4> names{"Input 1", "Input 2", "Input 3", "Input 4"};
};

// "1010": one digit 0 or 1 per input, input 1 first.
bool ParseSignalPattern(const std::string& text, std::array<uint8_t, 4>* pattern);
std::string SignalPatternText(const std::array<uint8_t, 4>& pattern);

// The reply layout, byte offsets into the whole frame.
inline constexpr size_t kFourChannelStateReplyLength = 263;
inline constexpr size_t kFourChannelSignalReplyLength = 29;

class FourChannelDevice : public SimDevice {
 public:
  explicit FourChannelDevice(const DeviceConfig& config);

  std::vector<Bytes> OnFrame(std::span<const uint8_t> frame, Link link) override;
  std::vector<Bytes> OnText(const std::string& text, Link link) override;
  // The show mode, the output format, the loop or its time, or a
  // picture-in-picture channel.
  std::optional<FrontPanelChange> ChangeAtFrontPanel(std::mt19937& random) override;

  // Safe to call while the simulator runs on another thread.
  FourChannelState State() const;
  void SetState(const FourChannelState& state);
  void SetSignals(const std::array<uint8_t, 4>& pattern);

  Bytes StateReply(Link link) const;
  Bytes SignalReply(Link link) const;

 private:
  Bytes Reply(Link link, uint8_t command, const Bytes& params) const;

  mutable std::mutex m_mutex;
  FourChannelState m_state;
};

}  // namespace zv::sim

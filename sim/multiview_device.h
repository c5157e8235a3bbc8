// The virtual 16-window multiviewer: it keeps the whole device state, applies
// every set command it receives and answers the read-state request (0x32)
// with a complete reply, on the network and on the serial line alike.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "sim/device_sim.h"

namespace zv::sim {

// The device's own state, in the device's codes (layout and format codes,
// not the panel's list positions).
struct MultiviewerDeviceState {
  uint8_t layout_code = 16;
  uint8_t format_code = 7;  // 1080p60
  uint8_t labels_on = 1;
  uint8_t audio_on = 1;
  uint8_t audio_source = 1;
  uint8_t overlay_on = 0;
  // Label of each window as UTF-16LE bytes, at most 32.
  std::array<Bytes, 16> labels;
  std::array<uint8_t, 16> sources{};
  uint8_t border_on = 1;
  uint8_t lock_on = 0;
  std::array<uint8_t, 16> umd_text{};
  std::array<uint8_t, 16> umd_back{};
  std::array<uint8_t, 16> overlay_text{};
  std::array<uint8_t, 16> overlay_back{};
  std::array<uint8_t, 12> ip_params{};  // IP, mask, gateway as last set

  // The factory settings (labels "CAM n", input n in window n).
  static MultiviewerDeviceState Defaults();
};

class MultiviewerDevice : public SimDevice {
 public:
  explicit MultiviewerDevice(DeviceConfig config);

  std::vector<Bytes> OnFrame(std::span<const uint8_t> frame, Link link) override;
  // The layout, the format, a window's input, the audio meter's channel or
  // one of the labels, overlay, audio meter and border switches.
  std::optional<FrontPanelChange> ChangeAtFrontPanel(std::mt19937& random) override;

  // A copy taken under the lock: the device runs on the simulator's thread.
  MultiviewerDeviceState State() const;
  void SetState(const MultiviewerDeviceState& state);
  // The read-state reply for the present state (669 bytes).
  Bytes ReadStateReply(Link link) const;

 private:
  Bytes ReplyLocked(Link link) const;
  mutable std::mutex m_mutex;
  MultiviewerDeviceState m_state;
};

}  // namespace zv::sim

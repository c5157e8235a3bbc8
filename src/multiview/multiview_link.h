// The multiviewer's frames and read-back on a link, and the door its panel
// and pages use to reach the device through the link worker.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/link_state.h"
#include "multiview/multiview_setup.h"
#include "multiview/multiview_state.h"

namespace zv {

// ---- on a link (blocking; the worker runs them) ------------------------------
// A multiviewer command by the link's connection mode: by UDP in network
// mode, on the serial port in serial mode. Returns 1 when the whole frame
// left (the datagram was sent, or the line took every byte), else 0.
int SendMultiviewerFrame(LinkState& link, uint8_t command, std::span<const uint8_t> params = {});
// The label of window n + 1 (set window label) by the connection mode.
int SendMultiviewerLabelFrame(LinkState& link, int n, const std::u16string& label);
// Asks for the whole device state and returns the reply's content (the
// bytes the decoder takes), or nothing when the window passed. By UDP in
// network mode or when `udp_only`, otherwise on the serial port.
std::optional<std::vector<uint8_t>> FetchMultiviewerState(LinkState& link, bool udp_only = false);
std::optional<std::vector<uint8_t>> FetchMultiviewerStateUdp(LinkState& link);
std::optional<std::vector<uint8_t>> FetchMultiviewerStateSerial(LinkState& link);
// The set-IP frame (IP, mask, gateway, first octet first), by UDP whatever
// the connection mode.
// Returns true when the whole frame left.
bool SendSetIpFrame(LinkState& link, const uint8_t (&params)[12]);

// ---- the panel's door -------------------------------------------------------
// Every call returns at once; frames leave in order on the link worker.
class MultiviewerDoor {
 public:
  MultiviewerDoor(DeviceLink& link, MultiviewerState& state) : m_link(link), m_state(state) {}

  MultiviewerState& State() const { return m_state; }
  DeviceLink& Link() const { return m_link; }
  const DeviceEntry& ChosenDevice() const { return m_link.Device(); }

  // Queued by the connection mode. Returns 1 when the frame will go:
  // network mode always, serial mode only while the port is open.
  int SendMultiviewerCommand(uint8_t command, std::span<const uint8_t> params = {});
  int SendMultiviewerLabel(int n, const std::u16string& label);
  // By UDP whatever the connection mode (the audio page, set IP).
  void SendCommand(uint8_t command, std::span<const uint8_t> params = {});
  // `done` runs here with whether the frame left.
  void SendSetIpFrame(const uint8_t (&params)[12], std::function<void(bool sent)> done = nullptr);
  // Reads the device state back and applies what arrived to the record;
  // `done` runs afterwards with whether the device answered. The read flag
  // is set either way, as after a blocking read.
  void ReadMultiviewerState(bool udp_only, std::function<void(bool answered)> done);
  // Applies the settings of `setup` that `keys` names (ApplyMultiviewerSetup:
  // read, send, read back) and puts the read-back into the record; `done`
  // runs afterwards with what was sent and taken. Nothing is sent while the
  // frames could not go (serial mode with the port closed): `done` then gets
  // a result whose device did not answer.
  void ApplySetup(const MultiviewSetup& setup, const MultiviewSetupKeys& keys,
                  std::function<void(const MultiviewApplyResult& result)> done);

 private:
  bool CanSend() const;
  DeviceLink& m_link;
  MultiviewerState& m_state;
};

}  // namespace zv

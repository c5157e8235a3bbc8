// The multiviewer's commands and its read-back, on the main window's link.

#include <algorithm>

#include "app/main_state.h"
#include "platform/platform.h"

namespace zv {
namespace {

// The read-back windows: the network answers quickly, the serial line at
// 9600 baud needs most of a second for the 669 bytes.
constexpr uint32_t kUdpReadStateWindowMs = 200;
constexpr uint32_t kSerialReadStateWindowMs = 5000;
constexpr uint32_t kSerialPauseAfterRequestMs = 10;

}  // namespace

int CZELVIKState::SendMultiviewerCommand(uint8_t command, std::span<const uint8_t> params) {
  uint8_t frame[CommandFrame::kSenderBufferSize] = {};
  const DeviceEntry& device = ChosenDevice();
  if (m_eState == kModeNetwork) {
    const size_t length = BuildCommandFrame(frame, device.device_type, device.device_id,
                                            kLinkFlagUdp, command, params);
    // Counts as sent even when no socket could be opened: UDP is never
    // acknowledged, so the panel cannot tell either way.
    SendAndClose(std::span<const uint8_t>(frame, length));
    return 1;
  }
  const size_t length = BuildCommandFrame(frame, device.device_type, device.device_id,
                                          kLinkFlagSerial, command, params);
  if (!m_serial_port.IsOpen()) return 0;
  // A frame the line did not take whole is not sent.
  return m_serial_port.Write(frame, static_cast<uint32_t>(length)) == length ? 1 : 0;
}

int CZELVIKState::SendMultiviewerLabel(int n, const std::u16string& label) {
  // The label's bytes and the frame around them both fit the sender's buffer.
  uint8_t text[CommandFrame::kSenderBufferSize - kPayloadFrameOverhead] = {};
  const size_t units = EncodeMultiviewLabel(label, text, sizeof text);
  const std::span<const uint8_t> payload(text, 2 * units);
  uint8_t frame[CommandFrame::kSenderBufferSize] = {};
  const DeviceEntry& device = ChosenDevice();
  const uint8_t window = static_cast<uint8_t>(n + 1);
  if (m_eState == kModeNetwork) {
    const size_t sendLen =
        BuildPayloadFrame(frame, device.device_type, device.device_id, window, payload);
    SendAndClose(std::span<const uint8_t>(frame, sendLen));
    return 1;
  }
  const size_t sendLen =
      BuildPayloadFrameSerial(frame, device.device_type, device.device_id, window, payload);
  if (!m_serial_port.IsOpen()) return 0;
  return m_serial_port.Write(frame, static_cast<uint32_t>(sendLen)) == sendLen ? 1 : 0;
}

void CZELVIKState::ReadMultiviewerState() {
  if (m_eState == kModeNetwork)
    ReadMultiviewerStateUdp();
  else
    ReadMultiviewerStateSerial();
}

void CZELVIKState::ReadMultiviewerStateUdp() {
  uint8_t request[CommandFrame::kOverhead] = {};
  const DeviceEntry& device = ChosenDevice();
  BuildCommandFrame(request, device.device_type, device.device_id, kLinkFlagUdp, kMvReadState);
  // Only the chosen device's own answer counts: with two multiviewers on one
  // network, or a stray datagram on the port, nothing else is applied.
  const std::optional<in_addr> device_address = ChosenDeviceAddress();
  const ReplyTest is_reply = [&](std::span<const uint8_t> bytes, const sockaddr_in& from) {
    return device_address && from.sin_addr.s_addr == device_address->s_addr &&
           bytes.size() > CommandFrame::kOffsetCommand &&
           bytes[CommandFrame::kOffsetCommand] == kMvReadState;
  };
  const std::optional<Datagram> reply =
      ReceiveWithTimeout(request, CommandFrame::kSenderBufferSize, kUdpReadStateWindowMs, is_reply);
  if (reply) {
    const std::span<const uint8_t> bytes(reply->bytes);
    ApplyReadStateReply(bytes.first(MultiviewReplyContentLength(bytes)));
  }
  m_16_view_state_read = 1;
}

void CZELVIKState::ReadMultiviewerStateSerial() {
  const uint32_t start = TickCount();
  uint8_t request[CommandFrame::kOverhead] = {};
  const DeviceEntry& device = ChosenDevice();
  BuildCommandFrame(request, device.device_type, device.device_id, kLinkFlagSerial,
                    kMvReadState);
  if (!m_serial_port.IsOpen()) return;

  // A reply left in the buffer by an earlier read-back must never be taken
  // for this one.
  ClearSerialBuffer();
  FlushSerialInput();
  // A request the line did not take whole gets no answer: nothing to wait for.
  const bool request_sent = m_serial_port.Write(request, sizeof request) == sizeof request;
  if (request_sent) SleepMs(kSerialPauseAfterRequestMs);

  bool applied = false;
  const auto previous_handler = m_state_frame_handler;
  m_state_frame_handler = [&](std::span<const uint8_t> frame) {
    if (previous_handler) previous_handler(frame);
    applied = true;
  };
  while (request_sent && !applied && TickCount() - start <= kSerialReadStateWindowMs) {
    const uint32_t elapsed = std::min(TickCount() - start, kSerialReadStateWindowMs);
    // Wait on the port for the next bytes rather than asking it again and
    // again; the window is the same.
    const int ready = m_serial_port.WaitForInput(kSerialReadStateWindowMs - elapsed + 1);
    if (ready < 0) break;  // the line hung up: nothing more can come
    if (ready == 0) continue;
    const int waiting = m_serial_port.BytesWaiting();
    if (waiting < 0) break;
    if (waiting == 0) continue;
    uint8_t chunk[kSerialReadChunk];
    const uint32_t got =
        m_serial_port.Read(chunk, std::min<uint32_t>(static_cast<uint32_t>(waiting), sizeof chunk));
    AppendSerialBytes(std::span<const uint8_t>(chunk, got));
    ParseSerialReply();
  }
  m_state_frame_handler = previous_handler;
  if (!applied) Trace("wait time over");
  m_16_view_state_read = 1;
}

}  // namespace zv

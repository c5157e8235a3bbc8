// The multiviewer's commands and its read-back, on a link: the link worker's
// (a session's jobs) or a test's own.

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "multiview/multiview_link.h"
#include "platform/platform.h"

namespace zv {
namespace {

// The read-back windows: the network answers quickly, the serial line at
// 9600 baud needs most of a second for the 669 bytes.
constexpr uint32_t kUdpReadStateWindowMs = 200;
constexpr uint32_t kSerialReadStateWindowMs = 5000;
constexpr uint32_t kSerialPauseAfterRequestMs = 10;

}  // namespace

int SendMultiviewerFrame(LinkState& link, uint8_t command, std::span<const uint8_t> params) {
  uint8_t frame[CommandFrame::kSenderBufferSize] = {};
  const DeviceEntry& device = link.ChosenDevice();
  if (link.m_eState == kModeNetwork) {
    const size_t length = BuildCommandFrame(frame, device.device_type, device.device_id,
                                            kLinkFlagUdp, command, params);
    // UDP is never acknowledged: "left" is all the program can know.
    return link.SendAndClose(std::span<const uint8_t>(frame, length)) ? 1 : 0;
  }
  const size_t length = BuildCommandFrame(frame, device.device_type, device.device_id,
                                          kLinkFlagSerial, command, params);
  if (!link.m_serial_port.IsOpen()) return 0;
  // A frame the line did not take whole is not sent.
  return link.WriteSerial(frame, static_cast<uint32_t>(length)) == length ? 1 : 0;
}

int SendMultiviewerLabelFrame(LinkState& link, int n, const std::u16string& label) {
  // The label's bytes and the frame around them both fit the sender's buffer.
  uint8_t text[CommandFrame::kSenderBufferSize - kPayloadFrameOverhead] = {};
  const size_t units = EncodeMultiviewLabel(label, text, sizeof text);
  const std::span<const uint8_t> payload(text, 2 * units);
  uint8_t frame[CommandFrame::kSenderBufferSize] = {};
  const DeviceEntry& device = link.ChosenDevice();
  const uint8_t window = static_cast<uint8_t>(n + 1);
  if (link.m_eState == kModeNetwork) {
    const size_t sendLen =
        BuildPayloadFrame(frame, device.device_type, device.device_id, window, payload);
    return link.SendAndClose(std::span<const uint8_t>(frame, sendLen)) ? 1 : 0;
  }
  const size_t sendLen =
      BuildPayloadFrameSerial(frame, device.device_type, device.device_id, window, payload);
  if (!link.m_serial_port.IsOpen()) return 0;
  return link.WriteSerial(frame, static_cast<uint32_t>(sendLen)) == sendLen ? 1 : 0;
}

std::optional<std::vector<uint8_t>> FetchMultiviewerStateUdp(LinkState& link) {
  uint8_t request[CommandFrame::kOverhead] = {};
  const DeviceEntry& device = link.ChosenDevice();
  BuildCommandFrame(request, device.device_type, device.device_id, kLinkFlagUdp, kMvReadState);
  // Only the chosen device's own answer counts: with two multiviewers on one
  // network, or a stray datagram on the port, nothing else is applied. A
  // reply cut short still counts (what arrived is applied), but it must
  // begin as a reply of this device does: the sync bytes, the device's type
  // and a length no shorter than what came. Junk from the device's address
  // whose command byte happened to match was otherwise applied, and its
  // layout byte turned the preview into one window.
  const std::optional<in_addr> device_address = link.ChosenDeviceAddress();
  const ReplyTest is_reply = [&](std::span<const uint8_t> bytes, const sockaddr_in& from) {
    return device_address && from.sin_addr.s_addr == device_address->s_addr &&
           bytes.size() > CommandFrame::kOffsetCommand &&
           bytes[CommandFrame::kOffsetSync1] == CommandFrame::kSync1 &&
           bytes[CommandFrame::kOffsetSync1 + 1] == CommandFrame::kSync2 &&
           static_cast<size_t>(bytes[CommandFrame::kOffsetLength] |
                               (bytes[CommandFrame::kOffsetLength + 1] << 8)) >= bytes.size() &&
           bytes[CommandFrame::kOffsetDeviceType] == device.device_type &&
           bytes[CommandFrame::kOffsetCommand] == kMvReadState;
  };
  const std::optional<Datagram> reply =
      link.ReceiveWithTimeout(request, CommandFrame::kSenderBufferSize, kUdpReadStateWindowMs, is_reply);
  if (!reply) return std::nullopt;
  const std::span<const uint8_t> bytes(reply->bytes);
  const std::span<const uint8_t> content = bytes.first(MultiviewReplyContentLength(bytes));
  return std::vector<uint8_t>(content.begin(), content.end());
}

std::optional<std::vector<uint8_t>> FetchMultiviewerStateSerial(LinkState& link) {
  const uint32_t start = TickCount();
  uint8_t request[CommandFrame::kOverhead] = {};
  const DeviceEntry& device = link.ChosenDevice();
  BuildCommandFrame(request, device.device_type, device.device_id, kLinkFlagSerial,
                    kMvReadState);
  if (!link.m_serial_port.IsOpen()) return std::nullopt;

  // A reply left in the buffer by an earlier read-back must never be taken
  // for this one.
  link.ClearSerialBuffer();
  link.FlushSerialInput();
  // A request the line did not take whole gets no answer: nothing to wait for.
  const bool request_sent = link.WriteSerial(request, sizeof request) == sizeof request;
  if (request_sent) link.PauseMs(kSerialPauseAfterRequestMs);

  std::optional<std::vector<uint8_t>> content;
  const auto previous_handler = link.m_state_frame_handler;
  link.m_state_frame_handler = [&](std::span<const uint8_t> frame) {
    const std::span<const uint8_t> kept = frame.first(MultiviewReplyContentLength(frame));
    content.emplace(kept.begin(), kept.end());
  };
  while (request_sent && !content && TickCount() - start <= kSerialReadStateWindowMs) {
    const uint32_t elapsed = std::min(TickCount() - start, kSerialReadStateWindowMs);
    // Wait on the port for the next bytes rather than asking it again and
    // again; the window is the same.
    const int ready =
        link.m_serial_port.WaitForInput(kSerialReadStateWindowMs - elapsed + 1, link.m_cancel_fd);
    if (ready < 0) break;  // the line hung up (or the wait was cancelled)
    if (ready == 0) continue;
    const int waiting = link.m_serial_port.BytesWaiting();
    if (waiting < 0) break;
    if (waiting == 0) continue;
    uint8_t chunk[kSerialReadChunk];
    const uint32_t got = link.m_serial_port.Read(
        chunk, std::min<uint32_t>(static_cast<uint32_t>(waiting), sizeof chunk));
    link.AppendSerialBytes(std::span<const uint8_t>(chunk, got));
    link.ParseSerialReply();
  }
  link.m_state_frame_handler = previous_handler;
  if (!content) Trace("wait time over");
  return content;
}

std::optional<std::vector<uint8_t>> FetchMultiviewerState(LinkState& link, bool udp_only) {
  if (udp_only || link.m_eState == kModeNetwork) return FetchMultiviewerStateUdp(link);
  return FetchMultiviewerStateSerial(link);
}

}  // namespace zv

// The framed binary message of every exchange with the multiviewer, the
// four-channel switcher and the production switcher, and of discovery:
//
//   A5 6C | length (2, LE) | type | id | link flag | 8 x 00 | 00 | command |
//   params (P) | checksum (2, LE) | AE
//
// The same frame travels as one UDP datagram or as bytes on the serial line;
// only the link flag differs. Nothing here knows a device family.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zv {

struct CommandFrame {
  static constexpr uint8_t kSync1 = 0xA5;
  static constexpr uint8_t kSync2 = 0x6C;
  static constexpr uint8_t kTail = 0xAE;
  static constexpr uint8_t kCommandGroup = 0x00;

  static constexpr size_t kOffsetSync1 = 0;
  static constexpr size_t kOffsetSync2 = 1;
  static constexpr size_t kOffsetLength = 2;
  static constexpr size_t kOffsetDeviceType = 4;
  static constexpr size_t kOffsetDeviceId = 5;
  static constexpr size_t kOffsetLinkFlag = 6;
  static constexpr size_t kOffsetReserved = 7;
  static constexpr size_t kReservedSize = 8;
  static constexpr size_t kOffsetCommandGroup = 15;
  static constexpr size_t kOffsetCommand = 16;
  static constexpr size_t kOffsetParams = 17;
  // A reply's device name starts here (discovery replies).
  static constexpr size_t kOffsetName = 18;

  // Sync (2) + length (2) + type, id, flag (3) + reserved (8) + group and
  // command (2) + checksum (2) + tail (1).
  static constexpr size_t kOverhead = 20;
  // Every sender builds its frame in a zeroed local buffer of this size.
  static constexpr size_t kSenderBufferSize = 1024;
};

inline constexpr uint8_t kLinkFlagSerial = 0;
inline constexpr uint8_t kLinkFlagUdp = 1;

inline constexpr uint8_t kCommandSetIp = 0x05;
inline constexpr uint8_t kCommandPayload = 0x1E;
inline constexpr uint8_t kCommandDiscovery = 0xFF;
inline constexpr uint8_t kCommandReadMultiviewerState = 0x32;
inline constexpr uint8_t kDiscoveryDeviceType = 0x81;
inline constexpr uint8_t kDiscoveryDeviceId = 0xFF;
inline constexpr uint8_t kMultiviewerDeviceType = 0xA1;

inline constexpr size_t kSetIpFrameLength = 32;
inline constexpr size_t kPayloadFrameOverhead = 28;
// The fixed bytes 18..24 of a payload frame, between the selector and the payload.
inline constexpr std::array<uint8_t, 7> kPayloadFramePrefix{0x01, 0x00, 0x01, 0x00,
                                                           0x01, 0x00, 0x01};

// 16-bit sum of `count` bytes taken as unsigned values, wrapping modulo 65536.
constexpr uint16_t FrameChecksum(const uint8_t* bytes, size_t count) {
  uint16_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum = static_cast<uint16_t>(sum + bytes[i]);
  return sum;
}

// Writes a frame with P = params.size() parameter bytes into `buffer` (at least
// 20 + P bytes) and returns its length, 20 + P.
constexpr size_t BuildCommandFrame(uint8_t* buffer, uint8_t device_type, uint8_t device_id,
                                   uint8_t link_flag, uint8_t command,
                                   std::span<const uint8_t> params = {}) {
  const size_t length = CommandFrame::kOverhead + params.size();
  buffer[CommandFrame::kOffsetSync1] = CommandFrame::kSync1;
  buffer[CommandFrame::kOffsetSync2] = CommandFrame::kSync2;
  buffer[CommandFrame::kOffsetLength] = static_cast<uint8_t>(length & 0xFF);
  buffer[CommandFrame::kOffsetLength + 1] = static_cast<uint8_t>((length >> 8) & 0xFF);
  buffer[CommandFrame::kOffsetDeviceType] = device_type;
  buffer[CommandFrame::kOffsetDeviceId] = device_id;
  buffer[CommandFrame::kOffsetLinkFlag] = link_flag;
  for (size_t i = 0; i < CommandFrame::kReservedSize; ++i)
    buffer[CommandFrame::kOffsetReserved + i] = 0;
  buffer[CommandFrame::kOffsetCommandGroup] = CommandFrame::kCommandGroup;
  buffer[CommandFrame::kOffsetCommand] = command;
  for (size_t i = 0; i < params.size(); ++i) buffer[CommandFrame::kOffsetParams + i] = params[i];
  const size_t checksum_at = CommandFrame::kOffsetParams + params.size();
  const uint16_t checksum = FrameChecksum(buffer, checksum_at);
  buffer[checksum_at] = static_cast<uint8_t>(checksum & 0xFF);
  buffer[checksum_at + 1] = static_cast<uint8_t>(checksum >> 8);
  buffer[checksum_at + 2] = CommandFrame::kTail;
  return length;
}

// The discovery query: command 0xFF, no parameters, addressed to type 0x81
// and identifier 0xFF instead of a chosen device.
constexpr std::array<uint8_t, CommandFrame::kOverhead> MakeDiscoveryQuery(uint8_t link_flag) {
  std::array<uint8_t, CommandFrame::kOverhead> frame{};
  BuildCommandFrame(frame.data(), kDiscoveryDeviceType, kDiscoveryDeviceId, link_flag,
                    kCommandDiscovery);
  return frame;
}
inline constexpr auto DISCOVERY_QUERY = MakeDiscoveryQuery(kLinkFlagUdp);
inline constexpr auto DISCOVERY_QUERY_SERIAL = MakeDiscoveryQuery(kLinkFlagSerial);

// Command 0x1E: byte 17 the caller's selector, bytes 18..24 the fixed prefix,
// then the payload. Returns payload.size() + 28. The two twins differ only in
// the link flag.
size_t BuildPayloadFrame(uint8_t* buffer, uint8_t device_type, uint8_t device_id,
                         uint8_t selector, std::span<const uint8_t> payload);
size_t BuildPayloadFrameSerial(uint8_t* buffer, uint8_t device_type, uint8_t device_id,
                               uint8_t selector, std::span<const uint8_t> payload);

// Command 0x05 with the new address, subnet mask and gateway, each first octet
// first; always sent by UDP. Returns 32.
size_t BuildSetIpFrame(uint8_t* buffer, uint8_t device_type, uint8_t device_id,
                       const std::array<uint8_t, 4>& ip, const std::array<uint8_t, 4>& mask,
                       const std::array<uint8_t, 4>& gateway);

// ---- reading replies --------------------------------------------------------

// The name marker: a '-' followed two positions later by another '-'. Returns
// every position p with 18 <= p < length - 3 where a marker starts; the name
// of each is the bytes 18 .. p - 1. Used on one network datagram (its length)
// and on a complete serial frame (its frame_length).
std::vector<size_t> FindNameMarkers(const uint8_t* frame, size_t length);

// A network discovery reply: one datagram whose first two bytes are the sync
// bytes and whose last byte is the tail. Names are the raw bytes before each
// marker, one character per byte.
struct DiscoveryReply {
  bool is_reply = false;
  uint8_t device_type = 0;
  uint8_t device_id = 0;
  std::vector<std::string> names;
};
DiscoveryReply ParseDiscoveryDatagram(const uint8_t* data, size_t length);

// What the serial frame scanner found in the accumulated bytes.
struct SerialScan {
  enum class Found { kNothing, kNames, kStateFrame };
  Found found = Found::kNothing;
  // The scanner's count: names counted in a discovery reply; 1 for a
  // multiviewer state frame from a multiviewer; otherwise 0.
  int result = 0;
  int name_count = 0;
  std::u16string last_name;  // name before the last marker, bytes widened
  // The complete frame found: the discovery reply (whose type and id the
  // device is addressed with) or the 0x32 frame for the multiviewer's
  // reply decoder.
  size_t frame_start = 0;
  size_t frame_length = 0;
  // The type byte of the last candidate whose header had arrived; the caller
  // stores it in m_main_com_dev_type.
  bool type_seen = false;
  uint8_t last_type = 0;
};

// Scans `count` accumulated serial bytes from the first one. A frame starts
// at A5 6C (an A5 in the place of the 6C ends that attempt). Every candidate's
// type byte is reported before its tail is judged. A candidate that has not
// fully arrived, is shorter than the smallest frame, or lacks the tail is
// skipped; a discovery reply (0xFF) or a state frame (0x32) ends the scan;
// any other complete frame is stepped over. Never reads outside the bytes
// given, whatever the length fields say.
SerialScan ScanSerialReply(const uint8_t* bytes, size_t count);

}  // namespace zv

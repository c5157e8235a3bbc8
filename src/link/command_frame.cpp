#include "link/command_frame.h"

namespace zv {
namespace {

size_t BuildPayloadFrameWithFlag(uint8_t* buffer, uint8_t device_type, uint8_t device_id,
                                 uint8_t link_flag, uint8_t selector,
                                 std::span<const uint8_t> payload) {
  // The selector, the fixed prefix and the payload are the frame's parameters.
  std::vector<uint8_t> params;
  params.reserve(1 + kPayloadFramePrefix.size() + payload.size());
  params.push_back(selector);
  params.insert(params.end(), kPayloadFramePrefix.begin(), kPayloadFramePrefix.end());
  params.insert(params.end(), payload.begin(), payload.end());
  return BuildCommandFrame(buffer, device_type, device_id, link_flag, kCommandPayload, params);
}

}  // namespace

size_t BuildPayloadFrame(uint8_t* buffer, uint8_t device_type, uint8_t device_id,
                         uint8_t selector, std::span<const uint8_t> payload) {
  return BuildPayloadFrameWithFlag(buffer, device_type, device_id, kLinkFlagUdp, selector,
                                   payload);
}

size_t BuildPayloadFrameSerial(uint8_t* buffer, uint8_t device_type, uint8_t device_id,
                               uint8_t selector, std::span<const uint8_t> payload) {
  return BuildPayloadFrameWithFlag(buffer, device_type, device_id, kLinkFlagSerial, selector,
                                   payload);
}

size_t BuildSetIpFrame(uint8_t* buffer, uint8_t device_type, uint8_t device_id,
                       const std::array<uint8_t, 4>& ip, const std::array<uint8_t, 4>& mask,
                       const std::array<uint8_t, 4>& gateway) {
  std::array<uint8_t, 12> params{};
  for (size_t i = 0; i < 4; ++i) {
    params[i] = ip[i];
    params[4 + i] = mask[i];
    params[8 + i] = gateway[i];
  }
  return BuildCommandFrame(buffer, device_type, device_id, kLinkFlagUdp, kCommandSetIp, params);
}

std::vector<size_t> FindNameMarkers(const uint8_t* frame, size_t length) {
  std::vector<size_t> markers;
  if (length < 3) return markers;
  for (size_t p = CommandFrame::kOffsetName; p < length - 3; ++p) {
    if (frame[p] == '-' && frame[p + 2] == '-') markers.push_back(p);
  }
  return markers;
}

DiscoveryReply ParseDiscoveryDatagram(const uint8_t* data, size_t length) {
  DiscoveryReply reply;
  if (length < CommandFrame::kOffsetDeviceId + 1) return reply;
  if (data[0] != CommandFrame::kSync1 || data[1] != CommandFrame::kSync2 ||
      data[length - 1] != CommandFrame::kTail)
    return reply;
  reply.is_reply = true;
  reply.device_type = data[CommandFrame::kOffsetDeviceType];
  reply.device_id = data[CommandFrame::kOffsetDeviceId];
  for (size_t p : FindNameMarkers(data, length)) {
    reply.names.emplace_back(reinterpret_cast<const char*>(data) + CommandFrame::kOffsetName,
                             p - CommandFrame::kOffsetName);
  }
  return reply;
}

SerialScan ScanSerialReply(const uint8_t* bytes, size_t count) {
  SerialScan scan;
  size_t i = 0;
  while (i < count) {
    if (bytes[i] != CommandFrame::kSync1) {
      ++i;
      continue;
    }
    if (i + 1 >= count) break;
    if (bytes[i + 1] != CommandFrame::kSync2) {
      // The byte after A5 was looked at as the second sync byte; even when it
      // is another A5 it does not start a new attempt.
      i += 2;
      continue;
    }
    const size_t s = i;
    // The header up to the type byte has not arrived yet: nothing to judge,
    // and a later call sees the whole frame from the first byte again.
    if (s + CommandFrame::kOffsetDeviceType >= count) break;
    const size_t length = static_cast<size_t>(bytes[s + CommandFrame::kOffsetLength]) |
                          (static_cast<size_t>(bytes[s + CommandFrame::kOffsetLength + 1]) << 8);
    scan.type_seen = true;
    scan.last_type = bytes[s + CommandFrame::kOffsetDeviceType];

    // A length below the smallest frame would put the tail before the
    // command byte (or before the frame itself): not a frame.
    if (length < CommandFrame::kOverhead || length > count - s ||
        bytes[s + length - 1] != CommandFrame::kTail) {
      i = s + 5;
      continue;
    }

    const uint8_t command = bytes[s + CommandFrame::kOffsetCommand];
    if (command == kCommandDiscovery) {
      for (size_t p : FindNameMarkers(bytes + s, length)) {
        scan.last_name.clear();
        for (size_t k = CommandFrame::kOffsetName; k < p; ++k)
          scan.last_name.push_back(static_cast<char16_t>(bytes[s + k]));
        ++scan.name_count;
      }
      scan.found = SerialScan::Found::kNames;
      scan.frame_start = s;
      scan.frame_length = length;
      scan.result = scan.name_count;
      return scan;
    }
    if (command == kCommandReadMultiviewerState) {
      scan.found = SerialScan::Found::kStateFrame;
      scan.frame_start = s;
      scan.frame_length = length;
      scan.result = scan.last_type == kMultiviewerDeviceType ? 1 : 0;
      return scan;
    }
    i = s + CommandFrame::kOffsetParams;
  }
  return scan;
}

}  // namespace zv

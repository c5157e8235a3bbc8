#include "monitor/frame_decode.h"

#include <arpa/inet.h>

#include <ctime>
#include <nlohmann/json.hpp>

#include "link/command_frame.h"
#include "link/link_state.h"
#include "registry/families.h"
#include "tally/tsl_umd.h"

namespace zv {
namespace {

bool IsText(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return false;
  for (const uint8_t b : bytes)
    if (b < 0x20 || b > 0x7E) return false;
  return true;
}

std::string Hex2(uint8_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

}  // namespace

const char* DeviceTypeName(uint8_t type) {
  const FamilyInfo* family = FamilyForType(type);
  return family ? family->name : "device";
}

const char* CommandName(uint8_t device_type, uint8_t command) {
  if (command == kCommandDiscovery) return "discovery";
  const FamilyInfo* family = FamilyForType(device_type);
  if (family && family->command_name)
    if (const char* name = family->command_name(command)) return name;
  // Commands every family that has them frames alike.
  if (command == kCommandSetIp) return "set IP";
  if (command == kCommandPayload) return "window label";
  return nullptr;
}

DecodedFrame DecodeFrame(std::span<const uint8_t> bytes) {
  DecodedFrame out;
  const size_t size = bytes.size();
  if (size >= 2 && bytes[0] == CommandFrame::kSync1 && bytes[1] == CommandFrame::kSync2) {
    out.kind = DecodedFrame::Kind::kCommandFrame;
    if (size > CommandFrame::kOffsetDeviceId) {
      out.has_header = true;
      out.device_type = bytes[CommandFrame::kOffsetDeviceType];
      out.device_id = bytes[CommandFrame::kOffsetDeviceId];
    }
    if (size > CommandFrame::kOffsetCommand) {
      out.has_command = true;
      out.command = bytes[CommandFrame::kOffsetCommand];
      const char* name = CommandName(out.device_type, out.command);
      out.name = name ? name : "unknown command";
    }
    if (size < CommandFrame::kOffsetLength + 2) {
      out.problem = "truncated";
      return out;
    }
    const size_t length = static_cast<size_t>(bytes[CommandFrame::kOffsetLength]) |
                          (static_cast<size_t>(bytes[CommandFrame::kOffsetLength + 1]) << 8);
    out.declared_length = length;
    if (length < CommandFrame::kOverhead) {
      out.problem = "too short";
      return out;
    }
    if (size < length) {
      out.problem = "truncated";
      return out;
    }
    const size_t checksum_at = length - 3;
    const uint16_t carried = static_cast<uint16_t>(bytes[checksum_at] | (bytes[checksum_at + 1] << 8));
    const bool sum_ok = FrameChecksum(bytes.data(), checksum_at) == carried;
    const bool tail_ok = bytes[length - 1] == CommandFrame::kTail;
    if (!sum_ok) {
      out.problem = "bad checksum";
    } else if (!tail_ok) {
      out.problem = "no tail";
    } else if (size > length) {
      out.problem = "extra bytes";
    }
    out.checksum_ok = out.problem.empty();
    return out;
  }
  if (IsText(bytes)) {
    out.kind = DecodedFrame::Kind::kText;
    out.name.assign(bytes.begin(), bytes.end());
    return out;
  }
  out.name = "no frame";
  out.problem = "no frame";
  return out;
}

DecodedFrame DecodeTapped(const TappedFrame& frame) {
  if (!frame.tsl) return DecodeFrame(frame.bytes);
  DecodedFrame out;
  out.kind = DecodedFrame::Kind::kTsl;
  TslProblem problem;
  if (const std::optional<TslDatagram> d = DecodeTslDatagram(frame.bytes, &problem)) {
    out.name = TslDatagramText(*d);
    out.has_header = true;
    out.device_type = d->version == TslVersion::k31 ? 31 : 50;
  } else {
    out.name = "refused";
    out.problem = problem.text;
  }
  return out;
}

ChecksumVerdict Checksum(const DecodedFrame& frame) {
  if (frame.kind == DecodedFrame::Kind::kText) return ChecksumVerdict::kNone;
  if (frame.kind == DecodedFrame::Kind::kTsl)
    return frame.problem.empty() ? ChecksumVerdict::kNone : ChecksumVerdict::kBad;
  return frame.checksum_ok ? ChecksumVerdict::kGood : ChecksumVerdict::kBad;
}

std::string ChecksumText(const DecodedFrame& frame) {
  switch (Checksum(frame)) {
    case ChecksumVerdict::kGood: return "good";
    case ChecksumVerdict::kNone: return frame.kind == DecodedFrame::Kind::kTsl ? "n/a (TSL)" : "n/a (text)";
    case ChecksumVerdict::kBad: break;
  }
  return "BAD: " + frame.problem;
}

std::string DeviceText(const DecodedFrame& frame) {
  if (frame.kind == DecodedFrame::Kind::kText) return "matrix router (text)";
  if (frame.kind == DecodedFrame::Kind::kTsl)
    return !frame.has_header ? "TSL UMD" : frame.device_type == 31 ? "TSL UMD 3.1" : "TSL UMD 5.0";
  if (!frame.has_header) return "";
  std::string text;
  if (frame.has_command && frame.command == kCommandDiscovery &&
      frame.device_type == kDiscoveryDeviceType && frame.device_id == kDiscoveryDeviceId)
    text = "all (discovery)";
  else
    text = DeviceTypeName(frame.device_type);
  return text + " " + Hex2(frame.device_type) + "/" + Hex2(frame.device_id);
}

std::string CommandText(const DecodedFrame& frame) {
  switch (frame.kind) {
    case DecodedFrame::Kind::kText: return "\"" + frame.name + "\"";
    case DecodedFrame::Kind::kUnframed: return frame.name;
    case DecodedFrame::Kind::kTsl: return frame.name;
    case DecodedFrame::Kind::kCommandFrame:
      if (!frame.has_command) return "(cut short)";
      return "0x" + Hex2(frame.command) + " " + frame.name;
  }
  return "";
}

std::string HexText(std::span<const uint8_t> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += ' ';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
  }
  return out;
}

std::string PeerText(const TappedFrame& frame) {
  if (frame.link == FrameLinkKind::kSerial) return frame.serial_port;
  return AddressText(frame.peer) + ":" + std::to_string(ntohs(frame.peer.sin_port));
}

std::string DirectionText(FrameDirection direction) {
  return direction == FrameDirection::kSent ? "sent" : "received";
}

std::string WallClockText(int64_t time_us) {
  const time_t seconds = static_cast<time_t>(time_us / 1'000'000);
  const int ms = static_cast<int>((time_us % 1'000'000) / 1000);
  tm utc{};
  gmtime_r(&seconds, &utc);
  char text[40];
  const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  char rest[8];
  std::snprintf(rest, sizeof rest, ".%03dZ", ms < 0 ? 0 : ms);
  return std::string(text, n) + rest;
}

std::string FrameJsonLine(const TappedFrame& frame) {
  const DecodedFrame d = DecodeTapped(frame);
  nlohmann::ordered_json j;
  j["time"] = WallClockText(frame.time_us);
  j["direction"] = DirectionText(frame.direction);
  j["link"] = frame.link == FrameLinkKind::kUdp ? "udp" : frame.link == FrameLinkKind::kTcp ? "tcp" : "serial";
  j["peer"] = PeerText(frame);
  if (frame.link != FrameLinkKind::kSerial)
    j["local_port"] = frame.local_port;
  else
    j["local_port"] = nullptr;
  if (d.has_header && d.kind != DecodedFrame::Kind::kTsl) {
    j["type"] = "0x" + Hex2(d.device_type);
    j["id"] = "0x" + Hex2(d.device_id);
  } else {
    j["type"] = nullptr;
    j["id"] = nullptr;
  }
  j["device"] = DeviceText(d);
  if (d.has_command)
    j["command"] = "0x" + Hex2(d.command);
  else
    j["command"] = nullptr;
  j["name"] = d.name;
  j["length"] = frame.bytes.size();
  if (d.kind == DecodedFrame::Kind::kTsl) {
    j["checksum_ok"] = Checksum(d) == ChecksumVerdict::kNone ? nlohmann::ordered_json() : nlohmann::ordered_json(false);
    j["tsl"] = true;
  } else if (Checksum(d) == ChecksumVerdict::kNone) {
    j["checksum_ok"] = nullptr;
    j["text"] = true;
  } else {
    j["checksum_ok"] = d.checksum_ok;
  }
  if (!d.problem.empty()) j["problem"] = d.problem;
  j["hex"] = HexText(frame.bytes);
  // Text from the wire may hold any byte: never let one stop the line.
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace zv

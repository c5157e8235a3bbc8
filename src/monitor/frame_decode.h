// What a frame on the wire says, for the frame monitor and the frame log:
// the device type and id, the command with its name from the family's own
// table, the checksum, or the text of a matrix router command. Any bytes at
// all decode, however short, long or garbled; nothing is read outside them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "link/frame_tap.h"

namespace zv {

struct DecodedFrame {
  enum class Kind {
    kCommandFrame,  // starts A5 6C with a whole header
    kText,          // printable text (the matrix router's commands)
    kUnframed,      // anything else
    kTsl,           // a TSL UMD packet (tally in or out)
  };
  Kind kind = Kind::kUnframed;
  bool has_header = false;  // type and id known
  uint8_t device_type = 0;
  uint8_t device_id = 0;
  bool has_command = false;
  uint8_t command = 0;
  // "program source", "discovery", the text itself, "unknown command" ...
  std::string name;
  size_t declared_length = 0;  // a frame's length field
  // True only for a frame of exactly its declared length whose tail is AE
  // and whose checksum matches the sum of the bytes before it.
  bool checksum_ok = false;
  // Empty for a sound frame; otherwise what is wrong ("truncated", "bad
  // checksum", "no tail", "extra bytes", "too short", "no frame").
  std::string problem;
};

DecodedFrame DecodeFrame(std::span<const uint8_t> bytes);
// A tapped frame: a TSL packet as TSL ("5.0 screen 0: index 3 left red ...",
// or what is wrong with it), anything else as DecodeFrame reads it.
DecodedFrame DecodeTapped(const TappedFrame& frame);

// A text command carries no checksum: it is neither good nor bad; nor is
// a TSL packet, unless it was refused.
enum class ChecksumVerdict { kGood, kBad, kNone };
ChecksumVerdict Checksum(const DecodedFrame& frame);

// "multiviewer", "matrix router", "four-channel switcher", "production
// switcher", "discovery"; "device" for a type nobody knows.
const char* DeviceTypeName(uint8_t type);
// A command's name in the family of `device_type`; nullptr when it has none.
const char* CommandName(uint8_t device_type, uint8_t command);

// How the monitor and the log show a frame's parts.
std::string DeviceText(const DecodedFrame& frame);   // "production switcher A5/01"
std::string CommandText(const DecodedFrame& frame);  // "0x80 program source", "\"3V1,4.\""
// "good", "BAD: bad checksum", "n/a (text)".
// "n/a (TSL)", or "BAD: <why>" for a refused TSL packet.
std::string ChecksumText(const DecodedFrame& frame);
std::string HexText(std::span<const uint8_t> bytes);  // "a5 6c 15 00 ..."
std::string PeerText(const TappedFrame& frame);      // "127.0.0.2:7000" or the port's path
std::string DirectionText(FrameDirection direction);  // "sent" / "received"
// Wall clock with milliseconds, UTC: "2026-12-09T18:40:01.123Z".
std::string WallClockText(int64_t time_us);

// One JSON object on one line (without the line end): time, direction,
// link, peer, local port, type, id, command, name, length, checksum, hex.
// A text command has "checksum_ok": null and "text": true; no other line
// has "text".
std::string FrameJsonLine(const TappedFrame& frame);

}  // namespace zv

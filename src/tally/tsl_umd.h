// TSL UMD, the tally and under-monitor-display protocol that switchers and
// tally controllers speak: version 3.1 (one fixed 18-byte packet per
// display) and version 5.0 (a packet of display messages for one screen,
// ASCII or UTF-16LE text, over UDP as it is and over TCP wrapped in DLE/STX
// with DLE stuffing). Decoders take any bytes at all and never read outside
// them, whatever the length fields say; what they refuse comes back with the
// kind of fault and a sentence saying why.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zv {

// A tally lamp as 5.0 carries it (2 bits).
enum class TslLamp : uint8_t { kOff = 0, kRed = 1, kGreen = 2, kAmber = 3 };
const char* TslLampName(TslLamp lamp);  // "off", "red", "green", "amber"

// Why a packet was refused. The listeners count each kind.
enum class TslFault : uint8_t {
  kShort,         // fewer bytes than the smallest packet of its kind
  kLength,        // a length field disagrees with the bytes that came
  kField,         // a field holds a value the protocol does not allow
  kText,          // the display text cannot be read (odd UTF-16 length)
  kStuffing,      // DLE followed by anything but DLE or STX inside a TCP packet
  kTooLong,       // more than the protocol's largest packet
  kNotTsl,        // bytes that have no TSL shape at all
  kCount
};
const char* TslFaultName(TslFault fault);  // "short", "length", ...

struct TslProblem {
  TslFault fault = TslFault::kNotTsl;
  std::string text;  // "PBC says 40 bytes follow, 18 came"
};

// ---- 3.1 -------------------------------------------------------------------------

inline constexpr size_t kTsl31Size = 18;
inline constexpr int kTsl31MaxAddress = 126;
inline constexpr size_t kTsl31TextSize = 16;

struct Tsl31Message {
  uint8_t address = 0;             // 0..126 (the header byte is 0x80 + address)
  std::array<bool, 4> tally{};     // tally 1..4
  uint8_t brightness = 3;          // 0..3
  std::string text;                // the 16 characters as sent (ASCII; others as '?')
  bool operator==(const Tsl31Message&) const = default;
};

std::optional<Tsl31Message> DecodeTsl31(std::span<const uint8_t> bytes, TslProblem* problem);
// 18 bytes; the text is cut to 16 characters or padded with spaces, and a
// character outside printable ASCII goes as '?'. The address is taken
// modulo 127 and the brightness modulo 4, so every message encodes.
std::vector<uint8_t> EncodeTsl31(const Tsl31Message& message);

// ---- 5.0 -------------------------------------------------------------------------

inline constexpr size_t kTsl50MaxPacket = 2048;  // PBC and all
inline constexpr size_t kTsl50HeaderSize = 6;    // PBC, VER, FLAGS, SCREEN
inline constexpr uint16_t kTsl50Broadcast = 0xFFFF;
inline constexpr uint8_t kTslDle = 0xFE;
inline constexpr uint8_t kTslStx = 0x02;

struct Tsl50Display {
  uint16_t index = 0;
  TslLamp right = TslLamp::kOff;
  TslLamp text_tally = TslLamp::kOff;
  TslLamp left = TslLamp::kOff;
  uint8_t brightness = 3;  // 0..3
  std::string text;        // UTF-8, as decoded from ASCII or UTF-16LE
  bool operator==(const Tsl50Display&) const = default;
};

struct Tsl50Packet {
  uint8_t version = 0;   // the minor version: 0 for 5.0
  bool unicode = false;  // text as UTF-16LE, else one byte a character
  uint16_t screen = 0;
  std::vector<Tsl50Display> displays;
  // A display message whose control-data bit was set ends the packet for
  // us: what such data holds is not defined, so what follows is not read.
  bool control_data = false;
  bool operator==(const Tsl50Packet&) const = default;
};

// One unstuffed packet: PBC must equal the bytes that follow it, and every
// display message must lie whole within them. Screen-control packets
// (FLAGS bit 1) carry no display data and are refused as such.
std::optional<Tsl50Packet> DecodeTsl50(std::span<const uint8_t> bytes, TslProblem* problem);
// The packet's bytes (unstuffed). Text goes as UTF-16LE when `unicode`, else
// one byte a character (a character above U+00FF as '?'); a text is cut to
// what fits in the largest packet. Nothing when the displays alone do not
// fit in kTsl50MaxPacket.
std::optional<std::vector<uint8_t>> EncodeTsl50(const Tsl50Packet& packet);
// DLE STX, then the packet with every DLE doubled: the TCP form.
std::vector<uint8_t> StuffTsl50(std::span<const uint8_t> packet);

// ---- by shape ----------------------------------------------------------------------

enum class TslVersion : uint8_t { k31, k50 };

struct TslDatagram {
  TslVersion version = TslVersion::k50;
  Tsl31Message v31;
  Tsl50Packet v50;
};

// A UDP datagram of either version, told apart by its shape: 18 bytes whose
// first has the top bit set are 3.1; anything else is 5.0, as it is or
// wrapped in DLE/STX (a wrapped 5.0 packet wins over a 3.1 reading of the
// same 18 bytes, which would otherwise be an address 126 message).
std::optional<TslDatagram> DecodeTslDatagram(std::span<const uint8_t> bytes, TslProblem* problem);

// The 5.0 packets of a TCP stream, taken from the DLE/STX form as the bytes
// come in whatever pieces. Bytes outside a packet are dropped and counted;
// a bad stuffing or a packet longer than kTsl50MaxPacket is refused and the
// stream picks up again at the next DLE STX. Holds at most one packet.
class Tsl50StreamReader {
 public:
  struct Result {
    std::optional<Tsl50Packet> packet;
    TslProblem problem;         // when there is no packet
    std::vector<uint8_t> wire;  // the packet's bytes as they came, DLE STX first
  };
  std::vector<Result> Feed(std::span<const uint8_t> bytes);
  uint64_t StrayBytes() const { return m_stray; }
  size_t Held() const { return m_packet.size(); }

 private:
  enum class State { kOutside, kOutsideDle, kInside, kInsideDle };
  void Finish(std::vector<Result>* out);
  State m_state = State::kOutside;
  std::vector<uint8_t> m_packet;  // unstuffed
  std::vector<uint8_t> m_wire;    // as it came
  uint64_t m_stray = 0;
};

// One line for people: "3.1 address 5 tally 1+3 \"CAM 5\"",
// "5.0 screen 0: index 3 left red text off right off \"CAM 3\"".
std::string TslDatagramText(const TslDatagram& datagram);

// Text for a label from what a display sends: control characters removed
// (below U+0020, U+007F to U+009F), blanks at either end trimmed, and cut to
// `max_units` UTF-16 code units without splitting a pair.
std::string TslLabelText(const std::string& utf8, size_t max_units);

}  // namespace zv

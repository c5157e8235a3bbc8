#include "tally/tsl_umd.h"

#include <algorithm>

#include "multiview/multiview_setup.h"

namespace zv {

namespace {

std::nullopt_t Refuse(TslProblem* problem, TslFault fault, std::string text) {
  if (problem) *problem = {fault, std::move(text)};
  return std::nullopt;
}

uint16_t Le16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

void PutLe16(std::vector<uint8_t>& out, size_t at, size_t value) {
  out[at] = static_cast<uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

// One byte a character: UTF-8 when the bytes are valid UTF-8 (senders that
// build their packets from a string put it there), else Latin-1.
std::string ByteText(std::span<const uint8_t> bytes) {
  std::string raw(bytes.begin(), bytes.end());
  if (Utf8ToUtf16(raw)) return raw;
  std::u16string latin(bytes.begin(), bytes.end());
  return Utf16ToUtf8(latin);
}

// Code points of UTF-8 text that was checked or made by us; an invalid
// byte counts as U+FFFD.
std::u16string Units(const std::string& utf8) {
  if (std::optional<std::u16string> units = Utf8ToUtf16(utf8)) return *units;
  std::u16string out;
  for (const char c : utf8) out += static_cast<uint8_t>(c) < 0x80 ? static_cast<char16_t>(c) : u'\uFFFD';
  return out;
}

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

const char* TslLampName(TslLamp lamp) {
  switch (lamp) {
    case TslLamp::kOff: return "off";
    case TslLamp::kRed: return "red";
    case TslLamp::kGreen: return "green";
    case TslLamp::kAmber: return "amber";
  }
  return "off";
}

const char* TslFaultName(TslFault fault) {
  static constexpr const char* kNames[] = {"short", "length", "field", "text", "stuffing", "too long", "not TSL"};
  const auto i = static_cast<size_t>(fault);
  return i < std::size(kNames) ? kNames[i] : "?";
}

// ---- 3.1 ---------------------------------------------------------------------------

std::optional<Tsl31Message> DecodeTsl31(std::span<const uint8_t> bytes, TslProblem* problem) {
  if (bytes.size() < kTsl31Size)
    return Refuse(problem, TslFault::kShort, "a 3.1 packet is 18 bytes, " + std::to_string(bytes.size()) + " came");
  if (bytes.size() > kTsl31Size)
    return Refuse(problem, TslFault::kLength, "a 3.1 packet is 18 bytes, " + std::to_string(bytes.size()) + " came");
  if ((bytes[0] & 0x80) == 0)
    return Refuse(problem, TslFault::kField, "the 3.1 header byte lacks its top bit");
  const int address = bytes[0] - 0x80;
  if (address > kTsl31MaxAddress) return Refuse(problem, TslFault::kField, "3.1 address 127 does not exist");
  if ((bytes[1] & 0x80) != 0)
    return Refuse(problem, TslFault::kField, "the 3.1 control byte has its top bit set");
  Tsl31Message m;
  m.address = static_cast<uint8_t>(address);
  for (size_t i = 0; i < 4; ++i) m.tally[i] = (bytes[1] >> i) & 1;
  m.brightness = (bytes[1] >> 4) & 3;
  for (size_t i = 2; i < kTsl31Size; ++i) {
    const uint8_t c = bytes[i];
    m.text += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : c == 0 ? ' ' : '?';
  }
  return m;
}

std::vector<uint8_t> EncodeTsl31(const Tsl31Message& message) {
  std::vector<uint8_t> out(kTsl31Size, ' ');
  out[0] = static_cast<uint8_t>(0x80 + message.address % (kTsl31MaxAddress + 1));
  uint8_t control = static_cast<uint8_t>((message.brightness & 3) << 4);
  for (size_t i = 0; i < 4; ++i)
    if (message.tally[i]) control |= static_cast<uint8_t>(1 << i);
  out[1] = control;
  const std::u16string units = Units(message.text);
  for (size_t i = 0; i < kTsl31TextSize && i < units.size(); ++i)
    out[2 + i] = units[i] >= 0x20 && units[i] < 0x7F ? static_cast<uint8_t>(units[i]) : '?';
  return out;
}

// ---- 5.0 ---------------------------------------------------------------------------

std::optional<Tsl50Packet> DecodeTsl50(std::span<const uint8_t> bytes, TslProblem* problem) {
  if (bytes.size() > kTsl50MaxPacket)
    return Refuse(problem, TslFault::kTooLong,
                  "a 5.0 packet is at most 2048 bytes, " + std::to_string(bytes.size()) + " came");
  if (bytes.size() < kTsl50HeaderSize)
    return Refuse(problem, TslFault::kShort,
                  "a 5.0 packet has a 6-byte header, " + std::to_string(bytes.size()) + " bytes came");
  const size_t pbc = Le16(bytes, 0);
  if (pbc != bytes.size() - 2)
    return Refuse(problem, TslFault::kLength,
                  "PBC says " + std::to_string(pbc) + " bytes follow, " + std::to_string(bytes.size() - 2) + " came");
  Tsl50Packet p;
  p.version = bytes[2];
  const uint8_t flags = bytes[3];
  p.unicode = (flags & 1) != 0;
  if ((flags & 2) != 0) return Refuse(problem, TslFault::kField, "a screen-control packet carries no display data");
  p.screen = Le16(bytes, 4);
  size_t at = kTsl50HeaderSize;
  while (at < bytes.size()) {
    const size_t left = bytes.size() - at;
    if (left < 4)
      return Refuse(problem, TslFault::kLength,
                    std::to_string(left) + " bytes after the last display message make no message");
    Tsl50Display d;
    d.index = Le16(bytes, at);
    const uint16_t control = Le16(bytes, at + 2);
    d.right = static_cast<TslLamp>(control & 3);
    d.text_tally = static_cast<TslLamp>((control >> 2) & 3);
    d.left = static_cast<TslLamp>((control >> 4) & 3);
    d.brightness = static_cast<uint8_t>((control >> 6) & 3);
    if ((control & 0x8000) != 0) {
      // Control data, whose form is not defined: nothing after it is read.
      p.control_data = true;
      break;
    }
    if (left < 6)
      return Refuse(problem, TslFault::kLength,
                    "display message of index " + std::to_string(d.index) + " has no length field");
    const size_t length = Le16(bytes, at + 4);
    if (length > left - 6)
      return Refuse(problem, TslFault::kLength,
                    "display text of index " + std::to_string(d.index) + " says " + std::to_string(length) +
                        " bytes, " + std::to_string(left - 6) + " are left");
    const std::span<const uint8_t> text = bytes.subspan(at + 6, length);
    if (p.unicode) {
      if (length % 2 != 0)
        return Refuse(problem, TslFault::kText,
                      "UTF-16 text of index " + std::to_string(d.index) + " has an odd length " +
                          std::to_string(length));
      std::u16string units;
      for (size_t i = 0; i < length; i += 2) units += static_cast<char16_t>(text[i] | (text[i + 1] << 8));
      d.text = Utf16ToUtf8(units);
    } else {
      d.text = ByteText(text);
    }
    p.displays.push_back(std::move(d));
    at += 6 + length;
  }
  if (p.displays.empty() && !p.control_data)
    return Refuse(problem, TslFault::kShort, "a 5.0 packet without a display message");
  return p;
}

std::optional<std::vector<uint8_t>> EncodeTsl50(const Tsl50Packet& packet) {
  std::vector<uint8_t> out(kTsl50HeaderSize, 0);
  out[2] = packet.version;
  out[3] = packet.unicode ? 1 : 0;
  PutLe16(out, 4, packet.screen);
  if (kTsl50HeaderSize + 6 * packet.displays.size() > kTsl50MaxPacket) return std::nullopt;
  size_t room = kTsl50MaxPacket - kTsl50HeaderSize - 6 * packet.displays.size();
  for (const Tsl50Display& d : packet.displays) {
    const size_t at = out.size();
    out.resize(at + 6);
    PutLe16(out, at, d.index);
    const unsigned control = static_cast<unsigned>(d.right) | static_cast<unsigned>(d.text_tally) << 2 |
                             static_cast<unsigned>(d.left) << 4 | (d.brightness & 3u) << 6;
    PutLe16(out, at + 2, control);
    const std::u16string units = Units(d.text);
    std::vector<uint8_t> text;
    for (size_t i = 0; i < units.size(); ++i) {
      if (packet.unicode) {
        // A pair is not split by the cut.
        const size_t need = units[i] >= 0xD800 && units[i] < 0xDC00 && i + 1 < units.size() ? 4 : 2;
        if (text.size() + need > room) break;
        for (size_t k = 0; k < need / 2; ++k) {
          text.push_back(static_cast<uint8_t>(units[i + k] & 0xFF));
          text.push_back(static_cast<uint8_t>(units[i + k] >> 8));
        }
        i += need / 2 - 1;
      } else {
        if (text.size() + 1 > room) break;
        if (units[i] >= 0xD800 && units[i] < 0xDC00 && i + 1 < units.size()) ++i;  // one '?' for a pair
        text.push_back(units[i] <= 0xFF ? static_cast<uint8_t>(units[i]) : '?');
      }
    }
    room -= text.size();
    PutLe16(out, at + 4, text.size());
    out.insert(out.end(), text.begin(), text.end());
  }
  PutLe16(out, 0, out.size() - 2);
  return out;
}

std::vector<uint8_t> StuffTsl50(std::span<const uint8_t> packet) {
  std::vector<uint8_t> out{kTslDle, kTslStx};
  out.reserve(2 + packet.size() * 2);
  for (const uint8_t b : packet) {
    out.push_back(b);
    if (b == kTslDle) out.push_back(kTslDle);
  }
  return out;
}

// ---- by shape ------------------------------------------------------------------------

namespace {

// The packet inside DLE STX ...; nothing when the stuffing is bad.
std::optional<std::vector<uint8_t>> Unstuff(std::span<const uint8_t> bytes, TslProblem* problem) {
  std::vector<uint8_t> out;
  for (size_t i = 2; i < bytes.size(); ++i) {
    if (bytes[i] != kTslDle) {
      out.push_back(bytes[i]);
    } else if (i + 1 < bytes.size() && bytes[i + 1] == kTslDle) {
      out.push_back(kTslDle);
      ++i;
    } else {
      return Refuse(problem, TslFault::kStuffing,
                    "DLE at byte " + std::to_string(i) + " is not followed by DLE");
    }
  }
  return out;
}

}  // namespace

std::optional<TslDatagram> DecodeTslDatagram(std::span<const uint8_t> bytes, TslProblem* problem) {
  TslDatagram d;
  if (bytes.size() >= 2 && bytes[0] == kTslDle && bytes[1] == kTslStx) {
    TslProblem wrapped_problem;
    if (std::optional<std::vector<uint8_t>> packet = Unstuff(bytes, &wrapped_problem)) {
      if (std::optional<Tsl50Packet> p = DecodeTsl50(*packet, &wrapped_problem)) {
        d.version = TslVersion::k50;
        d.v50 = std::move(*p);
        return d;
      }
    }
    if (bytes.size() != kTsl31Size) return Refuse(problem, wrapped_problem.fault, wrapped_problem.text);
  }
  if (bytes.size() == kTsl31Size && (bytes[0] & 0x80) != 0) {
    std::optional<Tsl31Message> m = DecodeTsl31(bytes, problem);
    if (!m) return std::nullopt;
    d.version = TslVersion::k31;
    d.v31 = std::move(*m);
    return d;
  }
  if (bytes.size() < 2) return Refuse(problem, TslFault::kShort, "a datagram of " + std::to_string(bytes.size()) +
                                                                     " bytes is no TSL packet");
  std::optional<Tsl50Packet> p = DecodeTsl50(bytes, problem);
  if (!p) return std::nullopt;
  d.version = TslVersion::k50;
  d.v50 = std::move(*p);
  return d;
}

std::vector<Tsl50StreamReader::Result> Tsl50StreamReader::Feed(std::span<const uint8_t> bytes) {
  std::vector<Result> out;
  const auto refuse = [&](TslFault fault, std::string text) {
    out.push_back({std::nullopt, {fault, std::move(text)}, std::move(m_wire)});
    m_packet.clear();
    m_wire.clear();
  };
  for (const uint8_t b : bytes) {
    const bool inside = m_state == State::kInside || m_state == State::kInsideDle;
    if (inside) m_wire.push_back(b);
    switch (m_state) {
      case State::kOutside:
        if (b == kTslDle) {
          m_state = State::kOutsideDle;
        } else {
          ++m_stray;
        }
        break;
      case State::kOutsideDle:
        if (b == kTslStx) {
          m_state = State::kInside;
          m_packet.clear();
          m_wire = {kTslDle, kTslStx};
        } else if (b == kTslDle) {
          ++m_stray;  // the second DLE may start a packet
        } else {
          m_stray += 2;
          m_state = State::kOutside;
        }
        break;
      case State::kInside:
        if (b == kTslDle) {
          m_state = State::kInsideDle;
        } else {
          m_packet.push_back(b);
        }
        break;
      case State::kInsideDle:
        if (b == kTslDle) {
          m_packet.push_back(kTslDle);
          m_state = State::kInside;
        } else if (b == kTslStx) {
          // A new packet starts before this one was whole.
          m_wire.resize(m_wire.size() - 2);
          refuse(TslFault::kLength,
                 "a packet of " + std::to_string(m_packet.size()) + " bytes ended before its PBC said");
          m_wire = {kTslDle, kTslStx};
          m_state = State::kInside;
          continue;
        } else {
          refuse(TslFault::kStuffing, "DLE inside a packet followed by " + std::to_string(b) + ", not DLE or STX");
          m_state = State::kOutside;
          continue;
        }
        break;
    }
    if (m_state == State::kInside) Finish(&out);
  }
  return out;
}

void Tsl50StreamReader::Finish(std::vector<Result>* out) {
  if (m_packet.size() < 2) return;
  const size_t pbc = m_packet[0] | (m_packet[1] << 8);
  if (pbc + 2 > kTsl50MaxPacket) {
    out->push_back({std::nullopt,
                    {TslFault::kTooLong, "PBC says " + std::to_string(pbc) + " bytes follow, more than a packet holds"},
                    std::move(m_wire)});
    m_packet.clear();
    m_wire.clear();
    m_state = State::kOutside;
    return;
  }
  if (m_packet.size() < pbc + 2) return;
  Result r;
  r.packet = DecodeTsl50(m_packet, &r.problem);
  r.wire = std::move(m_wire);
  out->push_back(std::move(r));
  m_packet.clear();
  m_wire.clear();
  m_state = State::kOutside;
}

std::string TslDatagramText(const TslDatagram& d) {
  if (d.version == TslVersion::k31) {
    std::string tallies;
    for (size_t i = 0; i < 4; ++i)
      if (d.v31.tally[i]) tallies += (tallies.empty() ? "" : "+") + std::to_string(i + 1);
    return "3.1 address " + std::to_string(d.v31.address) + " tally " + (tallies.empty() ? "none" : tallies) + " " +
           Quoted(d.v31.text);
  }
  std::string s = "5.0 screen " + std::to_string(d.v50.screen) + (d.v50.unicode ? " UTF-16" : "") + ":";
  bool first = true;
  for (const Tsl50Display& m : d.v50.displays) {
    s += std::string(first ? " " : "; ") + "index " + std::to_string(m.index) + " left " + TslLampName(m.left) +
         " text " + TslLampName(m.text_tally) + " right " + TslLampName(m.right) + " " + Quoted(m.text);
    first = false;
  }
  if (d.v50.control_data) s += first ? " control data" : "; control data";
  return s;
}

std::string TslLabelText(const std::string& utf8, size_t max_units) {
  std::u16string units;
  for (const char16_t c : Units(utf8))
    if (!IsControl(c)) units += c;
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\u00A0' || c == u'\u3000'; };
  while (!units.empty() && blank(units.back())) units.pop_back();
  size_t start = 0;
  while (start < units.size() && blank(units[start])) ++start;
  units.erase(0, start);
  if (units.size() > max_units) {
    size_t cut = max_units;
    if (cut > 0 && units[cut - 1] >= 0xD800 && units[cut - 1] < 0xDC00) --cut;
    units.resize(cut);
  }
  return Utf16ToUtf8(units);
}

}  // namespace zv

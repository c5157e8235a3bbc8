// The command frames a virtual device logged, as "command params" pairs of
// hex ("0x1e", "03010001000100014300"), in the order it received them; the
// discovery queries of DeviceHasLoggedAll, the tests' own, left out.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "sim/device_sim.h"

namespace zv::test {

struct SimFrame {
  std::string command;
  std::string params;
  bool operator==(const SimFrame&) const = default;
  friend void PrintTo(const SimFrame& f, std::ostream* os) { *os << f.command << " " << f.params; }
};

inline std::vector<SimFrame> FramesOf(const sim::DeviceSim& sim, const std::string& device,
                                      size_t from_line = 0) {
  std::vector<SimFrame> out;
  const std::vector<std::string> lines = sim.LogLines();
  for (size_t i = from_line; i < lines.size(); ++i) {
    const nlohmann::json j = nlohmann::json::parse(lines[i], nullptr, false);
    if (j.is_discarded() || j.value("device", "") != device || !j.contains("command") ||
        j.value("command", "") == "0xff")
      continue;
    out.push_back({j.value("command", ""), j.value("params", "")});
  }
  return out;
}

// The label frame's parameters: the window, the fixed prefix and the text
// as UTF-16LE (ASCII text here).
inline std::string LabelParams(int window, const std::string& ascii) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  const auto put = [&](uint8_t b) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  };
  put(static_cast<uint8_t>(window));
  for (uint8_t b : {0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01}) put(b);
  for (char c : ascii) {
    put(static_cast<uint8_t>(c));
    put(0);
  }
  return hex;
}

inline std::string TwoBytes(int a, int b) {
  char text[8];
  std::snprintf(text, sizeof text, "%02x%02x", a & 0xFF, b & 0xFF);
  return text;
}

}  // namespace zv::test

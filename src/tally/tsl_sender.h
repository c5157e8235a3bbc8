// TSL UMD out: the production switcher's tally, source by source, to the
// tally displays and controllers given by --tsl-send. Each source mapped to
// a multiviewer input is one display: index (5.0, screen 0) or address
// (3.1) = the source's number, its text the source's name from the mapping,
// red while it is on programme (not while faded to black), green while on
// preview. 5.0 lights all three lamps (left, text, right) alike; 3.1 uses
// tally 1 for programme and tally 2 for preview. A source whose tally
// changes is sent at once, and every source once a second, so a display
// that starts late, or lost a datagram, has it within a second.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "session/session_clock.h"
#include "tally/tally_map.h"
#include "tally/tsl_umd.h"

namespace zv {

class SwitcherSession;

struct TslTarget {
  std::string host;  // dotted quad
  uint16_t port = 0;
  bool operator==(const TslTarget&) const = default;
};
// "HOST:PORT" with an IPv4 address and a port 1-65535; nothing, with a
// sentence, for anything else.
std::optional<TslTarget> ParseTslTarget(const std::string& text, std::string* error);

class TslSender {
 public:
  TslSender(std::vector<TslTarget> targets, TslVersion version, TallyMap map, SessionClock& clock);
  ~TslSender();
  TslSender(const TslSender&) = delete;
  TslSender& operator=(const TslSender&) = delete;

  // False with *error when the socket cannot be had.
  bool Start(std::string* error);
  // The switcher whose buses are sent; null for none (every source off).
  void SetSwitcher(SwitcherSession* session);
  // New source rows: which sources are sent and their names, every one
  // sent again at once.
  void SetSources(std::vector<TallySourceRow> sources);

  // The packets for the sources given (every mapped source when empty).
  std::vector<std::vector<uint8_t>> Packets(const std::vector<int>& sources = {}) const;
  uint64_t Sent() const { return m_sent; }
  uint64_t Failed() const { return m_failed; }

  static constexpr int kRepeatMs = 1000;

 private:
  TslLamp LampOf(int source) const;
  void Changed();
  void SendAll();
  void Send(const std::vector<int>& sources);

  std::vector<TslTarget> m_targets;
  TslVersion m_version;
  TallyMap m_map;
  SessionClock& m_clock;
  int m_timer = 0;
  int m_fd = -1;
  uint16_t m_local_port = 0;
  SwitcherSession* m_switcher = nullptr;
  int m_switcher_token = 0;
  std::map<int, TslLamp> m_last;  // by source, as last sent
  uint64_t m_sent = 0, m_failed = 0;
};

}  // namespace zv

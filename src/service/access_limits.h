// Limits on who may ask the service: addresses that keep failing to
// authenticate are shut out for a while, and OSC is taken only from
// listed networks.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zv {

// Repeated authentication failures from one address: after `max_failures` within `window`, the
// address is refused for `block` (every attempt while blocked is refused without checking the token).
// Bounded memory: at most `max_peers` addresses tracked (oldest forgotten).
class FailureLimiter {
 public:
  using Clock = std::chrono::steady_clock;
  FailureLimiter(int max_failures = 10, std::chrono::seconds window = std::chrono::seconds(60),
                 std::chrono::seconds block = std::chrono::seconds(60), size_t max_peers = 4096);
  bool Blocked(const std::string& peer, Clock::time_point now);
  // Counts a failure; true when this failure blocks the address (log it once).
  bool Failed(const std::string& peer, Clock::time_point now);
  // How many addresses are tracked now.
  size_t Tracked() const { return m_peers.size(); }

 private:
  struct Peer {
    std::vector<Clock::time_point> failures;  // within the window, oldest first
    std::optional<Clock::time_point> blocked_until;
    std::list<std::string>::iterator age;  // place in m_order
  };
  Peer& Track(const std::string& peer);
  void Prune(Peer& peer, Clock::time_point now) const;

  int m_max_failures;
  Clock::duration m_window, m_block;
  size_t m_max_peers;
  std::unordered_map<std::string, Peer> m_peers;
  std::list<std::string> m_order;  // least recently failed first
};

// IPv4 networks, "127.0.0.0/8,10.1.2.0/24" (a bare address is /32).
class CidrList {
 public:
  // Networks separated by commas (spaces around them allowed). The address of
  // a network may not have bits set outside its prefix ("10.1.2.3/24" is refused).
  static std::optional<CidrList> Parse(std::string_view text, std::string* error);
  static CidrList Loopback();  // 127.0.0.0/8
  bool Contains(uint32_t address_host_order) const;
  std::string Text() const;

 private:
  struct Net {
    uint32_t address;
    int prefix;
  };
  std::vector<Net> m_nets;
};

}  // namespace zv

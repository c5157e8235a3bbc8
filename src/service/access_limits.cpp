#include "service/access_limits.h"

#include <algorithm>
#include <charconv>

#include "link/local_networks.h"

namespace zv {

FailureLimiter::FailureLimiter(int max_failures, std::chrono::seconds window, std::chrono::seconds block,
                               size_t max_peers)
    : m_max_failures(std::max(1, max_failures)),
      m_window(window),
      m_block(block),
      m_max_peers(std::max<size_t>(1, max_peers)) {}

void FailureLimiter::Prune(Peer& peer, Clock::time_point now) const {
  if (peer.blocked_until && now >= *peer.blocked_until) peer.blocked_until.reset();
  const auto first_kept = std::find_if(peer.failures.begin(), peer.failures.end(),
                                       [&](Clock::time_point t) { return now - t < m_window; });
  peer.failures.erase(peer.failures.begin(), first_kept);
}

bool FailureLimiter::Blocked(const std::string& peer, Clock::time_point now) {
  const auto it = m_peers.find(peer);
  if (it == m_peers.end()) return false;
  Prune(it->second, now);
  if (it->second.blocked_until) return true;
  if (it->second.failures.empty()) {
    m_order.erase(it->second.age);
    m_peers.erase(it);
  }
  return false;
}

FailureLimiter::Peer& FailureLimiter::Track(const std::string& peer) {
  auto it = m_peers.find(peer);
  if (it != m_peers.end()) {
    m_order.splice(m_order.end(), m_order, it->second.age);
    return it->second;
  }
  if (m_peers.size() >= m_max_peers) {
    m_peers.erase(m_order.front());
    m_order.pop_front();
  }
  m_order.push_back(peer);
  Peer& added = m_peers[peer];
  added.age = std::prev(m_order.end());
  return added;
}

bool FailureLimiter::Failed(const std::string& peer, Clock::time_point now) {
  Peer& p = Track(peer);
  Prune(p, now);
  if (p.blocked_until) return false;  // already blocked: said once
  p.failures.push_back(now);
  if (static_cast<int>(p.failures.size()) < m_max_failures) return false;
  p.failures.clear();
  p.blocked_until = now + m_block;
  return true;
}

namespace {

// A strict dotted quad in host order (local_networks.h's rule).
std::optional<uint32_t> Address(std::string_view text) {
  uint32_t address = 0;
  if (text.empty() || text.size() > 15 || !ParseIpv4(std::string(text), &address)) return std::nullopt;
  return address;
}

uint32_t Mask(int prefix) { return prefix == 0 ? 0 : ~uint32_t{0} << (32 - prefix); }

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.push_back('"');
  quoted.append(text);
  quoted.push_back('"');
  return quoted;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<CidrList> CidrList::Parse(std::string_view text, std::string* error) {
  CidrList list;
  if (Trim(text).empty()) {
    *error = "no networks given (write one like 127.0.0.0/8 or 192.168.1.20)";
    return std::nullopt;
  }
  while (true) {
    const size_t comma = text.find(',');
    const std::string_view item = Trim(text.substr(0, comma));
    const size_t slash = item.find('/');
    const std::optional<uint32_t> address = Address(item.substr(0, slash));
    int prefix = 32;
    bool ok = address.has_value();
    if (ok && slash != std::string_view::npos) {
      const std::string_view bits = item.substr(slash + 1);
      const auto [end, ec] = std::from_chars(bits.data(), bits.data() + bits.size(), prefix);
      ok = ec == std::errc() && end == bits.data() + bits.size() && !bits.empty() && prefix >= 0 && prefix <= 32 &&
           (bits.size() == 1 || bits[0] != '0');
    }
    if (!ok) {
      *error = Quoted(item) + " is not a network (write one like 127.0.0.0/8 or 192.168.1.20)";
      return std::nullopt;
    }
    if ((*address & ~Mask(prefix)) != 0) {
      *error = Quoted(item) + " has address bits outside its /" + std::to_string(prefix) +
               " (did you mean " + Ipv4Text(*address & Mask(prefix)) + "/" + std::to_string(prefix) + "?)";
      return std::nullopt;
    }
    list.m_nets.push_back({*address, prefix});
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return list;
}

CidrList CidrList::Loopback() {
  CidrList list;
  list.m_nets.push_back({0x7F000000u, 8});
  return list;
}

bool CidrList::Contains(uint32_t address) const {
  for (const Net& net : m_nets)
    if ((address & Mask(net.prefix)) == net.address) return true;
  return false;
}

std::string CidrList::Text() const {
  std::string text;
  for (const Net& net : m_nets) {
    if (!text.empty()) text += ',';
    text += Ipv4Text(net.address) + "/" + std::to_string(net.prefix);
  }
  return text;
}

}  // namespace zv

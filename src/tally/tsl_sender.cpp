#include "tally/tsl_sender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/frame_tap.h"
#include "link/local_networks.h"
#include "switcher/switcher_session.h"

namespace zv {

std::optional<TslTarget> ParseTslTarget(const std::string& text, std::string* error) {
  const size_t colon = text.rfind(':');
  uint32_t address = 0;
  const auto bad = [&](const std::string& why) -> std::optional<TslTarget> {
    if (error) *error = "\"" + text + "\" " + why;
    return std::nullopt;
  };
  if (colon == std::string::npos) return bad("is not HOST:PORT");
  TslTarget t;
  t.host = text.substr(0, colon);
  if (!ParseIpv4(t.host, &address)) return bad("does not start with an IPv4 address");
  const std::string port = text.substr(colon + 1);
  if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
    return bad("does not end with a port number");
  const int value = std::stoi(port);
  if (value < 1 || value > 65535) return bad("has a port outside 1-65535");
  t.port = static_cast<uint16_t>(value);
  return t;
}

TslSender::TslSender(std::vector<TslTarget> targets, TslVersion version, TallyMap map, SessionClock& clock)
    : m_targets(std::move(targets)), m_version(version), m_map(std::move(map)), m_clock(clock) {}

TslSender::~TslSender() {
  // Nothing more is sent: the displays keep the last tally they had.
  if (m_switcher) m_switcher->Unsubscribe(m_switcher_token);
  if (m_timer) m_clock.Stop(m_timer);
  if (m_fd >= 0) close(m_fd);
}

bool TslSender::Start(std::string* error) {
  m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (m_fd < 0) {
    if (error) *error = std::string("TSL out: no UDP socket: ") + std::strerror(errno);
    return false;
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  socklen_t length = sizeof local;
  if (bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
      getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
    m_local_port = ntohs(local.sin_port);
  m_timer = m_clock.Start(kRepeatMs, [this] { SendAll(); });
  SendAll();
  return true;
}

void TslSender::SetSwitcher(SwitcherSession* session) {
  if (session == m_switcher) return;
  if (m_switcher) m_switcher->Unsubscribe(m_switcher_token);
  m_switcher = session;
  m_switcher_token = session ? session->Subscribe([this] { Changed(); }) : 0;
  if (m_fd >= 0) Changed();
}

void TslSender::SetSources(std::vector<TallySourceRow> sources) {
  m_map.sources = std::move(sources);
  SendAll();
}

TslLamp TslSender::LampOf(int source) const {
  if (!m_switcher) return TslLamp::kOff;
  const SwitcherPageData& d = m_switcher->Data();
  if (d.zv_switcher_pgm_source == source && d.zv_switcher_ftb_state == 0) return TslLamp::kRed;
  if (d.zv_switcher_pvm_source == source) return TslLamp::kGreen;
  return TslLamp::kOff;
}

std::vector<std::vector<uint8_t>> TslSender::Packets(const std::vector<int>& sources) const {
  std::vector<int> chosen = sources;
  if (chosen.empty())
    for (const TallySourceRow& row : m_map.sources) chosen.push_back(row.source);
  std::vector<std::vector<uint8_t>> out;
  for (const int source : chosen) {
    const TslLamp lamp = LampOf(source);
    if (m_version == TslVersion::k31) {
      Tsl31Message m;
      m.address = static_cast<uint8_t>(source);
      m.tally[0] = lamp == TslLamp::kRed;
      m.tally[1] = lamp == TslLamp::kGreen;
      m.text = m_map.NameOf(source);
      out.push_back(EncodeTsl31(m));
    } else {
      Tsl50Packet p;
      p.displays.push_back({static_cast<uint16_t>(source), lamp, lamp, lamp, 3, m_map.NameOf(source)});
      if (std::optional<std::vector<uint8_t>> bytes = EncodeTsl50(p)) out.push_back(std::move(*bytes));
    }
  }
  return out;
}

void TslSender::Changed() {
  std::vector<int> changed;
  for (const TallySourceRow& row : m_map.sources) {
    const TslLamp lamp = LampOf(row.source);
    const auto it = m_last.find(row.source);
    if (it == m_last.end() || it->second != lamp) changed.push_back(row.source);
  }
  if (!changed.empty()) Send(changed);
}

void TslSender::SendAll() {
  std::vector<int> all;
  for (const TallySourceRow& row : m_map.sources) all.push_back(row.source);
  Send(all);
}

void TslSender::Send(const std::vector<int>& sources) {
  if (m_fd < 0 || sources.empty()) return;
  for (const int source : sources) m_last[source] = LampOf(source);
  const std::vector<std::vector<uint8_t>> packets = Packets(sources);
  for (const TslTarget& target : m_targets) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(target.port);
    inet_pton(AF_INET, target.host.c_str(), &to.sin_addr);
    for (const std::vector<uint8_t>& packet : packets) {
      // Non-blocking: a datagram the system will not take now is counted,
      // never waited for; the next second sends it again.
      if (sendto(m_fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
        ++m_failed;
        continue;
      }
      ++m_sent;
      TapTsl(FrameDirection::kSent, FrameLinkKind::kUdp, to, m_local_port, packet);
    }
  }
}

}  // namespace zv

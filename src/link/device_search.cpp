// The device searches of the scan button, without the window: the network
// search over the broadcast socket and the serial search over the one port.
#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_set>

#include "link/link_state.h"
#include "link/local_networks.h"
#include "platform/platform.h"

namespace zv {
namespace {

// Who answered: a device reached by several queries answers each one alike,
// and one that answers twice sends the same reply again.
uint64_t SenderKey(const sockaddr_in& from, uint8_t type, uint8_t id) {
  return static_cast<uint64_t>(from.sin_addr.s_addr) << 16 | static_cast<uint64_t>(type) << 8 | id;
}

// Turns one datagram into devices: one entry and one line per name marker,
// while the list has room; past it each name counts as left out. A reply
// from a sender already listed is skipped whole.
void CollectReply(const Datagram& datagram, LinkState& link, size_t cap,
                  std::vector<std::string>* lines, std::unordered_set<uint64_t>* seen) {
  const DiscoveryReply reply = ParseDiscoveryDatagram(datagram.bytes.data(), datagram.bytes.size());
  if (!reply.is_reply || reply.names.empty()) return;
  if (!seen->insert(SenderKey(datagram.from, reply.device_type, reply.device_id)).second) return;
  const std::string address = AddressText(datagram.from);
  for (const std::string& name : reply.names) {
    if (link.m_device_list.size() >= cap) {
      ++link.m_search_left_out;
      if (link.m_search_progress) link.m_search_progress(nullptr, {}, link.m_search_left_out);
      continue;
    }
    DeviceEntry entry{};
    entry.SetIpText(address);
    entry.device_type = reply.device_type;
    entry.device_id = reply.device_id;
    link.m_device_list.push_back(entry);
    const std::string line = name + "_" + address;
    if (link.m_search_progress) link.m_search_progress(&entry, line, link.m_search_left_out);
    if (lines) lines->push_back(line);
  }
}

}  // namespace

int LinkState::SearchNetworkDevices(std::vector<std::string>* lines) {
  CloseUdpSocket();
  m_device_index = -1;
  m_device_list.clear();
  m_search_left_out = 0;
  const uint32_t start = TickCount();
  if (!OpenScanSocket()) {
    ShowMessageBox("Create socket err", "Err", MessageBoxButtons::kOkCancel);
    Trace("create socket fail");
    CloseUdpSocket();
    return -1;
  }
  const size_t cap = static_cast<size_t>(std::max(1, m_link_config.device_list_cap));
  // The search address first; without one chosen by the operator, also the
  // directed broadcast of every interface, since the limited broadcast
  // leaves by one interface only. All go from the one socket, so every
  // reply comes back to it, within the one window. A query that cannot
  // leave by one interface does not end the search.
  std::vector<sockaddr_in> destinations{m_udp_dest_addr};
  const in_addr_t loopback_broadcast = inet_addr(kLoopbackBroadcast);
  if (m_link_config.search_loopback_broadcast && m_udp_dest_addr.sin_addr.s_addr != loopback_broadcast) {
    sockaddr_in to = m_udp_dest_addr;
    to.sin_addr.s_addr = loopback_broadcast;
    destinations.push_back(to);
  }
  if (m_link_config.search_every_interface) {
    for (uint32_t broadcast : DirectedBroadcasts(ReadLocalInterfaces())) {
      sockaddr_in to = m_udp_dest_addr;
      to.sin_addr.s_addr = htonl(broadcast);
      if (to.sin_addr.s_addr != m_udp_dest_addr.sin_addr.s_addr) destinations.push_back(to);
    }
  }
  for (const sockaddr_in& to : destinations) {
    if (!SendDatagramTo(DISCOVERY_QUERY, to))
      Trace("query to %s not sent: %s", AddressText(to).c_str(), std::strerror(errno));
  }
  // Each device once, however many of the queries reached it and however
  // often it answered.
  std::unordered_set<uint64_t> seen;

  while (m_udpSockfd >= 0 && !CancelRequested()) {
    const uint32_t elapsed = TickCount() - start;
    if (elapsed > kSearchWindowMs) break;
    Datagram datagram;
    const int got = ReceiveDatagram(kSearchReplyBufferSize, kSearchWindowMs - elapsed + 1, &datagram);
    if (got == 0) continue;
    if (got == 1) CollectReply(datagram, *this, cap, lines, &seen);
    // Every reply already waiting is taken before the pause: when many
    // devices answer at once, pausing after each one alone would leave most
    // of them unread when the window closes.
    for (;;) {
      const int more = ReceiveDatagram(kSearchReplyBufferSize, 0, &datagram);
      if (more == 0) break;
      if (more == 1) CollectReply(datagram, *this, cap, lines, &seen);
    }
    PauseMs(kSearchPauseAfterDatagramMs);
  }
  Trace("time over");
  CloseUdpSocket();
  return static_cast<int>(m_device_list.size());
}

bool LinkState::SearchAsksLoopbackBroadcast() const {
  return m_link_config.search_loopback_broadcast ||
         inet_addr(m_link_config.search_address.c_str()) == inet_addr(kLoopbackBroadcast);
}

bool LinkState::LoopbackDevicesAnswer(uint32_t window_ms) {
  CloseUdpSocket();
  if (!OpenScanSocket()) {
    CloseUdpSocket();
    return false;
  }
  sockaddr_in to = m_udp_dest_addr;
  to.sin_addr.s_addr = inet_addr(kLoopbackBroadcast);
  bool answered = false;
  if (SendDatagramTo(DISCOVERY_QUERY, to)) {
    const uint32_t start = TickCount();
    while (!answered && m_udpSockfd >= 0 && !CancelRequested()) {
      const uint32_t elapsed = TickCount() - start;
      if (elapsed > window_ms) break;
      Datagram datagram;
      // The query itself comes back to our own socket; only a reply that
      // names a device counts.
      if (ReceiveDatagram(kSearchReplyBufferSize, window_ms - elapsed + 1, &datagram) != 1) continue;
      const DiscoveryReply reply =
          ParseDiscoveryDatagram(datagram.bytes.data(), datagram.bytes.size());
      answered = reply.is_reply && !reply.names.empty();
    }
  }
  CloseUdpSocket();
  return answered;
}

void LinkState::FlushSerialInput() {
  uint8_t discard[kSerialReadChunk];
  for (;;) {
    const int waiting = m_serial_port.BytesWaiting();
    if (waiting <= 0) return;
    const uint32_t want = std::min<uint32_t>(static_cast<uint32_t>(waiting), sizeof discard);
    if (m_serial_port.Read(discard, want) == 0) return;
  }
}

bool LinkState::SearchSerialDevice(bool* query_written) {
  if (query_written) *query_written = false;
  ClearSerialBuffer();
  m_device_index = -1;
  if (!m_serial_port.IsOpen()) {
    ShowMessageBox("Please open the serial port first!", "Err", MessageBoxButtons::kOkCancel);
    Trace("open com  fail");
    return false;
  }
  FlushSerialInput();
  const uint32_t written = m_serial_port.Write(DISCOVERY_QUERY_SERIAL.data(),
                                               static_cast<uint32_t>(DISCOVERY_QUERY_SERIAL.size()));
  const uint32_t start = TickCount();
  int names = 0;
  // A query the line did not take whole gets no answer: nothing to wait for.
  const bool query_sent = written == DISCOVERY_QUERY_SERIAL.size();
  if (query_written) *query_written = query_sent;
  while (query_sent && names <= 0 && TickCount() - start <= kSerialSearchWindowMs) {
    // Wait on the port for the next bytes instead of asking it again and
    // again; the window is the same.
    const uint32_t elapsed = TickCount() - start;
    const int ready = m_serial_port.WaitForInput(
        kSerialSearchWindowMs - std::min(elapsed, kSerialSearchWindowMs) + 1, m_cancel_fd);
    // A line that has hung up would report itself again at once: nothing
    // more can come, so the search ends as if the time had run out.
    if (ready < 0) break;
    if (ready == 0) continue;
    const int waiting = m_serial_port.BytesWaiting();
    if (waiting <= 0) break;
    uint8_t chunk[kSerialReadChunk];
    const uint32_t got =
        m_serial_port.Read(chunk, std::min<uint32_t>(static_cast<uint32_t>(waiting), sizeof chunk));
    AppendSerialBytes(std::span<const uint8_t>(chunk, got));
    // A late multiviewer state reply also counts 1; only a reply that
    // names a device is one.
    SerialScan::Found found = SerialScan::Found::kNothing;
    const int count = ParseSerialReply(&found);
    if (found == SerialScan::Found::kNames) names = count;
  }
  if (query_sent && names <= 0) Trace("time over");
  if (names > 0) {
    // The one device on the cable is the list's only device; frames to it
    // carry the type and id it answered with.
    m_device_list.assign(1, m_serial_device);
    m_device_index = 0;
  }
  return true;
}

}  // namespace zv

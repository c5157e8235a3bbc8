#include "link/link_state.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <thread>

#include "link/frame_tap.h"
#include "platform/platform.h"

namespace zv {

LinkState::LinkState() : m_serial_port(m_own_serial_port) {}

LinkState::LinkState(CnComm& serial_port) : m_serial_port(serial_port) {}

LinkState::~LinkState() { CloseUdpSocket(); }

const DeviceEntry& LinkState::ChosenDevice() const {
  static const DeviceEntry kNoDevice{};
  if (m_device_index < 0 || m_device_index >= static_cast<int>(m_device_list.size())) return kNoDevice;
  return m_device_list[m_device_index];
}

std::optional<in_addr> LinkState::ChosenDeviceAddress() const {
  in_addr address{};
  if (inet_pton(AF_INET, ChosenDevice().IpText().c_str(), &address) != 1) return std::nullopt;
  return address;
}

int LinkState::StartWinsock() { return 1; }

bool LinkState::CancelRequested() const {
  if (m_cancel_fd < 0) return false;
  pollfd pfd{m_cancel_fd, POLLIN, 0};
  return poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN);
}

void LinkState::PauseMs(uint32_t ms) const {
  if (m_cancel_fd < 0) {
    SleepMs(ms);
    return;
  }
  // The whole pause, to the nanosecond: a millisecond clock would let a
  // pause that starts late in a millisecond end up to one short.
  PauseUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}

bool LinkState::PauseUntil(std::chrono::steady_clock::time_point until) const {
  pollfd pfd{m_cancel_fd, POLLIN, 0};
  for (;;) {
    const auto left = until - std::chrono::steady_clock::now();
    if (left <= std::chrono::nanoseconds::zero()) return true;
    const timespec timeout{
        static_cast<time_t>(std::chrono::duration_cast<std::chrono::seconds>(left).count()),
        static_cast<long>((left % std::chrono::seconds(1)).count())};
    const int r = ppoll(&pfd, m_cancel_fd >= 0 ? 1 : 0, &timeout, nullptr);
    if (r > 0) return false;  // cancelled
    if (r < 0 && errno != EINTR) return false;
  }
}

LinkState::PaceClock::time_point LinkState::QuietUntil(uint32_t address) const {
  for (const auto& [paced, until] : m_paced)
    if (paced == address) return until;
  return {};
}

bool LinkState::WaitTurn(uint32_t address) const {
  const PaceClock::time_point until = QuietUntil(address);
  return until <= PaceClock::now() || PauseUntil(until);
}

void LinkState::NotePaced(uint32_t address, uint32_t pause_ms) {
  const PaceClock::time_point now = PaceClock::now();
  std::erase_if(m_paced, [&](const auto& entry) { return entry.second <= now || entry.first == address; });
  if (pause_ms) m_paced.emplace_back(address, now + std::chrono::milliseconds(pause_ms));
}

void LinkState::SettleAll() {
  PaceClock::time_point last{};
  for (const auto& entry : m_paced) last = std::max(last, entry.second);
  m_paced.clear();
  // Not cut short by a cancel: the devices are owed the whole pause.
  while (PaceClock::now() < last) std::this_thread::sleep_until(last);
}

int LinkState::BindAndSetNonBlocking(const char* failure_trace) {
  // Address reuse lets the panel's wildcard socket on the local port share
  // that port with devices bound to their own addresses on this machine
  // (the virtual devices on 127.0.0.x:7000). Unicast to a device's address
  // still reaches only the device; replies to the panel's address only the
  // panel. A port held by a program that does not ask for reuse stays taken.
  // A port left to the system (0) has nothing to share: asking for reuse
  // there would let the system hand out a port a device already holds, whose
  // replies to the panel would then reach that device's socket instead.
  if (m_link_config.local_port != 0) {
    const int reuse = 1;
    setsockopt(m_udpSockfd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(m_link_config.local_port);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(m_udpSockfd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    if (failure_trace) Trace("%s", failure_trace);
    return 0;
  }
  const int flags = fcntl(m_udpSockfd, F_GETFL, 0);
  fcntl(m_udpSockfd, F_SETFL, flags | O_NONBLOCK);
  return 1;
}

int LinkState::CreateUdpSocket() {
  // A failed socket() leaves nothing behind that would spoil later
  // operations: the next one simply tries again.
  m_udpSockfd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (m_udpSockfd < 0) {
    m_udpSockfd = -1;
    Trace("socket() failed: %s", std::strerror(errno));
    return 0;
  }
  std::memset(&m_udp_dest_addr, 0, sizeof m_udp_dest_addr);
  return 1;
}

int LinkState::OpenScanSocket() {
  if (m_udpSockfd != -1) return 1;
  if (!CreateUdpSocket()) return 0;
  m_udp_dest_addr.sin_family = AF_INET;
  m_udp_dest_addr.sin_port = htons(m_link_config.device_port);
  m_udp_dest_addr.sin_addr.s_addr = inet_addr(m_link_config.search_address.c_str());
  const int broadcast = 1;
  setsockopt(m_udpSockfd, SOL_SOCKET, SO_BROADCAST, &broadcast, sizeof broadcast);
  // Hundreds of devices answer the query at the same moment: room for their
  // replies while the search reads them (the system may give less).
  const int receive_buffer = kScanReceiveBufferBytes;
  setsockopt(m_udpSockfd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  return BindAndSetNonBlocking("bind  socket fail");
}

int LinkState::OpenCommandSocket() {
  if (m_udpSockfd != -1) {
    Trace("m_udpSockfd have on live");
    return 1;
  }
  if (!CreateUdpSocket()) return 0;
  if (m_device_index < 0) {
    ShowMessageBox("Please choose a device", "Err", MessageBoxButtons::kOkCancel);
    close(m_udpSockfd);
    m_udpSockfd = -1;
    return 0;
  }
  // A device found on the serial line has no network address; its empty
  // text would read as the broadcast address.
  const std::optional<in_addr> address = ChosenDeviceAddress();
  if (!address) {
    Trace("the device has no network address");
    close(m_udpSockfd);
    m_udpSockfd = -1;
    return 0;
  }
  m_udp_dest_addr.sin_family = AF_INET;
  m_udp_dest_addr.sin_port = htons(m_link_config.device_port);
  m_udp_dest_addr.sin_addr = *address;
  // When port 7000 is taken the socket stays open unbound, and the datagram
  // still leaves from a port the system picks.
  return BindAndSetNonBlocking(nullptr);
}

int LinkState::CloseUdpSocket() {
  if (m_udpSockfd != -1) {
    close(m_udpSockfd);
    m_udpSockfd = -1;
  }
  return 1;
}

bool LinkState::SendDatagram(std::span<const uint8_t> bytes) {
  return SendDatagramTo(bytes, m_udp_dest_addr);
}

bool LinkState::SendDatagramTo(std::span<const uint8_t> bytes, const sockaddr_in& destination) {
  if (m_udpSockfd < 0) return false;
  const ssize_t n = sendto(m_udpSockfd, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                           reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
  if (n > 0) TapDatagram(FrameDirection::kSent, destination, m_udpSockfd,
                         bytes.first(static_cast<size_t>(n)));
  const bool whole = n == static_cast<ssize_t>(bytes.size());
  if (m_sent_hook) m_sent_hook(bytes, whole);
  return whole;
}

uint32_t LinkState::WriteSerial(const void* bytes, uint32_t count) {
  const uint32_t written = m_serial_port.Write(bytes, count);
  if (m_sent_hook) m_sent_hook(std::span<const uint8_t>(static_cast<const uint8_t*>(bytes), count), written == count);
  return written;
}

bool LinkState::SendAndClose(std::span<const uint8_t> frame, uint32_t pause_ms) {
  OpenCommandSocket();
  bool sent = false;
  if (m_udpSockfd >= 0) {
    const uint32_t device = m_udp_dest_addr.sin_addr.s_addr;
    if (WaitTurn(device)) {
      sent = SendDatagram(frame);
      NotePaced(device, pause_ms);
    }
  }
  CloseUdpSocket();
  return sent;
}

bool LinkState::SendCommand(uint8_t command, std::span<const uint8_t> params) {
  uint8_t frame[CommandFrame::kSenderBufferSize] = {};
  const DeviceEntry& device = ChosenDevice();
  const size_t length = BuildCommandFrame(frame, device.device_type, device.device_id,
                                          kLinkFlagUdp, command, params);
  return SendAndClose(std::span<const uint8_t>(frame, length));
}

int LinkState::ReceiveDatagram(size_t buffer_size, uint32_t wait_ms, Datagram* out) {
  if (m_udpSockfd < 0) return 0;
  // The socket, and the cancel signal when there is one.
  pollfd pfd[2] = {{m_udpSockfd, POLLIN, 0}, {m_cancel_fd, POLLIN, 0}};
  const int ready = poll(pfd, m_cancel_fd >= 0 ? 2 : 1,
                         static_cast<int>(std::min<uint32_t>(wait_ms, 1u << 30)));
  if (ready <= 0 || !(pfd[0].revents & POLLIN)) return 0;
  std::vector<uint8_t> buffer(std::max<size_t>(buffer_size, 1));
  sockaddr_in from{};
  socklen_t from_length = sizeof from;
  // MSG_TRUNC reports the datagram's real length, so one that did not fit is
  // recognised and dropped instead of being taken cut short.
  const ssize_t n = recvfrom(m_udpSockfd, buffer.data(), buffer_size, MSG_TRUNC | MSG_DONTWAIT,
                             reinterpret_cast<sockaddr*>(&from), &from_length);
  if (n < 0) return 0;
  m_udp_dest_addr = from;
  // A datagram too big for the buffer is shown as far as it was read.
  TapDatagram(FrameDirection::kReceived, from, m_udpSockfd,
              std::span<const uint8_t>(buffer.data(), std::min(static_cast<size_t>(n), buffer_size)));
  if (static_cast<size_t>(n) > buffer_size) return -1;
  buffer.resize(static_cast<size_t>(n));
  if (out) {
    out->bytes = std::move(buffer);
    out->from = from;
  }
  return 1;
}

std::optional<Datagram> LinkState::ReceiveWithTimeout(std::span<const uint8_t> request,
                                                      size_t reply_buffer_size,
                                                      uint32_t window_ms, const ReplyTest& test,
                                                      uint32_t pause_after_send_ms,
                                                      bool window_after_pause) {
  OpenCommandSocket();
  if (m_udpSockfd >= 0) {
    const uint32_t device = m_udp_dest_addr.sin_addr.s_addr;
    if (!WaitTurn(device)) {
      CloseUdpSocket();
      return std::nullopt;
    }
    SendDatagram(request);
    NotePaced(device, pause_after_send_ms);
  }
  uint32_t start = TickCount();
  if (pause_after_send_ms) PauseMs(pause_after_send_ms);
  if (window_after_pause) start = TickCount();

  std::optional<Datagram> accepted;
  // Without a socket nothing can arrive; the operator has already been told.
  while (m_udpSockfd >= 0 && !CancelRequested()) {
    const uint32_t elapsed = TickCount() - start;
    if (elapsed > window_ms) break;
    Datagram datagram;
    // Wake just after the window ends so that "more than the window" holds.
    if (ReceiveDatagram(reply_buffer_size, window_ms - elapsed + 1, &datagram) == 1 &&
        (!test || test(datagram.bytes, datagram.from))) {
      accepted = std::move(datagram);
      break;
    }
  }
  if (!accepted) Trace("wait time over");
  CloseUdpSocket();
  return accepted;
}

int LinkState::ParseSerialReply(SerialScan::Found* found) {
  const size_t count =
      static_cast<size_t>(std::clamp<int32_t>(m_serial_rx_count, 0, kSerialRxBufferSize));
  const SerialScan scan = ScanSerialReply(m_serial_rx_buffer, count);
  if (found) *found = scan.found;
  if (scan.type_seen) m_main_com_dev_type = scan.last_type;
  if (scan.name_count > 0) {
    m_serial_device_name = scan.last_name;
    m_serial_device = DeviceEntry{};
    m_serial_device.device_type = m_serial_rx_buffer[scan.frame_start + CommandFrame::kOffsetDeviceType];
    m_serial_device.device_id = m_serial_rx_buffer[scan.frame_start + CommandFrame::kOffsetDeviceId];
  }
  if (scan.found == SerialScan::Found::kStateFrame && scan.result == 1 && m_state_frame_handler)
    m_state_frame_handler(
        std::span<const uint8_t>(m_serial_rx_buffer + scan.frame_start, scan.frame_length));
  return scan.result;
}

void LinkState::AppendSerialBytes(std::span<const uint8_t> bytes) {
  if (bytes.size() > kSerialRxBufferSize) bytes = bytes.last(kSerialRxBufferSize);
  const size_t count =
      static_cast<size_t>(std::clamp<int32_t>(m_serial_rx_count, 0, kSerialRxBufferSize));
  if (count + bytes.size() > kSerialRxBufferSize) {
    ClearSerialBuffer();
    m_serial_rx_count = 0;
  } else {
    m_serial_rx_count = static_cast<int32_t>(count);
  }
  std::memcpy(m_serial_rx_buffer + m_serial_rx_count, bytes.data(), bytes.size());
  m_serial_rx_count += static_cast<int32_t>(bytes.size());
}

void LinkState::ClearSerialBuffer() {
  std::memset(m_serial_rx_buffer, 0, sizeof m_serial_rx_buffer);
  m_serial_rx_count = 0;
}

SerialGroupLook SerialGroupFor(int32_t mode, bool port_open) {
  SerialGroupLook look;
  const bool serial = mode == kModeSerial;
  look.lists_enabled = serial && !port_open;
  look.connect_enabled = serial;
  look.address_enabled = !serial;
  look.connected = port_open;
  return look;
}

std::string DottedQuad(const std::array<uint8_t, 4>& ip) {
  return std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) + "." +
         std::to_string(ip[3]);
}

std::string DeviceAddressProblem(const std::array<uint8_t, 4>& ip, int fields_filled) {
  if (fields_filled <= 0) return "Please enter the new IP address";
  const char* kind = nullptr;
  if (ip[0] == 0)
    kind = "stands for this network";
  else if (ip[0] == 127)
    kind = "is a loopback address";
  else if (ip[0] >= 224 && ip[0] <= 239)
    kind = "is a multicast address";
  else if (ip == std::array<uint8_t, 4>{255, 255, 255, 255})
    kind = "is the broadcast address";
  else if (ip[0] >= 240)
    kind = "is a reserved address";
  if (!kind) return {};
  return DottedQuad(ip) + " " + kind + "; a device cannot take it";
}

std::string AddressText(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return text;
}

bool AimSearchAt(const std::string& address, LinkConfig* config) {
  std::array<uint8_t, 4> octets{};
  if (!ParseIpv4Address(address, &octets)) return false;
  config->search_address = address;
  config->search_every_interface = false;
  // 127.0.0.1 is "this machine": it asks the loopback broadcast too. Any
  // other address, 127.0.0.3 included, names one device and is asked alone.
  config->search_loopback_broadcast = octets == std::array<uint8_t, 4>{127, 0, 0, 1};
  return true;
}

bool ParseIpv4Address(const std::string& text, std::array<uint8_t, 4>* octets) {
  in_addr address{};
  if (inet_pton(AF_INET, text.c_str(), &address) != 1) return false;
  if (octets) std::memcpy(octets->data(), &address.s_addr, 4);
  return true;
}

}  // namespace zv

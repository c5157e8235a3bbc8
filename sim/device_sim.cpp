#include "registry/families.h"
#include "sim/device_sim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "link/command_frame.h"
#include "sim/family_devices.h"
#include "sim/fourch_device.h"
#include "platform/platform.h"

namespace zv::sim {
namespace {

constexpr size_t kDatagramMax = 65536;
// Serial bytes that never become a frame or a text are dropped past this.
constexpr size_t kSerialBufferMax = 4096;

std::string HexText(std::span<const uint8_t> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 15]);
  }
  return text;
}

std::string JsonEscape(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\u%04x", c);
      out += hex;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

int BindUdp(const std::string& address, uint16_t port, std::string* error) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
    *error = "not an IPv4 address: " + address;
    return -1;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  // The panel's own wildcard socket on the same port may exist on this
  // machine; both ask for address reuse so they can share the port.
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    *error = "bind " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  return fd;
}

// A frame is the sync bytes, a length of at least the overhead and the tail
// at that length.
bool IsCommandFrame(std::span<const uint8_t> bytes) {
  if (bytes.size() < CommandFrame::kOverhead) return false;
  if (bytes[0] != CommandFrame::kSync1 || bytes[1] != CommandFrame::kSync2) return false;
  const size_t length = bytes[2] | (bytes[3] << 8);
  return length == bytes.size() && bytes.back() == CommandFrame::kTail;
}

}  // namespace

Bytes SimDevice::DiscoveryReply(Link link) const {
  Bytes params{0};
  params.insert(params.end(), m_config.name.begin(), m_config.name.end());
  for (char c : std::string_view("-x-")) params.push_back(static_cast<uint8_t>(c));
  Bytes frame(CommandFrame::kOverhead + params.size());
  BuildCommandFrame(frame.data(), m_config.type, m_config.id,
                    link == Link::kUdp ? kLinkFlagUdp : kLinkFlagSerial, kCommandDiscovery, params);
  return frame;
}

std::vector<Bytes> SimDevice::OnFrame(std::span<const uint8_t>, Link) { return {}; }
std::vector<Bytes> SimDevice::OnText(const std::string&, Link) { return {}; }
std::optional<FrontPanelChange> SimDevice::ChangeAtFrontPanel(std::mt19937&) { return std::nullopt; }

int PickOther(std::mt19937& random, const std::vector<int>& choices, int current) {
  std::vector<int> others;
  for (int c : choices)
    if (c != current) others.push_back(c);
  const std::vector<int>& from = others.empty() ? choices : others;
  return from[random() % from.size()];
}

std::unique_ptr<SimDevice> MakeDevice(const DeviceConfig& config) {
  // Which family a type byte is, the family registry says.
  const FamilyInfo* family = FamilyForType(config.type);
  // Any other type only answers discovery and logs what it receives.
  if (!family) return std::make_unique<SimDevice>(config);
  switch (family->kind) {
#define ZV_DEVICE_CASE(Name) \
  case FamilyKind::k##Name:  \
    return Make##Name##Device(config);
    ZV_FAMILIES(ZV_DEVICE_CASE)
#undef ZV_DEVICE_CASE
  }
  return std::make_unique<SimDevice>(config);
}

std::vector<DeviceConfig> DefaultDevices() {
  return {
      {0xA1, 0x01, "Multiviewer16", "127.0.0.2", {}},
      {0x82, 0x01, "Matrix8x8", "127.0.0.3", {}},
      {0x60, 0x01, "FourChannel", "127.0.0.4", {}},
      {0xA5, 0x01, "Switcher", "127.0.0.5", {}},
  };
}

bool CountedDevices(const std::vector<DeviceConfig>& patterns, int count,
                    const std::string& first_address, std::vector<DeviceConfig>* devices,
                    std::string* error) {
  in_addr first{};
  if (inet_pton(AF_INET, first_address.c_str(), &first) != 1) {
    *error = "not an IPv4 address: " + first_address;
    return false;
  }
  if (patterns.empty()) {
    *error = "no device to copy";
    return false;
  }
  std::vector<DeviceConfig> made;
  uint32_t address = ntohl(first.s_addr);
  for (int n = 0; n < count; ++n, ++address) {
    // Neither the network's own address nor its broadcast of any /24.
    while ((address & 0xFF) == 0 || (address & 0xFF) == 0xFF) ++address;
    if ((address >> 24) != 127 || address >= 0x7FFFFF00u) {
      *error = "the loopback addresses from " + first_address + " run out before " +
               std::to_string(count) + " devices";
      return false;
    }
    DeviceConfig d = patterns[static_cast<size_t>(n) % patterns.size()];
    // A dot, not a dash: "-1-" would read as a name marker in the reply.
    d.name += "." + std::to_string(n + 1);
    in_addr a{htonl(address)};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    d.address = text;
    made.push_back(std::move(d));
  }
  *devices = std::move(made);
  return true;
}

bool ParseNumber(const std::string& text, long min, long max, long* out) {
  char* rest = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &rest, 0);
  if (text.empty() || *rest != 0 || errno != 0 || v < min || v > max) return false;
  *out = v;
  return true;
}

bool ParseDeviceSpec(const std::string& spec, DeviceConfig* config, std::string* error) {
  DeviceConfig c;
  bool has_type = false, has_addr = false;
  size_t start = 0;
  while (start <= spec.size()) {
    const size_t end = std::min(spec.find(',', start), spec.size());
    const std::string item = spec.substr(start, end - start);
    start = end + 1;
    if (item.empty()) continue;
    const size_t eq = item.find('=');
    const std::string key = item.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
    auto number = [&](long min, long max, long* out) {
      if (ParseNumber(value, min, max, out)) return true;
      *error = "bad value for " + key + ": \"" + value + "\"";
      return false;
    };
    long v = 0;
    if (key == "type") {
      if (!number(0, 255, &v)) return false;
      c.type = static_cast<uint8_t>(v);
      has_type = true;
    } else if (key == "id") {
      if (!number(0, 255, &v)) return false;
      c.id = static_cast<uint8_t>(v);
    } else if (key == "name") {
      c.name = value;
    } else if (key == "addr") {
      in_addr a{};
      if (inet_pton(AF_INET, value.c_str(), &a) != 1) {
        *error = "bad address: \"" + value + "\"";
        return false;
      }
      c.address = value;
      has_addr = true;
    } else if (key == "silent" && eq == std::string::npos) {
      c.faults.silent = true;
    } else if (key == "delay") {
      if (!number(0, 60000, &v)) return false;
      c.faults.delay_ms = static_cast<uint32_t>(v);
    } else if (key == "truncate") {
      if (!number(0, 65535, &v)) return false;
      c.faults.truncate = static_cast<int>(v);
    } else if (key == "repeat") {
      if (!number(1, 100, &v)) return false;
      c.faults.repeat = static_cast<int>(v);
    } else if (key == "garbage") {
      if (!number(0, 1000, &v)) return false;
      c.faults.garbage = static_cast<int>(v);
    } else if (key == "flood") {
      // PER_SECOND:MS
      const size_t colon = value.find(':');
      long rate = 0, ms = 0;
      if (colon == std::string::npos || !ParseNumber(value.substr(0, colon), 1, 100000, &rate) ||
          !ParseNumber(value.substr(colon + 1), 1, 600000, &ms)) {
        *error = "bad value for flood: \"" + value + "\" (datagrams per second:milliseconds)";
        return false;
      }
      c.faults.flood_per_second = static_cast<uint32_t>(rate);
      c.faults.flood_ms = static_cast<uint32_t>(ms);
    } else if (key == "from") {
      in_addr a{};
      if (inet_pton(AF_INET, value.c_str(), &a) != 1) {
        *error = "bad address: \"" + value + "\"";
        return false;
      }
      c.faults.answer_from = value;
    } else if (key == "signals") {
      std::array<uint8_t, 4> pattern{};
      if (!ParseSignalPattern(value, &pattern)) {
        *error = "bad value for signals: \"" + value + "\" (four digits 0 or 1)";
        return false;
      }
      c.input_signals = value;
    } else {
      *error = "unknown device field \"" + item + "\"";
      return false;
    }
  }
  if (!has_type || !has_addr) {
    *error = "a device needs at least type= and addr=";
    return false;
  }
  *config = c;
  return true;
}

DeviceSim::DeviceSim(SimConfig config) : m_config(std::move(config)) {
  for (const DeviceConfig& d : m_config.devices) {
    Running running;
    running.device = MakeDevice(d);
    m_devices.push_back(std::move(running));
  }
}

DeviceSim::~DeviceSim() {
  for (Running& r : m_devices) {
    if (r.answer_fd >= 0 && r.answer_fd != r.fd) close(r.answer_fd);
    if (r.fd >= 0) close(r.fd);
  }
  if (m_hub_fd >= 0) close(m_hub_fd);
  if (m_pty_keep_slave >= 0) close(m_pty_keep_slave);
  if (m_pty_master >= 0) close(m_pty_master);
  if (!m_config.serial_link.empty()) unlink(m_config.serial_link.c_str());
}

bool DeviceSim::Start(std::string* error) {
  m_start_tick = TickCount();
  if (m_config.front_panel_ms > 0) {
    for (size_t i = 0; i < m_devices.size(); ++i) {
      Running& r = m_devices[i];
      std::seed_seq seed{m_config.seed, static_cast<uint32_t>(i)};
      r.random.seed(seed);
      r.next_change = m_start_tick + 1 + r.random() % m_config.front_panel_ms;
    }
  }
  m_hub_fd = BindUdp(m_config.hub_address, m_config.port, error);
  if (m_hub_fd < 0) return false;
  for (Running& r : m_devices) {
    r.fd = BindUdp(r.device->Config().address, m_config.port, error);
    if (r.fd < 0) return false;
    socklen_t len = sizeof r.bound;
    getsockname(r.fd, reinterpret_cast<sockaddr*>(&r.bound), &len);
    r.answer_fd = r.fd;
    const std::string& from = r.device->Config().faults.answer_from;
    if (!from.empty()) {
      r.answer_fd = BindUdp(from, m_config.port, error);
      if (r.answer_fd < 0) return false;
    }
  }
  if (m_config.serial) {
    if (m_config.serial_device < 0 || static_cast<size_t>(m_config.serial_device) >= m_devices.size()) {
      *error = "no device to put on the serial line";
      return false;
    }
    m_pty_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (m_pty_master < 0 || grantpt(m_pty_master) != 0 || unlockpt(m_pty_master) != 0) {
      *error = std::string("pseudo-terminal: ") + std::strerror(errno);
      return false;
    }
    m_serial_path = ptsname(m_pty_master);
    // Holding the slave open ourselves keeps the master from seeing a
    // hang-up whenever the panel closes its port, and lets us make the line
    // raw before anyone opens it (no echo of the panel's bytes).
    m_pty_keep_slave = open(m_serial_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_pty_keep_slave < 0) {
      *error = "open " + m_serial_path + ": " + std::strerror(errno);
      return false;
    }
    termios raw{};
    tcgetattr(m_pty_keep_slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_pty_keep_slave, TCSANOW, &raw);
    if (!m_config.serial_link.empty()) {
      unlink(m_config.serial_link.c_str());
      if (symlink(m_serial_path.c_str(), m_config.serial_link.c_str()) != 0) {
        *error = "symlink " + m_config.serial_link + ": " + std::strerror(errno);
        return false;
      }
    }
  }
  return true;
}

int DeviceSim::NextTimeoutMs() const {
  // A flood sends its datagrams in batches a millisecond apart.
  for (const Running& r : m_devices)
    if (r.flood.fd >= 0) return 1;
  if (m_pending.empty() && m_config.front_panel_ms == 0) return -1;
  const uint32_t now = TickCount();
  int best = 1 << 30;
  for (const Pending& p : m_pending) {
    const int32_t left = static_cast<int32_t>(p.due - now);
    best = std::min(best, std::max(0, left));
  }
  if (m_config.front_panel_ms > 0)
    for (const Running& r : m_devices)
      best = std::min(best, std::max(0, static_cast<int32_t>(r.next_change - now)));
  return best;
}

void DeviceSim::Run(int stop_fd) {
  for (;;) {
    std::vector<pollfd> fds;
    fds.push_back({stop_fd, POLLIN, 0});
    fds.push_back({m_hub_fd, POLLIN, 0});
    fds.push_back({m_pty_master, POLLIN, 0});
    for (const Running& r : m_devices) fds.push_back({r.fd, POLLIN, 0});
    const int ready = poll(fds.data(), fds.size(), NextTimeoutMs());
    if (ready < 0 && errno != EINTR) return;
    if (fds[0].revents) return;
    if (fds[1].revents & POLLIN) OnHubDatagram();
    if (fds[2].revents & POLLIN) OnSerialBytes();
    for (size_t i = 0; i < m_devices.size(); ++i)
      if (fds[3 + i].revents & POLLIN) OnDeviceDatagram(i);
    // Answers that are due leave in the order they were made.
    const uint32_t now = TickCount();
    std::vector<Pending> due;
    auto split = std::stable_partition(m_pending.begin(), m_pending.end(), [now](const Pending& p) {
      return static_cast<int32_t>(p.due - now) > 0;
    });
    due.assign(std::make_move_iterator(split), std::make_move_iterator(m_pending.end()));
    m_pending.erase(split, m_pending.end());
    for (const Pending& p : due) SendPending(p);
    RunFloods();
    RunFrontPanels();
  }
}

void DeviceSim::RunFrontPanels() {
  if (m_config.front_panel_ms == 0) return;
  const uint32_t now = TickCount();
  for (Running& r : m_devices) {
    if (static_cast<int32_t>(r.next_change - now) > 0) continue;
    r.next_change += m_config.front_panel_ms;
    // A device that fell behind (a stopped process) changes once, not once
    // for every period it missed.
    if (static_cast<int32_t>(r.next_change - now) <= 0) r.next_change = now + m_config.front_panel_ms;
    const std::optional<FrontPanelChange> change = r.device->ChangeAtFrontPanel(r.random);
    if (!change) continue;
    std::string line = "{\"t_ms\":" + std::to_string(now - m_start_tick) + ",\"device\":\"" +
                       JsonEscape(r.device->Config().name) + "\",\"front_panel\":\"" +
                       JsonEscape(change->field) + "\"";
    if (!change->where_key.empty())
      line += ",\"" + JsonEscape(change->where_key) + "\":" + std::to_string(change->where);
    line += ",\"value\":" + std::to_string(change->value) + "}";
    WriteLogLine(line);
  }
}

Bytes DeviceSim::Junk() {
  // xorshift32: lengths 1 to 64, a third of them starting like a frame.
  const auto next = [this] {
    m_junk_seed ^= m_junk_seed << 13;
    m_junk_seed ^= m_junk_seed >> 17;
    m_junk_seed ^= m_junk_seed << 5;
    return m_junk_seed;
  };
  Bytes bytes(1 + next() % 64);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(next());
  if (bytes.size() >= 2 && next() % 3 == 0) {
    bytes[0] = CommandFrame::kSync1;
    bytes[1] = CommandFrame::kSync2;
  }
  return bytes;
}

void DeviceSim::RunFloods() {
  const uint32_t now = TickCount();
  for (Running& r : m_devices) {
    Flood& f = r.flood;
    if (f.fd < 0) continue;
    const FaultOptions& faults = r.device->Config().faults;
    const uint32_t elapsed = std::min(now - f.start, faults.flood_ms);
    const uint64_t owed = static_cast<uint64_t>(elapsed) * faults.flood_per_second / 1000;
    for (; f.sent < owed; ++f.sent) {
      const Bytes junk = Junk();
      sendto(f.fd, junk.data(), junk.size(), 0, reinterpret_cast<const sockaddr*>(&f.to), sizeof f.to);
    }
    if (now - f.start >= faults.flood_ms) f.fd = -1;
  }
}

void DeviceSim::Answer(const SimDevice& device, int fd, const sockaddr_in& to,
                       const std::vector<Bytes>& answers) {
  const FaultOptions& f = device.Config().faults;
  if (f.silent) return;
  // The socket the answers leave from, and the flood they start.
  for (Running& r : m_devices) {
    if (r.device.get() != &device) continue;
    if (fd == r.fd) fd = r.answer_fd;
    if (f.flood_per_second > 0 && f.flood_ms > 0 && fd >= 0 && r.flood.fd < 0)
      r.flood = Flood{fd, to, TickCount(), 0};
  }
  for (Bytes bytes : answers) {
    for (int i = 0; i < f.garbage; ++i) {
      const Bytes junk = Junk();
      if (fd >= 0) {
        sendto(fd, junk.data(), junk.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
      } else if (m_pty_master >= 0) {
        (void)!write(m_pty_master, junk.data(), junk.size());
      }
    }
    if (f.truncate >= 0 && bytes.size() > static_cast<size_t>(f.truncate))
      bytes.resize(static_cast<size_t>(f.truncate));
    Pending p{TickCount() + f.delay_ms, fd, to, std::move(bytes)};
    if (f.delay_ms == 0)
      SendPending(p);
    else
      m_pending.push_back(std::move(p));
  }
}

void DeviceSim::SendPending(const Pending& p) {
  if (p.fd >= 0) {
    sendto(p.fd, p.bytes.data(), p.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&p.to),
           sizeof p.to);
  } else if (m_pty_master >= 0) {
    (void)!write(m_pty_master, p.bytes.data(), p.bytes.size());
  }
}

bool DeviceSim::FromADevice(const sockaddr_in& from) const {
  return std::any_of(m_devices.begin(), m_devices.end(), [&](const Running& r) {
    if (r.fd < 0) return false;
    if (r.bound.sin_port == from.sin_port && r.bound.sin_addr.s_addr == from.sin_addr.s_addr) return true;
    if (r.answer_fd < 0 || r.answer_fd == r.fd) return false;
    sockaddr_in other{};
    socklen_t len = sizeof other;
    getsockname(r.answer_fd, reinterpret_cast<sockaddr*>(&other), &len);
    return other.sin_port == from.sin_port && other.sin_addr.s_addr == from.sin_addr.s_addr;
  });
}

void DeviceSim::OnHubDatagram() {
  for (;;) {
    uint8_t buffer[kDatagramMax];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n =
        recvfrom(m_hub_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) return;
    if (FromADevice(from)) continue;
    const std::span<const uint8_t> bytes(buffer, static_cast<size_t>(n));
    Log(nullptr, "udp", &from, bytes, !IsCommandFrame(bytes));
    if (!IsCommandFrame(bytes) || bytes[CommandFrame::kOffsetCommand] != kCommandDiscovery) continue;
    // Every device answers from its own address.
    for (const Running& r : m_devices) {
      const Bytes reply = r.device->DiscoveryReply(Link::kUdp);
      Answer(*r.device, r.fd, from,
             std::vector<Bytes>(static_cast<size_t>(std::max(1, r.device->Config().faults.repeat)), reply));
    }
  }
}

void DeviceSim::OnDeviceDatagram(size_t index) {
  Running& r = m_devices[index];
  for (;;) {
    uint8_t buffer[kDatagramMax];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n = recvfrom(r.fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) return;
    if (FromADevice(from)) continue;
    const std::span<const uint8_t> bytes(buffer, static_cast<size_t>(n));
    const bool frame = IsCommandFrame(bytes);
    Log(r.device.get(), "udp", &from, bytes, !frame);
    if (frame) {
      std::vector<Bytes> answers;
      if (bytes[CommandFrame::kOffsetCommand] == kCommandDiscovery)
        answers.assign(static_cast<size_t>(std::max(1, r.device->Config().faults.repeat)),
                       r.device->DiscoveryReply(Link::kUdp));
      else
        answers = r.device->OnFrame(bytes, Link::kUdp);
      LogNote(*r.device);
      Answer(*r.device, r.fd, from, answers);
    } else {
      const std::vector<Bytes> answers = r.device->OnText(std::string(bytes.begin(), bytes.end()), Link::kUdp);
      LogNote(*r.device);
      Answer(*r.device, r.fd, from, answers);
    }
  }
}

void DeviceSim::OnSerialBytes() {
  uint8_t buffer[1024];
  for (;;) {
    const ssize_t n = read(m_pty_master, buffer, sizeof buffer);
    if (n <= 0) break;
    m_serial_buffer.insert(m_serial_buffer.end(), buffer, buffer + n);
  }
  HandleSerialBuffer();
}

void DeviceSim::HandleSerialBuffer() {
  SimDevice& device = *m_devices[static_cast<size_t>(m_config.serial_device)].device;
  const sockaddr_in none{};
  for (;;) {
    Bytes& b = m_serial_buffer;
    if (b.empty()) return;
    if (b[0] == CommandFrame::kSync1) {
      if (b.size() < 4) return;
      if (b[1] != CommandFrame::kSync2) {
        b.erase(b.begin());
        continue;
      }
      const size_t length = b[2] | (b[3] << 8);
      if (length < CommandFrame::kOverhead || length > kSerialBufferMax) {
        b.erase(b.begin());
        continue;
      }
      if (b.size() < length) return;
      const std::span<const uint8_t> frame(b.data(), length);
      if (frame.back() != CommandFrame::kTail) {
        b.erase(b.begin());
        continue;
      }
      Log(&device, "serial", nullptr, frame, false);
      std::vector<Bytes> answers;
      if (frame[CommandFrame::kOffsetCommand] == kCommandDiscovery)
        answers.assign(static_cast<size_t>(std::max(1, device.Config().faults.repeat)),
                       device.DiscoveryReply(Link::kSerial));
      else
        answers = device.OnFrame(frame, Link::kSerial);
      LogNote(device);
      b.erase(b.begin(), b.begin() + static_cast<long>(length));
      Answer(device, -1, none, answers);
      continue;
    }
    // Text commands end with a full stop; anything else waits for more, up
    // to a limit.
    const auto stop = std::find(b.begin(), b.end(), static_cast<uint8_t>('.'));
    const auto sync = std::find(b.begin(), b.end(), CommandFrame::kSync1);
    if (sync < stop) {
      Log(&device, "serial", nullptr, std::span<const uint8_t>(b.data(), static_cast<size_t>(sync - b.begin())), true);
      b.erase(b.begin(), sync);
      continue;
    }
    if (stop == b.end()) {
      if (b.size() > kSerialBufferMax) b.clear();
      return;
    }
    const std::string text(b.begin(), stop + 1);
    b.erase(b.begin(), stop + 1);
    Log(&device, "serial", nullptr, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()), true);
    const std::vector<Bytes> answers = device.OnText(text, Link::kSerial);
    LogNote(device);
    Answer(device, -1, none, answers);
  }
}

void DeviceSim::Log(const SimDevice* device, const char* link, const sockaddr_in* from,
                    std::span<const uint8_t> bytes, bool is_text) {
  std::string line = "{\"t_ms\":" + std::to_string(TickCount() - m_start_tick);
  line += ",\"device\":\"" + JsonEscape(device ? device->Config().name : "hub") + "\"";
  line += std::string(",\"link\":\"") + link + "\"";
  if (from) {
    char address[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from->sin_addr, address, sizeof address);
    line += ",\"from\":\"" + std::string(address) + ":" + std::to_string(ntohs(from->sin_port)) + "\"";
  }
  if (is_text) {
    line += ",\"text\":\"" + JsonEscape(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())) + "\"";
  } else {
    char command[8];
    std::snprintf(command, sizeof command, "0x%02x", bytes[CommandFrame::kOffsetCommand]);
    line += std::string(",\"command\":\"") + command + "\"";
    const size_t params_end = bytes.size() - 3;  // checksum and tail
    line += ",\"params\":\"" +
            HexText(bytes.subspan(CommandFrame::kOffsetParams, params_end - CommandFrame::kOffsetParams)) +
            "\"";
    // The whole frame as it came, with the type, id and link flag it was
    // addressed with.
    line += ",\"frame\":\"" + HexText(bytes) + "\"";
  }
  line += "}";
  WriteLogLine(line);
}

void DeviceSim::LogNote(SimDevice& device) {
  const std::string note = device.TakeNote();
  if (note.empty()) return;
  WriteLogLine("{\"t_ms\":" + std::to_string(TickCount() - m_start_tick) + ",\"device\":\"" +
               JsonEscape(device.Config().name) + "\",\"note\":\"" + JsonEscape(note) + "\"}");
}

void DeviceSim::WriteLogLine(const std::string& line) {
  if (m_config.keep_log_lines) {
    {
      std::lock_guard<std::mutex> lock(m_log_mutex);
      m_log_lines.push_back(line);
    }
    m_log_grew.notify_all();
  }
  if (m_config.log) {
    std::fprintf(m_config.log, "%s\n", line.c_str());
    std::fflush(m_config.log);
  }
}

std::vector<std::string> DeviceSim::LogLines() const {
  std::lock_guard<std::mutex> lock(m_log_mutex);
  return m_log_lines;
}

std::optional<std::string> DeviceSim::WaitForLogLine(const std::function<bool(const std::string&)>& match,
                                                     int timeout_ms) const {
  std::unique_lock<std::mutex> lock(m_log_mutex);
  size_t checked = 0;
  std::optional<std::string> found;
  m_log_grew.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    for (; checked < m_log_lines.size() && !found; ++checked)
      if (match(m_log_lines[checked])) found = m_log_lines[checked];
    return found.has_value();
  });
  return found;
}

}  // namespace zv::sim

#include "monitor/frame_export.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <pcap/pcap.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "monitor/frame_decode.h"

namespace zv {
namespace {

uint32_t SumWords(const uint8_t* bytes, size_t count, uint32_t sum) {
  for (size_t i = 0; i + 1 < count; i += 2) sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
  if (count & 1) sum += static_cast<uint32_t>(bytes[count - 1] << 8);
  return sum;
}

uint16_t FoldChecksum(uint32_t sum) {
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum & 0xFFFF);
}

void Put16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

in_addr LocalAddressTowards(const sockaddr_in& peer) {
  in_addr none{};
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return none;
  // A broadcast destination needs the permission, or connect() refuses it.
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
    none = local.sin_addr;
  close(fd);
  return none;
}

std::vector<uint8_t> Ipv4UdpPacket(in_addr source, uint16_t source_port, in_addr destination,
                                   uint16_t destination_port, const std::vector<uint8_t>& payload,
                                   uint16_t ident) {
  constexpr size_t kIp = 20, kUdp = 8;
  std::vector<uint8_t> packet(kIp + kUdp + payload.size());
  uint8_t* ip = packet.data();
  ip[0] = 0x45;  // version 4, 5 words of header
  Put16(ip + 2, static_cast<uint16_t>(packet.size()));
  Put16(ip + 4, ident);
  ip[8] = 64;    // time to live
  ip[9] = 17;    // UDP
  std::memcpy(ip + 12, &source.s_addr, 4);       // already in network order
  std::memcpy(ip + 16, &destination.s_addr, 4);
  Put16(ip + 10, FoldChecksum(SumWords(ip, kIp, 0)));

  uint8_t* udp = ip + kIp;
  const uint16_t udp_length = static_cast<uint16_t>(kUdp + payload.size());
  Put16(udp, source_port);
  Put16(udp + 2, destination_port);
  Put16(udp + 4, udp_length);
  if (!payload.empty()) std::memcpy(udp + kUdp, payload.data(), payload.size());
  // The checksum over the pseudo header (addresses, protocol, length) and
  // the datagram; 0 would mean "none", so a sum of 0 is sent as FFFF.
  uint32_t sum = SumWords(ip + 12, 8, 0);
  sum += 17;
  sum += udp_length;
  sum = SumWords(udp, udp_length, sum);
  uint16_t checksum = FoldChecksum(sum);
  if (checksum == 0) checksum = 0xFFFF;
  Put16(udp + 6, checksum);
  return packet;
}

ExportResult WriteJsonLines(const std::string& path, const std::vector<TappedFrame>& frames) {
  ExportResult result;
  FILE* file = std::fopen(path.c_str(), "w");
  if (!file) {
    result.error = "Cannot open " + path + ": " + std::strerror(errno);
    return result;
  }
  for (const TappedFrame& frame : frames) {
    const std::string line = FrameJsonLine(frame) + "\n";
    if (std::fwrite(line.data(), 1, line.size(), file) != line.size()) break;
    ++result.written;
  }
  const bool write_failed = result.written != frames.size() || std::fflush(file) != 0 ||
                            std::ferror(file);
  const int saved_errno = errno;
  const bool close_failed = std::fclose(file) != 0;
  if (write_failed || close_failed) {
    result.error = "Writing " + path + " failed: " +
                   std::strerror(write_failed ? saved_errno : errno);
    return result;
  }
  result.ok = true;
  return result;
}

ExportResult WritePcap(const std::string& path, const std::vector<TappedFrame>& frames) {
  ExportResult result;
  pcap_t* dead = pcap_open_dead(DLT_RAW, 65535);
  if (!dead) {
    result.error = "The capture library could not start.";
    return result;
  }
  pcap_dumper_t* dumper = pcap_dump_open(dead, path.c_str());
  if (!dumper) {
    result.error = "Cannot open " + path + ": " + pcap_geterr(dead);
    pcap_close(dead);
    return result;
  }
  // One look-up per peer: where the system sends from towards it.
  std::map<std::pair<uint32_t, uint16_t>, in_addr> local_for;
  uint16_t ident = 1;
  for (const TappedFrame& frame : frames) {
    if (frame.link != FrameLinkKind::kUdp) {
      ++result.left_out;
      continue;
    }
    const auto key = std::make_pair(frame.peer.sin_addr.s_addr, frame.peer.sin_port);
    auto it = local_for.find(key);
    if (it == local_for.end()) it = local_for.emplace(key, LocalAddressTowards(frame.peer)).first;
    const in_addr local = it->second;
    const uint16_t peer_port = ntohs(frame.peer.sin_port);
    const bool sent = frame.direction == FrameDirection::kSent;
    const std::vector<uint8_t> packet =
        sent ? Ipv4UdpPacket(local, frame.local_port, frame.peer.sin_addr, peer_port, frame.bytes,
                             ident++)
             : Ipv4UdpPacket(frame.peer.sin_addr, peer_port, local, frame.local_port, frame.bytes,
                             ident++);
    pcap_pkthdr header{};
    header.ts.tv_sec = static_cast<time_t>(frame.time_us / 1'000'000);
    header.ts.tv_usec = static_cast<suseconds_t>(frame.time_us % 1'000'000);
    header.caplen = static_cast<bpf_u_int32>(packet.size());
    header.len = header.caplen;
    pcap_dump(reinterpret_cast<u_char*>(dumper), &header, packet.data());
    ++result.written;
  }
  // pcap_dump reports nothing itself: the stream says whether every write
  // went through.
  FILE* stream = pcap_dump_file(dumper);
  const bool failed = pcap_dump_flush(dumper) != 0 || std::ferror(stream);
  const int saved_errno = errno;
  // pcap_dump_close closes the stream but says nothing of it: the flush
  // above has already put everything down.
  pcap_dump_close(dumper);
  pcap_close(dead);
  if (failed) {
    result.error = "Writing " + path + " failed: " + std::strerror(saved_errno);
    result.written = 0;
    return result;
  }
  result.ok = true;
  return result;
}

// ---- --frame-log ---------------------------------------------------------------

FrameLog::~FrameLog() { Close(); }

bool FrameLog::Open(const std::string& path, std::string* error) {
  Close();
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fd = fd;
    m_failed = false;
  }
  m_token = FrameRecorder::Instance().Listen(
      [this](const TappedFrame& frame) { WriteLine(FrameJsonLine(frame) + "\n"); });
  return true;
}

void FrameLog::WriteLine(const std::string& line) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_fd < 0) return;
  // A stream's buffer would reach the file in pieces of its own size, cut
  // anywhere in a line; one write per line never leaves half of one.
  ssize_t n;
  do {
    n = write(m_fd, line.data(), line.size());
  } while (n < 0 && errno == EINTR);
  if (n == static_cast<ssize_t>(line.size())) return;
  m_failed = true;
  // Part of the line went down: cut the file back to the end of the line
  // before it, so that it still ends at a line's end.
  if (n > 0) {
    const off_t end = lseek(m_fd, 0, SEEK_CUR);
    if (end >= n) (void)!ftruncate(m_fd, end - n);
  }
}

bool FrameLog::Healthy() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_fd >= 0 && !m_failed;
}

void FrameLog::Close() {
  if (m_token) {
    FrameRecorder::Instance().Unlisten(m_token);
    m_token = 0;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_fd >= 0) {
    close(m_fd);
    m_fd = -1;
  }
}

}  // namespace zv

// Writing frames out: JSON lines (the monitor's export and --frame-log) and
// a pcap capture of the network frames, each packet a real IPv4 header and a
// UDP header with the addresses and ports the frame travelled between, so a
// packet analyser opens it as ordinary UDP traffic.
#pragma once

#include <netinet/in.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "link/frame_tap.h"

namespace zv {

struct ExportResult {
  bool ok = false;
  size_t written = 0;        // frames written
  size_t left_out = 0;       // serial frames a pcap cannot hold
  std::string error;         // why it failed, for the operator
};

ExportResult WriteJsonLines(const std::string& path, const std::vector<TappedFrame>& frames);
ExportResult WritePcap(const std::string& path, const std::vector<TappedFrame>& frames);

// The local address the system would send from towards `peer` (a UDP socket
// connected to it, which sends nothing); 0.0.0.0 when it has no route.
in_addr LocalAddressTowards(const sockaddr_in& peer);

// The IPv4 + UDP packet a datagram travelled in (header checksum and UDP
// checksum filled in).
std::vector<uint8_t> Ipv4UdpPacket(in_addr source, uint16_t source_port, in_addr destination,
                                   uint16_t destination_port, const std::vector<uint8_t>& payload,
                                   uint16_t ident);

// --frame-log: every frame from start-up as a JSON line, written by the
// thread that tapped it. Each line goes to the file in one write() of its
// own, so the file always ends at the end of a line: a run killed at any
// moment leaves every line it made, and a reader that takes the file line by
// line never meets half of one. A write cut short (a full disk) is taken
// back off the end; the lines after it are still tried.
class FrameLog {
 public:
  FrameLog() = default;
  ~FrameLog();
  FrameLog(const FrameLog&) = delete;
  FrameLog& operator=(const FrameLog&) = delete;
  // Opens `path` for appending and starts listening; false with `error` set
  // when the file cannot be opened.
  bool Open(const std::string& path, std::string* error);
  // False once a line could not be written whole (the disk is full ...).
  bool Healthy() const;
  void Close();
  // A line of the program's own among the frames (the service's audit
  // lines), written as a frame's is: whole, in one write. `line` ends in a
  // newline.
  void WriteLine(const std::string& line);

 private:

  mutable std::mutex m_mutex;
  int m_fd = -1;
  int m_token = 0;
  bool m_failed = false;
};

}  // namespace zv

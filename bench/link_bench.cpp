// Ratios measured in one run, so that the machine's speed cancels out:
//  - the command path (open, bind, send, close a socket per command, without
//    the 10 ms pacing pause) against a bare sendto on a socket kept open;
//  - the serial scanner over a full accumulation buffer against one plain
//    pass over the same bytes (the frame checksum).
#include <chrono>
#include <cstdio>
#include <vector>

#include "link/command_frame.h"
#include "link/link_state.h"
#include "support/loopback_link.h"

namespace {

template <typename F>
double SecondsFor(int rounds, F&& f) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) f(i);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

volatile uint32_t g_sink;

}  // namespace

int main() {
  zv::test::UdpPeer device;
  zv::LinkState link;
  zv::test::AimAt(link, device, 0xA5, 0x01);

  uint8_t frame[1024] = {};
  const uint8_t source[] = {3};
  const size_t n = zv::BuildCommandFrame(frame, 0xA5, 0x01, zv::kLinkFlagUdp, 0x80, source);
  const std::span<const uint8_t> bytes(frame, n);

  constexpr int kCommands = 3000;
  const double command_path =
      SecondsFor(kCommands, [&](int) { link.SendAndClose(bytes, /*pause_ms=*/0); });
  link.OpenCommandSocket();
  const double bare =
      SecondsFor(kCommands, [&](int) { link.SendDatagram(bytes); });
  link.CloseUdpSocket();
  std::printf("command path / bare sendto          : %6.2f  (%d commands)\n",
              command_path / bare, kCommands);

  // A full buffer of noise with a name reply at its end: the worst case of
  // the serial search's once-per-read scan.
  std::vector<uint8_t> buffer(zv::kSerialRxBufferSize, 0x5A);
  for (size_t i = 0; i < buffer.size(); i += 37) buffer[i] = 0xA5;
  const uint8_t reply[] = {0xA5, 0x6C, 0x19, 0x00, 0x81, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                           0xFF, 0,    'A',  'B',  '-',  '1',  '-', 0, 0xAE};
  std::copy(std::begin(reply), std::end(reply), buffer.end() - sizeof reply);
  constexpr int kScans = 20000;
  const double scan = SecondsFor(kScans, [&](int) {
    g_sink = static_cast<uint32_t>(zv::ScanSerialReply(buffer.data(), buffer.size()).result);
  });
  const double pass = SecondsFor(kScans, [&](int) {
    g_sink = zv::FrameChecksum(buffer.data(), buffer.size());
  });
  std::printf("serial scan / one pass over 1024 B  : %6.2f  (%d scans)\n", scan / pass, kScans);
  return 0;
}

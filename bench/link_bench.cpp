// Ratios measured in one run, so that the machine's speed cancels out:
//  - the command path (open, bind, send, close a socket per command, without
//    the 10 ms pacing pause) against a bare sendto on a socket kept open,
//    and against its own floor: a bare socket, bind to the same local port
//    with address reuse, sendto, close, as plain system calls;
//  - the command path with the frame monitor open (the frame recorder
//    listening) against closed;
//  - the 10 ms pacing pause on its own: a paced command's time less an
//    unpaced one's;
//  - the serial scanner over a full accumulation buffer against one plain
//    pass over the same bytes (the frame checksum), which depends on how the
//    program was built, so the build type is printed with it.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "link/command_frame.h"
#include "link/frame_tap.h"
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

#ifndef ZV_BUILD_TYPE
#define ZV_BUILD_TYPE "unknown"
#endif

}  // namespace

int main() {
  zv::test::UdpPeer device;
  zv::LinkState link;
  zv::test::AimAt(link, device, 0xA5, 0x01);
  // A local port of its own, as the program has (7000): the command path
  // then binds it with address reuse, like the floor below.
  const uint16_t local_port = zv::test::FreeUdpPort();
  link.m_link_config.local_port = local_port;

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
  // The floor of a socket per command: the same system calls, nothing else.
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(local_port);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  const sockaddr_in to = device.address();
  int failed = 0;
  const double floor = SecondsFor(kCommands, [&](int) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) !=
            static_cast<ssize_t>(bytes.size()))
      ++failed;
    close(fd);
  });
  std::printf("command path / bare sendto          : %6.2f  (%d commands)\n",
              command_path / bare, kCommands);
  std::printf("command path / socket+bind+sendto+close floor: %6.2f  (%.1f us / %.1f us per command%s)\n",
              command_path / floor, command_path / kCommands * 1e6, floor / kCommands * 1e6,
              failed ? ", some floor sends failed" : "");

  // The frame monitor open (the recorder listening: a time stamp, the local
  // port and a copy of the bytes per datagram) against closed (one relaxed
  // load per datagram), measured back to back.
  const double closed =
      SecondsFor(kCommands, [&](int) { link.SendAndClose(bytes, /*pause_ms=*/0); });
  const int token = zv::FrameRecorder::Instance().Listen();
  const double open =
      SecondsFor(kCommands, [&](int) { link.SendAndClose(bytes, /*pause_ms=*/0); });
  zv::FrameRecorder::Instance().Unlisten(token);
  zv::FrameRecorder::Instance().Clear();
  std::printf("command path, frame monitor open / closed: %6.2f  (%.1f us / %.1f us per command)\n",
              open / closed, open / kCommands * 1e6, closed / kCommands * 1e6);

  // The pacing pause: paced commands less unpaced ones, per command.
  constexpr int kPaced = 100;
  const double paced = SecondsFor(kPaced, [&](int) { link.SendAndClose(bytes); });
  const double unpaced = SecondsFor(kPaced, [&](int) { link.SendAndClose(bytes, /*pause_ms=*/0); });
  std::printf("pacing pause (nominal %u ms)        : %6.2f ms per command  (%d commands)\n",
              zv::kCommandPauseMs, (paced - unpaced) / kPaced * 1e3, kPaced);

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
  std::printf("serial scan / one pass over 1024 B  : %6.2f  (%d scans, %s build)\n", scan / pass, kScans,
              ZV_BUILD_TYPE);
  return 0;
}

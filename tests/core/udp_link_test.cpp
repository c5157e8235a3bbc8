// The UDP link against loopback peers standing in for devices.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <thread>

#include "link/link_state.h"
#include "platform/platform.h"
#include "support/loopback_link.h"
#include "support/recorders.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

using Bytes = std::vector<uint8_t>;
using test::AimAt;
using test::UdpPeer;

double ThreadCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_THREAD, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST(UdpLinkTest, SendAndCloseSendsExactlyOneDatagram) {
  UdpPeer device;
  ASSERT_TRUE(device.ok());
  LinkState link;
  AimAt(link, device);
  const uint8_t source[] = {0x03};
  link.SendCommand(0x80, source);
  auto d = device.Receive(2000);
  ASSERT_TRUE(d);
  const Bytes expected = {0xA5, 0x6C, 0x15, 0x00, 0xA5, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0,
                          0x00, 0x80,  // group, programme source
                          0x03,        // source 3
                          0x50, 0x02, 0xAE};
  EXPECT_EQ(d->bytes, expected);
  EXPECT_TRUE(device.ReceiveUntilMarker().empty()) << "a second datagram arrived";
  EXPECT_EQ(link.m_udpSockfd, -1) << "the socket stays open after the command";
}

TEST(UdpLinkTest, TwoCommandsInARowBothBindTheLocalPort) {
  UdpPeer device;
  LinkState link;
  AimAt(link, device);
  link.m_link_config.local_port = test::FreeUdpPort();
  test::TraceRecorder trace;
  link.SendCommand(0x83);
  link.SendCommand(0x83);
  for (int i = 0; i < 2; ++i) {
    auto d = device.Receive(2000);
    ASSERT_TRUE(d) << "command " << i + 1 << " did not arrive";
    EXPECT_EQ(ntohs(d->from.sin_port), link.m_link_config.local_port) << "command " << i + 1;
  }
  EXPECT_FALSE(trace.Has("m_udpSockfd have on live"));
}

// A fixed local port is shared with devices on this machine; a port left to
// the system must not be, or the system could hand out a port a device holds.
TEST(UdpLinkTest, AddressReuseOnlyForAFixedLocalPort) {
  UdpPeer device;
  for (const uint16_t local_port : {uint16_t{0}, test::FreeUdpPort()}) {
    LinkState link;
    AimAt(link, device);
    link.m_link_config.local_port = local_port;
    ASSERT_EQ(link.OpenCommandSocket(), 1);
    int reuse = -1;
    socklen_t len = sizeof reuse;
    ASSERT_EQ(getsockopt(link.m_udpSockfd, SOL_SOCKET, SO_REUSEADDR, &reuse, &len), 0);
    EXPECT_EQ(reuse != 0, local_port != 0) << "local port " << local_port;
    link.CloseUdpSocket();
  }
}

TEST(UdpLinkTest, NoDeviceChosenTellsTheOperatorOncePerAttemptAndSendsNothing) {
  UdpPeer device;
  LinkState link;
  AimAt(link, device);
  link.m_device_index = -1;
  test::MessageBoxRecorder boxes;
  link.SendCommand(0x83);
  link.SendCommand(0x83);
  ASSERT_EQ(boxes.requests.size(), 2u);
  EXPECT_EQ(boxes.requests[0].text, "Please choose a device");
  EXPECT_EQ(boxes.requests[0].caption, "Err");
  EXPECT_EQ(boxes.requests[0].buttons, MessageBoxButtons::kOkCancel);
  EXPECT_TRUE(device.ReceiveUntilMarker().empty());
  EXPECT_EQ(link.m_udpSockfd, -1);

  // A device found on the serial line is chosen but has no address: no
  // socket, and nothing aimed at what an empty address would read as.
  link.m_device_index = 0;
  if (link.m_device_list.empty()) link.m_device_list.resize(1);
  link.m_device_list[0].SetIpText("");
  test::TraceRecorder trace;
  EXPECT_EQ(link.OpenCommandSocket(), 0);
  EXPECT_EQ(link.m_udpSockfd, -1);
  EXPECT_TRUE(trace.Has("the device has no network address"));
  EXPECT_EQ(boxes.requests.size(), 2u) << "polls would otherwise raise a notice every time";
}

TEST(UdpLinkTest, LocalPortTakenByAnotherProgram) {
  UdpPeer device;
  UdpPeer squatter;  // holds the local port
  LinkState link;
  AimAt(link, device);
  link.m_link_config.local_port = squatter.port();
  test::TraceRecorder trace;

  // A command still leaves, from a port the system picks.
  link.SendCommand(0x83);
  auto d = device.Receive(2000);
  ASSERT_TRUE(d);
  EXPECT_NE(ntohs(d->from.sin_port), squatter.port());
  EXPECT_EQ(link.m_udpSockfd, -1);

  // The scan socket reports the failure and stays open for the caller to close.
  EXPECT_EQ(link.OpenScanSocket(), 0);
  EXPECT_TRUE(trace.Has("bind  socket fail"));
  EXPECT_NE(link.m_udpSockfd, -1);
  link.CloseUdpSocket();
  EXPECT_EQ(link.m_udpSockfd, -1);
}

TEST(UdpLinkTest, ScanSocketBroadcastsAndLearnsTheSender) {
  UdpPeer device;
  LinkState link;
  AimAt(link, device);
  ASSERT_EQ(link.OpenScanSocket(), 1);
  // An open socket is reused unchanged.
  const int fd = link.m_udpSockfd;
  EXPECT_EQ(link.OpenScanSocket(), 1);
  EXPECT_EQ(link.m_udpSockfd, fd);
  ASSERT_TRUE(link.SendDatagram(DISCOVERY_QUERY));
  auto query = device.Receive(2000);
  ASSERT_TRUE(query);
  EXPECT_EQ(query->bytes, Bytes(DISCOVERY_QUERY.begin(), DISCOVERY_QUERY.end()));

  const Bytes reply = {0xA5, 0x6C, 0x18, 0, 0xA1, 0x02, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0,
                       'M', 'V', '-', '1', '-', 0xAE};
  device.SendTo(query->from, reply);
  Datagram got;
  ASSERT_EQ(link.ReceiveDatagram(kSearchReplyBufferSize, 2000, &got), 1);
  EXPECT_EQ(got.bytes, reply);
  EXPECT_EQ(link.m_udp_dest_addr.sin_port, device.address().sin_port);
  EXPECT_EQ(AddressText(link.m_udp_dest_addr), "127.0.0.1");
  link.CloseUdpSocket();
}

// A device that answers a request with a list of datagrams, in order.
std::thread Answer(UdpPeer& device, std::vector<Bytes> answers) {
  return std::thread([&device, answers = std::move(answers)] {
    auto request = device.Receive(3000);
    if (!request) return;
    for (const Bytes& a : answers) device.SendTo(request->from, a);
  });
}

Bytes ReplyWithCommand(uint8_t command, uint8_t marker, size_t size = 24) {
  Bytes r(size, 0);
  r[0] = 0xA5;
  r[1] = 0x6C;
  r[16] = command;
  r[17] = marker;
  r.back() = 0xAE;
  return r;
}

TEST(UdpLinkTest, ReceiveWithTimeoutTakesTheFirstReplyThatPassesItsTest) {
  UdpPeer device;
  LinkState link;
  AimAt(link, device, 0xA1, 0x01);
  std::thread answering = Answer(device, {
      ReplyWithCommand(0x19, 1),         // another command: skipped
      ReplyWithCommand(0x32, 2, 1500),   // too large for the buffer: dropped
      ReplyWithCommand(0x32, 3),         // the reply
      ReplyWithCommand(0x32, 4),         // after the reply: left unread
  });
  uint8_t request[1024] = {};
  const size_t n = BuildCommandFrame(request, 0xA1, 0x01, kLinkFlagUdp, 0x32);
  auto reply = link.ReceiveWithTimeout(
      std::span<const uint8_t>(request, n), 1024, 2000,
      [](std::span<const uint8_t> r, const sockaddr_in&) { return r.size() > 17 && r[16] == 0x32; });
  answering.join();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->bytes[17], 3);
  EXPECT_EQ(link.m_udpSockfd, -1);
}

TEST(UdpLinkTest, ReceiveWithTimeoutGivesUpAfterItsWindowWithoutBurningCpu) {
  UdpPeer device;  // never answers
  LinkState link;
  AimAt(link, device);
  test::TraceRecorder trace;
  uint8_t request[1024] = {};
  const size_t n = BuildCommandFrame(request, 0xA5, 0x01, kLinkFlagUdp, 0x90);
  const double cpu_before = ThreadCpuSeconds();
  const uint32_t start = TickCount();
  auto reply = link.ReceiveWithTimeout(std::span<const uint8_t>(request, n), 1024, 400,
                                       [](std::span<const uint8_t>, const sockaddr_in&) {
                                         return true;
                                       });
  const uint32_t elapsed = TickCount() - start;
  const double cpu = ThreadCpuSeconds() - cpu_before;
  EXPECT_FALSE(reply);
  EXPECT_TRUE(trace.Has("wait time over"));
  EXPECT_GE(elapsed, 400u);
  EXPECT_LT(elapsed, 2400u) << "the wait ran far past its window";
  EXPECT_LT(cpu, 0.05 * elapsed / 1000.0) << "waiting used " << cpu << " s of CPU";
  EXPECT_EQ(link.m_udpSockfd, -1);
}

TEST(UdpLinkTest, FailedSocketCreationDoesNotPoisonLaterOperations) {
  UdpPeer device;
  LinkState link;
  AimAt(link, device);

  // Use up every descriptor so that socket() fails.
  rlimit saved{};
  getrlimit(RLIMIT_NOFILE, &saved);
  rlimit low = saved;
  low.rlim_cur = 256;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> held;
  for (int fd = dup(0); fd >= 0; fd = dup(0)) held.push_back(fd);
  EXPECT_EQ(link.OpenCommandSocket(), 0);
  EXPECT_EQ(link.m_udpSockfd, -1);
  EXPECT_EQ(link.OpenScanSocket(), 0);
  EXPECT_EQ(link.m_udpSockfd, -1);
  for (int fd : held) close(fd);
  setrlimit(RLIMIT_NOFILE, &saved);

  // The next operation simply tries again.
  link.SendCommand(0x83);
  EXPECT_TRUE(device.Receive(2000));
  EXPECT_EQ(link.OpenScanSocket(), 1);
  link.CloseUdpSocket();
}

}  // namespace
}  // namespace zv

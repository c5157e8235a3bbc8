// The virtual devices: their discovery reply, their option parsing and their
// log of what they receive.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "link/link_state.h"
#include "support/loopback_link.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

TEST(DeviceSimTest, DiscoveryReplyBytes) {
  sim::SimDevice device({0xA1, 0x07, "AB", "127.0.0.2", {}});
  const sim::Bytes expected = {
      0xA5, 0x6C,              // sync
      0x1A, 0x00,              // frame_length 26
      0xA1, 0x07,              // device_type, device_id
      0x01,                    // link flag: UDP
      0, 0, 0, 0, 0, 0, 0, 0,  // reserved
      0x00, 0xFF,              // group, command: discovery reply
      0x00,                    // spare byte before the name
      'A', 'B', '-', 'x', '-', // name and marker
      0x28, 0x04,              // checksum 0x0428 (sum of bytes 0 to 22)
      0xAE};                   // tail
  EXPECT_EQ(device.DiscoveryReply(sim::Link::kUdp), expected);
  sim::Bytes serial = expected;
  serial[6] = 0x00;  // link flag: serial
  serial[23] = 0x27;
  EXPECT_EQ(device.DiscoveryReply(sim::Link::kSerial), serial);
}

TEST(DeviceSimTest, DeviceSpecs) {
  struct Row {
    const char* spec;
    bool ok;
    uint8_t type, id;
    const char* name;
    bool silent;
    uint32_t delay;
    int truncate, repeat;
  };
  const Row rows[] = {
      {"type=0xA1,id=2,name=Studio1,addr=127.0.0.2", true, 0xA1, 2, "Studio1", false, 0, -1, 1},
      {"addr=10.0.0.9,type=96,silent,delay=250,truncate=21,repeat=3", true, 0x60, 1, "", true, 250, 21, 3},
      {"type=0x100,addr=127.0.0.2", false, 0, 0, "", false, 0, 0, 0},
      {"type=0xA1", false, 0, 0, "", false, 0, 0, 0},
      {"type=0xA1,addr=127.0.0.300", false, 0, 0, "", false, 0, 0, 0},
      {"type=0xA1,addr=127.0.0.2,colour=red", false, 0, 0, "", false, 0, 0, 0},
      {"type=0xA1,addr=127.0.0.2,delay=", false, 0, 0, "", false, 0, 0, 0},
      {"type=0xA1,addr=127.0.0.2,repeat=0", false, 0, 0, "", false, 0, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.spec);
    sim::DeviceConfig c;
    std::string error;
    ASSERT_EQ(sim::ParseDeviceSpec(row.spec, &c, &error), row.ok) << error;
    if (!row.ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(c.type, row.type);
    EXPECT_EQ(c.id, row.id);
    EXPECT_EQ(c.name, row.name);
    EXPECT_EQ(c.faults.silent, row.silent);
    EXPECT_EQ(c.faults.delay_ms, row.delay);
    EXPECT_EQ(c.faults.truncate, row.truncate);
    EXPECT_EQ(c.faults.repeat, row.repeat);
  }
}

TEST(DeviceSimTest, LogsEveryFrameAndTextItReceives) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(test::LoopbackSim(port, {"Desk"}));
  ASSERT_TRUE(runner.started()) << runner.error();
  LinkState link;
  test::AimAt(link, port, "127.0.0.2", 0xA5);
  const uint8_t params[] = {0x03, 0xFE};
  link.SendCommand(0x81, params);
  // Text, as the matrix router takes it, and a stray byte.
  link.OpenCommandSocket();
  const std::string text = "3V1,4,8.";
  link.SendDatagram(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  link.CloseUdpSocket();

  std::vector<std::string> log;
  for (int i = 0; i < 200 && log.size() < 3; ++i) {
    test::UdpPeer idle;
    idle.Receive(10);  // a bounded wait while the simulator's thread works
    log = runner.sim().LogLines();
  }
  // The virtual switcher notes what the frame changed, right after the frame.
  ASSERT_EQ(log.size(), 3u);
  EXPECT_NE(log[0].find("\"device\":\"Desk\",\"link\":\"udp\""), std::string::npos) << log[0];
  EXPECT_NE(log[0].find("\"command\":\"0x81\",\"params\":\"03fe\""), std::string::npos) << log[0];
  EXPECT_NE(log[0].find("\"t_ms\":"), std::string::npos);
  EXPECT_NE(log[1].find("\"device\":\"Desk\",\"note\":\"preview 3\""), std::string::npos) << log[1];
  EXPECT_NE(log[2].find("\"text\":\"3V1,4,8.\""), std::string::npos) << log[2];
}

}  // namespace
}  // namespace zv

namespace zv {
namespace {

// A datagram from a device's own address and port (a panel sharing the
// devices' port, or a discovery reply that reached the hub) is never
// answered: the devices would otherwise answer each other for ever.
TEST(DeviceSimTest, DatagramsFromADevicesOwnSocketAreNotAnswered) {
  const uint16_t port = test::FreeUdpPort();
  test::SimRunner runner(test::LoopbackSim(port, {"A", "B"}));
  ASSERT_TRUE(runner.started()) << runner.error();
  // A socket sharing device A's address and port sends the discovery query
  // to the hub, as the device itself would.
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = inet_addr("127.0.0.2");
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  sockaddr_in hub = a;
  hub.sin_addr.s_addr = inet_addr("127.0.0.1");
  const auto query = DISCOVERY_QUERY;
  ASSERT_EQ(sendto(fd, query.data(), query.size(), 0, reinterpret_cast<sockaddr*>(&hub), sizeof hub),
            static_cast<ssize_t>(query.size()));

  // A query from anywhere else, sent to the hub after it, is still answered
  // by both devices. The hub reads its datagrams in order, so once the
  // search has its answers the first query has been dealt with too.
  LinkState link;
  test::AimSearchAt(link, port);
  std::vector<std::string> lines;
  EXPECT_EQ(link.SearchNetworkDevices(&lines, true), 2);
  close(fd);

  // The hub logs every datagram it takes: only the search's query is there.
  const std::vector<std::string> log = runner.sim().LogLines();
  const std::string from_device_a = "\"from\":\"127.0.0.2:" + std::to_string(port) + "\"";
  ASSERT_EQ(log.size(), 1u) << log.size() << " lines, the first: " << (log.empty() ? "" : log[0]);
  EXPECT_EQ(log[0].find(from_device_a), std::string::npos) << log[0];
  EXPECT_NE(log[0].find("\"command\":\"0xff\""), std::string::npos) << log[0];
}

}  // namespace
}  // namespace zv

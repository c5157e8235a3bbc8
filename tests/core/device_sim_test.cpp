// The virtual devices: their discovery reply, their option parsing and their
// log of what they receive.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "fourch/fourch_state.h"
#include "link/link_state.h"
#include "multiview/multiview_state.h"
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

TEST(DeviceSimTest, CountedDevicesTakeConsecutiveAddresses) {
  const std::vector<sim::DeviceConfig> patterns = {{0xA1, 3, "Mv", "127.0.0.2", {}},
                                                   {0x60, 4, "Quad", "127.0.0.3", {}}};
  struct Row {
    const char* first;
    int count;
    std::vector<std::string> addresses;  // empty: refused
  };
  const Row rows[] = {
      {"127.0.1.1", 3, {"127.0.1.1", "127.0.1.2", "127.0.1.3"}},
      {"127.0.0.253", 4, {"127.0.0.253", "127.0.0.254", "127.0.1.1", "127.0.1.2"}},
      {"127.0.1.0", 1, {"127.0.1.1"}},
      {"127.0.255.255", 1, {"127.1.0.1"}},
      {"127.255.255.253", 2, {}},  // past the last loopback address
      {"10.0.0.1", 1, {}},         // not loopback
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.first);
    std::vector<sim::DeviceConfig> made;
    std::string error;
    const bool ok = sim::CountedDevices(patterns, row.count, row.first, &made, &error);
    ASSERT_EQ(ok, !row.addresses.empty()) << error;
    if (!ok) continue;
    ASSERT_EQ(made.size(), row.addresses.size());
    for (size_t i = 0; i < made.size(); ++i) {
      EXPECT_EQ(made[i].address, row.addresses[i]);
      EXPECT_EQ(made[i].type, patterns[i % 2].type) << "the patterns are taken in turn";
      EXPECT_EQ(made[i].id, patterns[i % 2].id);
      EXPECT_EQ(made[i].name, patterns[i % 2].name + "." + std::to_string(i + 1));
    }
  }
}

// What a front-panel change logged: the field, the window (or other place)
// it belongs to, and the value.
struct LoggedChange {
  std::string key;  // "layout", "source window 3"
  int value;
};
std::optional<LoggedChange> FrontPanelLine(const std::string& line) {
  static const std::regex kLine(R"re("front_panel":"(\w+)"(?:,"(\w+)":(\d+))?,"value":(\d+)\})re");
  std::smatch m;
  if (!std::regex_search(line, m, kLine)) return std::nullopt;
  std::string key = m[1].str();
  if (m[2].matched) key += " " + m[2].str() + " " + m[3].str();
  return LoggedChange{key, std::stoi(m[4].str())};
}

TEST(DeviceSimTest, FrontPanelChangesShowInTheLogAndTheReadBack) {
  // Every change a device logged before a read-state request reached it is
  // in its answer: each field's last logged value, read where the panel
  // reads it.
  using Read = std::function<int(const sim::Bytes& reply, int place)>;
  const auto at = [](size_t offset) {
    return Read([offset](const sim::Bytes& r, int place) { return r[offset + static_cast<size_t>(std::max(place, 1)) - 1]; });
  };
  struct Family {
    const char* what;
    uint8_t type;
    uint8_t read_command;
    std::map<std::string, Read> fields;  // by the logged name
  };
  const Family families[] = {
      {"multiviewer", 0xA1, kMvReadState,
       {{"layout", at(MultiviewReply::kLayout)},
        {"format", at(MultiviewReply::kFormat)},
        {"source", at(MultiviewReply::kSources)},
        {"audio_source", at(MultiviewReply::kAudioSource)},
        {"labels", at(MultiviewReply::kLabelsOn)},
        {"overlay", at(MultiviewReply::kOverlayOn)},
        {"audio_meter", at(MultiviewReply::kAudioOn)},
        {"border", at(MultiviewReply::kBorder)}}},
      {"four-channel switcher", 0x60, kTriskCommandReadState,
       {{"show_mode", at(kTriskStateOffsetMode)},
        {"output_format", at(kTriskStateOffsetFormat)},
        {"loop", at(kTriskStateOffsetLoop)},
        {"loop_time", [](const sim::Bytes& r, int) { return r[258] | (r[259] << 8); }},
        {"pip_channel", at(kTriskStateOffsetPip)}}},
  };
  for (const Family& family : families) {
    SCOPED_TRACE(family.what);
    const uint16_t port = test::FreeUdpPort();
    sim::SimConfig config = test::LoopbackSim(port, {"Desk"}, family.type);
    config.front_panel_ms = 20;
    config.seed = 5;
    test::SimRunner runner(config);
    ASSERT_TRUE(runner.started()) << runner.error();
    // Several changes first, so that more than one field has moved.
    ASSERT_TRUE(runner.sim().WaitForLogLine(
        [n = 0](const std::string& line) mutable { return FrontPanelLine(line) && ++n == 6; }, 5000));

    test::UdpPeer panel;
    sockaddr_in device{};
    device.sin_family = AF_INET;
    device.sin_port = htons(port);
    device.sin_addr.s_addr = inet_addr("127.0.0.2");
    sim::Bytes request(CommandFrame::kOverhead);
    BuildCommandFrame(request.data(), family.type, 1, kLinkFlagUdp, family.read_command, {});
    panel.SendTo(device, request);
    const auto reply = panel.Receive(3000);
    ASSERT_TRUE(reply);
    ASSERT_GT(reply->bytes.size(), 260u);

    // The changes logged before the request, each field's last value.
    std::map<std::string, LoggedChange> last;
    bool request_seen = false;
    for (const std::string& line : runner.sim().LogLines()) {
      if (line.find("\"link\":\"udp\"") != std::string::npos) {
        request_seen = true;
        break;
      }
      EXPECT_NE(line.find("\"device\":\"Desk\""), std::string::npos) << line;
      const std::optional<LoggedChange> change = FrontPanelLine(line);
      ASSERT_TRUE(change) << line;
      last[change->key] = *change;
    }
    ASSERT_TRUE(request_seen);
    ASSERT_GE(last.size(), 2u) << "six changes moved at least two fields";
    for (const auto& [key, change] : last) {
      const std::string field = key.substr(0, key.find(' '));
      const int place = key.find(' ') == std::string::npos ? 0 : std::stoi(key.substr(key.rfind(' ') + 1));
      ASSERT_TRUE(family.fields.count(field)) << "a field the test does not know: " << key;
      EXPECT_EQ(family.fields.at(field)(reply->bytes, place), change.value) << key;
    }
  }
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
  EXPECT_EQ(link.SearchNetworkDevices(&lines), 2);
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

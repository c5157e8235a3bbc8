// The network and serial searches against the virtual devices.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

#include "link/link_state.h"
#include "support/pty_pair.h"
#include "support/recorders.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

using test::LoopbackSim;
using test::SimRunner;

struct NetworkCase {
  const char* what;
  std::vector<std::string> names;
  // Faults per device, in the order of `names`.
  std::vector<sim::FaultOptions> faults;
  std::vector<std::string> expected_lines;
};

TEST(NetworkSearchTest, ListsRepliesAsTheyArrive) {
  const NetworkCase cases[] = {
      {"two devices, in the order their replies came",
       {"Late", "Early"},
       {{false, 150, -1, 1}, {}},
       {"Early_127.0.0.3", "Late_127.0.0.2"}},
      {"a device answering twice is listed once",
       {"Twice", "Once"},
       {{false, 0, -1, 3}, {false, 30, -1, 1}},
       {"Twice_127.0.0.2", "Once_127.0.0.3"}},
      {"two markers in one datagram: two entries, one address",
       {"Cam-x-Two"},
       {{}},
       {"Cam_127.0.0.2", "Cam-x-Two_127.0.0.2"}},
      {"a reply cut short before its tail gives nothing",
       {"Cut", "Whole"},
       {{false, 0, 21, 1}, {}},
       {"Whole_127.0.0.3"}},
      {"no answer at all", {"Mute"}, {{true, 0, -1, 1}}, {}},
  };
  for (const NetworkCase& c : cases) {
    SCOPED_TRACE(c.what);
    const uint16_t port = test::FreeUdpPort();
    sim::SimConfig config = LoopbackSim(port, c.names);
    for (size_t i = 0; i < c.faults.size(); ++i) config.devices[i].faults = c.faults[i];
    SimRunner runner(config);
    ASSERT_TRUE(runner.started()) << runner.error();

    LinkState link;
    test::AimSearchAt(link, port);
    std::vector<std::string> lines;
    test::TraceRecorder trace;
    EXPECT_EQ(link.SearchNetworkDevices(&lines), static_cast<int>(c.expected_lines.size()));
    EXPECT_EQ(lines, c.expected_lines);
    EXPECT_TRUE(trace.Has("time over"));
    EXPECT_EQ(link.m_udpSockfd, -1) << "the scan socket is closed again";
    for (size_t i = 0; i < c.expected_lines.size(); ++i) {
      const std::string& line = c.expected_lines[i];
      EXPECT_EQ(link.m_device_list[i].IpText(), line.substr(line.rfind('_') + 1));
      EXPECT_EQ(link.m_device_list[i].device_type, 0xA5);
    }
  }
}

TEST(NetworkSearchTest, IgnoresItsOwnQueryOnTheSharedPort) {
  // The program's real arrangement on one machine: the panel's socket on the
  // devices' port, the query sent to the loopback broadcast, so the panel
  // receives its own 20-byte query too.
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config;
  config.hub_address = "127.255.255.255";
  config.port = port;
  config.devices = sim::DefaultDevices();
  SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();

  LinkState link;
  link.m_link_config.device_port = port;
  link.m_link_config.local_port = port;
  link.m_link_config.search_address = "127.255.255.255";
  std::vector<std::string> lines;
  ASSERT_EQ(link.SearchNetworkDevices(&lines), 4);
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"FourChannel_127.0.0.4", "Matrix8x8_127.0.0.3",
                                             "Multiviewer16_127.0.0.2", "Switcher_127.0.0.5"}));
  std::set<uint8_t> types;
  for (int i = 0; i < 4; ++i) types.insert(link.m_device_list[i].device_type);
  EXPECT_EQ(types, (std::set<uint8_t>{0x60, 0x82, 0xA1, 0xA5}));
}

TEST(NetworkSearchTest, StartsFromAnEmptyList) {
  const uint16_t port = test::FreeUdpPort();
  SimRunner runner(LoopbackSim(port, {"Only"}));
  ASSERT_TRUE(runner.started()) << runner.error();
  LinkState link;
  test::AimSearchAt(link, port);
  link.m_device_index = 1;
  link.m_device_list.resize(2);
  link.m_device_list[0].SetIpText("10.0.0.1");
  link.m_device_list[1].SetIpText("10.0.0.2");
  link.m_search_left_out = 7;
  std::vector<std::string> lines;
  ASSERT_EQ(link.SearchNetworkDevices(&lines), 1);
  EXPECT_EQ(link.m_device_index, -1) << "the window chooses line 0 afterwards";
  ASSERT_EQ(link.m_device_list.size(), 1u) << "nothing of the earlier search stays";
  EXPECT_EQ(link.m_device_list[0].IpText(), "127.0.0.2");
  EXPECT_EQ(link.m_search_left_out, 0);
}

TEST(NetworkSearchTest, ShortestRepliesAtTheLengthEdge) {
  // A stand-in device answers the query with a 21-byte reply (too short to
  // hold a name) and then a 22-byte one (an empty name and its marker).
  test::UdpPeer device;
  LinkState link;
  test::AimSearchAt(link, device.port());
  std::thread answer([&device] {
    const auto query = device.Receive(2000);
    if (!query) return;
    uint8_t reply[22] = {0xA5, 0x6C, 0x16, 0x00, 0x60, 0x09};  // sync, length, type, id
    reply[16] = 0xFF;                                          // discovery reply
    reply[18] = '-';                                           // a marker at 18 ...
    reply[20] = '-';                                           // ... closed at 20
    uint8_t short_reply[21] = {};
    std::copy(reply, reply + 20, short_reply);
    short_reply[20] = 0xAE;  // the tail at 20: n - 3 is 18, too short
    reply[21] = 0xAE;
    device.SendTo(query->from, short_reply);
    device.SendTo(query->from, reply);
  });
  std::vector<std::string> lines;
  EXPECT_EQ(link.SearchNetworkDevices(&lines), 1);
  answer.join();
  EXPECT_EQ(lines, std::vector<std::string>{"_127.0.0.1"});
  EXPECT_EQ(link.m_device_list[0].device_type, 0x60);
  EXPECT_EQ(link.m_device_list[0].device_id, 0x09);
}

TEST(NetworkSearchTest, ListsManyDevicesAnsweringAtOnceUpToTheCap) {
  // 300 devices answer the same moment: none is lost to the pause after a
  // datagram; with a cap of 100 the first 100 fill the list and the other
  // 200 are counted as left out, each told to the progress as it came.
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config;
  config.hub_address = "127.0.0.1";
  config.port = port;
  std::string error;
  ASSERT_TRUE(sim::CountedDevices({{0x60, 1, "Dev", "", {}}}, 300, sim::kFirstCountedAddress,
                                  &config.devices, &error))
      << error;
  SimRunner runner(config);
  ASSERT_TRUE(runner.started()) << runner.error();
  for (int cap : {kDefaultDeviceListCap, 100}) {
    SCOPED_TRACE(cap);
    LinkState link;
    test::AimSearchAt(link, port);
    link.m_link_config.device_list_cap = cap;
    int progress_listed = 0, progress_left_out = 0;
    link.m_search_progress = [&](const DeviceEntry* entry, const std::string&, int left_out) {
      progress_listed += entry != nullptr;
      progress_left_out = left_out;
    };
    std::vector<std::string> lines;
    const int listed = std::min(cap, 300);
    EXPECT_EQ(link.SearchNetworkDevices(&lines), listed);
    EXPECT_EQ(lines.size(), static_cast<size_t>(listed));
    EXPECT_EQ(link.m_device_list.size(), static_cast<size_t>(listed));
    EXPECT_EQ(link.m_search_left_out, 300 - listed);
    EXPECT_EQ(progress_listed, listed);
    EXPECT_EQ(progress_left_out, 300 - listed);
    std::set<std::string> addresses;
    for (const DeviceEntry& e : link.m_device_list) addresses.insert(e.IpText());
    EXPECT_EQ(addresses.size(), static_cast<size_t>(listed)) << "each device once";
  }
}

TEST(NetworkSearchTest, ScanSocketFailureIsReportedAndListsNothing) {
  test::UdpPeer occupant;  // holds the local port without sharing it
  LinkState link;
  link.m_link_config.local_port = occupant.port();
  link.m_link_config.search_address = "127.0.0.1";
  test::MessageBoxRecorder boxes;
  test::TraceRecorder trace;
  std::vector<std::string> lines;
  EXPECT_EQ(link.SearchNetworkDevices(&lines), -1);
  ASSERT_EQ(boxes.requests.size(), 1u);
  EXPECT_EQ(boxes.requests[0].text, "Create socket err");
  EXPECT_EQ(boxes.requests[0].caption, "Err");
  EXPECT_TRUE(trace.Has("create socket fail"));
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(link.m_udpSockfd, -1);
}

// ---- serial search -------------------------------------------------------------

TEST(SerialSearchTest, FindsTheDeviceOnTheSimulatorsLine) {
  const uint16_t port = test::FreeUdpPort();
  sim::SimConfig config = LoopbackSim(port, {"Desk", "Cam-x-Pair"});
  config.devices[0].type = 0xA1;
  config.serial = true;
  struct Row {
    int device;
    const char16_t* name;
    uint8_t type;
    uint8_t id;
  };
  const Row rows[] = {
      {0, u"Desk", 0xA1, 1},
      // Two markers: the second (longer) name is kept.
      {1, u"Cam-x-Pair", 0xA5, 2},
  };
  for (const Row& row : rows) {
    config.serial_device = row.device;
    SimRunner runner(config);
    ASSERT_TRUE(runner.started()) << runner.error();
    LinkState link;
    ASSERT_TRUE(link.m_serial_port.Open(runner.sim().SerialPath(), 115200));
    // A stale byte from earlier traffic is flushed before the query.
    ASSERT_TRUE(link.SearchSerialDevice());
    // The device on the cable is the chosen device, with its own identity.
    EXPECT_EQ(link.m_device_index, 0);
    EXPECT_EQ(link.ChosenDevice().device_type, row.type);
    EXPECT_EQ(link.ChosenDevice().device_id, row.id);
    EXPECT_EQ(link.ChosenDevice().IpText(), "");
    EXPECT_EQ(link.m_serial_device_name, row.name);
    EXPECT_EQ(link.m_main_com_dev_type, row.type);
    const auto log = runner.sim().LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("\"link\":\"serial\",\"command\":\"0xff\""), std::string::npos) << log.back();
  }
}

TEST(SerialSearchTest, ReplyInPiecesIsRecognisedOnceComplete) {
  test::PtyPair pty;
  const int master = pty.master;
  ASSERT_GE(master, 0);
  LinkState link;
  ASSERT_TRUE(link.m_serial_port.Open(pty.slave_path, 115200));
  // Stale bytes wait on the line before the search starts.
  ASSERT_EQ(write(master, "junk", 4), 4);
  ASSERT_EQ(link.m_serial_port.WaitForInput(2000), 1);

  std::thread device([master] {
    // Wait for the whole 20-byte query, then answer in three pieces.
    uint8_t query[20];
    size_t got = 0;
    while (got < sizeof query) {
      const ssize_t n = read(master, query + got, sizeof query - got);
      if (n <= 0) return;
      got += static_cast<size_t>(n);
    }
    const uint8_t reply[] = {
        0xA5, 0x6C,             // sync
        0x19, 0x00,             // frame_length 25
        0x60, 0x07, 0x00,       // device_type, device_id, link_flag
        0, 0, 0, 0, 0, 0, 0, 0, // reserved
        0x00, 0xFF, 0x00,       // group, command (discovery reply), spare
        'D', 'v', '-', 'x', '-',  // the name "Dv" and its marker
        0x00, 0xAE};            // (unchecked) checksum byte, tail
    for (size_t at : {size_t{0}, size_t{9}, size_t{20}}) {
      const size_t end = at == 0 ? 9 : at == 9 ? 20 : sizeof reply;
      (void)!write(master, reply + at, end - at);
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
  });
  EXPECT_TRUE(link.SearchSerialDevice());
  device.join();
  EXPECT_EQ(link.m_device_index, 0);
  EXPECT_EQ(link.m_device_list[0].device_type, 0x60);
  EXPECT_EQ(link.m_device_list[0].device_id, 0x07);
  EXPECT_EQ(link.m_serial_device_name, u"Dv");
  EXPECT_EQ(link.m_main_com_dev_type, 0x60);
}

TEST(SerialSearchTest, ClosedPortAndSilentLine) {
  LinkState link;
  link.m_serial_device_name = u"Earlier";
  link.m_main_com_dev_type = 0xA1;
  {
    test::MessageBoxRecorder boxes;
    test::TraceRecorder trace;
    EXPECT_FALSE(link.SearchSerialDevice());
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(boxes.requests[0].text, "Please open the serial port first!");
    EXPECT_EQ(boxes.requests[0].caption, "Err");
    EXPECT_TRUE(trace.Has("open com  fail"));
  }
  test::PtyPair pty;
  ASSERT_TRUE(link.m_serial_port.Open(pty.slave_path, 9600));
  test::TraceRecorder trace;
  EXPECT_TRUE(link.SearchSerialDevice());
  EXPECT_TRUE(trace.Has("time over"));
  EXPECT_EQ(link.m_device_index, -1) << "no device chosen";
  // What earlier searches learnt stays.
  EXPECT_EQ(link.m_serial_device_name, u"Earlier");
  EXPECT_EQ(link.m_main_com_dev_type, 0xA1);
}

}  // namespace
}  // namespace zv

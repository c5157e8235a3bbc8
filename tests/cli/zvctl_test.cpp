// zvctl as a process against virtual devices on loopback addresses of its
// own: the frames the devices log for each command, the exit statuses, and
// a multiviewer setup carried from one device to another.

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/sim_runner.h"
#include "support/udp_peer.h"

extern char** environ;

namespace zv {
namespace {

// A port of this test process's own: ctest runs the tests of this file side
// by side, each with virtual devices on the same loopback addresses.
const uint16_t kPort = test::FreeUdpPort();
const char* const kMultiviewer = "127.0.117.2";
const char* const kMatrix = "127.0.117.3";
const char* const kFourChannel = "127.0.117.4";
const char* const kSwitcher = "127.0.117.5";
const char* const kSecondMultiviewer = "127.0.117.6";
const char* const kSilent = "127.0.117.7";

sim::SimConfig Devices() {
  sim::SimConfig config;
  config.hub_address = "127.0.117.1";
  config.port = kPort;
  const auto add = [&](uint8_t type, uint8_t id, const char* name, const char* address, bool silent = false) {
    sim::DeviceConfig d;
    d.type = type;
    d.id = id;
    d.name = name;
    d.address = address;
    d.faults.silent = silent;
    config.devices.push_back(d);
  };
  add(0xA1, 1, "MV", kMultiviewer);
  add(0x82, 1, "MX", kMatrix);
  add(0x60, 2, "FC", kFourChannel);
  add(0xA5, 3, "SW", kSwitcher);
  add(0xA1, 1, "MV2", kSecondMultiviewer);
  add(0xA5, 3, "Mute", kSilent, true);
  return config;
}

struct Ran {
  int status = -1;
  std::string output;  // standard output and error together
};

// Runs zvctl aimed at the simulator's port, with a local port of its own.
Ran Zvctl(std::vector<std::string> args) {
  std::vector<std::string> all{ZVCTL_PATH, "--device-port", std::to_string(kPort), "--local-port", "0"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  Ran run;
  char buffer[4096];
  ssize_t n;
  while (spawned == 0 && (n = read(out[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, n);
  close(out[0]);
  int status = 0;
  if (spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

class ZvctlTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_sim.started()) << m_sim.error(); }

  // Everything a device logged since `from`, other than discovery: the frame
  // in hex, or the text. Before reading, a discovery query of the test's
  // own goes to the device and its answer is awaited: the device handles
  // its datagrams in order, so by then it has logged all that zvctl sent.
  std::vector<std::string> Received(const char* address, size_t from) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPort);
    inet_pton(AF_INET, address, &to.sin_addr);
    sendto(fd, DISCOVERY_QUERY.data(), DISCOVERY_QUERY.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    pollfd p{fd, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 2000), 1) << address << " did not answer the test's query";
    close(fd);
    std::vector<std::string> seen;
    const std::vector<std::string> lines = m_sim.sim().LogLines();
    for (size_t i = from; i < lines.size(); ++i) {
      const nlohmann::json j = nlohmann::json::parse(lines[i]);
      if (j.contains("command") && j["command"] == "0xff") continue;
      if (j.contains("frame")) seen.push_back(j["frame"]);
      if (j.contains("text")) seen.push_back(j["text"]);
    }
    return seen;
  }
  size_t LogSize() { return m_sim.sim().LogLines().size(); }

  test::SimRunner m_sim{Devices()};
};

// Frames in hex, fields split by '|':
//   sync | length (LE) | type id link-flag | reserved | group command | parameters | checksum (LE) | tail
// The switcher is type A5 id 3, the multiviewer A1 id 1, the four-channel
// switcher 60 id 2; every frame goes by network (flag 01).
std::string Hex(std::string fields) {
  fields.erase(std::remove(fields.begin(), fields.end(), '|'), fields.end());
  std::transform(fields.begin(), fields.end(), fields.begin(), [](unsigned char c) { return std::tolower(c); });
  return fields;
}

TEST_F(ZvctlTest, EachCommandReachesItsDeviceAsThePanelSendsIt) {
  // A salvo: outputs 1 and 4 take input 2, output 2 input 7, output 3 input 2,
  // the rest stay as they are.
  char salvo[] = "/tmp/zvctl_salvo_XXXXXX";
  const int salvo_fd = mkstemp(salvo);
  ASSERT_GE(salvo_fd, 0);
  const std::string salvo_text = R"({"salvo": "Studio A", "outputs": [2, 7, 2, 2, 0, 0, 0, 0]})";
  ASSERT_EQ(write(salvo_fd, salvo_text.data(), salvo_text.size()), static_cast<ssize_t>(salvo_text.size()));
  close(salvo_fd);
  struct Row {
    const char* address;
    std::vector<std::string> args;
    std::vector<std::string> expected;  // frames (Hex) or matrix texts
  };
  const std::vector<Row> rows{
      // programme bus, source 3
      {kSwitcher, {"switcher", "program", "3"}, {Hex("A56C|1500|A50301|0000000000000000|0080|03|5202|AE")}},
      // preview bus, source 2
      {kSwitcher, {"switcher", "preview", "2"}, {Hex("A56C|1500|A50301|0000000000000000|0081|02|5202|AE")}},
      {kSwitcher, {"switcher", "cut"}, {Hex("A56C|1400|A50301|0000000000000000|0083||5102|AE")}},
      {kSwitcher, {"switcher", "auto"}, {Hex("A56C|1400|A50301|0000000000000000|0084||5202|AE")}},
      {kSwitcher, {"switcher", "ftb"}, {Hex("A56C|1400|A50301|0000000000000000|0085||5302|AE")}},
      // T-bar: direction 1 (the first travel of a fresh record), progress 64
      {kSwitcher, {"switcher", "tbar", "64"}, {Hex("A56C|1600|A50301|0000000000000000|0082|0140|9302|AE")}},
      {kSwitcher, {"switcher", "transition", "wipe"}, {Hex("A56C|1400|A50301|0000000000000000|008F||5D02|AE")}},
      {kMatrix, {"matrix", "route", "3", "1", "4", "8"}, {"3V1,4,8."}},
      {kMatrix, {"matrix", "all", "6"}, {"6All."}},
      {kMatrix, {"matrix", "through"}, {"All#."}},
      // one text per input, inputs in ascending order
      {kMatrix, {"matrix", "salvo", salvo}, {"2V1,3,4.", "7V2."}},
      // layout of 9 windows
      {kMultiviewer, {"multiview", "layout", "9"}, {Hex("A56C|1500|A10101|0000000000000000|0033|09|0502|AE")}},
      // input 5 into window 2
      {kMultiviewer, {"multiview", "source", "2", "5"}, {Hex("A56C|1600|A10101|0000000000000000|0034|0502|0502|AE")}},
      // window 1's label: selector 01, the fixed prefix, then UTF-16LE 摄 像 机
      {kMultiviewer, {"multiview", "label", "1", "摄像机"},
       {Hex("A56C|2200|A10101|0000000000000000|001E|01|01000100010001|4464CF503A67|6104|AE")}},
      // label background of window 3: Blue (1)
      {kMultiviewer, {"multiview", "colour", "3", "label-back", "Blue"},
       {Hex("A56C|1600|A10101|0000000000000000|003C|0301|0A02|AE")}},
      // show mode 7
      {kFourChannel, {"fourch", "mode", "7"}, {Hex("A56C|1500|600201|0000000000000000|0094|07|2402|AE")}},
      // picture-in-picture channels 2 and 3
      {kFourChannel, {"fourch", "pip", "2", "3"}, {Hex("A56C|1600|600201|0000000000000000|00A5|0203|3402|AE")}},
      // loop time 5 s (LE), then loop on
      {kFourChannel, {"fourch", "loop", "on", "5"},
       {Hex("A56C|1600|600201|0000000000000000|00A7|0500|3602|AE"),
        Hex("A56C|1500|600201|0000000000000000|00A6|01|3002|AE")}},
      {kFourChannel, {"fourch", "loop", "off"}, {Hex("A56C|1500|600201|0000000000000000|00A6|00|2F02|AE")}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args{row.address};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const size_t from = LogSize();
    const Ran run = Zvctl(args);
    EXPECT_EQ(run.status, 0) << row.args[1] << ": " << run.output;
    EXPECT_EQ(Received(row.address, from), row.expected) << row.args[0] << " " << row.args[1];
  }
  std::remove(salvo);
}

TEST_F(ZvctlTest, ExitStatusSaysWhatHappened) {
  struct Row {
    std::vector<std::string> args;
    int status;
    const char* says;
  };
  const std::vector<Row> rows{
      {{kSwitcher, "switcher", "cut"}, 0, ""},
      {{kSilent, "switcher", "cut"}, 1, "127.0.117.7 did not answer"},
      {{kSilent, "state"}, 1, "did not answer"},
      {{"scan", "--search-address", "127.0.117.1", "--json"}, 0, "\"address\": \"127.0.117.5\""},
      {{kSwitcher, "switcher", "program", "13"}, 2, "not in range"},
      {{kSwitcher, "multiview", "layout", "4"}, 2, "is a production switcher, not a multiviewer"},
      {{kSwitcher, "state"}, 2, "has no read-back"},
      {{"switcher", "cut"}, 2, "ADDR"},
      {{"10.0.0", "switcher", "cut"}, 2, "IPv4"},
      {{kSwitcher, "switcher", "jump"}, 2, "jump"},
      // Nothing is asked or sent: the frame is printed.
      {{"--dry-run", "--type", "0xA5", "--id", "3", kSilent, "switcher", "cut"},
       0,
       "A5 6C 14 00 A5 03 01 00 00 00 00 00 00 00 00 00 83 51 02 AE"},
  };
  for (const Row& row : rows) {
    const Ran run = Zvctl(row.args);
    EXPECT_EQ(run.status, row.status) << row.args[1] << ": " << run.output;
    EXPECT_NE(run.output.find(row.says), std::string::npos) << run.output;
  }
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST_F(ZvctlTest, SavedSetupAppliedToAnotherMultiviewerReadsBackEqual) {
  char dir_template[] = "/tmp/zvctl_test_XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string dir = dir_template;
  // Make the first device differ from a fresh one in every kind of field.
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{kMultiviewer, "multiview", "layout", "9"},
                                             {kMultiviewer, "multiview", "source", "4", "7"},
                                             {kMultiviewer, "multiview", "label", "2", "Кухня 2"},
                                             {kMultiviewer, "multiview", "colour", "5", "overlay-text", "Cyan"}})
    ASSERT_EQ(Zvctl(args).status, 0);
  ASSERT_EQ(Zvctl({kMultiviewer, "multiview", "save", dir + "/first.json"}).status, 0);
  ASSERT_EQ(Zvctl({kSecondMultiviewer, "multiview", "save", dir + "/before.json"}).status, 0);
  const Ran apply = Zvctl({kSecondMultiviewer, "multiview", "apply", dir + "/first.json"});
  EXPECT_EQ(apply.status, 0) << apply.output;
  ASSERT_EQ(Zvctl({kSecondMultiviewer, "multiview", "save", dir + "/second.json"}).status, 0);

  const nlohmann::json first = nlohmann::json::parse(Slurp(dir + "/first.json"));
  EXPECT_NE(nlohmann::json::parse(Slurp(dir + "/before.json")), first);
  EXPECT_EQ(nlohmann::json::parse(Slurp(dir + "/second.json")), first);
  EXPECT_EQ(first["layout"], 9);
  EXPECT_EQ(first["windows"][1]["label"], "Кухня 2");
  EXPECT_EQ(first["windows"][3]["source"], 7);
  EXPECT_EQ(first["windows"][4]["overlay_text"], "Cyan");
  for (const char* name : {"first.json", "before.json", "second.json"}) std::remove((dir + "/" + name).c_str());
  rmdir(dir.c_str());
}

}  // namespace
}  // namespace zv

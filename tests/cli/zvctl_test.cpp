// zvctl as a process against virtual devices on loopback addresses of its
// own: the frames the devices log for each command, the exit statuses, and
// a multiviewer setup carried from one device to another.

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "support/zvctl_run.h"


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

using test::Ran;
using test::Start;

// zvctl aimed at the simulator's port (unless start names another).
Ran Zvctl(std::vector<std::string> args, Start start = {}) {
  if (start.port == 0) start.port = kPort;
  return test::RunZvctl(ZVCTL_PATH, std::move(args), start);
}

class ZvctlTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_sim.started()) << m_sim.error(); }

  // Everything a device logged since `from`, other than discovery: the frame
  // in hex, or the text. Before reading, a discovery query of the test's
  // own goes to the device and its answer is awaited: the device handles
  // its datagrams in order, so by then it has logged all that zvctl sent.
  std::vector<std::string> Received(const char* address, size_t from) {
    EXPECT_TRUE(test::DeviceHasLoggedAll(address, kPort, 2000)) << address << " did not answer the test's query";
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

// 0x84, then 0x82 with direction 1 and progress 1, 8, 16 .. 128; the
// checksum is the sum of bytes 2 to 17 or 18 (here 0x0253 plus the progress).
std::vector<std::string> AutoFrames() {
  std::vector<std::string> frames{Hex("A56C|1400|A50301|0000000000000000|0084||5202|AE")};
  for (int p = 0; p <= 128; p += 8) {
    const int progress = p == 0 ? 1 : p;
    char fields[96];
    std::snprintf(fields, sizeof fields, "A56C|1600|A50301|0000000000000000|0082|01%02X|%02X02|AE", progress,
                  0x53 + progress);
    frames.push_back(Hex(fields));
  }
  return frames;
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
      // Auto, then the T-bar's progress as the panel's Auto sends it: 1 and
      // every multiple of 8 up to 128, direction 1 (a fresh record's first
      // travel), until the transition ends.
      {kSwitcher, {"switcher", "auto"}, AutoFrames()},
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
      // show mode 0, the quad split
      {kFourChannel, {"fourch", "mode", "0"}, {Hex("A56C|1500|600201|0000000000000000|0094|00|1D02|AE")}},
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

// A listener on every local address of a port of its own: a frame zvctl
// aims at a loopback address, at 0.0.0.0 or at loopback's broadcast address
// on that port lands here.
class Sink {
 public:
  Sink() {
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    socklen_t len = sizeof a;
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      m_port = ntohs(a.sin_port);
  }
  ~Sink() { close(m_fd); }
  uint16_t port() const { return m_port; }
  // The datagrams that arrived before a marker of the test's own: loopback
  // delivers in order, so by the marker everything zvctl sent is here.
  std::vector<std::string> Arrived() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    static const char kMarker[] = "zvctl-test-marker";
    sendto(fd, kMarker, sizeof kMarker, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(fd);
    std::vector<std::string> arrived;
    char buffer[2048];
    pollfd p{m_fd, POLLIN, 0};
    while (poll(&p, 1, 2000) == 1) {
      const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
      if (n == sizeof kMarker && std::memcmp(buffer, kMarker, sizeof kMarker) == 0) return arrived;
      if (n > 0) arrived.emplace_back(buffer, static_cast<size_t>(n));
    }
    ADD_FAILURE() << "the marker did not come back";
    return arrived;
  }

 private:
  int m_fd = -1;
  uint16_t m_port = 0;
};

bool PrivateNetworksCanBeMade() {
  static const bool can = Zvctl({"--version"}, {kPort, {}, true}).status == 0;
  return can;
}

// Commands that would reach no device, many devices, the wrong device or
// the wrong file are refused before anything is sent: each row's exit
// status, its single line on standard error, and what reached a listener.
TEST_F(ZvctlTest, RefusesBeforeSendingOrTouchingFiles) {
  char dir_template[] = "/tmp/zvctl_refuse_XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string dir = dir_template;
  const auto write_file = [](const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
  };
  // A well-formed setup padded past 1 MB, a label carrying a NUL, a file
  // that a lock-off with a crafted address would delete, and a plain file
  // where the state folder should be.
  write_file(dir + "/big.json", R"({"layout": 16})" + std::string(1024 * 1024, ' '));
  write_file(dir + "/nul.json", R"({"windows": [{"window": 1, "label": "A\u0000B"}]})");
  write_file(dir + "/keep", "precious\n");
  write_file(dir + "/plain", "");
  mkdir((dir + "/folder.json").c_str(), 0700);
  const std::vector<std::string> home{"HOME=" + dir + "/home", "XDG_CONFIG_HOME=" + dir + "/config",
                                      "XDG_STATE_HOME=" + dir + "/state"};
  const std::vector<std::string> unusable{"HOME=" + dir + "/plain", "XDG_CONFIG_HOME=" + dir + "/plain",
                                          "XDG_STATE_HOME=" + dir + "/plain"};
  Sink sink;
  ASSERT_NE(sink.port(), 0);
  const std::vector<std::string> sw{"--type", "0xA5", "--id", "3"};
  const auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  struct Row {
    std::vector<std::string> args;
    int status;
    const char* says;
    std::vector<std::string> env = {};
    bool private_network = false;
  };
  const std::vector<Row> rows{
      // The lock's marker is named by a checked address, never a path.
      {{"../../../../victim", "matrix", "lock", "on"}, 2, "IPv4 address", home},
      {{"../../../../keep", "matrix", "lock", "off"}, 2, "IPv4 address", home},
      {{kMatrix, "matrix", "lock", "on"}, 1, "cannot make the folder", unusable},
      {{kMatrix, "matrix", "lock", "on"}, 0, "", home},
      {{kMatrix, "matrix", "route", "1", "2"}, 2, "is locked", home},
      {{kMatrix, "matrix", "lock", "off"}, 0, "", home},
      // One device, never many: broadcast, multicast, 0.0.0.0, loopback's
      // broadcast and the broadcast of a network the machine is on.
      {with(sw, {"255.255.255.255", "switcher", "cut"}), 2, "is the broadcast address", {}, true},
      {with(sw, {"224.0.0.1", "switcher", "cut"}), 2, "is a multicast address", {}, true},
      {with(sw, {"10.77.0.255", "switcher", "cut"}), 2, "broadcast address of zv0 (10.77.0.0/24)", {}, true},
      {with(sw, {"0.0.0.0", "switcher", "cut"}), 2, "not a device's address"},
      {with(sw, {"127.255.255.255", "switcher", "cut"}), 2, "broadcast address of lo"},
      // A type of another family.
      {{"--type", "0xA1", "--id", "1", kSwitcher, "switcher", "cut"}, 2, "--type 0xA1 is a multiviewer's"},
      {{"--type", "0x60", "--id", "2", kMultiviewer, "multiview", "layout", "4"}, 2, "not a multiviewer's"},
      // A dry run asks nothing.
      {{"--dry-run", kSwitcher, "switcher", "cut"}, 2, "--dry-run needs --type and --id"},
      // A T-bar travel never sends progress 0.
      // The T-bar of a fresh record rests at travel 0: no move, nothing sent.
      {with(sw, {kSwitcher, "switcher", "tbar", "0"}), 2, "the T-bar already stands at travel 0"},
      {with(sw, {kSwitcher, "switcher", "tbar", "130"}), 2, "not in range 0 to 129"},
      // The four-channel switcher's rules, from its session's actions.
      {{"--type", "0x60", "--id", "2", kFourChannel, "fourch", "pip", "3", "3"}, 2, "must differ"},
      {{"--type", "0x60", "--id", "2", kFourChannel, "fourch", "loop", "off", "5"}, 2, "loop off takes no seconds"},
      {{"--serial", "/dev/null", "fourch", "mode", "3"}, 2, "four-channel switcher is reached by network only"},
      // Control characters in labels: ESC, newline, BEL, U+0085.
      {{"--type", "0xA1", "--id", "1", kMultiviewer, "multiview", "label", "1", "A\x1b[2J"}, 2, "U+001B at character 2"},
      {{"--type", "0xA1", "--id", "1", kMultiviewer, "multiview", "label", "2", "A\nB"}, 2, "U+000A"},
      {{"--type", "0xA1", "--id", "1", kMultiviewer, "multiview", "label", "3", "\a"}, 2, "U+0007"},
      {{"--type", "0xA1", "--id", "1", kMultiviewer, "multiview", "label", "4", "\xC2\x85"}, 2, "U+0085"},
      {{"--type", "0xA1", "--id", "1", kMultiviewer, "multiview", "apply", dir + "/nul.json"}, 2, "U+0000"},
      // Setup and salvo files: regular files of at most 1 MB, refused unread.
      {{"--type", "0xA1", "--id", "1", kMultiviewer, "multiview", "apply", "/dev/zero"}, 2, "not a regular file"},
      {{"--type", "0xA1", "--id", "1", kMultiviewer, "multiview", "apply", dir + "/folder.json"}, 2,
       "not a regular file"},
      {{"--type", "0xA1", "--id", "1", kMultiviewer, "multiview", "apply", dir + "/big.json"}, 2, "larger than 1 MB"},
      {{kMatrix, "matrix", "salvo", "/dev/zero"}, 2, "not a regular file", home},
  };
  for (const Row& row : rows) {
    std::string line;
    for (const std::string& a : row.args) line += a + " ";
    if (row.private_network && !PrivateNetworksCanBeMade()) {
      std::printf("SKIP %s: no network namespace can be made here (needs root)\n", line.c_str());
      continue;
    }
    const Ran run = Zvctl(row.args, {sink.port(), row.env, row.private_network});
    EXPECT_EQ(run.status, row.status) << line << "-> " << run.output;
    if (row.status != 0) {
      EXPECT_NE(run.output.find(row.says), std::string::npos) << line << "-> " << run.output;
      EXPECT_EQ(run.output.rfind("zvctl: ", 0), 0u) << line << "-> " << run.output;
      EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << line << "-> " << run.output;
    }
    EXPECT_EQ(sink.Arrived(), std::vector<std::string>{}) << line;
  }
  struct stat st{};
  EXPECT_NE(stat((dir + "/victim").c_str(), &st), 0) << "the lock wrote outside its folder";
  EXPECT_EQ(stat((dir + "/keep").c_str(), &st), 0) << "the lock removed a file outside its folder";
  // The marker's folder is private; lock off removed the marker.
  ASSERT_EQ(stat((dir + "/state/zv_multiview").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_NE(stat((dir + "/state/zv_multiview/zvctl-matrix-locked-127.0.117.3").c_str(), &st), 0);
  std::filesystem::remove_all(dir);
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
